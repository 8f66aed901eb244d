// Track bars: a thumb on a channel between a minimum and a maximum, moved by
// the pen and the arrow keys, with buddy windows at its ends.
#include <algorithm>
#include <utility>

#include "platform/ControlSupport.h"
#include "platform/Dialog.h"

namespace platform {
namespace {

struct TrackBarState {
  int minimum = 0;
  int maximum = 100;
  int position = 0;
  int lineSize = 1;
  int pageSize = 20;
  int tickFrequency = 1;
  int thumbLength = 0;  // 0: the default for the height
  HWND buddies[2] = {};  // left, right
  bool dragging = false;
};

ControlStates<TrackBarState> g_trackBars;

bool Vertical(HWND window) { return (static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & TBS_VERT) != 0; }

int ThumbLength(HWND window, const TrackBarState& state) {
  if (state.thumbLength > 0) return state.thumbLength;
  RECT client{};
  GetClientRect(window, &client);
  return std::max(4, static_cast<int>(client.bottom) * 2 / 3);
}

int ThumbWidth() { return Scaled(10); }

// The channel's usable run in pixels, from the first to the last thumb centre.
void Channel(HWND window, int& start, int& length) {
  RECT client{};
  GetClientRect(window, &client);
  const int extent = Vertical(window) ? client.bottom : client.right;
  start = ThumbWidth() / 2 + Scaled(2);
  length = std::max(1, extent - 2 * start);
}

int PixelOf(HWND window, const TrackBarState& state, int position) {
  int start = 0, length = 1;
  Channel(window, start, length);
  const int range = std::max(1, state.maximum - state.minimum);
  return start + static_cast<int>(static_cast<int64_t>(position - state.minimum) * length / range);
}

int PositionAt(HWND window, const TrackBarState& state, int pixel) {
  int start = 0, length = 1;
  Channel(window, start, length);
  const int range = state.maximum - state.minimum;
  const int64_t offset = (static_cast<int64_t>(pixel - start) * range + length / 2) / length;
  return std::clamp(state.minimum + static_cast<int>(offset), state.minimum, state.maximum);
}

void Notify(HWND window, WORD code, int position) {
  const HWND parent = GetParent(window);
  if (parent == nullptr) return;
  const UINT message = Vertical(window) ? WM_VSCROLL : WM_HSCROLL;
  SendMessageW(parent, message, MAKELONG(code, static_cast<WORD>(position)), reinterpret_cast<LPARAM>(window));
}

void MoveTo(HWND window, int position, WORD code) {
  TrackBarState& state = g_trackBars.Get(window);
  state.position = std::clamp(position, state.minimum, state.maximum);
  InvalidateRect(window, nullptr, TRUE);
  Notify(window, code, state.position);
}

// Buddies sit just outside the bar's ends, centred on it.
void PlaceBuddies(HWND window) {
  TrackBarState& state = g_trackBars.Get(window);
  RECT bar{};
  GetWindowRect(window, &bar);
  const HWND parent = GetParent(window);
  for (int side = 0; side < 2; ++side) {
    const HWND buddy = state.buddies[side];
    if (!IsWindow(buddy)) continue;
    RECT own{};
    GetWindowRect(buddy, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    POINT at{side == 0 ? bar.left - width : bar.right, bar.top + (bar.bottom - bar.top - height) / 2};
    ScreenToClient(parent, &at);
    SetWindowPos(buddy, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Paint(HWND window) {
  TrackBarState& state = g_trackBars.Get(window);
  ControlPainter painter(window, nullptr);
  const RECT client = painter.client();
  painter.Fill(client, GetSysColor(COLOR_WINDOW));
  const bool vertical = Vertical(window);
  const int middle = (vertical ? client.right : client.bottom) / 2;
  int start = 0, length = 1;
  Channel(window, start, length);
  const int groove = std::max(2, Scaled(3));
  const RECT channel = vertical ? RECT{middle - groove / 2, start, middle + groove - groove / 2, start + length}
                                : RECT{start, middle - groove / 2, start + length, middle + groove - groove / 2};
  painter.Fill(channel, kFrameColor);
  // Ticks below the channel.
  const int ticks = std::max(1, state.tickFrequency);
  const int thumb = ThumbLength(window, state);
  if (state.maximum > state.minimum && (state.maximum - state.minimum) / ticks <= 200) {
    for (int value = state.minimum; value <= state.maximum; value += ticks) {
      const int at = PixelOf(window, state, value);
      const RECT tick = vertical ? RECT{middle + thumb / 2 + 1, at, middle + thumb / 2 + Scaled(4), at + 1}
                                 : RECT{at, middle + thumb / 2 + 1, at + 1, middle + thumb / 2 + Scaled(4)};
      painter.Fill(tick, kFrameColor);
    }
  }
  const int at = PixelOf(window, state, state.position);
  const int half = ThumbWidth() / 2;
  const RECT knob = vertical ? RECT{middle - thumb / 2, at - half, middle + thumb / 2, at + half}
                             : RECT{at - half, middle - thumb / 2, at + half, middle + thumb / 2};
  painter.Fill(knob, GetFocus() == window ? kSelectionColor : kFaceColor);
  painter.Frame(knob, kFrameColor);
}

}  // namespace

LRESULT TrackBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TrackBarState& state = g_trackBars.Get(window);
  switch (message) {
    case TBM_GETPOS: return state.position;
    case TBM_GETRANGEMIN: return state.minimum;
    case TBM_GETRANGEMAX: return state.maximum;
    case TBM_SETPOS:
      state.position = std::clamp(static_cast<int>(lParam), state.minimum, state.maximum);
      if (wParam) InvalidateRect(window, nullptr, TRUE);
      return 0;
    case TBM_SETRANGE:
      state.minimum = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
      state.maximum = std::max<int>(state.minimum, static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam))));
      state.position = std::clamp(state.position, state.minimum, state.maximum);
      if (wParam) InvalidateRect(window, nullptr, TRUE);
      return 0;
    case TBM_SETRANGEMIN:
      state.minimum = static_cast<int>(lParam);
      state.maximum = std::max(state.maximum, state.minimum);
      state.position = std::clamp(state.position, state.minimum, state.maximum);
      return 0;
    case TBM_SETRANGEMAX:
      state.maximum = std::max(state.minimum, static_cast<int>(lParam));
      state.position = std::clamp(state.position, state.minimum, state.maximum);
      return 0;
    case TBM_SETTICFREQ: state.tickFrequency = std::max(1, static_cast<int>(wParam)); return 0;
    case TBM_SETLINESIZE: return std::exchange(state.lineSize, std::max(1, static_cast<int>(lParam)));
    case TBM_GETLINESIZE: return state.lineSize;
    case TBM_SETPAGESIZE: return std::exchange(state.pageSize, std::max(1, static_cast<int>(lParam)));
    case TBM_GETPAGESIZE: return state.pageSize;
    case TBM_SETTHUMBLENGTH:
      state.thumbLength = std::max(0, static_cast<int>(wParam));
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case TBM_GETTHUMBLENGTH: return ThumbLength(window, state);
    case TBM_SETBUDDY: {
      const int side = wParam ? 0 : 1;
      const HWND previous = state.buddies[side];
      state.buddies[side] = reinterpret_cast<HWND>(lParam);
      PlaceBuddies(window);
      return reinterpret_cast<LRESULT>(previous);
    }
    case TBM_GETBUDDY: return reinterpret_cast<LRESULT>(state.buddies[wParam ? 0 : 1]);
    case WM_KEYDOWN: {
      int position = state.position;
      WORD code = TB_LINEDOWN;
      switch (static_cast<int>(wParam)) {
        case VK_LEFT:
        case VK_UP: position -= state.lineSize, code = TB_LINEUP; break;
        case VK_RIGHT:
        case VK_DOWN: position += state.lineSize, code = TB_LINEDOWN; break;
        case VK_PRIOR: position -= state.pageSize, code = TB_PAGEUP; break;
        case VK_NEXT: position += state.pageSize, code = TB_PAGEDOWN; break;
        case VK_HOME: position = state.minimum, code = TB_TOP; break;
        case VK_END: position = state.maximum, code = TB_BOTTOM; break;
        default: return 0;
      }
      MoveTo(window, position, code);
      // The parent may have destroyed the bar while it was told.
      if (const TrackBarState* after = g_trackBars.Find(window); after != nullptr) {
        Notify(window, TB_ENDTRACK, after->position);
      }
      return 0;
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
      SetFocus(window);
      const int pixel = Vertical(window) ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam);
      const int thumb = PixelOf(window, state, state.position);
      if (std::abs(pixel - thumb) <= ThumbWidth()) {
        state.dragging = true;
        SetCapture(window);
      } else {
        // A tap on the channel pages toward it.
        const bool before = pixel < thumb;
        MoveTo(window, state.position + (before ? -state.pageSize : state.pageSize), before ? TB_PAGEUP : TB_PAGEDOWN);
        if (const TrackBarState* after = g_trackBars.Find(window); after != nullptr) {
          Notify(window, TB_ENDTRACK, after->position);
        }
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (state.dragging) {
        const int pixel = Vertical(window) ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam);
        const int position = PositionAt(window, state, pixel);
        if (position != state.position) MoveTo(window, position, TB_THUMBTRACK);
      }
      return 0;
    case WM_LBUTTONUP:
      if (state.dragging) {
        state.dragging = false;
        const int position = state.position;
        if (GetCapture() == window) ReleaseCapture();
        Notify(window, TB_THUMBPOSITION, position);
        if (IsWindow(window)) Notify(window, TB_ENDTRACK, position);
      }
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_MOVE:
    case WM_SIZE:
      PlaceBuddies(window);
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_DESTROY:
      g_trackBars.Drop(window);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform
