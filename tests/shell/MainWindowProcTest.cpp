// The main window procedure: what each message of a view window becomes
// on the viewer.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/Controls.h"
#include "platform/Input.h"
#include "platform/Menu.h"
#include "runtime/MenuItemDesc.h"
#include "shell/HostWindow.h"
#include "shell/MainWindowProc.h"
#include "ShellWindowFixture.h"

namespace shell::testing {
namespace {

using Calls = std::vector<std::string>;
using platform::LPARAM;
using platform::WPARAM;

// Records every call the window procedure makes on the viewer, one line
// each.
class RecordingShellViewer : public TestViewer {
 public:
  std::vector<std::string> calls;
  float zoom = 0.0f;
  runtime::MenuItemDesc items[2];

  static std::string Name(HostWindow* window) { return window != nullptr ? "W" : "-"; }
  void Add(const std::string& call) { calls.push_back(call); }

  int32_t OnSize(HostWindow* w, int32_t width, int32_t height) override {
    Add("OnSize " + Name(w) + " " + std::to_string(width) + "x" + std::to_string(height));
    return 1;
  }
  void OnCommand(uint32_t id) override { Add("OnCommand " + std::to_string(id)); }
  void OnCopyData(const char16_t* path) override {
    std::string text;
    for (const char16_t* c = path; *c != 0; ++c) text += static_cast<char>(*c);
    Add("OnCopyData " + text);
  }
  void RestoreFocus() override { Add("RestoreFocus"); }
  void SetBackgroundMode(bool background) override { Add(std::string("SetBackgroundMode ") + (background ? "1" : "0")); }
  void ReleaseCachedMemory() override { Add("ReleaseCachedMemory"); }
  int32_t OnKeyCommand(char16_t code) override {
    Add("OnKeyCommand " + std::to_string(static_cast<int>(code)));
    return 1;
  }
  void OnKeyDown(HostWindow* w) override { Add("OnKeyDown " + Name(w)); }
  void OnPageDown(HostWindow* w) override { Add("OnPageDown " + Name(w)); }
  void OnLineLeft(HostWindow* w) override { Add("OnLineLeft " + Name(w)); }
  void ScrollVerticalTo(HostWindow* w, int32_t position, int32_t page, int32_t extent) override {
    Add("ScrollVerticalTo " + Name(w) + " " + std::to_string(position) + " " + std::to_string(page) + " " +
        std::to_string(extent));
  }
  void OnMouseDown(int32_t x, int32_t y, HostWindow* w) override {
    Add("OnMouseDown " + std::to_string(x) + "," + std::to_string(y) + " " + Name(w));
  }
  void OnMouseUp(int32_t x, int32_t y, HostWindow* w) override {
    Add("OnMouseUp " + std::to_string(x) + "," + std::to_string(y) + " " + Name(w));
  }
  float GetZoomFactor() override { return zoom; }
  void SetZoomFactor(float factor) override { Add("SetZoomFactor " + std::to_string(factor)); }
  const runtime::MenuItemDesc* GetMenuForPopup(uint32_t id) override {
    Add("GetMenuForPopup " + std::to_string(id));
    return &items[0];
  }
};

class MainWindowProcTest : public ShellWindowTest {
 protected:
  void SetUp() override {
    ShellWindowTest::SetUp();
    UseDevice("pocketpc-qvga");
    platform::UnregisterClassW(kMainWindowClass, nullptr);
    ASSERT_TRUE(RegisterWindowClasses(MainWindowProc));
    App().viewer = &recorder_;
    window_ = HostWindow::CreateView(nullptr, true);
    ASSERT_NE(window_, nullptr);
    recorder_.active = window_;
    Pump();
    recorder_.calls.clear();
  }
  void TearDown() override {
    App().viewer = nullptr;
    delete window_;
    ShellWindowTest::TearDown();
  }

  platform::LRESULT Send(platform::UINT message, WPARAM wParam, LPARAM lParam) {
    return platform::SendMessageW(window_->Handle(), message, wParam, lParam);
  }
  Calls TakeCalls() {
    Calls calls = recorder_.calls;
    recorder_.calls.clear();
    return calls;
  }

  RecordingShellViewer recorder_;
  HostWindow* window_ = nullptr;
};



TEST_F(MainWindowProcTest, CloseRunsTheExitCommandAndLeavesTheWindow) {
  Send(platform::WM_CLOSE, 0, 0);
  EXPECT_EQ(TakeCalls(), Calls{"OnCommand 102"});
  EXPECT_TRUE(platform::IsWindow(window_->Handle()));
}

TEST_F(MainWindowProcTest, SizeGoesToTheViewerUnlessMinimisedOrAboutAnotherWindow) {
  Send(platform::WM_SIZE, platform::SIZE_RESTORED, platform::MAKELPARAM(240, 268));
  Send(platform::WM_SIZE, platform::SIZE_MINIMIZED, platform::MAKELPARAM(1, 1));
  Send(platform::WM_SIZE, platform::SIZE_MAXSHOW, platform::MAKELPARAM(1, 1));
  Send(platform::WM_SIZE, platform::SIZE_MAXHIDE, platform::MAKELPARAM(1, 1));
  EXPECT_EQ(TakeCalls(), Calls{"OnSize W 240x268"});
}

TEST_F(MainWindowProcTest, ZoomMessagesCarryFloatBitsAndRefuseWhatCannotBeAZoom) {
  // Before any document the answer is the bits of 0.0.
  EXPECT_EQ(Send(shell::kZoomQueryMessage, 0, 0), 0);
  recorder_.zoom = 1.5f;
  EXPECT_EQ(static_cast<uint32_t>(Send(shell::kZoomQueryMessage, 0, 0)), std::bit_cast<uint32_t>(1.5f));

  struct Case {
    const char* name;
    float factor;
    const char* call;  // null: refused
  };
  const Case cases[] = {
      {"two", 2.0f, "SetZoomFactor 2.000000"},
      {"above the range", 100.0f, "SetZoomFactor 10.000000"},
      {"below the range", 0.01f, "SetZoomFactor 0.079987"},
      {"zero", 0.0f, nullptr},
      {"negative", -2.0f, nullptr},
      {"not a number", std::numeric_limits<float>::quiet_NaN(), nullptr},
      {"infinite", std::numeric_limits<float>::infinity(), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Send(shell::kZoomSetMessage, std::bit_cast<uint32_t>(c.factor), 0);
    EXPECT_EQ(TakeCalls(), c.call != nullptr ? Calls{c.call} : Calls{});
  }
}

TEST_F(MainWindowProcTest, KeysGoToTheirOperationsOrAsKeypadCharacters) {
  struct Case {
    int key;
    const char* call;
  };
  const Case cases[] = {
      {platform::VK_DOWN, "OnKeyDown W"},         {platform::VK_NEXT, "OnPageDown W"},
      {platform::VK_MULTIPLY, "OnKeyCommand 42"}, {platform::VK_F8, "OnKeyCommand 42"},
      {platform::VK_F9, "OnKeyCommand 35"},       {'5', "OnKeyCommand 53"},
  };
  for (const Case& c : cases) {
    Send(platform::WM_KEYDOWN, static_cast<WPARAM>(c.key), 0);
    EXPECT_EQ(TakeCalls(), Calls{c.call}) << c.key;
  }
  EXPECT_EQ(Send(platform::WM_KEYUP, platform::VK_DOWN, 0), 0);
  EXPECT_EQ(TakeCalls(), Calls{});
}

TEST_F(MainWindowProcTest, ARepeatOfAReleasedKeyIsDropped) {
  constexpr LPARAM kRepeat = LPARAM{1} << 30;
  Send(platform::WM_KEYDOWN, platform::VK_DOWN, kRepeat);
  EXPECT_EQ(TakeCalls(), Calls{});
  platform::InjectKeyDown(platform::VK_DOWN);
  Send(platform::WM_KEYDOWN, platform::VK_DOWN, kRepeat);
  EXPECT_EQ(TakeCalls(), Calls{"OnKeyDown W"});
  platform::InjectKeyUp(platform::VK_DOWN);
}

TEST_F(MainWindowProcTest, HandOverOpensTheTrimmedPathAndDropsMalformedOnes) {
  const std::u16string good = u"\t \"\\My Documents\\a b.pdf\" \t";
  platform::COPYDATASTRUCT data{0, static_cast<platform::DWORD>((good.size() + 1) * 2),
                                const_cast<char16_t*>(good.c_str())};
  EXPECT_EQ(Send(platform::WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 0);
  EXPECT_EQ(TakeCalls(), Calls{"OnCopyData \\My Documents\\a b.pdf"});
  data.cbData -= 1;  // odd
  Send(platform::WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  EXPECT_EQ(TakeCalls(), Calls{});
}

TEST_F(MainWindowProcTest, CommandsAndTheBackKeyOverride) {
  // Bookmarks on a device without the button bar asks the next menu bar to
  // take the Back key.
  App().optionBits = 0;
  Send(platform::WM_COMMAND, kCommandBookmarks, 0);
  EXPECT_EQ(App().backKeyState, kBackKeyPending);
  App().backKeyState = kBackKeyNone;
  App().optionBits = 7;
  Send(platform::WM_COMMAND, kCommandBookmarks, 0);
  EXPECT_EQ(App().backKeyState, kBackKeyNone);
  Send(platform::WM_COMMAND, 0, 0);  // id 0 is nothing
  // Other notifications than an edit's focus are not commands.
  Send(platform::WM_COMMAND, platform::MAKELONG(105, 1), 0);
  EXPECT_EQ(TakeCalls(), (Calls{"OnCommand 130", "OnCommand 130"}));

  // The overridden Back key cancels the bookmark list once per press: its
  // release comes as a hot key too.
  Send(platform::WM_HOTKEY, platform::VK_TBACK, platform::MAKELPARAM(0, platform::VK_TBACK));
  Send(platform::WM_HOTKEY, platform::VK_TBACK, platform::MAKELPARAM(platform::MOD_KEYUP, platform::VK_TBACK));
  EXPECT_EQ(TakeCalls(), Calls{"OnCommand 132"});
}

TEST_F(MainWindowProcTest, ScrollBarRequestsAndPositions) {
  platform::SCROLLINFO info{sizeof info, platform::SIF_ALL, 10, 410, 100, 60, 0};
  platform::SetScrollInfo(window_->Handle(), platform::SB_VERT, &info, platform::TRUE);
  TakeCalls();  // the bar's size change
  struct Case {
    platform::UINT message;
    platform::WORD request;
    const char* call;  // null: nothing
  };
  const Case cases[] = {
      {platform::WM_HSCROLL, 0, "OnLineLeft W"},
      {platform::WM_VSCROLL, 3, "OnPageDown W"},
      {platform::WM_VSCROLL, 8, nullptr},
      {platform::WM_VSCROLL, 4, "ScrollVerticalTo W 50 100 400"},   // the position
      {platform::WM_VSCROLL, 6, "ScrollVerticalTo W 0 100 400"},    // top: the minimum
      {platform::WM_VSCROLL, 7, "ScrollVerticalTo W 300 100 400"},  // bottom: maximum - page
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    Send(c.message, c.request, 0);
    EXPECT_EQ(TakeCalls(), c.call != nullptr ? Calls{c.call} : Calls{});
  }
}

TEST_F(MainWindowProcTest, PenPressesCaptureThePenUntilRelease) {
  Send(platform::WM_LBUTTONDOWN, 0, platform::MAKELPARAM(12, 34));
  EXPECT_EQ(platform::GetCapture(), window_->Handle());
  Send(platform::WM_LBUTTONUP, 0, platform::MAKELPARAM(static_cast<platform::WORD>(-3), 5));
  EXPECT_EQ(platform::GetCapture(), nullptr);
  EXPECT_EQ(TakeCalls(), (Calls{"OnMouseDown 12,34 W", "OnMouseUp -3,5 W"}));
}

TEST_F(MainWindowProcTest, ActivationRestoresTheViewerAndAnotherApplicationFreesMemory) {
  Send(platform::WM_ACTIVATE, platform::WA_INACTIVE, 0);
  EXPECT_EQ(TakeCalls(), (Calls{"ReleaseCachedMemory", "SetBackgroundMode 1"}));
  Send(platform::WM_ACTIVATE, platform::WA_INACTIVE, reinterpret_cast<LPARAM>(window_->Handle()));
  EXPECT_EQ(TakeCalls(), Calls{});
  Send(platform::WM_ACTIVATE, 1, 0);
  // Then the active view is laid out again (its size reaches the viewer).
  const Calls calls = TakeCalls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], "RestoreFocus");
  EXPECT_EQ(calls[1], "SetBackgroundMode 0");
  EXPECT_TRUE(window_->IsActive());
}

TEST_F(MainWindowProcTest, PopupItemsTakeTheirStatesByPosition) {
  const platform::HMENU popup = platform::CreatePopupMenu();
  platform::AppendMenuW(popup, platform::MF_STRING, 1, u"one");
  platform::AppendMenuW(popup, platform::MF_STRING, 2, u"two");
  window_->RegisterPopup(popup, 117);
  recorder_.items[0].grayed = 1;
  recorder_.items[0].next = &recorder_.items[1];
  recorder_.items[1].checked = 1;
  EXPECT_EQ(Send(platform::WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0), 0);
  EXPECT_EQ(TakeCalls(), Calls{"GetMenuForPopup 117"});
  // Each call answers the state the item had.
  const auto grayed = [&](platform::UINT position) {
    return platform::EnableMenuItem(popup, position, platform::MF_BYPOSITION) == platform::MF_GRAYED;
  };
  const auto checked = [&](platform::UINT position) {
    return platform::CheckMenuItem(popup, position, platform::MF_BYPOSITION) == platform::MF_CHECKED;
  };
  EXPECT_TRUE(grayed(0));
  EXPECT_FALSE(grayed(1));
  EXPECT_FALSE(checked(0));
  EXPECT_TRUE(checked(1));
  platform::DestroyMenu(popup);
}

}  // namespace
}  // namespace shell::testing
