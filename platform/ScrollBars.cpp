// Window scroll bars: drawn in the window's frame, and driven by the pen
// into WM_HSCROLL / WM_VSCROLL messages for the window.
#include <algorithm>

#include "platform/ControlSupport.h"
#include "platform/WindowSystem.h"

namespace platform {
namespace {

struct BarGeometry {
  RECT bar;  // window coordinates
  int arrow;  // length of each arrow box
  int thumbStart;  // from the bar's start
  int thumbLength;
  int length;
};

bool Geometry(const WindowRecord& record, int which, BarGeometry& geometry) {
  const DWORD styleBit = which == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
  if (!(record.style & styleBit) || !record.bars[which].visible) return false;
  const int width = record.rect.right - record.rect.left;
  const int height = record.rect.bottom - record.rect.top;
  const int border = (record.style & WS_BORDER) ? GetSystemMetrics(SM_CXBORDER) : 0;
  const int size = GetSystemMetrics(which == SB_VERT ? SM_CXVSCROLL : SM_CYHSCROLL);
  const bool other = record.bars[1 - which].visible && (record.style & (which == SB_VERT ? WS_HSCROLL : WS_VSCROLL));
  const int otherSize = other ? GetSystemMetrics(which == SB_VERT ? SM_CYHSCROLL : SM_CXVSCROLL) : 0;
  geometry.bar = which == SB_VERT ? RECT{width - border - size, border, width - border, height - border - otherSize}
                                  : RECT{border, height - border - size, width - border - otherSize, height - border};
  geometry.length = which == SB_VERT ? geometry.bar.bottom - geometry.bar.top : geometry.bar.right - geometry.bar.left;
  geometry.arrow = std::min(size, geometry.length / 2);
  const ScrollBarState& state = record.bars[which];
  const int track = std::max(0, geometry.length - 2 * geometry.arrow);
  const int range = state.maximum - state.minimum + 1;
  geometry.thumbLength = std::clamp(range > 0 ? track * state.page / range : track, std::min(track, Scaled(8)), track);
  const int travel = std::max(1, range - std::max(1, state.page));
  geometry.thumbStart = geometry.arrow + (track - geometry.thumbLength) * (state.position - state.minimum) / travel;
  return true;
}

void Arrow(HDC dc, const RECT& box, int which, bool forward) {
  // A small triangle of lines pointing along the bar.
  const int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
  const int size = std::max(2, (box.right - box.left) / 4);
  for (int i = 0; i < size; ++i) {
    const int offset = forward ? size / 2 - i : i - size / 2;
    if (which == SB_VERT) {
      DrawLine(dc, cx - i, cy + offset, cx + i, cy + offset, kTextColor);
    } else {
      DrawLine(dc, cx + offset, cy - i, cx + offset, cy + i, kTextColor);
    }
  }
}

}  // namespace

void PaintWindowFrame(HWND window) {
  const WindowRecord* record = LookupWindow(window);
  if (record == nullptr || record->remote != nullptr || !IsShownOnScreen(window)) return;
  const bool bordered = (record->style & WS_BORDER) != 0;
  if (!bordered && !record->bars[0].visible && !record->bars[1].visible) return;
  const HDC dc = GetWindowDC(window);
  const RECT outer{0, 0, record->rect.right - record->rect.left, record->rect.bottom - record->rect.top};
  if (bordered) {
    const HBRUSH frame = CreateSolidBrush(kFrameColor);
    FrameRect(dc, &outer, frame);
    DeleteObject(frame);
  }
  for (int which = SB_HORZ; which <= SB_VERT; ++which) {
    BarGeometry geometry{};
    if (!Geometry(*record, which, geometry)) continue;
    const HBRUSH track = CreateSolidBrush(RGB(236, 236, 236));
    FillRect(dc, &geometry.bar, track);
    DeleteObject(track);
    const HBRUSH face = CreateSolidBrush(kFaceColor);
    const HBRUSH line = CreateSolidBrush(kFrameColor);
    const RECT& bar = geometry.bar;
    const RECT boxes[2] = {
        which == SB_VERT ? RECT{bar.left, bar.top, bar.right, bar.top + geometry.arrow}
                         : RECT{bar.left, bar.top, bar.left + geometry.arrow, bar.bottom},
        which == SB_VERT ? RECT{bar.left, bar.bottom - geometry.arrow, bar.right, bar.bottom}
                         : RECT{bar.right - geometry.arrow, bar.top, bar.right, bar.bottom}};
    for (int i = 0; i < 2; ++i) {
      FillRect(dc, &boxes[i], face);
      FrameRect(dc, &boxes[i], line);
      Arrow(dc, boxes[i], which, i == 1);
    }
    const RECT thumb = which == SB_VERT
                           ? RECT{bar.left + 1, bar.top + geometry.thumbStart, bar.right - 1,
                                  bar.top + geometry.thumbStart + geometry.thumbLength}
                           : RECT{bar.left + geometry.thumbStart, bar.top + 1,
                                  bar.left + geometry.thumbStart + geometry.thumbLength, bar.bottom - 1};
    FillRect(dc, &thumb, face);
    FrameRect(dc, &thumb, line);
    DeleteObject(face);
    DeleteObject(line);
  }
  ReleaseDC(window, dc);
}

bool ScrollBarHit(HWND window, POINT screen, int& which, WORD& code, int& position) {
  const WindowRecord* record = LookupWindow(window);
  if (record == nullptr) return false;
  const RECT outer = WindowRectOnScreen(window);
  const POINT local{screen.x - outer.left, screen.y - outer.top};
  for (which = SB_HORZ; which <= SB_VERT; ++which) {
    BarGeometry geometry{};
    if (!Geometry(*record, which, geometry)) continue;
    const RECT& bar = geometry.bar;
    if (local.x < bar.left || local.x >= bar.right || local.y < bar.top || local.y >= bar.bottom) continue;
    const int along = which == SB_VERT ? local.y - bar.top : local.x - bar.left;
    const ScrollBarState& state = record->bars[which];
    position = state.position;
    if (along < geometry.arrow) {
      code = SB_LINEUP;
    } else if (along >= geometry.length - geometry.arrow) {
      code = SB_LINEDOWN;
    } else if (along < geometry.thumbStart) {
      code = SB_PAGEUP;
    } else if (along >= geometry.thumbStart + geometry.thumbLength) {
      code = SB_PAGEDOWN;
    } else {
      code = SB_THUMBTRACK;
    }
    return true;
  }
  return false;
}

int ScrollBarPositionAt(HWND window, int which, POINT screen, int grab) {
  const WindowRecord* record = LookupWindow(window);
  BarGeometry geometry{};
  if (record == nullptr || !Geometry(*record, which, geometry)) return 0;
  const RECT outer = WindowRectOnScreen(window);
  const int along = which == SB_VERT ? screen.y - outer.top - geometry.bar.top : screen.x - outer.left - geometry.bar.left;
  const ScrollBarState& state = record->bars[which];
  const int track = std::max(1, geometry.length - 2 * geometry.arrow - geometry.thumbLength);
  const int travel = std::max(0, state.maximum - state.minimum + 1 - std::max(1, state.page));
  const int offset = std::clamp(along - grab - geometry.arrow, 0, track);
  return state.minimum + offset * travel / track;
}

}  // namespace platform
