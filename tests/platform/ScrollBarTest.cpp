#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "platform/Controls.h"
#include "platform/Device.h"
#include "platform/Input.h"
#include "platform/Screen.h"

namespace platform {
namespace {

class ScrollBarTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    testing::WindowTest::SetUp();
    ResetScreen();
  }
};

TEST_F(ScrollBarTest, PenOnTheBarSendsScrollCodes) {
  const HWND top = TopLevel(u"Top", RECT{0, 0, 240, 320});
  const HWND view = Child(top, 1, RECT{0, 0, 200, 200}, WS_VSCROLL | WS_HSCROLL);
  SCROLLINFO info{sizeof info, SIF_ALL, 0, 999, 100, 0, 0};
  SetScrollInfo(view, SB_VERT, &info, TRUE);
  info.nMax = 0;  // nothing to scroll: the bar goes away
  SetScrollInfo(view, SB_HORZ, &info, TRUE);
  RECT client{};
  GetClientRect(view, &client);
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  EXPECT_EQ(client.right, 200 - bar);
  EXPECT_EQ(client.bottom, 200);
  SCROLLINFO read{sizeof read, SIF_ALL, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetScrollInfo(view, SB_VERT, &read));
  EXPECT_EQ(read.nMax, 999);
  EXPECT_EQ(read.nPage, 100u);
  Pump();

  struct Case {
    const char* label;
    int y;
    WORD code;
  };
  const int x = 200 - bar / 2;
  const Case cases[] = {
      {"top arrow", 2, SB_LINEUP},
      {"bottom arrow", 198, SB_LINEDOWN},
      {"below the thumb", 150, SB_PAGEDOWN},
  };
  for (const auto& c : cases) {
    testing::Log().clear();
    InjectPenDown(x, c.y);
    InjectPenUp(x, c.y);
    Pump();
    const auto scrolls = testing::Only(WM_VSCROLL);
    ASSERT_EQ(scrolls.size(), 2u) << c.label;
    EXPECT_EQ(LOWORD(scrolls[0].wParam), c.code) << c.label;
    EXPECT_EQ(LOWORD(scrolls[1].wParam), SB_ENDSCROLL) << c.label;
    EXPECT_TRUE(testing::Only(WM_LBUTTONDOWN).empty()) << c.label;
  }
  // Dragging the thumb tracks, then sets the position.
  testing::Log().clear();
  InjectPenDown(x, bar + 3);
  InjectPenMove(x, 100);
  InjectPenUp(x, 100);
  Pump();
  const auto scrolls = testing::Only(WM_VSCROLL);
  ASSERT_EQ(scrolls.size(), 4u);
  EXPECT_EQ(LOWORD(scrolls[0].wParam), SB_THUMBTRACK);
  EXPECT_EQ(LOWORD(scrolls[1].wParam), SB_THUMBTRACK);
  EXPECT_GT(HIWORD(scrolls[1].wParam), 0);
  EXPECT_EQ(LOWORD(scrolls[2].wParam), SB_THUMBPOSITION);
  EXPECT_EQ(LOWORD(scrolls[3].wParam), SB_ENDSCROLL);
  read.fMask = SIF_TRACKPOS;
  GetScrollInfo(view, SB_VERT, &read);
  EXPECT_EQ(read.nTrackPos, HIWORD(scrolls[1].wParam));
}

}  // namespace
}  // namespace platform
