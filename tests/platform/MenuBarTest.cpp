#include <gtest/gtest.h>

#include <array>

#include "WindowTestSupport.h"
#include "platform/Controls.h"
#include "platform/Dialog.h"
#include "platform/Gdi.h"
#include "platform/Surface.h"
#include "platform/Device.h"
#include "platform/HandheldShell.h"
#include "platform/Input.h"
#include "platform/Menu.h"
#include "platform/Resources.h"
#include "platform/Screen.h"

namespace platform {
namespace {

// Two soft keys: the left one a command, the right one a menu.
constexpr uint16_t kBar[] = {107, 2, 0xFFFE, 200, 4, 0x10, 410, 0, 0xFFFF, 0xFFFE, 201, 4, 0x18, 410, 0, 1};
// Two popups: the first with one item, the second with two.
constexpr uint16_t kMenu[] = {0,    0,   MF_POPUP, u'A', 0,   MF_END, 300, u'Z', 0,
                              MF_POPUP | MF_END, u'B', 0, 0, 130, u'B', u'o', 0, MF_END, 131, u'S', 0};
constexpr char16_t kBlank[] = u" ";
constexpr std::array<ResourceEntry, 3> kResources = {{
    {10, 107, kBar, sizeof kBar},
    {4, 107, kMenu, sizeof kMenu},
    {6, 410, kBlank, 2},
}};

class MenuBarTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    testing::WindowTest::SetUp();
    ResetScreen();
    ClearResources();
    RegisterResources(kResources);
    top_ = TopLevel(u"Main", RECT{0, 52, 480, 588});
    MenuBarInfo info{kDeviceMenuBarInfoSize, top_, 0, 107, GetModuleHandleW(nullptr), 0, 0, nullptr, 0};
    ASSERT_TRUE(CreateSoftKeyBar(&info));
    bar_ = info.hwndMB;
    ASSERT_EQ(FindMenuBar(top_), bar_);
    Pump();
    testing::Log().clear();
  }
  void TearDown() override {
    ClearResources();
    testing::WindowTest::TearDown();
  }
  std::vector<UINT> MenuMessages() {
    std::vector<UINT> seen;
    for (const auto& entry : testing::Log()) {
      if (entry.window == top_ && (entry.message == WM_ENTERMENULOOP || entry.message == WM_INITMENUPOPUP ||
                                   entry.message == WM_EXITMENULOOP || entry.message == WM_COMMAND)) {
        seen.push_back(entry.message);
      }
    }
    return seen;
  }
  HWND top_ = nullptr;
  HWND bar_ = nullptr;
};

TEST_F(MenuBarTest, PenChoosesFromTheSoftKeyMenu) {
  // The button records, read and written by index.
  TBBUTTONINFOW info{sizeof info, TBIF_BYINDEX | TBIF_LPARAM | TBIF_COMMAND, 0, 0, 0, 0, 0, 0, nullptr, 0};
  ASSERT_EQ(SendMessageW(bar_, TB_GETBUTTONINFOW, 1, reinterpret_cast<LPARAM>(&info)), 1);
  EXPECT_EQ(info.idCommand, 201);
  const auto popup = reinterpret_cast<HMENU>(info.lParam);
  ASSERT_TRUE(IsMenu(popup));
  EXPECT_EQ(GetMenuItemCount(popup), 2);
  TBBUTTONINFOW rename{sizeof rename, TBIF_BYINDEX | TBIF_TEXT, 0, 0, 0, 0, 0, 0, const_cast<LPWSTR>(u"Menu"), 0};
  EXPECT_TRUE(SendMessageW(bar_, TB_SETBUTTONINFOW, 1, reinterpret_cast<LPARAM>(&rename)));
  // Its height comes from its window.
  RECT bar{};
  ASSERT_TRUE(GetWindowRect(bar_, &bar));
  EXPECT_EQ(bar.bottom - bar.top, GetDeviceProfile().menuBarHeight);

  // Tap the right soft key, then the popup's first item just above the bar.
  const int middle = (bar.left + bar.right) / 2;
  InjectPenDown(bar.right - 5, bar.top + 5);
  InjectPenUp(bar.right - 5, bar.top + 5);
  const int popupHeight = 2 + 2 * ScaleForDpi(22);
  const int firstItem = bar.top - popupHeight + 1 + ScaleForDpi(11);
  InjectPenDown(middle + 20, firstItem);
  InjectPenUp(middle + 20, firstItem);
  Pump();
  EXPECT_EQ(MenuMessages(), (std::vector<UINT>{WM_ENTERMENULOOP, WM_INITMENUPOPUP, WM_EXITMENULOOP, WM_COMMAND}));
  EXPECT_EQ(testing::Only(WM_INITMENUPOPUP)[0].wParam, reinterpret_cast<WPARAM>(popup));
  EXPECT_EQ(LOWORD(testing::Only(WM_COMMAND)[0].wParam), 130);
}

TEST_F(MenuBarTest, SoftKeysAndMenuKeys) {
  InjectSoftKey(0);
  Pump();
  ASSERT_EQ(testing::Only(WM_COMMAND).size(), 1u);
  EXPECT_EQ(LOWORD(testing::Only(WM_COMMAND)[0].wParam), 200);
  testing::Log().clear();
  // The right soft key opens its menu; Down, Down, Enter choose the second item.
  InjectSoftKey(1);
  InjectKeyDown(VK_DOWN);
  InjectKeyDown(VK_DOWN);
  InjectKeyDown(VK_RETURN);
  Pump();
  ASSERT_EQ(testing::Only(WM_COMMAND).size(), 1u);
  EXPECT_EQ(LOWORD(testing::Only(WM_COMMAND)[0].wParam), 131);
  // A grayed item cannot be chosen; Escape leaves without a command.
  TBBUTTONINFOW info{sizeof info, TBIF_BYINDEX | TBIF_LPARAM, 0, 0, 0, 0, 0, 0, nullptr, 0};
  SendMessageW(bar_, TB_GETBUTTONINFOW, 1, reinterpret_cast<LPARAM>(&info));
  EnableMenuItem(reinterpret_cast<HMENU>(info.lParam), 0, MF_BYPOSITION | MF_GRAYED);
  testing::Log().clear();
  InjectSoftKey(1);
  InjectKeyDown(VK_DOWN);
  InjectKeyDown(VK_RETURN);
  InjectKeyDown(VK_ESCAPE);
  Pump();
  EXPECT_TRUE(testing::Only(WM_COMMAND).empty());
  EXPECT_EQ(testing::Only(WM_EXITMENULOOP).size(), 1u);
}

// A full-screen dialog gets an empty bar at set-up, then its own: the soft
// keys from the keyboard reach the dialog's own bar, on both kinds of device.
TEST_F(MenuBarTest, SoftKeysReachTheDialogsOwnBar) {
  for (const char* device : {"pocketpc-vga", "smartphone"}) {
    ASSERT_TRUE(SelectDevice(device));
    const HWND dialog = TopLevel(u"Dialog");
    DialogInitInfo init{0, dialog, DIALOG_FULL_SCREEN | DIALOG_EMPTY_MENU};
    ASSERT_TRUE(InitFullScreenDialog(&init));
    MenuBarInfo info{kDeviceMenuBarInfoSize, dialog, 0, 107, GetModuleHandleW(nullptr), 0, 0, nullptr, 0};
    ASSERT_TRUE(CreateSoftKeyBar(&info));
    EXPECT_EQ(FindMenuBar(dialog), info.hwndMB) << device;
    SetForegroundWindow(dialog);
    Pump();
    testing::Log().clear();
    InjectSoftKey(0);
    Pump();
    ASSERT_EQ(testing::Only(WM_COMMAND).size(), 1u) << device;
    EXPECT_EQ(testing::Only(WM_COMMAND)[0].window, dialog);
    EXPECT_EQ(LOWORD(testing::Only(WM_COMMAND)[0].wParam), 200);
    // The dialog ends above the soft-key bar.
    RECT window{}, bar{};
    GetWindowRect(dialog, &window);
    GetWindowRect(info.hwndMB, &bar);
    EXPECT_LE(window.bottom, bar.top) << device;
    DestroyWindow(dialog);
  }
  SelectDevice("pocketpc-vga");
}

TEST_F(MenuBarTest, OverriddenBackKeyArrivesAsHotKey) {
  EXPECT_TRUE(SendMessageW(bar_, SHCMBM_OVERRIDEKEY, VK_TBACK, 0x30003));
  InjectBackKey();
  Pump();
  const auto hotKeys = testing::Only(WM_HOTKEY);
  ASSERT_EQ(hotKeys.size(), 2u);
  EXPECT_EQ(HIWORD(static_cast<uintptr_t>(hotKeys[0].lParam)), VK_TBACK);
  EXPECT_EQ(LOWORD(static_cast<uintptr_t>(hotKeys[0].lParam)) & MOD_KEYUP, 0u);
  EXPECT_EQ(LOWORD(static_cast<uintptr_t>(hotKeys[1].lParam)) & MOD_KEYUP, MOD_KEYUP);
  EXPECT_TRUE(testing::Only(WM_KEYDOWN).empty());

  // Restored, Back is an ordinary Escape key again.
  SendMessageW(bar_, SHCMBM_OVERRIDEKEY, VK_TBACK, 3);
  testing::Log().clear();
  InjectBackKey();
  Pump();
  EXPECT_TRUE(testing::Only(WM_HOTKEY).empty());
  ASSERT_EQ(testing::Only(WM_KEYDOWN).size(), 1u);
  EXPECT_EQ(testing::Only(WM_KEYDOWN)[0].wParam, static_cast<WPARAM>(VK_ESCAPE));
}

TEST_F(MenuBarTest, InputPanelAndBackInAnEdit) {
  const HWND edit = CreateWindowExW(0, WC_EDIT, u"12", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 100, 30, top_,
                                    reinterpret_cast<HMENU>(uintptr_t{5}), nullptr, nullptr);
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), 0);
  SendMessageW(edit, EM_SETSEL, 2, 2);
  SendBackKeyToFocus(WM_HOTKEY, VK_TBACK, MAKELPARAM(0, VK_TBACK));
  SendBackKeyToFocus(WM_HOTKEY, VK_TBACK, MAKELPARAM(MOD_KEYUP, VK_TBACK));
  WCHAR text[8];
  GetWindowTextW(edit, text, 8);
  EXPECT_EQ(std::u16string(text), u"1");

  testing::Log().clear();
  InputPanelInfo info{};
  info.cbSize = kDeviceInputPanelInfoSize;
  ASSERT_TRUE(InputPanelInfoRequest(SPI_GETSIPINFO, 0, &info, 0));
  EXPECT_EQ(info.fdwFlags & SIPF_ON, 0u);
  ASSERT_TRUE(SetInputPanelShown(true));
  ASSERT_TRUE(InputPanelInfoRequest(SPI_GETSIPINFO, 0, &info, 0));
  EXPECT_EQ(info.fdwFlags & (SIPF_ON | SIPF_DOCKED), SIPF_ON | SIPF_DOCKED);
  EXPECT_GT(info.rcSipRect.bottom, info.rcSipRect.top);
  EXPECT_EQ(info.rcVisibleDesktop.bottom, info.rcSipRect.top);
  const auto changes = testing::Only(WM_SETTINGCHANGE);
  ASSERT_FALSE(changes.empty());
  EXPECT_EQ(changes[0].wParam, static_cast<WPARAM>(SPI_SETSIPINFO));
  // A tap on the panel types into the focused field.
  InjectPenDown(info.rcSipRect.left + 3, info.rcSipRect.top + 3);
  InjectPenUp(info.rcSipRect.left + 3, info.rcSipRect.top + 3);
  Pump();
  GetWindowTextW(edit, text, 8);
  // The panel's first row holds the digits, the letters follow.
  EXPECT_EQ(std::u16string(text), u"11");
  const int rowHeight = (info.rcSipRect.bottom - info.rcSipRect.top) / 5;
  InjectPenDown(info.rcSipRect.left + 3, info.rcSipRect.top + rowHeight + 3);
  InjectPenUp(info.rcSipRect.left + 3, info.rcSipRect.top + rowHeight + 3);
  Pump();
  GetWindowTextW(edit, text, 8);
  EXPECT_EQ(std::u16string(text), u"11q");

  // The device's Help key asks the focused control for help, which passes
  // the request to its window.
  testing::Log().clear();
  InjectKeyDown(VK_HELP);
  InjectKeyUp(VK_HELP);
  Pump();
  ASSERT_EQ(testing::Only(WM_HELP).size(), 1u);
  EXPECT_EQ(testing::Only(WM_HELP)[0].window, top_);
  EXPECT_TRUE(testing::Only(WM_KEYDOWN).empty());
  info.fdwFlags = 0;
  ASSERT_TRUE(InputPanelInfoRequest(SPI_SETSIPINFO, 0, &info, 0));
  EXPECT_FALSE(IsInputPanelShown());
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

intptr_t EndOnOk(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    DialogInitInfo init{0, dialog, DIALOG_FULL_SCREEN | DIALOG_DONE_BUTTON};
    InitFullScreenDialog(&init);
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam) == IDOK ? 201 : 202);
    return TRUE;
  }
  return FALSE;
}

class SystemBarTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    testing::WindowTest::SetUp();
    ResetScreen();
  }
};

TEST_F(SystemBarTest, OkButtonTitleAndWaitMark) {
  const DeviceProfile& profile = GetDeviceProfile();
  // A tap on the "ok" at the right end of the system's bar ends the dialog.
  InjectPenDown(profile.width - 4, profile.taskBarHeight / 2);
  InjectPenUp(profile.width - 4, profile.taskBarHeight / 2);
  DialogTemplateBuilder builder(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, u"Properties");
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, builder.Template(), nullptr, EndOnOk, 0), 201);

  // The bar shows the active window's title in white.
  WNDCLASSW painted{};
  painted.lpfnWndProc = DefWindowProcW;
  painted.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  painted.lpszClassName = u"Painted";
  ASSERT_NE(RegisterClassW(&painted), 0);
  CreateWindowExW(0, u"Painted", u"Vantrel Folvane Zo ", WS_VISIBLE, 0, profile.taskBarHeight, profile.width,
                  profile.height - profile.taskBarHeight, nullptr, nullptr, nullptr, nullptr);
  const Surface& screen = ScreenSurface();
  int white = 0;
  for (int y = 0; y < profile.taskBarHeight; ++y) {
    for (int x = 0; x < profile.width / 2; ++x) white += ReadPixel(screen, x, y).red > 200 ? 1 : 0;
  }
  EXPECT_GT(white, 20);

  // The wait cursor puts a mark in the middle of the screen; the arrow
  // takes it away again.
  Pump();
  const RECT mark = WaitMarkRect();
  const auto snapshot = [&] {
    std::vector<int> pixels;
    for (int y = mark.top; y < mark.bottom; ++y) {
      for (int x = mark.left; x < mark.right; ++x) {
        const Rgb pixel = ReadPixel(screen, x, y);
        pixels.push_back(pixel.red << 16 | pixel.green << 8 | pixel.blue);
      }
    }
    return pixels;
  };
  const std::vector<int> before = snapshot();
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  EXPECT_NE(snapshot(), before);
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  Pump();
  EXPECT_EQ(snapshot(), before);
}

}  // namespace
}  // namespace platform
