#include "platform/Controls.h"

#include <algorithm>

#include "platform/ControlSupport.h"
#include "platform/WindowSystem.h"

namespace platform {

LRESULT StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TrackBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TreeViewProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListViewProc(HWND, UINT, WPARAM, LPARAM);

void RegisterControlClasses() {
  struct Entry {
    LPCWSTR name;
    WNDPROC procedure;
    UINT style;
  };
  static const Entry entries[] = {
      {WC_STATIC, StaticProc, 0},        {WC_BUTTON, ButtonProc, CS_DBLCLKS},   {WC_EDIT, EditProc, CS_DBLCLKS},
      {TRACKBAR_CLASS, TrackBarProc, 0}, {WC_TREEVIEW, TreeViewProc, CS_DBLCLKS}, {WC_LISTVIEW, ListViewProc, CS_DBLCLKS},
  };
  for (const Entry& entry : entries) {
    WNDCLASSW existing{};
    if (GetClassInfoW(nullptr, entry.name, &existing)) continue;
    WNDCLASSW windowClass{};
    windowClass.style = entry.style;
    windowClass.lpfnWndProc = entry.procedure;
    windowClass.lpszClassName = entry.name;
    RegisterClassW(&windowClass);
  }
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX*) {
  RegisterControlClasses();
  return TRUE;
}

ControlPainter::ControlPainter(HWND window, HFONT font) : window_(window), dc_(BeginPaint(window, &paint_)) {
  GetClientRect(window, &client_);
  if (font != nullptr) SelectObject(dc_, font);
  SetBkMode(dc_, TRANSPARENT);
}

ControlPainter::~ControlPainter() { EndPaint(window_, &paint_); }

void ControlPainter::Fill(const RECT& rect, COLORREF color) {
  const HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc_, &rect, brush);
  DeleteObject(brush);
}

void ControlPainter::Frame(const RECT& rect, COLORREF color) {
  const HBRUSH brush = CreateSolidBrush(color);
  FrameRect(dc_, &rect, brush);
  DeleteObject(brush);
}

void ControlPainter::Text(const RECT& rect, std::u16string_view text, UINT format, COLORREF color) {
  SetTextColor(dc_, color);
  RECT area = rect;
  DrawTextW(dc_, text.data(), static_cast<int>(text.size()), &area, format);
}

void NotifyParent(HWND control, UINT code) {
  const HWND parent = GetParent(control);
  if (parent == nullptr) return;
  SendMessageW(parent, WM_COMMAND, MAKELONG(static_cast<WORD>(GetDlgCtrlID(control)), static_cast<WORD>(code)),
               reinterpret_cast<LPARAM>(control));
}

// ---- window scroll bars ------------------------------------------------------------

int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw) {
  WindowRecord* record = LookupWindow(window);
  if (record == nullptr || info == nullptr || (bar != SB_HORZ && bar != SB_VERT)) return 0;
  ScrollBarState& state = record->bars[bar];
  if (info->fMask & SIF_RANGE) {
    state.minimum = info->nMin;
    state.maximum = std::max(info->nMin, info->nMax);
  }
  if (info->fMask & SIF_PAGE) state.page = static_cast<int>(std::min<UINT>(info->nPage, 0x7FFFFFFF));
  if (info->fMask & SIF_POS) state.position = info->nPos;
  const int range = state.maximum - state.minimum + 1;
  state.page = std::clamp(state.page, 0, range);
  state.position = std::clamp(state.position, state.minimum, std::max(state.minimum, state.maximum - std::max(state.page - 1, 0)));
  // A bar shows only while there is something to scroll.
  const bool wasVisible = state.visible;
  const DWORD styleBit = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
  state.visible = (record->style & styleBit) && (state.maximum > state.minimum && state.page < range);
  if (wasVisible != state.visible) UpdateNonClientArea(window);
  if (redraw) InvalidateScreenRect(WindowRectOnScreen(window));
  return state.position;
}

BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info) {
  const WindowRecord* record = LookupWindow(window);
  if (record == nullptr || info == nullptr || (bar != SB_HORZ && bar != SB_VERT)) return FALSE;
  const ScrollBarState& state = record->bars[bar];
  if (info->fMask & SIF_RANGE) {
    info->nMin = state.minimum;
    info->nMax = state.maximum;
  }
  if (info->fMask & SIF_PAGE) info->nPage = static_cast<UINT>(state.page);
  if (info->fMask & SIF_POS) info->nPos = state.position;
  if (info->fMask & SIF_TRACKPOS) info->nTrackPos = state.trackPosition;
  return TRUE;
}

}  // namespace platform
