#include "shell/DialogBase.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "ShellWindowFixture.h"
#include "TestViewer.h"
#include "platform/Controls.h"
#include "platform/HandheldShell.h"
#include "platform/Input.h"
#include "shell/HostServices.h"
#include "shell/HostWindow.h"
#include "shell/ShellResources.h"
#include "shell/SoftKeyBar.h"

namespace shell {
namespace {

using runtime::MenuItemDesc;

constexpr uint32_t kPlainTemplate = 901;
constexpr uint32_t kTextTemplate = 902;
constexpr int kEditId = 1041;
constexpr int kLabelId = 1020;

// Two templates of our own: a label only, and a label with a text field.
const std::vector<uint8_t>& PlainTemplate() {
  static platform::DialogTemplateBuilder builder = [] {
    platform::DialogTemplateBuilder made(platform::WS_POPUP | platform::WS_VISIBLE, 0, 0, 120, 80, u"Plain");
    made.Add(platform::WC_STATIC, u"Go on?", kLabelId, platform::WS_VISIBLE, 4, 4, 100, 10);
    return made;
  }();
  return builder.Bytes();
}

const std::vector<uint8_t>& TextTemplate() {
  static platform::DialogTemplateBuilder builder = [] {
    platform::DialogTemplateBuilder made(platform::WS_POPUP | platform::WS_VISIBLE, 0, 0, 120, 80, u"Text");
    made.Add(platform::WC_STATIC, u"Page:", kLabelId, platform::WS_VISIBLE, 4, 4, 100, 10);
    made.Add(platform::WC_EDIT, u"", kEditId,
             platform::WS_VISIBLE | platform::WS_BORDER | platform::WS_TABSTOP | platform::ES_AUTOHSCROLL, 4, 20, 100,
             12);
    return made;
  }();
  return builder.Bytes();
}

// A dialog of the kind the shell's dialogs are: OK and Cancel soft keys
// that end it, a text field when asked for.
class TestDialog : public DialogBase {
 public:
  explicit TestDialog(uint32_t templateId) : templateId_(templateId) {}
  uint32_t GetTemplateId() override { return templateId_; }
  intptr_t OnInitDialog(platform::HWND window) override {
    DialogBase::OnInitDialog(window);
    ++inits;
    if (MenuBar() != nullptr) {
      for (int index = 0; index < 2; ++index) {
        char16_t text[32] = {};
        platform::TBBUTTONINFOW info{};
        info.cbSize = sizeof info;
        info.dwMask = platform::TBIF_BYINDEX | platform::TBIF_STATE | platform::TBIF_TEXT | platform::TBIF_COMMAND;
        info.pszText = text;
        info.cchText = 32;
        platform::SendMessageW(MenuBar(), platform::TB_GETBUTTONINFOW, static_cast<platform::WPARAM>(index),
                               reinterpret_cast<platform::LPARAM>(&info));
        keyHidden[index] = (info.fsState & platform::TBSTATE_HIDDEN) != 0;
        keyText[index] = text;
      }
    }
    titleAtInit.resize(64);
    titleAtInit.resize(static_cast<size_t>(platform::GetWindowTextW(window, titleAtInit.data(), 64)));
    if (templateId_ == kTextTemplate) platform::SetFocus(platform::GetDlgItem(window, kEditId));
    return 0;
  }
  bool OnCommand(platform::WPARAM wParam, platform::LPARAM) override {
    const int id = platform::LOWORD(wParam);
    if (id == 135 || id == 136) {
      if (templateId_ == kTextTemplate) {
        char16_t text[32] = {};
        platform::GetDlgItemTextW(Window(), kEditId, text, 32);
        typed = text;
      }
      EndDialogWithPanel(Window(), id == 135 ? platform::IDOK : platform::IDCANCEL);
      return true;
    }
    return false;
  }
  bool IsTextEntryControl(int id) override { return id == kEditId; }
  void OnDestroy() override { ++destroys; }

  int inits = 0;
  int destroys = 0;
  bool keyHidden[2] = {};
  std::u16string keyText[2];
  std::u16string titleAtInit;
  std::u16string typed;

 private:
  uint32_t templateId_;
};

class DialogBaseTest : public testing::ShellWindowTest {
 protected:
  void SetUp() override {
    testing::ShellWindowTest::SetUp();
    static const std::array<platform::ResourceEntry, 2> kTemplates = {{
        {5, kPlainTemplate, PlainTemplate().data(), static_cast<uint32_t>(PlainTemplate().size())},
        {5, kTextTemplate, TextTemplate().data(), static_cast<uint32_t>(TextTemplate().size())},
    }};
    platform::RegisterResources(kTemplates);
  }

  MenuItemDesc cancel_{136, u"Cancel"};
  MenuItemDesc ok_{135, u"OK", nullptr, &cancel_};
};

TEST_F(DialogBaseTest, ModalResultsFromEnterEscapeBackAndSoftKeys) {
  enum class Press { kEnter, kEscape, kBack, kLeftSoftKey, kRightSoftKey };
  struct Case {
    Press press;
    intptr_t result;
  };
  const Case cases[] = {{Press::kEnter, kResultOk},
                        {Press::kEscape, kResultCancel},
                        {Press::kBack, kResultCancel},
                        {Press::kLeftSoftKey, kResultOk},
                        {Press::kRightSoftKey, kResultCancel}};
  for (const char* device : {"pocketpc-qvga", "smartphone"}) {
    UseDevice(device);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(device) + " " + std::to_string(static_cast<int>(c.press)));
      TestDialog dialog(kPlainTemplate);
      dialog.SetSoftKeys(&ok_);
      dialog.SetTitle(u"Go To");
      switch (c.press) {
        case Press::kEnter: platform::InjectKeyDown(platform::VK_RETURN); break;
        case Press::kEscape: platform::InjectKeyDown(platform::VK_ESCAPE); break;
        case Press::kBack: platform::InjectBackKey(); break;
        case Press::kLeftSoftKey: platform::InjectSoftKey(0); break;
        case Press::kRightSoftKey: platform::InjectSoftKey(1); break;
      }
      EXPECT_EQ(dialog.Run(), c.result);
      EXPECT_EQ(dialog.inits, 1);
      EXPECT_EQ(dialog.destroys, 1);
      EXPECT_EQ(dialog.Window(), nullptr);
      EXPECT_EQ(dialog.titleAtInit, u"Go To");
      // The two soft keys carry the description's labels.
      EXPECT_FALSE(dialog.keyHidden[0]);
      EXPECT_FALSE(dialog.keyHidden[1]);
      EXPECT_EQ(dialog.keyText[0], u"OK");
      EXPECT_EQ(dialog.keyText[1], u"Cancel");
    }
  }
  // Each run told the viewer it was modal.
  EXPECT_EQ(viewer_.modalBegins, 10);
  EXPECT_EQ(viewer_.modalEnds, 10);
}

TEST_F(DialogBaseTest, PocketPcDialogWithOneLabelGetsNoSoftKeys) {
  UseDevice("pocketpc-qvga");
  MenuItemDesc empty{136, u""};
  MenuItemDesc ok{135, u"OK", nullptr, &empty};
  TestDialog dialog(kPlainTemplate);
  dialog.SetSoftKeys(&ok);
  EXPECT_FALSE(dialog.ShowsTwoSoftKeys());
  // Its OK is the one in the system's bar.
  const platform::DeviceProfile& profile = platform::GetDeviceProfile();
  platform::InjectPenDown(profile.width - 4, profile.taskBarHeight / 2);
  platform::InjectPenUp(profile.width - 4, profile.taskBarHeight / 2);
  EXPECT_EQ(dialog.Run(), kResultOk);
  EXPECT_TRUE(dialog.keyHidden[0]);
  EXPECT_TRUE(dialog.keyHidden[1]);
  // With both labels there is no such OK: the tap does nothing.
  TestDialog both(kPlainTemplate);
  both.SetSoftKeys(&ok_);
  platform::InjectPenDown(profile.width - 4, profile.taskBarHeight / 2);
  platform::InjectPenUp(profile.width - 4, profile.taskBarHeight / 2);
  platform::InjectKeyDown(platform::VK_ESCAPE);
  EXPECT_EQ(both.Run(), kResultCancel);
  // On a Smartphone the description is enough.
  UseDevice("smartphone");
  EXPECT_TRUE(dialog.ShowsTwoSoftKeys());
}

TEST_F(DialogBaseTest, BackInATextFieldOfASmartphoneDialogEditsTheText) {
  UseDevice("smartphone");
  TestDialog dialog(kTextTemplate);
  dialog.SetSoftKeys(&ok_);
  for (char16_t c : std::u16string(u"123")) platform::InjectChar(c);
  platform::InjectBackKey();
  platform::InjectSoftKey(0);
  EXPECT_EQ(dialog.Run(), kResultOk);
  EXPECT_EQ(dialog.typed, u"12");
}

TEST_F(DialogBaseTest, MissingTemplateFailsAndModelessDialogsStayOpen) {
  UseDevice("pocketpc-qvga");
  TestDialog missing(999);
  EXPECT_EQ(missing.Run(), -1);
  EXPECT_EQ(missing.inits, 0);
  EXPECT_EQ(CreateModelessDialog(missing), nullptr);

  TestDialog modeless(kPlainTemplate);
  modeless.SetSoftKeys(&ok_);
  const platform::HWND window = CreateModelessDialog(modeless);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(modeless.Window(), window);
  EXPECT_NE(platform::FindMenuBar(window), nullptr);
  // The title set while open shows at once.
  modeless.SetTitle(u"Searching");
  char16_t title[32] = {};
  platform::GetWindowTextW(window, title, 32);
  EXPECT_EQ(std::u16string(title), u"Searching");
  Pump();
  EXPECT_TRUE(platform::IsWindow(window));
  modeless.Close();
  Pump();
  EXPECT_EQ(viewer_.modalBegins, 1);  // the failed modal run only
}

// A dialog that wants the input panel keeps it up when there is room above
// it, and lowers it when it ends.
TEST_F(DialogBaseTest, TextDialogKeepsTheInputPanelWhenThereIsRoom) {
  struct Case {
    const char* device;
    bool keepsPanel;
  };
  class PanelDialog : public TestDialog {
   public:
    PanelDialog() : TestDialog(kTextTemplate) { SetWantsInputPanel(true); }
    intptr_t OnInitDialog(platform::HWND window) override {
      TestDialog::OnInitDialog(window);
      // Shown: ends on the next timer tick so that the show happens first.
      platform::SetTimer(window, 7, 10, nullptr);
      return 0;
    }
    void OnTimer(platform::UINT_PTR) override {
      panelWhileOpen = platform::IsInputPanelShown();
      EndDialogWithPanel(Window(), platform::IDOK);
    }
    bool panelWhileOpen = false;
  };
  for (const Case& c : {Case{"pocketpc-vga", true}, Case{"pocketpc-square", false}}) {
    UseDevice(c.device);
    platform::RECT work{};
    platform::SystemParametersInfoW(platform::SPI_GETWORKAREA, 0, &work, 0);
    PanelDialog dialog;
    dialog.SetSoftKeys(&ok_);
    platform::AdvanceVirtualClock(20 * 1000);
    EXPECT_EQ(dialog.Run(), kResultOk) << c.device;
    EXPECT_EQ(dialog.panelWhileOpen, c.keepsPanel) << c.device;
    EXPECT_FALSE(platform::IsInputPanelShown()) << c.device;
  }
}

}  // namespace
}  // namespace shell
