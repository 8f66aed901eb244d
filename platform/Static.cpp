// Static text: a label in the dialog's font, left, centred or right.
#include "platform/ControlSupport.h"

namespace platform {
namespace {

struct StaticState {
  HFONT font = nullptr;
};

ControlStates<StaticState> g_statics;

}  // namespace

LRESULT StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFONT:
      g_statics.Get(window).font = reinterpret_cast<HFONT>(wParam);
      if (lParam) InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(g_statics.Get(window).font);
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
      InvalidateRect(window, nullptr, TRUE);
      return result;
    }
    case WM_PAINT: {
      ControlPainter painter(window, g_statics.Get(window).font);
      painter.Fill(painter.client(), GetSysColor(COLOR_WINDOW));
      const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
      WCHAR text[1024];
      GetWindowTextW(window, text, 1024);
      UINT format = DT_WORDBREAK | DT_NOPREFIX;
      if ((style & 3) == SS_CENTER) format |= DT_CENTER;
      if ((style & 3) == SS_RIGHT) format |= DT_RIGHT;
      RECT area = painter.client();
      if (style & WS_BORDER) {
        // A framed label: its text sits in the middle.
        painter.Frame(area, kFrameColor);
        format = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
      }
      painter.Text(area, text, format, IsWindowEnabled(window) ? kTextColor : kDisabledTextColor);
      return 0;
    }
    case WM_DESTROY:
      g_statics.Drop(window);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform
