#include "shell/HostWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ShellWindowFixture.h"
#include "TestViewer.h"
#include "platform/Gdi.h"
#include "platform/HandheldShell.h"
#include "platform/Input.h"
#include "platform/Screen.h"
#include "platform/Surface.h"
#include "shell/HostEdit.h"
#include "shell/HostServices.h"
#include "shell/OffscreenBitmap.h"
#include "shell/ShellResources.h"
#include "runtime/ViewSurface.h"

namespace shell {
namespace {

std::vector<int> Corners(const platform::RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }
std::vector<int> Corners(const runtime::HostRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

platform::RECT WindowRect(platform::HWND window) {
  platform::RECT rect{};
  platform::GetWindowRect(window, &rect);
  return rect;
}

class HostWindowTest : public testing::ShellWindowTest {
 protected:
  void SetUp() override {
    testing::ShellWindowTest::SetUp();
    UseDevice("pocketpc-qvga");
    main_.reset(dynamic_cast<HostWindow*>(host_.CreateViewWindow(nullptr, false)));
    ASSERT_NE(main_, nullptr);
    viewer_.active = main_.get();
  }
  void TearDown() override {
    main_.reset();
    testing::ShellWindowTest::TearDown();
  }

  HostServices host_;
  std::unique_ptr<HostWindow> main_;
};

TEST_F(HostWindowTest, BoundsOfBorderedAndPlainChildren) {
  std::unique_ptr<HostWindow> plain(HostWindow::CreateView(main_.get(), false));
  std::unique_ptr<HostWindow> bordered(HostWindow::CreateView(main_.get(), true));
  ASSERT_TRUE(plain && bordered);
  const int border = platform::GetSystemMetrics(platform::SM_CXBORDER);
  const platform::RECT client = WindowRect(main_->Handle());
  for (HostWindow* window : {plain.get(), bordered.get()}) {
    window->SetBounds({10, 20, 110, 70});
    runtime::HostRect bounds{};
    window->GetBounds(&bounds);
    EXPECT_EQ(Corners(bounds), (std::vector<int>{10, 20, 110, 70}));
  }
  // The bordered window's frame lies around the rectangle.
  const platform::RECT frame = WindowRect(bordered->Handle());
  EXPECT_EQ(Corners(frame), (std::vector<int>{client.left + 10 - border, client.top + 20 - border,
                                               client.left + 110 + border, client.top + 70 + border}));
  // Both scroll bars start empty.
  platform::SCROLLINFO info{sizeof info, platform::SIF_ALL, 1, 1, 1, 1, 1};
  ASSERT_TRUE(platform::GetScrollInfo(bordered->Handle(), platform::SB_VERT, &info));
  EXPECT_EQ((std::vector<int>{info.nMin, info.nMax, static_cast<int>(info.nPage), info.nPos}),
            (std::vector<int>{0, 0, 0, 0}));

  ScrollBarsRecord record{};
  record.horizontalStart = 30;
  record.horizontalEnd = 130;
  record.horizontalTotal = 400;
  record.verticalStart = 5;
  record.verticalEnd = 2;  // a backwards range gives an empty page
  record.verticalTotal = 90;
  bordered->SetScrollBars(record);
  ASSERT_TRUE(platform::GetScrollInfo(bordered->Handle(), platform::SB_HORZ, &info));
  EXPECT_EQ((std::vector<int>{info.nMin, info.nMax, static_cast<int>(info.nPage), info.nPos}),
            (std::vector<int>{0, 400, 100, 30}));
  ASSERT_TRUE(platform::GetScrollInfo(bordered->Handle(), platform::SB_VERT, &info));
  EXPECT_EQ(info.nPage, 0u);
  record.hideHorizontal = 1;
  bordered->SetScrollBars(record);
  ASSERT_TRUE(platform::GetScrollInfo(bordered->Handle(), platform::SB_HORZ, &info));
  EXPECT_EQ((std::vector<int>{info.nMin, info.nMax, static_cast<int>(info.nPage), info.nPos}),
            (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(bordered->GetHScrollHeight(), platform::GetSystemMetrics(platform::SM_CYHSCROLL));
  EXPECT_EQ(bordered->GetVScrollWidth(), platform::GetSystemMetrics(platform::SM_CXVSCROLL));
  // Extreme rectangles clamp instead of overflowing.
  plain->SetBounds({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
  bordered->SetBounds({INT32_MIN, 0, INT32_MAX, 10});
}

TEST_F(HostWindowTest, TextOfAnyLengthAndEditSelection) {
  // Around each buffer size the text is read whole.
  for (const size_t length : {size_t{1}, size_t{198}, size_t{199}, size_t{200}, size_t{399}, size_t{400}, size_t{1003}}) {
    std::u16string text(length - 1, u'x');
    text += u"!";
    main_->SetText(text.c_str());
    EXPECT_EQ(std::u16string(main_->GetText()), text) << length;
  }
  main_->SetText(nullptr);
  EXPECT_EQ(std::u16string(main_->GetText()), u"");
  main_->SetText(u"Vantrel Folvane");
  EXPECT_EQ(std::u16string(main_->GetText()), u"Vantrel Folvane");

  std::unique_ptr<HostEdit> edit(HostEdit::Create(main_.get()));
  ASSERT_NE(edit, nullptr);
  edit->SetText(u"123");
  edit->SelectAllIfEdit();
  platform::DWORD start = 9, end = 9;
  platform::SendMessageW(edit->Handle(), platform::EM_GETSEL, reinterpret_cast<platform::WPARAM>(&start),
                         reinterpret_cast<platform::LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 3u);
  // Not an edit: nothing happens.
  main_->SelectAllIfEdit();
}

TEST_F(HostWindowTest, PageNumberBoxGoesToTheTypedPageOnEnter) {
  std::unique_ptr<HostEdit> edit(HostEdit::Create(main_.get()));
  ASSERT_NE(edit, nullptr);
  edit->SetBounds({0, 0, 60, 34});
  // The font is twelve seventeenths of the box's height.
  platform::LOGFONTW font{};
  ASSERT_GT(platform::GetObjectW(edit->Font(), sizeof font, &font), 0);
  EXPECT_EQ(font.lfHeight, 24);
  EXPECT_EQ(std::u16string(font.lfFaceName), u"Arial");
  edit->SetBounds({0, 0, 60, 20});
  ASSERT_GT(platform::GetObjectW(edit->Font(), sizeof font, &font), 0);
  EXPECT_EQ(font.lfHeight, 14);

  edit->Focus();
  Pump();
  platform::InjectChar(u'4');
  platform::InjectChar(u'2');
  platform::InjectKeyDown(platform::VK_RETURN);
  platform::InjectChar(u'\r');
  Pump();
  EXPECT_EQ(viewer_.typedPageRequests, 1);
  EXPECT_EQ(std::u16string(edit->GetText()), u"42");
  // The viewer reads the same text through its own view of the box.
  runtime::HostEdit* box = edit.get();
  EXPECT_EQ(std::u16string(box->TypedText()), u"42");
}

TEST_F(HostWindowTest, DrawTargetsByOccasion) {
  const platform::HDC lent = platform::CreateCompatibleDC(nullptr);
  platform::DRAWITEMSTRUCT record{};
  record.hDC = lent;
  main_->SetDrawItem(&record);
  DrawTarget* target = main_->CreateDrawTarget(true);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->GetKind(), DrawTarget::Kind::kEmpty);
  EXPECT_EQ(target->DeviceContext(), lent);
  main_->ReleaseDrawTarget(target);
  main_->SetDrawItem(nullptr);
  platform::DeleteDC(lent);

  platform::InvalidateRect(main_->Handle(), nullptr, platform::TRUE);
  target = main_->CreateDrawTarget(true);
  EXPECT_EQ(target->GetKind(), DrawTarget::Kind::kPaint);
  EXPECT_NE(target->DeviceContext(), nullptr);
  main_->ReleaseDrawTarget(target);
  platform::RECT update{};
  EXPECT_FALSE(platform::GetUpdateRect(main_->Handle(), &update, platform::FALSE));

  target = main_->CreateDrawTarget(false);
  EXPECT_EQ(target->GetKind(), DrawTarget::Kind::kWindow);
  main_->ReleaseDrawTarget(target);
}

TEST_F(HostWindowTest, ViewSurfacePaintsTheUpdateAreaInsidePaintAndTheWholeWindowOutside) {
  const platform::HWND window = main_->Handle();
  const auto screenAt = [&](int x, int y) {
    platform::POINT point{x, y};
    platform::ClientToScreen(window, &point);
    const platform::Rgb color = platform::ReadPixel(platform::ScreenSurface(), point.x, point.y);
    return std::vector<int>{color.red, color.green, color.blue};
  };
  const std::vector<int> red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255};

  // A repaint request marks exactly the rectangle (of a window painted
  // since it was made).
  platform::ValidateRect(window, nullptr);
  main_->Invalidate({10, 20, 30, 40});
  platform::RECT update{};
  ASSERT_TRUE(platform::GetUpdateRect(window, &update, platform::FALSE));
  EXPECT_EQ(Corners(update), (std::vector<int>{10, 20, 30, 40}));

  // Inside a paint: one surface at a time, drawing clipped to the update
  // area, and closing it leaves the window validated.
  runtime::ViewSurface* surface = main_->OpenSurface();
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(main_->OpenSurface(), nullptr);
  surface->Fill({0, 0, 8, 8}, 255, 0, 0);
  surface->Fill({12, 22, 16, 26}, 255, 0, 0);
  main_->CloseSurface(surface);
  EXPECT_NE(screenAt(2, 2), red);
  EXPECT_EQ(screenAt(14, 24), red);
  EXPECT_FALSE(platform::GetUpdateRect(window, &update, platform::FALSE));

  // Outside a paint the whole window is drawn: fills, and bitmaps copied
  // as they are or scaled.
  std::unique_ptr<OffscreenBitmap> bitmap(OffscreenBitmap::Create(4, 4));
  ASSERT_NE(bitmap, nullptr);
  bitmap->FillRect(runtime::HostRect{0, 0, 4, 4}, 0, 255, 0);
  surface = main_->OpenSurface();
  ASSERT_NE(surface, nullptr);
  surface->Fill({0, 0, 8, 8}, 0, 0, 255);
  surface->DrawBitmap(*bitmap, {0, 0, 4, 4}, {40, 40, 44, 44});
  surface->DrawBitmap(*bitmap, {0, 0, 4, 4}, {50, 50, 62, 62});
  main_->CloseSurface(surface);
  main_->CloseSurface(nullptr);
  EXPECT_EQ(screenAt(2, 2), blue);
  EXPECT_EQ(screenAt(43, 43), green);
  EXPECT_NE(screenAt(45, 45), green);
  EXPECT_EQ(screenAt(61, 61), green);
  EXPECT_NE(screenAt(62, 62), green);
  // Closed, the window hands out a surface again.
  surface = main_->OpenSurface();
  EXPECT_NE(surface, nullptr);
  main_->CloseSurface(surface);
}

TEST_F(HostWindowTest, RelayoutFollowsTheInputPanelAndFullScreen) {
  const int screenWidth = platform::GetSystemMetrics(platform::SM_CXSCREEN);
  const int screenHeight = platform::GetSystemMetrics(platform::SM_CYSCREEN);
  const platform::HWND bar = platform::FindMenuBar(main_->Handle());
  ASSERT_NE(bar, nullptr);
  const int barHeight = WindowRect(bar).bottom - WindowRect(bar).top;
  platform::RECT work{};
  platform::SystemParametersInfoW(platform::SPI_GETWORKAREA, 0, &work, 0);

  // Inactive: nothing moves unless forced.
  platform::MoveWindow(main_->Handle(), 0, 0, 10, 10, platform::TRUE);
  main_->Relayout(false);
  EXPECT_EQ(Corners(WindowRect(main_->Handle())), (std::vector<int>{0, 0, 10, 10}));
  main_->SetActive(true);
  EXPECT_EQ(Corners(WindowRect(main_->Handle())),
            (std::vector<int>{0, work.top, screenWidth, screenHeight - barHeight}));
  EXPECT_EQ(WindowRect(bar).top, screenHeight - barHeight);
  // With the panel up, down to the panel.
  ASSERT_TRUE(platform::SetInputPanelShown(true));
  platform::InputPanelInfo panel{};
  panel.cbSize = platform::kDeviceInputPanelInfoSize;
  platform::InputPanelInfoRequest(platform::SPI_GETSIPINFO, 0, &panel, 0);
  main_->Relayout(false);
  EXPECT_EQ(WindowRect(main_->Handle()).bottom, panel.rcSipRect.top);
  platform::SetInputPanelShown(false);

  // Full screen: the whole screen, bars away; suspended: bars back, the
  // window keeps its size; resumed only while no shell dialog is open.
  main_->SetFullScreen(true);
  EXPECT_EQ(Corners(WindowRect(main_->Handle())), (std::vector<int>{0, 0, screenWidth, screenHeight}));
  EXPECT_EQ(WindowRect(bar).top, screenHeight);
  EXPECT_FALSE(platform::IsTaskBarShown());
  main_->SuspendFullScreen();
  EXPECT_EQ(main_->FullScreenState(), kFullScreenSuspended);
  EXPECT_EQ(Corners(WindowRect(main_->Handle())), (std::vector<int>{0, 0, screenWidth, screenHeight}));
  EXPECT_EQ(WindowRect(bar).top, screenHeight - barHeight);
  EXPECT_TRUE(platform::IsTaskBarShown());
  App().modalCount = 1;
  main_->ResumeFullScreen();
  EXPECT_EQ(main_->FullScreenState(), kFullScreenSuspended);
  EXPECT_TRUE(platform::IsTaskBarShown());
  App().modalCount = 0;
  main_->ResumeFullScreen();
  EXPECT_EQ(main_->FullScreenState(), kFullScreenOn);
  EXPECT_FALSE(platform::IsTaskBarShown());
  // Deactivated: the bars come back (a forced relayout).
  main_->SetActive(false);
  EXPECT_TRUE(platform::IsTaskBarShown());
  EXPECT_EQ(WindowRect(bar).top, screenHeight - barHeight);
  main_->SetActive(true);
  EXPECT_FALSE(platform::IsTaskBarShown());
  // A destroyed full-screen window is forgotten.
  main_.reset();
  EXPECT_EQ(App().fullScreenWindow, nullptr);
  EXPECT_EQ(App().fullScreenMenuBar, nullptr);
  platform::SetFullScreenParts(nullptr, platform::SHOW_TASK_BAR | platform::SHOW_START_ICON);
}

}  // namespace
}  // namespace shell
