// Buttons: push buttons, check boxes and owner-drawn buttons.
#include "platform/ControlSupport.h"
#include "platform/Dialog.h"

namespace platform {
namespace {

struct ButtonState {
  HFONT font = nullptr;
  UINT check = BST_UNCHECKED;
  bool pressed = false;
  bool tracking = false;
};

ControlStates<ButtonState> g_buttons;

DWORD TypeOf(HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & BS_TYPEMASK; }

bool IsCheckBox(HWND window) { return TypeOf(window) == BS_CHECKBOX || TypeOf(window) == BS_AUTOCHECKBOX; }

void Click(HWND window) {
  ButtonState& state = g_buttons.Get(window);
  if (TypeOf(window) == BS_AUTOCHECKBOX) {
    state.check = state.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    InvalidateRect(window, nullptr, TRUE);
  }
  NotifyParent(window, BN_CLICKED);
}

void Paint(HWND window) {
  ButtonState& state = g_buttons.Get(window);
  if (TypeOf(window) == BS_OWNERDRAW) {
    // The parent draws; the platform only hands it the context.
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(window, &paint);
    DRAWITEMSTRUCT item{ODT_BUTTON, static_cast<UINT>(GetDlgCtrlID(window)), 0, ODA_DRAWENTIRE, 0, window, dc, {}, 0};
    GetClientRect(window, &item.rcItem);
    if (state.pressed) item.itemState |= ODS_SELECTED;
    if (GetFocus() == window) item.itemState |= ODS_FOCUS;
    if (!IsWindowEnabled(window)) item.itemState |= ODS_DISABLED;
    if (HWND parent = GetParent(window); parent != nullptr) {
      SendMessageW(parent, WM_DRAWITEM, static_cast<WPARAM>(item.CtlID), reinterpret_cast<LPARAM>(&item));
    }
    EndPaint(window, &paint);
    return;
  }
  ControlPainter painter(window, state.font);
  WCHAR text[256];
  GetWindowTextW(window, text, 256);
  const COLORREF textColor = IsWindowEnabled(window) ? kTextColor : kDisabledTextColor;
  RECT client = painter.client();
  if (IsCheckBox(window)) {
    painter.Fill(client, GetSysColor(COLOR_WINDOW));
    const int box = std::min<int>(Scaled(13), client.bottom);
    const RECT square{0, (client.bottom - box) / 2, box, (client.bottom - box) / 2 + box};
    painter.Frame(square, kFrameColor);
    if (state.check == BST_CHECKED) {
      const RECT mark{square.left + box / 4, square.top + box / 4, square.right - box / 4, square.bottom - box / 4};
      painter.Fill(mark, kSelectionColor);
    }
    RECT label{box + Scaled(4), 0, client.right, client.bottom};
    painter.Text(label, text, DT_SINGLELINE | DT_VCENTER, textColor);
    return;
  }
  painter.Fill(client, state.pressed ? kPressedColor : kFaceColor);
  painter.Frame(client, kFrameColor);
  if ((static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & BS_TYPEMASK) == BS_DEFPUSHBUTTON ||
      GetFocus() == window) {
    const RECT inner{client.left + 1, client.top + 1, client.right - 1, client.bottom - 1};
    painter.Frame(inner, kFrameColor);
  }
  painter.Text(client, text, DT_SINGLELINE | DT_VCENTER | DT_CENTER, textColor);
}

}  // namespace

LRESULT ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFONT:
      g_buttons.Get(window).font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(g_buttons.Get(window).font);
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      ButtonState& state = g_buttons.Get(window);
      state.pressed = state.tracking = true;
      SetCapture(window);
      if (TypeOf(window) != BS_OWNERDRAW) SetFocus(window);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case WM_MOUSEMOVE: {
      ButtonState& state = g_buttons.Get(window);
      if (!state.tracking) return 0;
      RECT client{};
      GetClientRect(window, &client);
      const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      const bool inside = point.x >= 0 && point.y >= 0 && point.x < client.right && point.y < client.bottom;
      if (inside != state.pressed) {
        state.pressed = inside;
        InvalidateRect(window, nullptr, TRUE);
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      ButtonState& state = g_buttons.Get(window);
      const bool click = state.tracking && state.pressed;
      state.pressed = state.tracking = false;
      if (GetCapture() == window) ReleaseCapture();
      InvalidateRect(window, nullptr, TRUE);
      if (click) Click(window);
      return 0;
    }
    case WM_CAPTURECHANGED: {
      ButtonState& state = g_buttons.Get(window);
      if (state.tracking) {
        state.pressed = state.tracking = false;
        InvalidateRect(window, nullptr, TRUE);
      }
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) Click(window);
      return 0;
    case WM_GETDLGCODE: {
      const DWORD type = TypeOf(window);
      return DLGC_BUTTON | (type == BS_DEFPUSHBUTTON ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case BM_GETCHECK:
      return g_buttons.Get(window).check;
    case BM_SETCHECK:
      g_buttons.Get(window).check = static_cast<UINT>(wParam);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case BM_GETSTATE:
      return g_buttons.Get(window).check | (g_buttons.Get(window).pressed ? BST_PUSHED : 0);
    case BM_SETSTATE:
      g_buttons.Get(window).pressed = wParam != 0;
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case BM_CLICK:
      Click(window);
      return 0;
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
      InvalidateRect(window, nullptr, TRUE);
      return result;
    }
    case WM_DESTROY:
      g_buttons.Drop(window);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform
