#include "shell/SoftKeyBar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ShellWindowFixture.h"
#include "TestViewer.h"
#include "platform/HandheldShell.h"
#include "platform/Input.h"
#include "platform/Menu.h"
#include "resources/UIStringTable.h"
#include "shell/HostServices.h"
#include "shell/HostWindow.h"
#include "shell/ShellResources.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/PngPicture.h"

namespace shell {
namespace {

using runtime::MenuItemDesc;

std::vector<platform::testing::Received>& Seen() { return platform::testing::Log(); }

class SoftKeyBarTest : public testing::ShellWindowTest {
 protected:
  void SetUp() override {
    testing::ShellWindowTest::SetUp();
    RecordMainWindowMessages();
  }
  void TearDown() override {
    delete main_;
    testing::ShellWindowTest::TearDown();
  }
  HostWindow* OpenMain() {
    main_ = dynamic_cast<HostWindow*>(host_.CreateViewWindow(nullptr, false));
    viewer_.active = main_;
    if (main_ != nullptr) main_->SetActive(true);
    return main_;
  }
  platform::HWND Bar() const { return platform::FindMenuBar(main_->Handle()); }
  std::vector<platform::testing::Received> CommandsToMain() const {
    std::vector<platform::testing::Received> found;
    for (const auto& entry : Seen()) {
      if (entry.window == main_->Handle() && entry.message == platform::WM_COMMAND) found.push_back(entry);
    }
    return found;
  }

  HostServices host_;
  HostWindow* main_ = nullptr;
};

struct ButtonState {
  int command = 0;
  std::u16string text;
  platform::BYTE state = 0;
};

ButtonState ReadButton(platform::HWND bar, int index) {
  char16_t text[64] = {};
  platform::TBBUTTONINFOW info{};
  info.cbSize = sizeof info;
  info.dwMask = platform::TBIF_BYINDEX | platform::TBIF_COMMAND | platform::TBIF_TEXT | platform::TBIF_STATE;
  info.pszText = text;
  info.cchText = 64;
  platform::SendMessageW(bar, platform::TB_GETBUTTONINFOW, static_cast<platform::WPARAM>(index),
                         reinterpret_cast<platform::LPARAM>(&info));
  return ButtonState{info.idCommand, text, info.fsState};
}

TEST(ChooseMenuBarIdTest, TemplateFollowsLabelsAndPopups) {
  MenuItemDesc item{500, u"x"};
  struct Case {
    const char16_t* left;
    bool leftPopup;
    const char16_t* right;
    bool rightPopup;
    bool none;
    uint32_t id;
  };
  const Case cases[] = {
      {u"A", false, u"B", false, false, 106}, {u"A", false, u"B", true, false, 107},
      {u"A", true, u"B", false, false, 108},  {u"A", true, u"B", true, false, 109},
      {u"A", false, u"", false, false, 103},  {u"A", true, nullptr, false, false, 104},
      {u"", false, u"B", true, false, 105},   {nullptr, true, u"", true, false, 102},
      {u"A", true, u"B", true, true, 102},
  };
  for (const Case& c : cases) {
    MenuItemDesc right{2, c.right, c.rightPopup ? &item : nullptr};
    MenuItemDesc left{1, c.left, c.leftPopup ? &item : nullptr, &right};
    EXPECT_EQ(ChooseMenuBarId(&left, c.none), c.id) << c.id;
  }
  EXPECT_EQ(ChooseMenuBarId(nullptr, false), 102u);
  // A left key alone, without a right item at all.
  MenuItemDesc alone{1, u"A"};
  EXPECT_EQ(ChooseMenuBarId(&alone, false), 103u);
}

// The viewer's main pair: Tools with nested popups, Menu with a list.
struct MainTree {
  MenuItemDesc exit{102, u"Exit"};
  MenuItemDesc open{128, u"Open", nullptr, &exit};
  MenuItemDesc fullScreen{120, u"Full Screen", nullptr, nullptr, 0, 0, 1};
  MenuItemDesc separator{0, nullptr, nullptr, &fullScreen};
  MenuItemDesc out{106, u"Out", nullptr, nullptr, u'3', 1, 0};
  MenuItemDesc in{105, u"In", nullptr, &out, u'1'};
  MenuItemDesc zoom{104, u"Zoom", &in, &separator};
  MenuItemDesc menu{127, u"Menu", &open};
  MenuItemDesc tools{103, u"Tools", &zoom, &menu};
};

TEST_F(SoftKeyBarTest, MainMenuBarFromTheViewersTree) {
  UseDevice("pocketpc-qvga");
  ASSERT_NE(OpenMain(), nullptr);
  MainTree tree;
  host_.CreateMenuBar(&tree.tools);
  const platform::HWND bar = Bar();
  ASSERT_NE(bar, nullptr);
  const ButtonState left = ReadButton(bar, 0);
  const ButtonState right = ReadButton(bar, 1);
  EXPECT_EQ(left.command, 103);
  EXPECT_EQ(left.text, u"Tools");
  EXPECT_EQ(right.command, 127);
  EXPECT_EQ(right.text, u"Menu");

  // Both popups and the nested one are known to the window by command id.
  const platform::HMENU toolsMenu = GetSoftKeyMenu(bar, 0);
  const platform::HMENU menuMenu = GetSoftKeyMenu(bar, 1);
  ASSERT_TRUE(toolsMenu && menuMenu);
  uint32_t id = 0;
  ASSERT_TRUE(main_->FindPopup(toolsMenu, &id));
  EXPECT_EQ(id, 103u);
  ASSERT_TRUE(main_->FindPopup(menuMenu, &id));
  EXPECT_EQ(id, 127u);
  ASSERT_EQ(platform::GetMenuItemCount(toolsMenu), 3);
  const platform::HMENU zoomMenu = platform::GetSubMenu(toolsMenu, 0);
  ASSERT_NE(zoomMenu, nullptr);
  ASSERT_TRUE(main_->FindPopup(zoomMenu, &id));
  EXPECT_EQ(id, 104u);
  EXPECT_EQ(platform::GetMenuItemID(zoomMenu, 0), 105u);
  EXPECT_EQ(platform::GetMenuItemID(zoomMenu, 1), 106u);
  // Grayed, checked and separator items keep their states.
  EXPECT_EQ(platform::EnableMenuItem(zoomMenu, 1, platform::MF_BYPOSITION) & platform::MF_GRAYED,
            platform::MF_GRAYED);
  EXPECT_EQ(platform::EnableMenuItem(zoomMenu, 0, platform::MF_BYPOSITION) & platform::MF_GRAYED, 0u);
  EXPECT_EQ(platform::CheckMenuItem(toolsMenu, 2, platform::MF_BYPOSITION), platform::MF_CHECKED);
  EXPECT_EQ(platform::GetMenuItemID(toolsMenu, 1), 0u);
  ASSERT_EQ(platform::GetMenuItemCount(menuMenu), 2);
  EXPECT_EQ(platform::GetMenuItemID(menuMenu, 1), 102u);

  // Pressing a key without a popup sends its command to the window.
  MenuItemDesc cancel{136, u"Cancel"};
  MenuItemDesc ok{135, u"OK", nullptr, &cancel};
  host_.CreateMenuBar(&ok);
  ASSERT_NE(Bar(), nullptr);
  EXPECT_FALSE(main_->FindPopup(toolsMenu, &id));
  Seen().clear();
  platform::SetForegroundWindow(main_->Handle());
  platform::InjectSoftKey(1);
  Pump();
  const auto commands = CommandsToMain();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(platform::LOWORD(commands[0].wParam), 136);
}

TEST_F(SoftKeyBarTest, BackKeyOverrideLastsOneMenuBar) {
  UseDevice("smartphone");
  ASSERT_NE(OpenMain(), nullptr);
  MenuItemDesc cancel{132, u"Cancel"};
  MenuItemDesc select{131, u"Select", nullptr, &cancel};
  App().backKeyState = kBackKeyPending;
  host_.CreateMenuBar(&select);
  EXPECT_EQ(App().backKeyState, kBackKeyInstalled);
  platform::SetForegroundWindow(main_->Handle());
  Pump();
  Seen().clear();
  platform::InjectBackKey();
  Pump();
  EXPECT_FALSE(platform::testing::Only(platform::WM_HOTKEY).empty());
  EXPECT_TRUE(platform::testing::Only(platform::WM_KEYDOWN).empty());
  // The next menu bar takes the override away: Back is Escape again.
  MainTree tree;
  host_.CreateMenuBar(&tree.tools);
  EXPECT_EQ(App().backKeyState, kBackKeyNone);
  Seen().clear();
  platform::InjectBackKey();
  Pump();
  EXPECT_TRUE(platform::testing::Only(platform::WM_HOTKEY).empty());
  ASSERT_EQ(platform::testing::Only(platform::WM_KEYDOWN).size(), 1u);
  EXPECT_EQ(platform::testing::Only(platform::WM_KEYDOWN)[0].wParam, static_cast<platform::WPARAM>(platform::VK_ESCAPE));
}

TEST_F(SoftKeyBarTest, NewBarOfAFullScreenWindowStaysHidden) {
  UseDevice("pocketpc-qvga");
  ASSERT_NE(OpenMain(), nullptr);
  main_->SetFullScreen(true);
  const int screenHeight = platform::GetSystemMetrics(platform::SM_CYSCREEN);
  EXPECT_EQ(App().fullScreenWindow, main_->Handle());
  MainTree tree;
  host_.CreateMenuBar(&tree.tools);
  const platform::HWND bar = Bar();
  EXPECT_EQ(App().fullScreenMenuBar, bar);
  platform::RECT barRect{}, windowRect{};
  platform::GetWindowRect(bar, &barRect);
  platform::GetWindowRect(main_->Handle(), &windowRect);
  EXPECT_EQ(barRect.top, screenHeight);
  EXPECT_EQ((std::vector<int>{windowRect.left, windowRect.top, windowRect.right, windowRect.bottom}),
            (std::vector<int>{0, 0, platform::GetSystemMetrics(platform::SM_CXSCREEN), screenHeight}));
  // The soft keys still reach the window while their bar is out of sight.
  Seen().clear();
  platform::SetForegroundWindow(main_->Handle());
  platform::InjectSoftKey(0);
  Pump();
  EXPECT_FALSE(platform::testing::Only(platform::WM_HOTKEY).empty());
  // Suspended (a shell dialog is up): the bar comes back at the bottom.
  main_->SuspendFullScreen();
  platform::GetWindowRect(bar, &barRect);
  EXPECT_EQ(barRect.bottom, screenHeight);
  EXPECT_TRUE(platform::IsTaskBarShown());
  main_->SetFullScreen(false);
  EXPECT_EQ(App().fullScreenWindow, nullptr);
}

using testsupport::Picture;
using testsupport::ReadPng;

// The rows of a rectangle of a screenshot.
std::vector<uint8_t> Crop(const Picture& picture, const platform::RECT& rect) {
  std::vector<uint8_t> out;
  for (int y = std::max(0L, static_cast<long>(rect.top)); y < std::min<long>(rect.bottom, picture.height); ++y) {
    for (int x = std::max(0L, static_cast<long>(rect.left)); x < std::min<long>(rect.right, picture.width); ++x) {
      const size_t at = (static_cast<size_t>(y) * picture.width + x) * 3;
      out.insert(out.end(), picture.rgb.begin() + at, picture.rgb.begin() + at + 3);
    }
  }
  return out;
}

// The labels of the soft keys in two UI languages, by screenshots of the
// headless screen: the bar the shell makes from the viewer's description
// looks exactly like a bar labelled directly on the platform.
TEST_F(SoftKeyBarTest, SoftKeyLabelsInTwoLanguagesOnTheScreen) {
  UseDevice("pocketpc-qvga");
  platform::testing::TempFolder folder;
  struct Language {
    const char* name;
    platform::LANGID id;
  };
  std::vector<std::vector<uint8_t>> shellBars;
  for (const Language& language : {Language{"en", 0x409}, Language{"de", 0x407}, Language{"ja", 0x411}}) {
    SCOPED_TRACE(language.name);
    const uint32_t row = LanguageRowFor(language.id);
    const char16_t* tools = resources::GetUIString(row, 61);
    const char16_t* menu = resources::GetUIString(row, 53);
    MenuItemDesc right{127, menu};
    MenuItemDesc left{103, tools, nullptr, &right};

    ASSERT_NE(OpenMain(), nullptr);
    host_.CreateMenuBar(&left);
    Pump();
    platform::RECT barRect{};
    platform::GetWindowRect(Bar(), &barRect);
    const std::string shellShot = folder.path() + "/shell-" + language.name + ".png";
    ASSERT_TRUE(platform::SaveScreenshot(shellShot));
    delete main_;
    main_ = nullptr;
    viewer_.active = nullptr;

    // The reference: a plain window and a bar labelled by hand.
    const platform::HWND plain = platform::CreateWindowExW(0, kMainWindowClass, u"Vantrel Folvane",
                                                           kTopLevelViewStyle, 0, 26, 240, 268, nullptr, nullptr,
                                                           nullptr, nullptr);
    const platform::HWND reference = MakeMenuBar(plain, 106, 0);
    ASSERT_NE(reference, nullptr);
    ASSERT_TRUE(SetSoftKey(reference, tools, 103, 0));
    ASSERT_TRUE(SetSoftKey(reference, menu, 127, 1));
    Pump();
    platform::RECT referenceRect{};
    platform::GetWindowRect(reference, &referenceRect);
    EXPECT_EQ(referenceRect.top, barRect.top);
    const std::string referenceShot = folder.path() + "/reference-" + language.name + ".png";
    ASSERT_TRUE(platform::SaveScreenshot(referenceShot));
    platform::DestroyWindow(reference);
    platform::DestroyWindow(plain);

    Picture shellPicture, referencePicture;
    ASSERT_TRUE(ReadPng(shellShot, shellPicture));
    ASSERT_TRUE(ReadPng(referenceShot, referencePicture));
    EXPECT_EQ(shellPicture.width, 240);
    EXPECT_EQ(shellPicture.height, 320);
    const std::vector<uint8_t> shellBar = Crop(shellPicture, barRect);
    EXPECT_EQ(shellBar, Crop(referencePicture, barRect));
    // Both halves of the bar carry text.
    for (const platform::RECT half : {platform::RECT{0, barRect.top, 120, barRect.bottom},
                                      platform::RECT{120, barRect.top, 240, barRect.bottom}}) {
      const std::vector<uint8_t> pixels = Crop(shellPicture, half);
      std::vector<uint8_t> sorted = pixels;
      std::sort(sorted.begin(), sorted.end());
      EXPECT_NE(sorted.front(), sorted.back()) << "a half of the bar is blank";
    }
    shellBars.push_back(shellBar);
  }
  // Each language's labels look different.
  EXPECT_NE(shellBars[0], shellBars[1]);
  EXPECT_NE(shellBars[0], shellBars[2]);
  EXPECT_NE(shellBars[1], shellBars[2]);
}

}  // namespace
}  // namespace shell
