#include "platform/WindowSystem.h"

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>

#include "platform/Clock.h"
#include "platform/Device.h"
#include "platform/Controls.h"
#include "platform/Gdi.h"
#include "platform/Input.h"
#include "platform/Screen.h"
#include "platform/Resources.h"
#include "platform/Window.h"
#include "platform/WideText.h"

namespace platform {

// The window frame's scroll bars (ScrollBars.cpp).
void PaintWindowFrame(HWND window);
bool ScrollBarHit(HWND window, POINT screen, int& which, WORD& code, int& position);
int ScrollBarPositionAt(HWND window, int which, POINT screen, int grab);

// Implemented by the link between processes.
HWND FindRemoteWindow(LPCWSTR className, LPCWSTR windowName);
LRESULT SendRemoteMessage(const RemoteWindow& remote, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetRemoteForeground(const RemoteWindow& remote);
void PublishWindows();
bool HasCrossProcessRequest();
bool ServeCrossProcessRequest();

namespace {

// Handles are multiples of 4 so that callers may tag the lowest bit.
constexpr uintptr_t kFirstHandle = 0x10000;
constexpr uintptr_t kHandleStep = 4;
constexpr uint32_t kDoubleClickMilliseconds = 500;
constexpr UINT_PTR kFirstAnonymousTimer = 0x7F00;
constexpr DWORD kErrorInvalidIndex = 1413;

struct ClassRecord {
  WNDCLASSW info{};
  std::u16string name;
  ATOM atom = 0;
};

struct TimerRecord {
  HWND window = nullptr;
  UINT_PTR id = 0;
  int64_t interval = 0;  // microseconds
  TIMERPROC procedure = nullptr;
  int64_t due = 0;
  uint64_t order = 0;
};

enum class InputKind { kPenDown, kPenMove, kPenUp, kKeyDown, kKeyUp, kChar };

struct InputEvent {
  InputKind kind;
  int x = 0;
  int y = 0;
  int key = 0;  // virtual key or character
  bool repeat = false;
  DWORD time = 0;
};

struct Watch {
  int descriptor;
  DescriptorCallback callback;
  void* user;
};

// A pen held on a window's scroll bar.
struct ScrollDrag {
  HWND window = nullptr;
  int which = 0;
  WORD code = 0;
};

struct State {
  ScrollDrag scrollDrag;
  std::map<uintptr_t, std::unique_ptr<WindowRecord>> windows;
  std::vector<HWND> topLevel;
  std::vector<ClassRecord> classes;
  ATOM nextAtom = 0xC000;
  uintptr_t nextHandle = kFirstHandle;
  std::deque<MSG> posted;
  std::deque<InputEvent> input;
  std::vector<TimerRecord> timers;
  uint64_t nextTimerOrder = 0;
  UINT_PTR nextAnonymousTimer = kFirstAnonymousTimer;
  bool quitPending = false;
  int quitCode = 0;
  UINT newQueueBits = 0;
  HWND active = nullptr;
  HWND lastActive = nullptr;
  HWND focus = nullptr;
  HWND capture = nullptr;
  bool anotherApplication = false;
  bool penDown = false;
  HWND lastClickWindow = nullptr;
  DWORD lastClickTime = 0;
  POINT lastClickPoint{};
  bool keyDown[256] = {};
  bool keyPressedSinceQuery[256] = {};
  KeyFilter keyFilter = nullptr;
  void* keyFilterUser = nullptr;
  std::vector<Watch> watches;
  IdleWaiter idleWaiter = nullptr;
  void* idleWaiterUser = nullptr;
  InputPump inputPump = nullptr;
  void* inputPumpUser = nullptr;
  bool published = false;
};

State& S() {
  static State* state = new State();  // lives to the end of the process
  return *state;
}

int64_t NowMicroseconds() {
  int64_t count = 0;
  int64_t frequency = 1;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<int64_t>(static_cast<__int128>(count) * 1000000 / frequency);
}

DWORD NowMilliseconds() { return GetTickCount(); }

uintptr_t Key(HWND window) { return reinterpret_cast<uintptr_t>(window); }

WindowRecord* Local(HWND window) {
  WindowRecord* record = LookupWindow(window);
  return record != nullptr && record->remote == nullptr ? record : nullptr;
}

ClassRecord* FindClass(std::u16string_view name) {
  for (auto& record : S().classes) {
    if (WideEqualsNoCase(record.name, name)) return &record;
  }
  return nullptr;
}

RECT Offset(RECT rect, int dx, int dy) { return RECT{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy}; }

bool Intersect(const RECT& a, const RECT& b, RECT& out) {
  out = RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  return out.left < out.right && out.top < out.bottom;
}

bool Contains(const RECT& rect, POINT point) {
  return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

// Frame and scroll bars around the client area.
RECT Insets(const WindowRecord& window) {
  int border = 0;
  if (window.style & WS_BORDER) border = GetSystemMetrics(SM_CXBORDER);
  if ((window.style & WS_CAPTION) == WS_DLGFRAME) border = GetSystemMetrics(SM_CXDLGFRAME);
  if (window.exStyle & WS_EX_CLIENTEDGE) border += GetSystemMetrics(SM_CXEDGE);
  RECT insets{border, border, border, border};
  if ((window.style & WS_VSCROLL) && window.bars[1].visible) insets.right += GetSystemMetrics(SM_CXVSCROLL);
  if ((window.style & WS_HSCROLL) && window.bars[0].visible) insets.bottom += GetSystemMetrics(SM_CYHSCROLL);
  return insets;
}

RECT ClientSize(const WindowRecord& window) {
  const RECT insets = Insets(window);
  const int width = window.rect.right - window.rect.left - insets.left - insets.right;
  const int height = window.rect.bottom - window.rect.top - insets.top - insets.bottom;
  return RECT{0, 0, std::max(0, width), std::max(0, height)};
}


void InsertTopLevel(HWND window, bool top) {
  auto& list = S().topLevel;
  std::erase(list, window);
  const WindowRecord* record = LookupWindow(window);
  const bool topmost = record != nullptr && (record->exStyle & WS_EX_TOPMOST);
  size_t position = 0;
  if (!topmost) {
    while (position < list.size()) {
      const WindowRecord* other = LookupWindow(list[position]);
      if (other == nullptr || !(other->exStyle & WS_EX_TOPMOST)) break;
      ++position;
    }
  }
  if (!top) position = list.size();
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(position), window);
}

template <typename Visit>
void ForSubtree(HWND window, Visit visit) {
  visit(window);
  const WindowRecord* record = LookupWindow(window);
  if (record == nullptr) return;
  const std::vector<HWND> children = record->children;
  for (HWND child : children) ForSubtree(child, visit);
}

bool InSubtree(HWND root, HWND window) {
  for (HWND current = window; current != nullptr;) {
    if (current == root) return true;
    const WindowRecord* record = LookupWindow(current);
    if (record == nullptr) return false;
    current = record->parent;
  }
  return false;
}

LPARAM PointParam(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(x)), static_cast<WORD>(static_cast<int16_t>(y)));
}

// The system's bar shows the active window's title.
void RefreshTaskBar() {
  const DeviceProfile& profile = GetDeviceProfile();
  PaintDesktop(RECT{0, 0, profile.width, profile.taskBarHeight});
}

void SendFocusChange(HWND old, HWND next) {
  if (old != nullptr && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(next), 0);
  if (next != nullptr && S().focus == next && IsWindow(next)) {
    SendMessageW(next, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  }
}

void Activate(HWND root, WORD how, LPARAM previousForNew) {
  State& state = S();
  const HWND old = state.active;
  if (old == root) return;
  // Menu bars, popups and the input panel never take the activation.
  if (const WindowRecord* record = LookupWindow(root); record != nullptr && (record->exStyle & WS_EX_NOACTIVATE)) return;
  state.active = root;
  if (root != nullptr) {
    state.lastActive = root;
    state.anotherApplication = false;
    InsertTopLevel(root, true);
  }
  RefreshTaskBar();
  if (old != nullptr && IsWindow(old)) {
    SendMessageW(old, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(root));
  }
  if (root != nullptr && IsWindow(root) && state.active == root) {
    SendMessageW(root, WM_ACTIVATE, how, previousForNew);
  }
  // The focus always lies inside the active window.
  if (state.focus != nullptr && (state.active == nullptr || !InSubtree(state.active, state.focus))) {
    const HWND lost = state.focus;
    state.focus = nullptr;
    SendFocusChange(lost, nullptr);
  }
}

// The next window to activate when the active one goes away.
HWND NextActivationCandidate(HWND leaving) {
  const WindowRecord* record = LookupWindow(leaving);
  if (record != nullptr && record->owner != nullptr) {
    const WindowRecord* owner = Local(record->owner);
    if (owner != nullptr && !owner->destroying && (owner->style & WS_VISIBLE)) return record->owner;
  }
  for (HWND candidate : S().topLevel) {
    const WindowRecord* other = Local(candidate);
    if (candidate != leaving && other != nullptr && !other->destroying && (other->style & WS_VISIBLE) &&
        !(other->style & WS_DISABLED) && !(other->exStyle & WS_EX_NOACTIVATE)) {
      return candidate;
    }
  }
  return nullptr;
}

HWND DeepestChildAt(HWND window, POINT screen) {
  const WindowRecord* record = Local(window);
  if (record == nullptr) return nullptr;
  const RECT client = ClientRectOnScreen(window);
  if (!Contains(client, screen)) return window;
  for (HWND child : record->children) {
    const WindowRecord* childRecord = Local(child);
    if (childRecord == nullptr || !(childRecord->style & WS_VISIBLE)) continue;
    if (Contains(WindowRectOnScreen(child), screen)) {
      if (childRecord->style & WS_DISABLED) return window;
      return DeepestChildAt(child, screen);
    }
  }
  return window;
}

void AddQueueBits(UINT bits) { S().newQueueBits |= bits; }

void PushInput(InputEvent event) {
  event.time = NowMilliseconds();
  UINT bits = QS_KEY;
  if (event.kind == InputKind::kPenMove) bits = QS_MOUSEMOVE;
  if (event.kind == InputKind::kPenDown || event.kind == InputKind::kPenUp) bits = QS_MOUSEBUTTON;
  AddQueueBits(bits);
  S().input.push_back(event);
}

bool MatchesFilter(const MSG& message, HWND window, UINT first, UINT last) {
  if (window != nullptr && message.hwnd != window && !IsChild(window, message.hwnd)) return false;
  if (first == 0 && last == 0) return true;
  return message.message >= first && message.message <= last;
}

// The pen on a scroll bar: the thumb follows it; lifting it ends the scroll.
bool ScrollDragMessage(const InputEvent& event, bool commit, MSG& message) {
  State& state = S();
  const ScrollDrag drag = state.scrollDrag;
  if (Local(drag.window) == nullptr || event.kind == InputKind::kPenDown) {
    if (commit) state.scrollDrag = ScrollDrag{};
    return false;
  }
  message.hwnd = drag.window;
  message.message = drag.which == 1 ? WM_VSCROLL : WM_HSCROLL;
  const int position = ScrollBarPositionAt(drag.window, drag.which, POINT{event.x, event.y}, 0);
  if (event.kind == InputKind::kPenMove) {
    if (drag.code != 5) return false;  // only the thumb follows the pen
    message.wParam = MAKELONG(5, static_cast<WORD>(position));
    if (commit) Local(drag.window)->bars[drag.which].trackPosition = position;
    return true;
  }
  if (commit) state.scrollDrag = ScrollDrag{};
  if (drag.code == 5) {
    // Thumb position now, the end of the scroll right after.
    message.wParam = MAKELONG(4, static_cast<WORD>(position));
    if (commit) state.posted.push_front(MSG{drag.window, message.message, 8, 0, event.time, {}});
    return true;
  }
  message.wParam = 8;
  return true;
}

// Turns the oldest input event into a message for its window. Returns false
// when the event has no window to go to (it is then dropped on removal).
bool InputMessage(const InputEvent& event, bool commit, MSG& message) {
  State& state = S();
  message = MSG{};
  message.time = event.time;
  message.pt = POINT{event.x, event.y};
  switch (event.kind) {
    case InputKind::kPenDown:
    case InputKind::kPenMove:
    case InputKind::kPenUp: {
      if (state.scrollDrag.window != nullptr) {
        if (event.kind != InputKind::kPenDown) return ScrollDragMessage(event, commit, message);
        if (commit) state.scrollDrag = ScrollDrag{};
      }
      HWND target = state.capture;
      if (target == nullptr) {
        if (event.kind == InputKind::kPenMove && !state.penDown) return false;
        target = WindowFromPoint(POINT{event.x, event.y});
      }
      const WindowRecord* record = Local(target);
      if (record == nullptr) return false;
      if (event.kind == InputKind::kPenDown && state.capture == nullptr &&
          !Contains(ClientRectOnScreen(target), POINT{event.x, event.y})) {
        int which = 0, position = 0;
        WORD code = 0;
        if (ScrollBarHit(target, POINT{event.x, event.y}, which, code, position)) {
          message.hwnd = target;
          message.message = which == 1 ? WM_VSCROLL : WM_HSCROLL;
          message.wParam = MAKELONG(code, static_cast<WORD>(position));
          if (commit) state.scrollDrag = ScrollDrag{target, which, code};
          return true;
        }
      }
      POINT client{event.x, event.y};
      ScreenToClient(target, &client);
      message.hwnd = target;
      message.lParam = PointParam(client.x, client.y);
      message.wParam = event.kind == InputKind::kPenUp ? 0 : MK_LBUTTON;
      message.message = event.kind == InputKind::kPenDown ? WM_LBUTTONDOWN
                        : event.kind == InputKind::kPenUp ? WM_LBUTTONUP
                                                          : WM_MOUSEMOVE;
      if (event.kind == InputKind::kPenDown) {
        const int slop = GetSystemMetrics(SM_CXDOUBLECLK) / 2;
        const bool doubleClick = (record->classStyle & CS_DBLCLKS) && state.lastClickWindow == target &&
                                 event.time - state.lastClickTime <= kDoubleClickMilliseconds &&
                                 std::abs(event.x - state.lastClickPoint.x) <= slop &&
                                 std::abs(event.y - state.lastClickPoint.y) <= slop;
        if (doubleClick) message.message = WM_LBUTTONDBLCLK;
        if (commit) {
          state.lastClickWindow = doubleClick ? nullptr : target;
          state.lastClickTime = event.time;
          state.lastClickPoint = POINT{event.x, event.y};
        }
      }
      return true;
    }
    case InputKind::kKeyDown:
    case InputKind::kKeyUp:
    case InputKind::kChar: {
      const HWND target = state.focus != nullptr ? state.focus : state.active;
      if (Local(target) == nullptr) return false;
      message.hwnd = target;
      message.wParam = static_cast<WPARAM>(event.key);
      if (event.kind == InputKind::kChar) {
        message.message = WM_CHAR;
        message.lParam = 1;
      } else if (event.kind == InputKind::kKeyDown) {
        message.message = WM_KEYDOWN;
        // Repeat count 1; bit 30 says the key was already down.
        message.lParam = 1 | (event.repeat ? (LPARAM{1} << 30) : 0);
      } else {
        message.message = WM_KEYUP;
        message.lParam = 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31);
      }
      return true;
    }
  }
  return false;
}

// The side effects of taking a pen message off the queue: tapping a window
// activates its top-level window.
void CommitPenInput(const InputEvent& event, const MSG& message) {
  State& state = S();
  if (event.kind == InputKind::kPenDown) state.penDown = true;
  if (event.kind == InputKind::kPenUp) state.penDown = false;
  if (event.kind != InputKind::kPenDown) return;
  const HWND root = RootWindow(message.hwnd);
  const WindowRecord* record = Local(root);
  if (record != nullptr && root != state.active && !(record->exStyle & WS_EX_NOACTIVATE) &&
      !(record->style & WS_DISABLED)) {
    Activate(root, WA_CLICKACTIVE, reinterpret_cast<LPARAM>(state.active));
  }
}

HWND FirstWindowToPaint(HWND window) {
  const WindowRecord* record = Local(window);
  if (record == nullptr || !(record->style & WS_VISIBLE)) return nullptr;
  if (record->updatePending) return window;
  for (HWND child : record->children) {
    if (HWND found = FirstWindowToPaint(child); found != nullptr) return found;
  }
  return nullptr;
}

TimerRecord* DueTimer(HWND filter, int64_t now) {
  TimerRecord* best = nullptr;
  for (auto& timer : S().timers) {
    if (timer.due > now) continue;
    if (filter != nullptr && timer.window != filter && !IsChild(filter, timer.window)) continue;
    if (best == nullptr || timer.due < best->due || (timer.due == best->due && timer.order < best->order)) {
      best = &timer;
    }
  }
  return best;
}

void PumpInput() {
  if (S().inputPump != nullptr) S().inputPump(S().inputPumpUser);
}

bool FetchMessage(MSG* out, HWND window, UINT first, UINT last, bool remove) {
  State& state = S();
  PumpInput();
  PollWatchedDescriptors(0);
  // Messages sent by other processes are delivered here, by the message
  // loop, before anything is taken off the queue.
  if (remove) {
    while (ServeCrossProcessRequest()) {
    }
  }
  state.newQueueBits = 0;

  for (auto it = state.posted.begin(); it != state.posted.end(); ++it) {
    if (!MatchesFilter(*it, window, first, last)) continue;
    *out = *it;
    if (remove) state.posted.erase(it);
    return true;
  }

  while (!state.input.empty()) {
    const InputEvent event = state.input.front();
    MSG message;
    if (!InputMessage(event, remove, message)) {
      if (!remove) break;
      state.input.pop_front();
      continue;
    }
    if (!MatchesFilter(message, window, first, last)) break;
    if (!remove) {
      *out = message;
      return true;
    }
    state.input.pop_front();
    const bool isKey = event.kind == InputKind::kKeyDown || event.kind == InputKind::kKeyUp;
    if (isKey && state.keyFilter != nullptr &&
        state.keyFilter(state.keyFilterUser, message.message, message.wParam, message.lParam)) {
      continue;
    }
    if (!isKey && event.kind != InputKind::kChar) CommitPenInput(event, message);
    if (!IsWindow(message.hwnd)) continue;
    // The device's Help key asks the focused window for help; controls pass
    // the request on to their parents.
    if (isKey && message.wParam == static_cast<WPARAM>(VK_HELP)) {
      if (message.message != WM_KEYDOWN) continue;
      message.message = WM_HELP;
      message.wParam = 0;
      message.lParam = 0;
    }
    *out = message;
    return true;
  }

  if (state.quitPending && window == nullptr) {
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(state.quitCode), 0, NowMilliseconds(), {}};
    if (remove) state.quitPending = false;
    return true;
  }

  if (first == 0 && last == 0 ? true : (WM_PAINT >= first && WM_PAINT <= last)) {
    const std::vector<HWND> tops = state.topLevel;
    for (HWND top : tops) {
      if (window != nullptr && !InSubtree(window, top) && !InSubtree(top, window)) continue;
      HWND paint = FirstWindowToPaint(top);
      if (paint != nullptr && (window == nullptr || InSubtree(window, paint))) {
        *out = MSG{paint, WM_PAINT, 0, 0, NowMilliseconds(), {}};
        return true;
      }
    }
  }

  if (first == 0 && last == 0 ? true : (WM_TIMER >= first && WM_TIMER <= last)) {
    const int64_t now = NowMicroseconds();
    if (TimerRecord* timer = DueTimer(window, now); timer != nullptr) {
      *out = MSG{timer->window, WM_TIMER, timer->id, reinterpret_cast<LPARAM>(timer->procedure), NowMilliseconds(),
                 {}};
      if (remove) {
        // On the virtual clock every elapsed interval fires, in order; the
        // real clock drops the intervals the loop was too busy to see.
        timer->due += timer->interval;
        if (!IsVirtualClock() && timer->due <= now) timer->due = now + timer->interval;
      }
      return true;
    }
  }
  return false;
}

void WaitForSomething() {
  State& state = S();
  int64_t wait = -1;
  if (!state.timers.empty()) {
    int64_t next = state.timers.front().due;
    for (const auto& timer : state.timers) next = std::min(next, timer.due);
    wait = std::max<int64_t>(0, next - NowMicroseconds());
  }
  if (state.idleWaiter != nullptr) {
    state.idleWaiter(state.idleWaiterUser, wait);
    return;
  }
  if (IsVirtualClock() && wait >= 0) {
    // Nothing else can happen before the next timer: let time pass.
    if (wait > 0) AdvanceVirtualClock(wait);
    return;
  }
  if (IsVirtualClock() && state.watches.empty()) {
    std::fprintf(stderr, "message loop: nothing can ever arrive (virtual clock, no timers, no input)\n");
    std::abort();
  }
  const int64_t milliseconds = wait < 0 ? 100 : std::min<int64_t>(100, (wait + 999) / 1000);
  PollWatchedDescriptors(static_cast<int>(milliseconds));
}

void SendDestroy(HWND window) {
  if (!IsWindow(window)) return;
  SendMessageW(window, WM_DESTROY, 0, 0);
  WindowRecord* record = Local(window);
  if (record == nullptr) return;
  const std::vector<HWND> children = record->children;
  for (HWND child : children) {
    if (WindowRecord* childRecord = Local(child); childRecord != nullptr) childRecord->destroying = true;
    SendDestroy(child);
  }
}

void RemoveRecords(HWND window) {
  State& state = S();
  WindowRecord* record = LookupWindow(window);
  if (record == nullptr) return;
  const std::vector<HWND> children = record->children;
  for (HWND child : children) RemoveRecords(child);
  std::erase_if(state.timers, [&](const TimerRecord& timer) { return timer.window == window; });
  if (record->parent != nullptr) {
    if (WindowRecord* parent = LookupWindow(record->parent); parent != nullptr) std::erase(parent->children, window);
  }
  std::erase(state.topLevel, window);
  if (state.focus == window) state.focus = nullptr;
  if (state.capture == window) state.capture = nullptr;
  if (state.active == window) state.active = nullptr;
  if (state.lastActive == window) state.lastActive = nullptr;
  if (state.lastClickWindow == window) state.lastClickWindow = nullptr;
  state.windows.erase(Key(window));
}

}  // namespace

// ---- records ---------------------------------------------------------------

WindowRecord* LookupWindow(HWND window) {
  const auto it = S().windows.find(Key(window));
  return it == S().windows.end() ? nullptr : it->second.get();
}

const std::vector<HWND>& TopLevelWindows() { return S().topLevel; }

RECT WindowRectOnScreen(HWND window) {
  const WindowRecord* record = Local(window);
  if (record == nullptr) return RECT{};
  if (record->parent == nullptr) return record->rect;
  const RECT parentClient = ClientRectOnScreen(record->parent);
  return Offset(record->rect, parentClient.left, parentClient.top);
}

RECT ClientRectOnScreen(HWND window) {
  const WindowRecord* record = Local(window);
  if (record == nullptr) return RECT{};
  const RECT outer = WindowRectOnScreen(window);
  const RECT size = ClientSize(*record);
  const RECT insets = Insets(*record);
  return RECT{outer.left + insets.left, outer.top + insets.top, outer.left + insets.left + size.right,
              outer.top + insets.top + size.bottom};
}

bool IsShownOnScreen(HWND window) {
  for (HWND current = window; current != nullptr;) {
    const WindowRecord* record = Local(current);
    if (record == nullptr || !(record->style & WS_VISIBLE)) return false;
    current = record->parent;
  }
  return window != nullptr;
}

HWND RootWindow(HWND window) {
  HWND current = window;
  while (const WindowRecord* record = Local(current)) {
    if (record->parent == nullptr) return current;
    current = record->parent;
  }
  return nullptr;
}

void UpdateNonClientArea(HWND window) {
  if (WindowRecord* record = Local(window); record != nullptr) {
    const RECT client = ClientSize(*record);
    InvalidateScreenRect(WindowRectOnScreen(window));
    SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(static_cast<WORD>(client.right), static_cast<WORD>(client.bottom)));
  }
}

void InvalidateScreenRect(const RECT& screen) {
  PaintDesktop(screen);
  std::vector<HWND> all;
  for (HWND top : S().topLevel) ForSubtree(top, [&](HWND window) { all.push_back(window); });
  for (HWND window : all) {
    if (!IsShownOnScreen(window)) continue;
    const RECT client = ClientRectOnScreen(window);
    RECT overlap;
    if (!Intersect(client, screen, overlap)) continue;
    const RECT local = Offset(overlap, -client.left, -client.top);
    InvalidateRect(window, &local, TRUE);
  }
}

HWND MakeRemoteWindow(const std::string& socketPath, uint64_t handle) {
  State& state = S();
  for (auto& [key, record] : state.windows) {
    if (record->remote != nullptr && record->remote->socketPath == socketPath && record->remote->handle == handle) {
      return record->handle;
    }
  }
  auto record = std::make_unique<WindowRecord>();
  record->handle = reinterpret_cast<HWND>(state.nextHandle);
  state.nextHandle += kHandleStep;
  record->remote = std::make_unique<RemoteWindow>(RemoteWindow{socketPath, handle});
  const HWND result = record->handle;
  state.windows.emplace(Key(result), std::move(record));
  return result;
}

HWND FindLocalWindow(LPCWSTR className, LPCWSTR windowName) {
  for (HWND window : S().topLevel) {
    const WindowRecord* record = Local(window);
    if (record == nullptr || record->destroying) continue;
    if (className != nullptr && !WideEqualsNoCase(record->className, WideView(className))) continue;
    if (windowName != nullptr && record->text != WideView(windowName)) continue;
    return window;
  }
  return nullptr;
}

void WatchDescriptor(int descriptor, DescriptorCallback callback, void* user) {
  UnwatchDescriptor(descriptor);
  S().watches.push_back(Watch{descriptor, callback, user});
}

void UnwatchDescriptor(int descriptor) {
  std::erase_if(S().watches, [&](const Watch& watch) { return watch.descriptor == descriptor; });
}

void PollWatchedDescriptors(int timeoutMilliseconds) {
  State& state = S();
  if (state.watches.empty()) {
    if (timeoutMilliseconds > 0 && !IsVirtualClock()) Sleep(static_cast<uint32_t>(timeoutMilliseconds));
    return;
  }
  std::vector<pollfd> descriptors;
  for (const auto& watch : state.watches) descriptors.push_back(pollfd{watch.descriptor, POLLIN, 0});
  if (::poll(descriptors.data(), descriptors.size(), timeoutMilliseconds) <= 0) return;
  const std::vector<Watch> watches = state.watches;
  for (size_t i = 0; i < descriptors.size(); ++i) {
    if (descriptors[i].revents == 0) continue;
    // An earlier callback may have dropped this watch (and its user).
    const bool still = std::any_of(state.watches.begin(), state.watches.end(), [&](const Watch& watch) {
      return watch.descriptor == watches[i].descriptor && watch.user == watches[i].user &&
             watch.callback == watches[i].callback;
    });
    if (still) watches[i].callback(watches[i].user);
  }
}

bool HasWatchedDescriptors() { return !S().watches.empty(); }

void SetIdleWaiter(IdleWaiter waiter, void* user) {
  S().idleWaiter = waiter;
  S().idleWaiterUser = user;
}

void SetInputPump(InputPump pump, void* user) {
  S().inputPump = pump;
  S().inputPumpUser = user;
}

void ResetWindowSystem() {
  State& state = S();
  state.windows.clear();
  state.topLevel.clear();
  state.classes.clear();
  state.posted.clear();
  state.input.clear();
  state.timers.clear();
  state.quitPending = false;
  state.newQueueBits = 0;
  state.active = state.lastActive = state.focus = state.capture = nullptr;
  state.anotherApplication = false;
  state.penDown = false;
  state.lastClickWindow = nullptr;
  std::fill(std::begin(state.keyDown), std::end(state.keyDown), false);
  std::fill(std::begin(state.keyPressedSinceQuery), std::end(state.keyPressedSinceQuery), false);
  state.keyFilter = nullptr;
  state.idleWaiter = nullptr;
  state.inputPump = nullptr;
}

// ---- classes and windows ---------------------------------------------------

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr ||
      windowClass->cbWndExtra < 0 || windowClass->cbClsExtra < 0 || windowClass->cbWndExtra > 1024) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string_view name = WideView(windowClass->lpszClassName);
  if (name.empty() || FindClass(name) != nullptr) {
    SetLastError(name.empty() ? ERROR_INVALID_PARAMETER : ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  ClassRecord record;
  record.info = *windowClass;
  record.name = name;
  record.atom = S().nextAtom++;
  record.info.lpszClassName = nullptr;
  record.info.lpszMenuName = nullptr;
  S().classes.push_back(std::move(record));
  return S().classes.back().atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  const std::u16string_view name = WideView(className);
  for (const auto& [key, window] : S().windows) {
    if (WideEqualsNoCase(window->className, name)) return FALSE;  // still in use
  }
  return std::erase_if(S().classes, [&](const ClassRecord& record) { return WideEqualsNoCase(record.name, name); }) > 0;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW* windowClass) {
  const ClassRecord* record = FindClass(WideView(className));
  if (record == nullptr || windowClass == nullptr) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
  }
  *windowClass = record->info;
  windowClass->lpszClassName = className;
  return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, void* parameter) {
  State& state = S();
  const ClassRecord* windowClass = FindClass(WideView(className));
  if (windowClass == nullptr) {
    RegisterControlClasses();
    windowClass = FindClass(WideView(className));
  }
  if (windowClass == nullptr) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  const bool child = (style & WS_CHILD) != 0;
  if (child && Local(parent) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (parent != nullptr && Local(parent) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  auto record = std::make_unique<WindowRecord>();
  const HWND handle = reinterpret_cast<HWND>(state.nextHandle);
  state.nextHandle += kHandleStep;
  record->handle = handle;
  record->className = windowClass->name;
  record->classStyle = windowClass->info.style;
  record->background = windowClass->info.hbrBackground;
  record->cursor = windowClass->info.hCursor;
  record->procedure = windowClass->info.lpfnWndProc;
  record->instance = instance;
  record->style = style & ~WS_VISIBLE;
  record->exStyle = exStyle;
  record->text = WideView(windowName);
  record->extraWords.assign(static_cast<size_t>((windowClass->info.cbWndExtra + 3) / 4), 0);
  record->bars[0].visible = (style & WS_HSCROLL) != 0;
  record->bars[1].visible = (style & WS_VSCROLL) != 0;
  if (child) {
    record->parent = parent;
    record->id = reinterpret_cast<LONG_PTR>(menu);
  } else {
    record->owner = parent == nullptr ? nullptr : RootWindow(parent);
  }
  if (x == CW_USEDEFAULT || width == CW_USEDEFAULT) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    if (child) work = RECT{};
    if (x == CW_USEDEFAULT) x = work.left, y = work.top;
    if (width == CW_USEDEFAULT) width = work.right - work.left, height = work.bottom - work.top;
  }
  record->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
  state.windows.emplace(Key(handle), std::move(record));
  if (child) {
    Local(parent)->children.insert(Local(parent)->children.begin(), handle);
  } else {
    InsertTopLevel(handle, true);
    if (!state.published) {
      state.published = true;
      PublishWindows();
    }
  }

  CREATESTRUCTW create{parameter, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                       windowName,  className, exStyle};
  if (SendMessageW(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!IsWindow(handle)) return nullptr;
  const RECT client = ClientSize(*Local(handle));
  SendMessageW(handle, WM_SIZE, SIZE_RESTORED,
               MAKELPARAM(static_cast<WORD>(client.right), static_cast<WORD>(client.bottom)));
  SendMessageW(handle, WM_MOVE, 0, PointParam(x, y));
  if (IsWindow(handle) && (style & WS_VISIBLE)) ShowWindow(handle, SW_SHOW);
  return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND window) {
  State& state = S();
  WindowRecord* record = LookupWindow(window);
  if (record == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (record->remote != nullptr) {
    state.windows.erase(Key(window));
    return TRUE;
  }
  if (record->destroying) return TRUE;
  record->destroying = true;

  // Owned windows go first.
  const std::vector<HWND> tops = state.topLevel;
  for (HWND top : tops) {
    const WindowRecord* other = Local(top);
    if (other != nullptr && other->owner == window) DestroyWindow(top);
  }
  record = Local(window);
  if (record == nullptr) return TRUE;
  const bool shown = IsShownOnScreen(window);
  const RECT screen = WindowRectOnScreen(window);
  record->style &= ~WS_VISIBLE;
  if (shown) InvalidateScreenRect(screen);

  if (state.capture != nullptr && InSubtree(window, state.capture)) ReleaseCapture();
  if (state.active != nullptr && InSubtree(window, state.active)) {
    const HWND next = NextActivationCandidate(window);
    if (next != nullptr) {
      Activate(next, WA_ACTIVE, reinterpret_cast<LPARAM>(window));
    } else {
      state.active = nullptr;
    }
  }
  if (state.focus != nullptr && InSubtree(window, state.focus)) {
    const HWND lost = state.focus;
    state.focus = nullptr;
    SendFocusChange(lost, nullptr);
  }
  SendDestroy(window);
  RemoveRecords(window);
  return TRUE;
}

BOOL IsWindow(HWND window) { return LookupWindow(window) != nullptr; }

LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (procedure == nullptr) return 0;
  return procedure(window, message, wParam, lParam);
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* record = Local(window);
  if (record == nullptr) return 0;
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SETTEXT:
      record->text = WideView(reinterpret_cast<LPCWSTR>(lParam));
      if (window == S().active) RefreshTaskBar();
      return TRUE;
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) return 0;
      return static_cast<LRESULT>(WideCopy(reinterpret_cast<WCHAR*>(lParam), wParam, record->text));
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(record->text.size());
    case WM_PAINT: {
      // Painting nothing still erases the background.
      PAINTSTRUCT paint{};
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND: {
      if (record->background == nullptr) return 0;
      RECT client{};
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, record->background);
      return 1;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && (S().focus == nullptr || !InSubtree(window, S().focus))) {
        SetFocus(window);
      }
      return 0;
    case WM_SETCURSOR:
      if (record->cursor != nullptr) SetCursor(record->cursor);
      return TRUE;
    case WM_HELP:
      if (record->parent != nullptr) return SendMessageW(record->parent, WM_HELP, wParam, lParam);
      return 0;
    default:
      return 0;
  }
}

LONG_PTR GetWindowLongW(HWND window, int index) {
  const WindowRecord* record = Local(window);
  if (record == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(record->procedure);
    case GWL_HINSTANCE: return reinterpret_cast<LONG_PTR>(record->instance);
    case GWL_HWNDPARENT: return reinterpret_cast<LONG_PTR>(record->parent != nullptr ? record->parent : record->owner);
    case GWL_ID: return record->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(record->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(record->exStyle);
    case GWL_USERDATA: return record->userData;
    default: break;
  }
  if (index >= 0 && index % 4 == 0 && static_cast<size_t>(index / 4) < record->extraWords.size()) {
    return record->extraWords[static_cast<size_t>(index / 4)];
  }
  SetLastError(kErrorInvalidIndex);
  return 0;
}

LONG_PTR SetWindowLongW(HWND window, int index, LONG_PTR value) {
  WindowRecord* record = Local(window);
  if (record == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR old = 0;
  switch (index) {
    case GWL_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(record->procedure);
      record->procedure = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWL_ID:
      old = record->id;
      record->id = value;
      return old;
    case GWL_STYLE:
      old = static_cast<LONG_PTR>(record->style);
      record->style = static_cast<DWORD>(value);
      return old;
    case GWL_EXSTYLE:
      old = static_cast<LONG_PTR>(record->exStyle);
      record->exStyle = static_cast<DWORD>(value);
      return old;
    case GWL_USERDATA:
      old = record->userData;
      record->userData = value;
      return old;
    default: break;
  }
  if (index >= 0 && index % 4 == 0 && static_cast<size_t>(index / 4) < record->extraWords.size()) {
    old = record->extraWords[static_cast<size_t>(index / 4)];
    record->extraWords[static_cast<size_t>(index / 4)] = value;
    return old;
  }
  SetLastError(kErrorInvalidIndex);
  return 0;
}

// ---- messages --------------------------------------------------------------

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const WindowRecord* record = LookupWindow(window);
  if (record == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (record->remote != nullptr) return SendRemoteMessage(*record->remote, message, wParam, lParam);
  return CallWindowProcW(record->procedure, window, message, wParam, lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr && Local(window) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  S().posted.push_back(MSG{window, message, wParam, lParam, NowMilliseconds(), {}});
  AddQueueBits(QS_POSTMESSAGE);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  S().quitPending = true;
  S().quitCode = exitCode;
  AddQueueBits(QS_POSTMESSAGE);
}

BOOL GetMessageW(MSG* message, HWND window, UINT first, UINT last) {
  if (message == nullptr) return -1;
  while (!FetchMessage(message, window, first, last, true)) WaitForSomething();
  return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(MSG* message, HWND window, UINT first, UINT last, UINT remove) {
  if (message == nullptr) return FALSE;
  return FetchMessage(message, window, first, last, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG* message) {
  if (message == nullptr || message->message != WM_KEYDOWN) return FALSE;
  const auto key = static_cast<int>(message->wParam);
  WCHAR character = 0;
  if (key == VK_BACK || key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE || key == VK_SPACE) {
    character = static_cast<WCHAR>(key);
  } else if (key >= '0' && key <= '9') {
    character = static_cast<WCHAR>(key);
  } else if (key == VK_TSTAR || key == VK_MULTIPLY) {
    character = u'*';
  } else if (key == VK_TPOUND) {
    character = u'#';
  } else if (key >= 'A' && key <= 'Z') {
    character = static_cast<WCHAR>(S().keyDown[VK_SHIFT] ? key : key + 32);
  }
  if (character == 0) return FALSE;
  // The character is the next message the loop sees.
  S().posted.push_front(MSG{message->hwnd, WM_CHAR, character, message->lParam, message->time, message->pt});
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* message) {
  if (message == nullptr) return 0;
  if (message->message == WM_TIMER && message->lParam != 0) {
    // A timer killed after its message was taken off the queue stays quiet.
    const auto procedure = reinterpret_cast<TIMERPROC>(message->lParam);
    const bool alive = std::any_of(S().timers.begin(), S().timers.end(), [&](const TimerRecord& timer) {
      return timer.window == message->hwnd && timer.id == message->wParam && timer.procedure == procedure;
    });
    if (alive) procedure(message->hwnd, WM_TIMER, message->wParam, NowMilliseconds());
    return 0;
  }
  if (message->hwnd == nullptr) return 0;
  const WindowRecord* record = Local(message->hwnd);
  if (record == nullptr) return 0;
  if (message->message == WM_TIMER) {
    const bool alive = std::any_of(S().timers.begin(), S().timers.end(), [&](const TimerRecord& timer) {
      return timer.window == message->hwnd && timer.id == message->wParam;
    });
    if (!alive) return 0;
  }
  const LRESULT result = CallWindowProcW(record->procedure, message->hwnd, message->message, message->wParam,
                                         message->lParam);
  // A window procedure that paints without validating would otherwise be
  // asked to paint for ever.
  if (message->message == WM_PAINT) {
    ValidateRect(message->hwnd, nullptr);
    PaintWindowFrame(message->hwnd);
  }
  return result;
}

DWORD GetQueueStatus(UINT flags) {
  State& state = S();
  // Looking only: input waiting in the screen back end joins the queue and
  // requests of other processes are read, but nothing is dispatched.
  PumpInput();
  PollWatchedDescriptors(0);
  UINT current = 0;
  if (HasCrossProcessRequest()) current |= QS_SENDMESSAGE;
  for (const auto& event : state.input) {
    if (event.kind == InputKind::kPenMove) current |= QS_MOUSEMOVE;
    else if (event.kind == InputKind::kPenDown || event.kind == InputKind::kPenUp) current |= QS_MOUSEBUTTON;
    else current |= QS_KEY;
  }
  if (!state.posted.empty() || state.quitPending) current |= QS_POSTMESSAGE;
  for (HWND top : state.topLevel) {
    if (FirstWindowToPaint(top) != nullptr) current |= QS_PAINT;
  }
  if (DueTimer(nullptr, NowMicroseconds()) != nullptr) current |= QS_TIMER;
  const UINT added = state.newQueueBits;
  state.newQueueBits = 0;
  return MAKELONG(static_cast<WORD>(added & flags), static_cast<WORD>(current & flags));
}

// ---- geometry ----------------------------------------------------------------

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  WindowRecord* record = Local(window);
  if (record == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const RECT before = record->rect;
  const RECT beforeScreen = WindowRectOnScreen(window);
  const bool wasShown = IsShownOnScreen(window);
  RECT after = before;
  if (!(flags & SWP_NOMOVE)) after = Offset(after, x - before.left, y - before.top);
  if (!(flags & SWP_NOSIZE)) {
    after.right = after.left + std::max(0, width);
    after.bottom = after.top + std::max(0, height);
  }
  record->rect = after;
  if (!(flags & SWP_NOZORDER)) {
    if (insertAfter == HWND_TOPMOST) record->exStyle |= WS_EX_TOPMOST;
    if (insertAfter == HWND_NOTOPMOST) record->exStyle &= ~WS_EX_TOPMOST;
    const bool bottom = insertAfter == HWND_BOTTOM;
    if (record->parent == nullptr) {
      InsertTopLevel(window, !bottom);
    } else if (WindowRecord* parent = Local(record->parent); parent != nullptr) {
      std::erase(parent->children, window);
      if (bottom) {
        parent->children.push_back(window);
      } else {
        parent->children.insert(parent->children.begin(), window);
      }
    }
  }
  if (flags & SWP_SHOWWINDOW) record->style |= WS_VISIBLE;
  if (flags & SWP_HIDEWINDOW) record->style &= ~WS_VISIBLE;
  const bool shown = IsShownOnScreen(window);
  const bool moved = after.left != before.left || after.top != before.top;
  const bool sized = (after.right - after.left) != (before.right - before.left) ||
                     (after.bottom - after.top) != (before.bottom - before.top);
  if (!(flags & SWP_NOREDRAW) && (moved || sized || shown != wasShown || !(flags & SWP_NOZORDER))) {
    if (wasShown) InvalidateScreenRect(beforeScreen);
    if (shown) {
      InvalidateScreenRect(WindowRectOnScreen(window));
      ForSubtree(window, [](HWND each) { InvalidateRect(each, nullptr, TRUE); });
    }
  }
  if (shown && !wasShown && record->parent == nullptr && !(flags & SWP_NOACTIVATE)) {
    Activate(window, WA_ACTIVE, reinterpret_cast<LPARAM>(S().active));
  }
  if (!IsWindow(window)) return TRUE;
  WINDOWPOS position{window, insertAfter, after.left, after.top, after.right - after.left, after.bottom - after.top,
                     flags};
  SendMessageW(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&position));
  if (moved && IsWindow(window)) SendMessageW(window, WM_MOVE, 0, PointParam(after.left, after.top));
  if (sized && IsWindow(window)) {
    const RECT client = ClientSize(*Local(window));
    SendMessageW(window, WM_SIZE, SIZE_RESTORED,
                 MAKELPARAM(static_cast<WORD>(client.right), static_cast<WORD>(client.bottom)));
  }
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(window, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  if (Local(window) == nullptr || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = WindowRectOnScreen(window);
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  const WindowRecord* record = Local(window);
  if (record == nullptr || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = ClientSize(*record);
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  const RECT fromClient = from == nullptr ? RECT{} : ClientRectOnScreen(from);
  const RECT toClient = to == nullptr ? RECT{} : ClientRectOnScreen(to);
  const int dx = fromClient.left - toClient.left;
  const int dy = fromClient.top - toClient.top;
  for (UINT i = 0; points != nullptr && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return static_cast<int>(MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}

BOOL ScreenToClient(HWND window, POINT* point) {
  if (Local(window) == nullptr || point == nullptr) return FALSE;
  MapWindowPoints(nullptr, window, point, 1);
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  if (Local(window) == nullptr || point == nullptr) return FALSE;
  MapWindowPoints(window, nullptr, point, 1);
  return TRUE;
}

BOOL ShowWindow(HWND window, int command) {
  WindowRecord* record = Local(window);
  if (record == nullptr) return FALSE;
  const bool wasVisible = (record->style & WS_VISIBLE) != 0;
  const bool show = command != SW_HIDE && command != SW_MINIMIZE;
  if (show == wasVisible) {
    if (show && record->parent == nullptr && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
        S().active != window) {
      Activate(window, WA_ACTIVE, reinterpret_cast<LPARAM>(S().active));
    }
    return wasVisible;
  }
  SendMessageW(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  if (!IsWindow(window)) return wasVisible;
  UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
  if (command == SW_SHOWNA || command == SW_SHOWNOACTIVATE || !show) flags |= SWP_NOACTIVATE;
  SetWindowPos(window, nullptr, 0, 0, 0, 0, flags);
  if (!show && S().active == window) {
    Activate(NextActivationCandidate(window), WA_ACTIVE, reinterpret_cast<LPARAM>(window));
  }
  if (!show && S().focus != nullptr && InSubtree(window, S().focus)) {
    // A hidden control cannot keep the focus; it goes back to its window.
    const HWND root = RootWindow(window);
    SetFocus(root != window && IsShownOnScreen(root) ? root : nullptr);
  }
  return wasVisible;
}

BOOL IsWindowVisible(HWND window) { return IsShownOnScreen(window) ? TRUE : FALSE; }

BOOL EnableWindow(HWND window, BOOL enable) {
  WindowRecord* record = Local(window);
  if (record == nullptr) return FALSE;
  const bool wasDisabled = (record->style & WS_DISABLED) != 0;
  if (wasDisabled == !enable) return wasDisabled;
  if (enable) {
    record->style &= ~WS_DISABLED;
  } else {
    record->style |= WS_DISABLED;
    if (S().focus != nullptr && InSubtree(window, S().focus)) SetFocus(nullptr);
    if (S().capture != nullptr && InSubtree(window, S().capture)) ReleaseCapture();
  }
  SendMessageW(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
  InvalidateRect(window, nullptr, TRUE);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
  const WindowRecord* record = Local(window);
  return record != nullptr && !(record->style & WS_DISABLED);
}

BOOL BringWindowToTop(HWND window) {
  return SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

HWND GetParent(HWND window) {
  const WindowRecord* record = Local(window);
  if (record == nullptr) return nullptr;
  return record->parent != nullptr ? record->parent : record->owner;
}

HWND GetWindow(HWND window, UINT relation) {
  const WindowRecord* record = Local(window);
  if (record == nullptr) return nullptr;
  if (relation == GW_CHILD) return record->children.empty() ? nullptr : record->children.front();
  if (relation == GW_OWNER) return record->owner;
  const std::vector<HWND>* siblings = &S().topLevel;
  if (record->parent != nullptr) siblings = &Local(record->parent)->children;
  if (siblings->empty()) return nullptr;
  const auto it = std::find(siblings->begin(), siblings->end(), window);
  switch (relation) {
    case GW_HWNDFIRST: return siblings->front();
    case GW_HWNDLAST: return siblings->back();
    case GW_HWNDNEXT: return (it == siblings->end() || it + 1 == siblings->end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV: return (it == siblings->begin() || it == siblings->end()) ? nullptr : *(it - 1);
    default: return nullptr;
  }
}

HWND GetDlgItem(HWND dialog, int id) {
  const WindowRecord* record = Local(dialog);
  if (record == nullptr) return nullptr;
  for (HWND child : record->children) {
    const WindowRecord* childRecord = Local(child);
    if (childRecord != nullptr && childRecord->id == id) return child;
  }
  return nullptr;
}

int GetDlgCtrlID(HWND window) {
  const WindowRecord* record = Local(window);
  return record == nullptr ? 0 : static_cast<int>(record->id);
}

BOOL IsChild(HWND parent, HWND window) {
  if (parent == nullptr || window == nullptr || parent == window) return FALSE;
  const WindowRecord* record = Local(window);
  return record != nullptr && record->parent != nullptr && InSubtree(parent, window);
}

HWND WindowFromPoint(POINT screenPoint) {
  for (HWND top : S().topLevel) {
    const WindowRecord* record = Local(top);
    if (record == nullptr || !(record->style & WS_VISIBLE)) continue;
    if (!Contains(record->rect, screenPoint)) continue;
    // Input to a disabled window (the owner of a modal dialog) goes nowhere.
    if (record->style & WS_DISABLED) return nullptr;
    return DeepestChildAt(top, screenPoint);
  }
  return nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT clientPoint) {
  const WindowRecord* record = Local(parent);
  if (record == nullptr) return nullptr;
  if (!Contains(ClientSize(*record), clientPoint)) return nullptr;
  for (HWND child : record->children) {
    const WindowRecord* childRecord = Local(child);
    if (childRecord != nullptr && Contains(childRecord->rect, clientPoint)) return child;
  }
  return parent;
}

// ---- painting ----------------------------------------------------------------

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  if (window == nullptr) {
    const std::vector<HWND> tops = S().topLevel;
    for (HWND top : tops) InvalidateRect(top, nullptr, erase);
    return TRUE;
  }
  WindowRecord* record = Local(window);
  if (record == nullptr) return FALSE;
  const RECT client = ClientSize(*record);
  RECT area = client;
  if (rect != nullptr && !Intersect(*rect, client, area)) return TRUE;
  if (area.right <= area.left || area.bottom <= area.top) return TRUE;
  if (record->updatePending) {
    record->update = RECT{std::min(record->update.left, area.left), std::min(record->update.top, area.top),
                          std::max(record->update.right, area.right), std::max(record->update.bottom, area.bottom)};
  } else {
    record->update = area;
  }
  record->updatePending = true;
  record->erasePending = record->erasePending || erase;
  AddQueueBits(QS_PAINT);
  return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
  WindowRecord* record = Local(window);
  if (record == nullptr) return FALSE;
  RECT covered;
  // Only a rectangle covering the whole update area validates it; a part
  // leaves the bounding rectangle pending.
  if (rect == nullptr || (Intersect(*rect, record->update, covered) && covered.left == record->update.left &&
                          covered.top == record->update.top && covered.right == record->update.right &&
                          covered.bottom == record->update.bottom)) {
    record->updatePending = false;
    record->erasePending = false;
    record->update = RECT{};
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL) {
  const WindowRecord* record = Local(window);
  if (record == nullptr || !record->updatePending) {
    if (rect != nullptr) *rect = RECT{};
    return FALSE;
  }
  if (rect != nullptr) *rect = record->update;
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  const WindowRecord* record = Local(window);
  if (record == nullptr) return FALSE;
  if (record->updatePending && IsShownOnScreen(window)) {
    SendMessageW(window, WM_PAINT, 0, 0);
    ValidateRect(window, nullptr);
    PaintWindowFrame(window);
  }
  return TRUE;
}

// ---- text --------------------------------------------------------------------

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
  if (Local(window) == nullptr) return FALSE;
  const LPCWSTR safe = text == nullptr ? u"" : text;
  return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(safe)) != 0 ? TRUE : FALSE;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  buffer[0] = 0;
  if (Local(window) == nullptr) return 0;
  return static_cast<int>(
      SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(capacity), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND window) {
  if (Local(window) == nullptr) return 0;
  return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

int GetClassNameW(HWND window, LPWSTR buffer, int capacity) {
  const WindowRecord* record = Local(window);
  if (record == nullptr || buffer == nullptr || capacity <= 0) return 0;
  return static_cast<int>(WideCopy(buffer, static_cast<size_t>(capacity), record->className));
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  if (HWND local = FindLocalWindow(className, windowName); local != nullptr) return local;
  return FindRemoteWindow(className, windowName);
}

// ---- activation, focus and capture ---------------------------------------------

BOOL SetForegroundWindow(HWND window) {
  // The lowest bit asks for the window's popups too; ours come along anyway.
  window = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(window) & ~uintptr_t{1});
  const WindowRecord* record = LookupWindow(window);
  if (record == nullptr) return FALSE;
  if (record->remote != nullptr) return SetRemoteForeground(*record->remote);
  S().anotherApplication = false;
  const HWND root = RootWindow(window);
  if (S().active != root) Activate(root, WA_ACTIVE, reinterpret_cast<LPARAM>(S().active));
  return TRUE;
}

HWND GetForegroundWindow() { return S().anotherApplication ? nullptr : S().active; }

HWND SetActiveWindow(HWND window) {
  const HWND old = S().active;
  const HWND root = RootWindow(window);
  if (root == nullptr) return nullptr;
  Activate(root, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
  return old;
}

HWND GetActiveWindow() { return S().active; }

HWND SetFocus(HWND window) {
  State& state = S();
  const HWND old = state.focus;
  if (window != nullptr) {
    const WindowRecord* record = Local(window);
    if (record == nullptr || (record->style & WS_DISABLED)) return nullptr;
    const HWND root = RootWindow(window);
    if (state.active != root) Activate(root, WA_ACTIVE, reinterpret_cast<LPARAM>(state.active));
    if (!IsWindow(window)) return nullptr;
  }
  if (state.focus == window) return old;
  const HWND previous = state.focus;
  state.focus = window;
  SendFocusChange(previous, window);
  return previous;
}

HWND GetFocus() { return S().focus; }

HWND SetCapture(HWND window) {
  State& state = S();
  const HWND old = state.capture;
  if (Local(window) == nullptr) return old;
  state.capture = window;
  if (old != nullptr && old != window && IsWindow(old)) {
    SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
  }
  return old;
}

BOOL ReleaseCapture() {
  State& state = S();
  const HWND old = state.capture;
  state.capture = nullptr;
  if (old != nullptr && IsWindow(old)) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() { return S().capture; }

int16_t GetAsyncKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  State& state = S();
  int16_t result = state.keyDown[virtualKey] ? static_cast<int16_t>(0x8000) : 0;
  if (state.keyPressedSinceQuery[virtualKey]) result = static_cast<int16_t>(result | 1);
  state.keyPressedSinceQuery[virtualKey] = false;
  return result;
}

// ---- timers --------------------------------------------------------------------

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) {
  State& state = S();
  if (window != nullptr && Local(window) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (window == nullptr) {
    const bool exists = std::any_of(state.timers.begin(), state.timers.end(),
                                    [&](const TimerRecord& timer) { return timer.window == nullptr && timer.id == id; });
    if (!exists) id = state.nextAnonymousTimer++;
  }
  const int64_t interval = std::max<int64_t>(1, milliseconds) * 1000;
  for (auto& timer : state.timers) {
    if (timer.window == window && timer.id == id) {
      timer.interval = interval;
      timer.procedure = procedure;
      timer.due = NowMicroseconds() + interval;
      return window == nullptr ? id : std::max<UINT_PTR>(id, 1);
    }
  }
  state.timers.push_back(TimerRecord{window, id, interval, procedure, NowMicroseconds() + interval,
                                     state.nextTimerOrder++});
  return window == nullptr ? id : std::max<UINT_PTR>(id, 1);
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  const size_t removed = std::erase_if(
      S().timers, [&](const TimerRecord& timer) { return timer.window == window && timer.id == id; });
  return removed > 0 ? TRUE : FALSE;
}

// ---- input ---------------------------------------------------------------------

void InjectPenDown(int x, int y) {
  S().keyDown[VK_LBUTTON] = true;
  S().keyPressedSinceQuery[VK_LBUTTON] = true;
  PushInput(InputEvent{InputKind::kPenDown, x, y});
}

void InjectPenMove(int x, int y) { PushInput(InputEvent{InputKind::kPenMove, x, y}); }

void InjectPenUp(int x, int y) {
  S().keyDown[VK_LBUTTON] = false;
  PushInput(InputEvent{InputKind::kPenUp, x, y});
}

void InjectKeyDown(int virtualKey) {
  const int key = virtualKey & 0xFF;
  const bool repeat = S().keyDown[key];
  S().keyDown[key] = true;
  S().keyPressedSinceQuery[key] = true;
  PushInput(InputEvent{InputKind::kKeyDown, 0, 0, key, repeat});
}

void InjectKeyUp(int virtualKey) {
  const int key = virtualKey & 0xFF;
  S().keyDown[key] = false;
  PushInput(InputEvent{InputKind::kKeyUp, 0, 0, key});
}

void InjectChar(WCHAR character) { PushInput(InputEvent{InputKind::kChar, 0, 0, character}); }

void InjectSoftKey(int index) {
  const int key = index == 0 ? VK_TSOFT1 : VK_TSOFT2;
  InjectKeyDown(key);
  InjectKeyUp(key);
}

void InjectBackKey() {
  InjectKeyDown(VK_TBACK);
  InjectKeyUp(VK_TBACK);
}

void SwitchToAnotherApplication() {
  State& state = S();
  if (state.anotherApplication) return;
  const HWND old = state.active;
  state.anotherApplication = true;
  state.active = nullptr;
  RefreshTaskBar();
  if (old != nullptr && IsWindow(old)) SendMessageW(old, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 0), 0);
  if (state.focus != nullptr) {
    const HWND lost = state.focus;
    state.focus = nullptr;
    SendFocusChange(lost, nullptr);
  }
}

void ReturnFromAnotherApplication() {
  State& state = S();
  if (!state.anotherApplication) return;
  state.anotherApplication = false;
  HWND back = state.lastActive;
  if (Local(back) == nullptr || !IsShownOnScreen(back)) back = NextActivationCandidate(nullptr);
  if (back != nullptr) Activate(back, WA_ACTIVE, 0);
}

bool IsAnotherApplicationActive() { return S().anotherApplication; }

void SetKeyFilter(KeyFilter filter, void* user) {
  S().keyFilter = filter;
  S().keyFilterUser = user;
}

}  // namespace platform
