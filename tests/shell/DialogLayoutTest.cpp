// Every shell dialog on the small and the large Pocket PC screen, in
// English and in German: a screenshot of each under the build tree, and a
// check that each control lies inside the dialog above its menu bar, that
// no two overlap and that each control's text fits it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ShellDialogFixture.h"
#include "platform/Controls.h"
#include "platform/Files.h"
#include "platform/Screen.h"
#include "resources/UIStringTable.h"
#include "shell/DialogLayout.h"
#include "shell/FileBrowserDialog.h"
#include "shell/FindDialog.h"
#include "shell/GoToPageDialog.h"
#include "shell/ListDialog.h"
#include "shell/PasswordDialog.h"
#include "shell/PropertiesDialog.h"
#include "shell/SplashPopup.h"
#include "shell/TextBoxDialog.h"
#include "shell/ZoomDialog.h"
#include "tests/platform/TempFolder.h"

namespace shell {
namespace {

using runtime::MenuItemDesc;

constexpr int32_t kLayoutPresets[] = {8, 16, 25, 33, 50, 75, 100, 125, 150, 200,
                                      250, 300, 350, 400, 500, 600, 700, 800, 900, 1000};

std::u16string ClassOf(platform::HWND window) {
  char16_t name[64] = {};
  platform::GetClassNameW(window, name, 64);
  std::u16string text = name;
  for (auto& c : text) c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
  return text;
}

bool Overlap(const platform::RECT& a, const platform::RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string Describe(platform::HWND control) {
  return "control " + std::to_string(platform::GetDlgCtrlID(control));
}

class DialogLayoutTest : public testing::ShellDialogTest {
 protected:
  void SetUp() override {
    testing::ShellDialogTest::SetUp();
    platform::SetDeviceFileRoot(root_.path());
    std::filesystem::create_directories(root_.path() + "/Documents/Reports");
    std::ofstream(root_.path() + "/Documents/Reports/annual.pdf") << "x";
    std::ofstream(root_.path() + "/Documents/manual.pdf") << "x";
    shots_ = std::string(FOLVANE_BINARY_DIR) + "/screenshots/dialogs";
    std::filesystem::create_directories(shots_);
  }
  void TearDown() override {
    platform::SetDeviceFileRoot("");
    testing::ShellDialogTest::TearDown();
  }

  const char16_t* Ui(uint32_t column) const { return resources::GetUIString(row_, column); }

  // Shows the dialog without a modal loop, writes its screenshot and
  // checks its controls.
  void Check(DialogBase& dialog, const std::string& name) {
    SCOPED_TRACE(name);
    const platform::HWND window = CreateModelessDialog(dialog);
    ASSERT_NE(window, nullptr);
    Pump();
    ASSERT_TRUE(platform::SaveScreenshot(shots_ + "/" + name + ".png"));
    platform::RECT area{};
    platform::GetWindowRect(window, &area);
    if (dialog.MenuBar() != nullptr && platform::IsWindowVisible(dialog.MenuBar())) {
      platform::RECT bar{};
      platform::GetWindowRect(dialog.MenuBar(), &bar);
      area.bottom = std::min(area.bottom, bar.top);
    }
    std::vector<platform::HWND> controls;
    for (platform::HWND child = platform::GetWindow(window, platform::GW_CHILD); child != nullptr;
         child = platform::GetWindow(child, platform::GW_HWNDNEXT)) {
      if (platform::IsWindowVisible(child) && child != dialog.MenuBar()) controls.push_back(child);
    }
    EXPECT_FALSE(controls.empty());
    const int border = platform::GetSystemMetrics(platform::SM_CXBORDER);
    for (size_t i = 0; i < controls.size(); ++i) {
      const platform::HWND control = controls[i];
      SCOPED_TRACE(Describe(control));
      platform::RECT rect{};
      platform::GetWindowRect(control, &rect);
      const std::u16string kind = ClassOf(control);
      // A border drawn outside the dialog's area is allowed for a control
      // that fills the dialog.
      const int slack = (platform::GetWindowLongW(control, platform::GWL_STYLE) & platform::WS_BORDER) != 0 ? border : 0;
      EXPECT_GT(rect.right - rect.left, 0);
      EXPECT_GT(rect.bottom - rect.top, 0);
      EXPECT_GE(rect.left, area.left - slack);
      EXPECT_GE(rect.top, area.top - slack);
      EXPECT_LE(rect.right, area.right + slack);
      EXPECT_LE(rect.bottom, area.bottom + slack);
      for (size_t j = i + 1; j < controls.size(); ++j) {
        platform::RECT other{};
        platform::GetWindowRect(controls[j], &other);
        EXPECT_FALSE(Overlap(rect, other)) << "overlaps " << Describe(controls[j]);
      }
      const int width = rect.right - rect.left;
      const int height = rect.bottom - rect.top;
      if (kind == u"STATIC") {
        EXPECT_LE(WrappedTextHeight(control, width), height);
      } else if (kind == u"BUTTON") {
        const platform::SIZE text = TextExtent(control);
        const bool box = (platform::GetWindowLongW(control, platform::GWL_STYLE) & platform::BS_TYPEMASK) ==
                         platform::BS_AUTOCHECKBOX;
        EXPECT_LE(text.cx + (box ? height : 0), width);
        EXPECT_LE(text.cy, height);
      } else if (kind == u"EDIT") {
        EXPECT_LE(LineHeight(control), height);
      }
    }
    platform::DestroyWindow(window);
  }

  void CheckAll(const std::string& prefix) {
    MenuItemDesc cancel{136, Ui(56)};
    MenuItemDesc ok{135, Ui(52), nullptr, &cancel};
    MenuItemDesc exitKey{102, Ui(6)};
    MenuItemDesc browseKey{137, Ui(73), nullptr, &exitKey};
    MenuItemDesc openKey{138, Ui(0), nullptr, &exitKey};
    MenuItemDesc findCancel{136, Ui(56)};
    MenuItemDesc findKey{112, Ui(28), nullptr, &findCancel};
    MenuItemDesc single{135, Ui(52)};
    {
      SetInitialFolder(u"\\Documents\\Reports");
      FileBrowserDialog dialog;
      dialog.SetTitle(u"Vantrel Folvane");
      dialog.SetItemText(kBrowserRootText, Ui(51));
      dialog.SetItemText(kBrowserOpenText, Ui(0));
      dialog.SetItemText(kBrowserCloseText, Ui(81));
      dialog.SetSoftKeys(&openKey);
      Check(dialog, prefix + "-browser");
    }
    {
      ListDialog dialog(true);
      for (uint32_t i = 0; i < 6; ++i) dialog.SetItemText(1201 + i, Ui(i == 0 ? 39 : i == 1 ? 66 : i == 2 ? 67 : i == 3 ? 73 : i == 4 ? 63 : 62));
      dialog.SetSoftKeys(&browseKey);
      dialog.AddPath(u"\\Documents\\manual.pdf");
      dialog.AddPath(u"\\Documents\\Reports\\annual.pdf");
      Check(dialog, prefix + "-recent");
    }
    {
      FindDialog dialog;
      dialog.SetItemText(kFindPromptText, Ui(28));
      dialog.SetItemText(kFindSearchText, u"invoice");
      dialog.SetItemText(kFindMatchCaseText, Ui(29));
      dialog.SetItemText(kFindWholeWordText, Ui(30));
      dialog.SetItemText(kFindBackwardsText, Ui(31));
      dialog.SetSoftKeys(&findKey);
      Check(dialog, prefix + "-find");
    }
    {
      ZoomDialog dialog;
      dialog.SetItemText(kZoomLabelText, Ui(37));
      dialog.SetPresets(20, kLayoutPresets, 19, 1000);
      dialog.SetSoftKeys(&ok);
      Check(dialog, prefix + "-zoom");
    }
    {
      PasswordDialog dialog;
      dialog.SetItemText(runtime::kPasswordPromptResource, Ui(34));
      Check(dialog, prefix + "-password");
    }
    {
      GoToPageDialog dialog;
      dialog.SetItemText(kGoToPromptText, Ui(35));
      dialog.SetItemText(kGoToCountLabelText, Ui(36));
      dialog.SetItemText(kGoToCountText, u"1284");
      dialog.SetItemText(kGoToPageText, u"17");
      dialog.SetSoftKeys(&ok);
      Check(dialog, prefix + "-gotopage");
    }
    {
      PropertiesDialog dialog;
      const uint32_t labels[5] = {39, 41, 40, 42, 44};
      for (uint32_t i = 0; i < 5; ++i) dialog.SetItemText(kPropertiesFirstText + 2 * i, Ui(labels[i]));
      dialog.SetItemText(kPropertiesFirstText + 1, u"Quarterly report of the regional offices");
      dialog.SetSoftKeys(&single);
      Check(dialog, prefix + "-properties");
    }
    {
      TextBoxDialog dialog;
      dialog.SetTitle(Ui(32));
      dialog.SetItemText(runtime::kTextBoxTextResource, Ui(47));
      dialog.SetSoftKeys(&single);
      Check(dialog, prefix + "-textbox");
    }
    {
      SplashPopup splash;
      ASSERT_TRUE(splash.Show(1500, u"Vantrel Folvane"));
      Pump();
      ASSERT_TRUE(platform::SaveScreenshot(shots_ + "/" + prefix + "-splash.png"));
      EXPECT_GT(splash.LastDrawnArea().bottom, splash.LastDrawnArea().top);
    }
  }

  platform::testing::TempFolder root_;
  std::string shots_;
  uint32_t row_ = 0;
};

TEST_F(DialogLayoutTest, EveryDialogFitsItsScreenInTwoLanguages) {
  struct Language {
    const char* name;
    platform::LANGID id;
  };
  for (const char* device : {"pocketpc-qvga", "pocketpc-vga"}) {
    for (const Language language : {Language{"en", 0x409}, Language{"de", 0x407}}) {
      SCOPED_TRACE(std::string(device) + " " + language.name);
      UseDevice(device);
      SetUiLanguage(language.id);
      row_ = LanguageRowFor(language.id);
      CheckAll(std::string(device) + "-" + language.name);
    }
  }
}

}  // namespace
}  // namespace shell
