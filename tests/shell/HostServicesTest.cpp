#include "shell/HostServices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "ShellWindowFixture.h"
#include "TestViewer.h"
#include "platform/Files.h"
#include "platform/HandheldShell.h"
#include "platform/Input.h"
#include "runtime/HostControls.h"
#include "runtime/MenuItemDesc.h"
#include "shell/HostWindow.h"
#include "shell/OffscreenBitmap.h"
#include "shell/Settings.h"
#include "shell/ShellResources.h"

namespace shell {
namespace {

class HostServicesTest : public testing::ShellWindowTest {
 protected:
  void SetUp() override {
    testing::ShellWindowTest::SetUp();
  }
  // A top-level view window that the viewer calls active.
  HostWindow* OpenMainWindow() {
    auto* window = dynamic_cast<HostWindow*>(host_.CreateViewWindow(nullptr, true));
    viewer_.active = window;
    if (window != nullptr) window->SetActive(true);
    return window;
  }

  HostServices host_;
};

struct Ticks {
  int count = 0;
  runtime::HostServices* host = nullptr;
  runtime::HostTimer* timer = nullptr;
  int stopAt = 0;
};

void Tick(void* context) {
  auto* ticks = static_cast<Ticks*>(context);
  if (++ticks->count == ticks->stopAt) ticks->host->DestroyTimer(ticks->timer);
}

TEST_F(HostServicesTest, BitmapsAndTimersThroughTheInterface) {
  UseDevice("pocketpc-qvga", 24);
  runtime::HostBitmap* bitmap = host_.CreateBitmap(3, 2);
  ASSERT_NE(bitmap, nullptr);
  const PixelInfo& info = *static_cast<OffscreenBitmap*>(bitmap)->GetPixelInfo();
  EXPECT_EQ(info.format, 3u);
  EXPECT_NE(info.bits, nullptr);
  EXPECT_EQ(info.width, 3);
  EXPECT_EQ(info.height, 2);
  EXPECT_EQ(info.stride, 12);
  host_.DestroyBitmap(bitmap);
  runtime::HostBitmap* empty = host_.CreateBitmap(0, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->Layout()->width, 0);
  EXPECT_EQ(empty->Layout()->height, 0);
  host_.DestroyBitmap(empty);
  host_.DestroyBitmap(nullptr);

  Ticks ticks;
  ticks.host = &host_;
  ticks.timer = host_.CreateTimer(10, &ticks, Tick);
  ASSERT_NE(ticks.timer, nullptr);
  RunFor(100);
  EXPECT_EQ(ticks.count, 10);
  host_.DestroyTimer(ticks.timer);
  RunFor(100);
  EXPECT_EQ(ticks.count, 10);
  // Destroyed from inside its own callback, as a one-shot timer is.
  Ticks once;
  once.host = &host_;
  once.stopAt = 1;
  once.timer = host_.CreateTimer(1500, &once, Tick);
  RunFor(6000);
  EXPECT_EQ(once.count, 1);
  host_.DestroyTimer(nullptr);
}

TEST_F(HostServicesTest, WorkAreaLeavesOutPanelAndMenuBar) {
  UseDevice("pocketpc-qvga");
  const platform::DeviceProfile& profile = platform::GetDeviceProfile();
  runtime::HostRect area{};
  // No menu bar made yet: the system's work area, below the task bar.
  EXPECT_EQ(host_.GetWorkArea(&area), profile.height);
  EXPECT_EQ((std::vector<int>{area.left, area.top, area.right, area.bottom}),
            (std::vector<int>{0, profile.taskBarHeight, 240, 320}));
  HostWindow* window = OpenMainWindow();
  ASSERT_NE(window, nullptr);
  runtime::MenuItemDesc right{127, u"Menu"};
  runtime::MenuItemDesc left{103, u"Tools", nullptr, &right};
  host_.CreateMenuBar(&left);
  const platform::HWND bar = platform::FindMenuBar(window->Handle());
  ASSERT_NE(bar, nullptr);
  platform::RECT barRect{};
  platform::GetWindowRect(bar, &barRect);
  EXPECT_EQ(host_.MenuBarHeight(), barRect.bottom - barRect.top);
  host_.GetWorkArea(&area);
  EXPECT_EQ((std::vector<int>{area.left, area.top, area.right, area.bottom}),
            (std::vector<int>{0, 26, 240, 320 - host_.MenuBarHeight()}));
  // With the input panel up its height goes too.
  ASSERT_TRUE(platform::SetInputPanelShown(true));
  platform::InputPanelInfo panel{};
  panel.cbSize = platform::kDeviceInputPanelInfoSize;
  ASSERT_TRUE(platform::InputPanelInfoRequest(platform::SPI_GETSIPINFO, 0, &panel, 0));
  const int panelHeight = panel.rcSipRect.bottom - panel.rcSipRect.top;
  EXPECT_EQ(host_.GetWorkArea(&area), 320 - host_.MenuBarHeight() - panelHeight);
  EXPECT_EQ(area.top, 26);
  std::printf("Pocket PC QVGA work area with the menu bar (%d) and the input panel (%d): {%d, %d, %d, %d}\n",
              host_.MenuBarHeight(), panelHeight, area.left, area.top, area.right, area.bottom);
  platform::SetInputPanelShown(false);

  // A Smartphone's soft-key bar is already outside the system's work area.
  host_.DestroyWindow(window);
  viewer_.active = nullptr;
  UseDevice("smartphone");
  platform::RECT system{};
  platform::SystemParametersInfoW(platform::SPI_GETWORKAREA, 0, &system, 0);
  EXPECT_EQ(host_.GetWorkArea(&area), system.bottom);
}

TEST_F(HostServicesTest, WindowsControlsAndTheirFailures) {
  UseDevice("pocketpc-qvga");
  // Children need a parent of ours.
  EXPECT_EQ(host_.CreateButton(nullptr), nullptr);
  EXPECT_EQ(host_.CreateEdit(nullptr), nullptr);
  HostWindow* main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(platform::GetWindowLongW(main->Handle(), platform::GWL_USERDATA),
            reinterpret_cast<platform::LONG_PTR>(main));
  EXPECT_NE(platform::FindMenuBar(main->Handle()), nullptr);
  EXPECT_GT(App().menuBarHeight, 0);
  runtime::HostWindow* child = host_.CreateViewWindow(main, false);
  runtime::HostWindow* button = host_.CreateButton(main);
  runtime::HostEdit* edit = host_.CreateEdit(main);
  ASSERT_TRUE(child && button && edit);
    // Each is a child of the main window and placed in its client area.
  for (runtime::HostWindow* window : {child, button, static_cast<runtime::HostWindow*>(edit)}) {
    window->SetRect({5, 6, 55, 36});
    runtime::HostRect rect{};
    window->GetRect(&rect);
    EXPECT_EQ((std::vector<int>{rect.left, rect.top, rect.right, rect.bottom}), (std::vector<int>{5, 6, 55, 36}));
    EXPECT_EQ(platform::GetParent(dynamic_cast<HostWindow*>(window)->Handle()), main->Handle());
  }
  host_.DestroyEdit(edit);
  host_.DestroyButtonWindow(button);
  host_.DestroyWindow(child);
  const platform::HWND handle = main->Handle();
  host_.DestroyWindow(main);
  viewer_.active = nullptr;
  EXPECT_FALSE(platform::IsWindow(handle));
  EXPECT_EQ(host_.CreateTreeView(nullptr), nullptr);
  // Without the main class, no view window (and nothing half-made).
  ASSERT_TRUE(platform::UnregisterClassW(kMainWindowClass, nullptr));
  EXPECT_EQ(host_.CreateViewWindow(nullptr, false), nullptr);
  // Without the menu-bar templates, no top-level view window either.
  ASSERT_TRUE(RegisterWindowClasses(nullptr));
  platform::ClearResources();
  EXPECT_EQ(host_.CreateViewWindow(nullptr, false), nullptr);
  EXPECT_EQ(platform::FindWindowW(kMainWindowClass, nullptr), nullptr);
}

TEST_F(HostServicesTest, TitleTextBusyCursorAndQuit) {
  UseDevice("pocketpc-qvga");
  HostWindow* main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  // Nothing stored: the title stays.
  host_.SetActiveViewText();
  EXPECT_EQ(std::u16string(main->GetText()), u"Vantrel Folvane");
  host_.SetPendingText(u"report.pdf");
  EXPECT_EQ(std::u16string(main->GetText()), u"Vantrel Folvane");
  host_.SetActiveViewText();
  EXPECT_EQ(std::u16string(main->GetText()), u"report.pdf");

  host_.SetBusyCursor(true);
  EXPECT_TRUE(platform::IsWaitCursor(platform::GetCursor()));
  host_.SetBusyCursor(false);
  EXPECT_FALSE(platform::IsWaitCursor(platform::GetCursor()));

  host_.Quit();
  platform::MSG message;
  ASSERT_TRUE(platform::PeekMessageW(&message, nullptr, 0, 0, platform::PM_REMOVE));
  EXPECT_EQ(message.message, platform::WM_QUIT);
  EXPECT_EQ(message.wParam, 0u);
  host_.DestroyWindow(main);
  viewer_.active = nullptr;
}

TEST_F(HostServicesTest, MeasurementsVersionAndInput) {
  struct DpiCase {
    const char* device;
    int dpi;
  };
  for (const DpiCase& c : {DpiCase{"pocketpc-qvga", 96}, DpiCase{"pocketpc-vga", 192}, DpiCase{"smartphone-qvga", 131}}) {
    UseDevice(c.device);
    EXPECT_EQ(host_.GetScreenDpi(), c.dpi) << c.device;
  }
  EXPECT_EQ(host_.GetMemoryBudget(), 0xA00000u);
  const std::u16string version = host_.GetVersionText(0);
  EXPECT_EQ(std::u16string(host_.GetVersionText(12345)), version);
  EXPECT_EQ(version, std::u16string(u"Vantrel Folvane Zo ") + kProductVersion + u"\r\nVantrel Folvane Core Engine " +
                         kEngineVersion);

  // Keys and pen input count; other messages do not.
  Pump();
  EXPECT_FALSE(host_.IsInputPending());
  const platform::HWND window = platform::CreateWindowExW(0, kMainWindowClass, u"", platform::WS_VISIBLE, 0, 0, 100,
                                                          100, nullptr, nullptr, nullptr, nullptr);
  platform::SetFocus(window);
  Pump();
  platform::PostMessageW(window, platform::WM_USER, 0, 0);
  EXPECT_FALSE(host_.IsInputPending());
  platform::InjectKeyDown(platform::VK_DOWN);
  EXPECT_TRUE(host_.IsInputPending());
  Pump();
  EXPECT_FALSE(host_.IsInputPending());
  platform::InjectPenDown(10, 10);
  EXPECT_TRUE(host_.IsInputPending());
  platform::InjectPenUp(10, 10);
  Pump();
  EXPECT_FALSE(host_.IsInputPending());
}

TEST_F(HostServicesTest, RecentFilesSettingsAndLanguage) {
  const std::string folder = (std::filesystem::temp_directory_path() / "folvane-host-recent").string();
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/a.pdf") << "x";
  std::ofstream(folder + "/b.pdf") << "x";
  const std::u16string a = platform::DevicePathFromHost(folder + "/a.pdf");
  const std::u16string b = platform::DevicePathFromHost(folder + "/b.pdf");
  host_.AddRecentFile(a.c_str());
  host_.AddRecentFile(b.c_str());
  EXPECT_EQ(std::u16string(host_.GetRecentFile(0)), b);
  EXPECT_EQ(std::u16string(host_.GetRecentFile(1)), a);
  // A deleted file is not offered; indices outside the list are empty.
  std::filesystem::remove(folder + "/a.pdf");
  EXPECT_EQ(std::u16string(host_.GetRecentFile(1)), u"");
  EXPECT_EQ(std::u16string(host_.GetRecentFile(10)), u"");
  EXPECT_EQ(std::u16string(host_.GetRecentFile(0xFFFFFFFF)), u"");
  host_.AddRecentFile(nullptr);
  EXPECT_EQ(std::u16string(host_.GetRecentFile(0)), b);
  std::filesystem::remove_all(folder);

  uint32_t mode = 99;
  float factor = 0;
  EXPECT_FALSE(host_.GetInitialZoom(&mode, &factor));
  EXPECT_FALSE(host_.GetInitialZoom(nullptr, nullptr));
  EXPECT_FALSE(host_.GetKeepToolbarInFullScreen());
  platform::HKEY key = nullptr;
  ASSERT_EQ(platform::RegCreateKeyExW(platform::HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, 0, nullptr, &key,
                                      nullptr),
            0);
  const platform::DWORD on = 1;
  platform::RegSetValueExW(key, kKeepToolbarValue, 0, platform::REG_DWORD, reinterpret_cast<const platform::BYTE*>(&on),
                           4);
  const platform::DWORD fitWidth = 1;
  platform::RegSetValueExW(key, kInitialZoomTypeValue, 0, platform::REG_DWORD,
                           reinterpret_cast<const platform::BYTE*>(&fitWidth), 4);
  platform::RegCloseKey(key);
  EXPECT_TRUE(host_.GetKeepToolbarInFullScreen());
  EXPECT_TRUE(host_.GetInitialZoom(&mode, &factor));
  EXPECT_EQ(mode, 1u);

  // The ignore-list value exists only while the pen tool is the zoom rectangle.
  const auto ignoreValuePresent = [] {
    platform::HKEY machine = nullptr;
    if (platform::RegOpenKeyExW(platform::HKEY_LOCAL_MACHINE, kIgnoreAppsKey, 0, 0, &machine) != 0) return false;
    const bool present =
        platform::RegQueryValueExW(machine, kIgnoreAppValueName, nullptr, nullptr, nullptr, nullptr) == 0;
    platform::RegCloseKey(machine);
    return present;
  };
  host_.SetOemIgnoreApp(0, 2);
  EXPECT_TRUE(ignoreValuePresent());
  host_.SetOemIgnoreApp(2, 0);
  EXPECT_FALSE(ignoreValuePresent());

  EXPECT_EQ(host_.GetLanguageIndex(), GetLanguageIndex());
}

TEST_F(HostServicesTest, BusyBracketsSuspendFullScreen) {
  UseDevice("pocketpc-qvga");
  HostWindow* main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  main->SetFullScreen(true);
  EXPECT_EQ(main->FullScreenState(), kFullScreenOn);
  EXPECT_FALSE(platform::IsTaskBarShown());
  // Reasons other than 0 change nothing.
  host_.BeginBusy(1);
  EXPECT_EQ(App().modalCount, 0);
  EXPECT_EQ(main->FullScreenState(), kFullScreenOn);
  host_.EndBusy(1);
  EXPECT_EQ(App().modalCount, 0);
  // Two nested shell dialogs: full screen comes back after the last.
  host_.BeginBusy(0);
  host_.BeginBusy(0);
  EXPECT_EQ(main->FullScreenState(), kFullScreenSuspended);
  EXPECT_TRUE(platform::IsTaskBarShown());
  host_.EndBusy(0);
  EXPECT_EQ(main->FullScreenState(), kFullScreenSuspended);
  EXPECT_TRUE(platform::IsTaskBarShown());
  host_.EndBusy(0);
  EXPECT_EQ(main->FullScreenState(), kFullScreenOn);
  EXPECT_FALSE(platform::IsTaskBarShown());
  // An unpaired end does not push the count below 0.
  host_.EndBusy(0);
  EXPECT_EQ(App().modalCount, 0);
  host_.BeginBusy(0);
  EXPECT_EQ(main->FullScreenState(), kFullScreenSuspended);
  host_.EndBusy(0);
  EXPECT_EQ(main->FullScreenState(), kFullScreenOn);
  main->SetFullScreen(false);
  host_.DestroyWindow(main);
  viewer_.active = nullptr;
}

TEST_F(HostServicesTest, MessageBoxAnswers) {
  struct Case {
    uint32_t style;
    int key;
    int32_t result;
  };
  for (const Case& c : {Case{1, platform::VK_RETURN, 201}, Case{2, platform::VK_ESCAPE, 207}}) {
    runtime::MessageBoxDialog* box = host_.CreateMessageBox();
    ASSERT_NE(box, nullptr);
    box->SetText(u"The file could not be opened.");
    box->SetTitle(u"Vantrel Folvane");
    box->SetStyle(c.style);
    platform::InjectKeyDown(c.key);
    EXPECT_EQ(box->RunModal(), c.result);
    host_.DestroyMessageBox(box);
  }
  EXPECT_EQ(viewer_.modalBegins, 2);
  EXPECT_EQ(viewer_.modalEnds, 2);
}

}  // namespace
}  // namespace shell
