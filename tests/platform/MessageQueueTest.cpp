#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "platform/Input.h"

namespace platform {
namespace {

using testing::Log;
using testing::Only;
using testing::WindowTest;

class MessageQueueTest : public WindowTest {};

LRESULT SendFromInside(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 1) {
    // A sent message runs at once, inside the sender, before anything posted.
    PostMessageW(window, WM_USER + 3, 0, 0);
    return SendMessageW(window, WM_USER + 2, wParam + 1, 0) * 10;
  }
  if (message == WM_USER + 2) return static_cast<LRESULT>(wParam);
  return testing::RecordMessage(window, message, wParam, lParam);
}

TEST_F(MessageQueueTest, SentMessagesRunAtOncePostedOnesInOrder) {
  const HWND window = TopLevel();
  Pump();
  SetWindowLongW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(SendFromInside));
  EXPECT_EQ(SendMessageW(window, WM_USER + 1, 4, 0), 50);
  PostMessageW(window, WM_USER + 4, 1, 0);
  PostMessageW(window, WM_USER + 4, 2, 0);
  Log().clear();
  EXPECT_EQ(Pump(), (std::vector<UINT>{WM_USER + 3, WM_USER + 4, WM_USER + 4}));
  EXPECT_EQ(Only(WM_USER + 4)[0].wParam, 1u);
  EXPECT_EQ(Only(WM_USER + 4)[1].wParam, 2u);
}

TEST_F(MessageQueueTest, RetrievalOrderIsPostedInputQuitPaintTimer) {
  const HWND window = TopLevel();
  Pump();
  SetTimer(window, 1, 10, nullptr);
  AdvanceVirtualClock(10 * 1000);
  InvalidateRect(window, nullptr, FALSE);
  PostQuitMessage(3);
  InjectKeyDown('A');
  PostMessageW(window, WM_USER, 0, 0);
  std::vector<UINT> order;
  MSG message;
  for (int i = 0; i < 6 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
    order.push_back(message.message);
    if (message.message != WM_QUIT) DispatchMessageW(&message);
  }
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_KEYDOWN, WM_QUIT, WM_PAINT, WM_TIMER}));
  // TranslateMessage was not called: no character followed the key.
  EXPECT_TRUE(Only(WM_CHAR).empty());
}

TEST_F(MessageQueueTest, QueueStatusReportsInjectedInput) {
  const HWND window = TopLevel();
  Pump();
  constexpr UINT kInput = QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON;
  EXPECT_EQ(GetQueueStatus(kInput), 0u);
  InjectKeyDown(VK_DOWN);
  // Both words: it is waiting, and it arrived since the last look.
  EXPECT_EQ(GetQueueStatus(kInput), MAKELONG(QS_KEY, QS_KEY));
  EXPECT_EQ(GetQueueStatus(kInput), MAKELONG(0, QS_KEY));
  InjectPenDown(10, 10);
  EXPECT_EQ(GetQueueStatus(kInput), MAKELONG(QS_MOUSEBUTTON, QS_KEY | QS_MOUSEBUTTON));
  EXPECT_EQ(GetQueueStatus(QS_MOUSEMOVE), 0u);
  Pump();
  EXPECT_EQ(GetQueueStatus(kInput), 0u);
  EXPECT_EQ(Only(WM_KEYDOWN).size(), 1u);
  EXPECT_EQ(Only(WM_KEYDOWN)[0].window, window);
}

TEST_F(MessageQueueTest, KeyMessagesCarryRepeatAndTransitionBits) {
  const HWND window = TopLevel();
  Pump();
  InjectKeyDown(VK_RIGHT);
  InjectKeyDown(VK_RIGHT);  // auto-repeat
  EXPECT_EQ(GetAsyncKeyState(VK_RIGHT) & 0x8000, 0x8000);
  InjectKeyUp(VK_RIGHT);
  EXPECT_EQ(GetAsyncKeyState(VK_RIGHT) & 0x8000, 0);
  InjectKeyDown('Q');
  InjectChar(u'\u00e9');
  Pump();
  const auto downs = Only(WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 3u);
  EXPECT_EQ(downs[0].lParam, 1);
  EXPECT_EQ(downs[1].lParam, 1 | (LPARAM{1} << 30));
  const auto ups = Only(WM_KEYUP);
  ASSERT_EQ(ups.size(), 1u);
  EXPECT_EQ(ups[0].lParam, 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
  const auto characters = Only(WM_CHAR);
  ASSERT_EQ(characters.size(), 2u);
  EXPECT_EQ(characters[0].wParam, static_cast<WPARAM>(u'q'));  // translated from the key
  EXPECT_EQ(characters[1].wParam, static_cast<WPARAM>(u'\u00e9'));
  EXPECT_EQ(characters[0].window, window);
}

TEST_F(MessageQueueTest, PenMessagesUseSignedClientCoordinatesAndCapture) {
  const HWND top = TopLevel(u"Top", RECT{0, 40, 240, 320});
  const HWND child = Child(top, 5, RECT{20, 20, 120, 120});
  Pump();
  InjectPenDown(30, 70);  // inside the child at (10, 10)
  Pump();
  auto downs = Only(WM_LBUTTONDOWN);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0].window, child);
  EXPECT_EQ(GET_X_LPARAM(downs[0].lParam), 10);
  EXPECT_EQ(GET_Y_LPARAM(downs[0].lParam), 10);
  EXPECT_EQ(downs[0].wParam, MK_LBUTTON);

  // With the capture, moves outside the window still reach it, left of and
  // above it as negative numbers.
  EXPECT_EQ(SetCapture(child), nullptr);
  InjectPenMove(5, 45);
  InjectPenUp(5, 45);
  Pump();
  const auto moves = Only(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].window, child);
  EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), -15);
  EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), -15);
  EXPECT_EQ(Only(WM_LBUTTONUP).size(), 1u);

  EXPECT_TRUE(ReleaseCapture());
  const auto changes = Only(WM_CAPTURECHANGED);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].window, child);
  EXPECT_EQ(changes[0].lParam, 0);

  // Two quick taps on a class with double clicks make a double click.
  Log().clear();
  InjectPenDown(30, 70);
  InjectPenUp(30, 70);
  AdvanceVirtualClock(100 * 1000);
  InjectPenDown(31, 71);
  InjectPenUp(31, 71);
  Pump();
  EXPECT_EQ(Only(WM_LBUTTONDOWN).size(), 1u);
  EXPECT_EQ(Only(WM_LBUTTONDBLCLK).size(), 1u);
}

TEST_F(MessageQueueTest, PostingToADestroyedWindowGoesNowhere) {
  const HWND window = TopLevel();
  PostMessageW(window, WM_USER, 0, 0);
  DestroyWindow(window);
  Log().clear();
  Pump();
  EXPECT_TRUE(Log().empty());
  EXPECT_FALSE(PostMessageW(window, WM_USER, 0, 0));
  EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

}  // namespace
}  // namespace platform
