#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "platform/Device.h"
#include "platform/Input.h"

namespace platform {
namespace {

using testing::Log;
using testing::Only;
using testing::WindowTest;

class WindowManagerTest : public WindowTest {};

TEST_F(WindowManagerTest, CreationSendsCreateSizeAndActivation) {
  const HWND window = CreateWindowExW(0, u"Recorder", u"Main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(window) & 1, 0u);
  ASSERT_GE(Log().size(), 3u);
  EXPECT_EQ(Log()[0].message, WM_CREATE);
  EXPECT_EQ(Log()[1].message, WM_SIZE);
  // A default top-level window fills the work area.
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(LOWORD(Log()[1].lParam), work.right - work.left);
  EXPECT_EQ(HIWORD(Log()[1].lParam), work.bottom - work.top);
  EXPECT_EQ(GetActiveWindow(), window);
  EXPECT_EQ(GetFocus(), window);  // the default activation handling focuses it
  EXPECT_FALSE(Only(WM_ACTIVATE).empty());
  EXPECT_EQ(Pump(), (std::vector<UINT>{WM_PAINT}));

  // A class that does not exist, or a child without a parent, fails.
  EXPECT_EQ(CreateWindowExW(0, u"Nope", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(CreateWindowExW(0, u"Recorder", u"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  WNDCLASSW again{};
  again.lpfnWndProc = testing::RecordMessage;
  again.lpszClassName = u"RECORDER";
  EXPECT_EQ(RegisterClassW(&again), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
}

TEST_F(WindowManagerTest, AnotherApplicationDeactivatesWithZero) {
  const HWND first = TopLevel(u"First");
  const HWND second = TopLevel(u"Second");
  EXPECT_EQ(GetActiveWindow(), second);
  Log().clear();
  SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(first) | 1));
  auto activations = Only(WM_ACTIVATE);
  ASSERT_EQ(activations.size(), 2u);
  EXPECT_EQ(activations[0].window, second);
  EXPECT_EQ(LOWORD(activations[0].wParam), WA_INACTIVE);
  EXPECT_EQ(activations[0].lParam, reinterpret_cast<LPARAM>(first));  // one of ours
  EXPECT_EQ(activations[1].window, first);
  EXPECT_EQ(LOWORD(activations[1].wParam), WA_ACTIVE);

  Log().clear();
  SwitchToAnotherApplication();
  activations = Only(WM_ACTIVATE);
  ASSERT_EQ(activations.size(), 1u);
  EXPECT_EQ(activations[0].window, first);
  EXPECT_EQ(LOWORD(activations[0].wParam), WA_INACTIVE);
  EXPECT_EQ(activations[0].lParam, 0);
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  Log().clear();
  ReturnFromAnotherApplication();
  activations = Only(WM_ACTIVATE);
  ASSERT_EQ(activations.size(), 1u);
  EXPECT_EQ(activations[0].window, first);
  EXPECT_EQ(LOWORD(activations[0].wParam), WA_ACTIVE);
}

TEST_F(WindowManagerTest, FocusMovesWithKillAndSetFocus) {
  const HWND top = TopLevel();
  const HWND edit = Child(top, 1, RECT{0, 0, 100, 20});
  const HWND button = Child(top, 2, RECT{0, 30, 100, 50});
  Log().clear();
  EXPECT_EQ(SetFocus(edit), top);
  EXPECT_EQ(SetFocus(button), edit);
  const auto kills = Only(WM_KILLFOCUS);
  const auto sets = Only(WM_SETFOCUS);
  ASSERT_EQ(kills.size(), 2u);
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(kills[1].window, edit);
  EXPECT_EQ(kills[1].wParam, reinterpret_cast<WPARAM>(button));
  EXPECT_EQ(sets[1].window, button);
  EXPECT_EQ(sets[1].wParam, reinterpret_cast<WPARAM>(edit));
  // Keys go to the focus; a disabled window cannot take it.
  InjectKeyDown(VK_RETURN);
  Pump();
  EXPECT_EQ(Only(WM_KEYDOWN).back().window, button);
  EnableWindow(edit, FALSE);
  EXPECT_EQ(SetFocus(edit), nullptr);
  EXPECT_EQ(GetFocus(), button);
  // Destroying the focus leaves none.
  DestroyWindow(button);
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowManagerTest, GeometryOfBorderedScrolledChildren) {
  const HWND top = TopLevel(u"Top", RECT{0, 52, 480, 588});
  const HWND child = Child(top, 7, RECT{10, 20, 210, 220}, WS_BORDER | WS_VSCROLL | WS_HSCROLL);
  RECT rect{};
  ASSERT_TRUE(GetWindowRect(child, &rect));
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 72);
  EXPECT_EQ(rect.right, 210);
  const int border = GetSystemMetrics(SM_CXBORDER);
  ASSERT_TRUE(GetClientRect(child, &rect));
  EXPECT_EQ(rect.right, 200 - 2 * border - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(rect.bottom, 200 - 2 * border - GetSystemMetrics(SM_CYHSCROLL));
  POINT point{0, 0};
  MapWindowPoints(child, top, &point, 1);
  EXPECT_EQ(point.x, 10 + border);
  EXPECT_EQ(point.y, 20 + border);
  POINT screen{15, 80};
  EXPECT_EQ(WindowFromPoint(screen), child);
  ScreenToClient(child, &screen);
  EXPECT_EQ(screen.x, 5 - border);
  EXPECT_EQ(GetDlgItem(top, 7), child);
  EXPECT_EQ(GetDlgCtrlID(child), 7);
  EXPECT_EQ(GetParent(child), top);

  Log().clear();
  MoveWindow(child, 0, 0, 100, 50, TRUE);
  const auto sizes = Only(WM_SIZE);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(LOWORD(sizes[0].lParam), 100 - 2 * border - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_FALSE(Only(WM_WINDOWPOSCHANGED).empty());
  // Moving exposes what was beneath: the parent repaints.
  EXPECT_TRUE(GetUpdateRect(top, nullptr, FALSE));
}

LRESULT Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) return 99;
  const auto original = reinterpret_cast<WNDPROC>(GetWindowLongW(window, GWL_USERDATA));
  return CallWindowProcW(original, window, message, wParam, lParam);
}

TEST_F(WindowManagerTest, WordsTextAndSubclassing) {
  const HWND window = TopLevel(u"Title");
  const auto original = SetWindowLongW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass));
  EXPECT_EQ(original, reinterpret_cast<LONG_PTR>(testing::RecordMessage));
  // The user word holds a whole pointer.
  SetWindowLongW(window, GWL_USERDATA, original);
  EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 99);
  Log().clear();
  SendMessageW(window, WM_USER + 1, 0, 0);
  EXPECT_EQ(Only(WM_USER + 1).size(), 1u);

  EXPECT_TRUE(SetWindowTextW(window, u"Vantrel Folvane"));
  WCHAR text[8];
  EXPECT_EQ(GetWindowTextW(window, text, 8), 7);
  EXPECT_EQ(std::u16string(text), u"Vantrel");
  EXPECT_EQ(GetWindowTextLengthW(window), 15);
  WCHAR name[32];
  EXPECT_EQ(GetClassNameW(window, name, 32), 8);
  EXPECT_EQ(std::u16string(name), u"Recorder");
  EXPECT_EQ(FindWindowW(u"recorder", u"Vantrel Folvane"), window);
  EXPECT_EQ(FindWindowW(u"Recorder", u"vantrel folvane"), nullptr);
  EXPECT_EQ(GetWindowLongW(window, 64), 0);
}

LRESULT DestroyChildrenOnDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) DestroyWindow(window);  // again, from inside
  return testing::RecordMessage(window, message, wParam, lParam);
}

TEST_F(WindowManagerTest, DestroyReachesParentThenChildrenOnce) {
  const HWND top = TopLevel();
  const HWND child = Child(top, 1, RECT{0, 0, 10, 10});
  const HWND grandChild = Child(child, 2, RECT{0, 0, 5, 5});
  SetWindowLongW(child, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(DestroyChildrenOnDestroy));
  const HWND owned = CreateWindowExW(0, u"Recorder", u"Popup", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, top, nullptr,
                                     nullptr, nullptr);
  SetTimer(grandChild, 1, 10, nullptr);
  Log().clear();
  EXPECT_TRUE(DestroyWindow(top));
  const auto destroys = Only(WM_DESTROY);
  ASSERT_EQ(destroys.size(), 4u);
  EXPECT_EQ(destroys[0].window, owned);
  EXPECT_EQ(destroys[1].window, top);
  EXPECT_EQ(destroys[2].window, child);
  EXPECT_EQ(destroys[3].window, grandChild);
  for (HWND window : {top, child, grandChild, owned}) EXPECT_FALSE(IsWindow(window));
  AdvanceVirtualClock(20 * 1000);
  Log().clear();
  Pump();
  EXPECT_TRUE(Log().empty());
}

}  // namespace
}  // namespace platform
