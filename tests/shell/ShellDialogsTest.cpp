#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ShellDialogFixture.h"
#include "tests/platform/TempFolder.h"
#include "platform/Controls.h"
#include "platform/Files.h"
#include "platform/Input.h"
#include "shell/DialogTemplates.h"
#include "shell/FindDialog.h"
#include "shell/GoToPageDialog.h"
#include "shell/ListDialog.h"
#include "shell/PasswordDialog.h"
#include "shell/PropertiesDialog.h"
#include "shell/ZoomDialog.h"
#include "viewer/MenuTree.h"

namespace shell {
namespace {

using runtime::MenuItemDesc;

constexpr int32_t kZoomPresets[] = {8, 16, 25, 33, 50, 75, 100, 125, 150, 200,
                                    250, 300, 350, 400, 500, 600, 700, 800, 900, 1000};

class ShellDialogsTest : public testing::ShellDialogTest {};

TEST_F(ShellDialogsTest, ZoomPresetsFollowTheTrackBar) {
  UseDevice("pocketpc-qvga");
  {
    // Shown: the first preset at index 0, its ends beside the bar; an
    // arrow key moves to the next preset.
    ZoomDialog dialog;
    dialog.SetPresets(20, kZoomPresets, 0, 8);
    dialog.SetSoftKeys(&ok_);
    const platform::HWND window = CreateModelessDialog(dialog);
    ASSERT_NE(window, nullptr);
    Pump();
    EXPECT_EQ(ControlText(window, kZoomValue), u"8 %");
    EXPECT_EQ(ControlText(window, kZoomFirst), u"8");
    EXPECT_EQ(ControlText(window, kZoomLast), u"1000");
    const platform::HWND bar = platform::GetDlgItem(window, kZoomTrackBar);
    EXPECT_EQ(platform::GetFocus(), bar);
    platform::InjectKeyDown(platform::VK_RIGHT);
    Pump();
    EXPECT_EQ(platform::SendMessageW(bar, platform::TBM_GETPOS, 0, 0), 1);
    EXPECT_EQ(ControlText(window, kZoomValue), u"16 %");
    EXPECT_EQ(dialog.GetValue(), 16);
    // A page step reports no position in the message: the bar's own counts.
    platform::SendMessageW(bar, platform::TBM_SETPOS, 1, 9);
    platform::SendMessageW(window, platform::WM_HSCROLL, platform::MAKELONG(platform::TB_PAGEDOWN, 0),
                           reinterpret_cast<platform::LPARAM>(bar));
    EXPECT_EQ(dialog.GetValue(), 200);
    EXPECT_EQ(ControlText(window, kZoomValue), u"200 %");
    platform::DestroyWindow(window);
  }
  {
    // Modal: OK returns 201 with the value the keys reached; Cancel 202.
    ZoomDialog dialog;
    dialog.SetPresets(20, kZoomPresets, 6, 100);
    dialog.SetSoftKeys(&ok_);
    platform::InjectKeyDown(platform::VK_RIGHT);
    platform::InjectKeyDown(platform::VK_RIGHT);
    platform::InjectSoftKey(0);
    EXPECT_EQ(dialog.RunModal(), kResultOk);
    EXPECT_EQ(dialog.GetValue(), 150);
    platform::InjectSoftKey(1);
    EXPECT_EQ(dialog.RunModal(), kResultCancel);
  }
  // Without presets the value stays as given.
  ZoomDialog empty;
  EXPECT_EQ(empty.GetValue(), 100);
  empty.SetPresets(0, nullptr, 3, 120);
  empty.SetSoftKeys(&ok_);
  platform::InjectKeyDown(platform::VK_RIGHT);
  platform::InjectSoftKey(0);
  EXPECT_EQ(empty.RunModal(), kResultOk);
  EXPECT_EQ(empty.GetValue(), 120);
}

TEST_F(ShellDialogsTest, RecentFilesListAndBrowse) {
  UseDevice("pocketpc-qvga");
  MenuItemDesc exitKey{102, u"Exit"};
  MenuItemDesc browseKey{137, u"Browse", nullptr, &exitKey};
  {
    // No paths and the Browse button: it has the focus, and Enter on it
    // sends the user to the browser.
    runtime::ListDialog* dialog = host_.CreateListDialog(true);
    ASSERT_NE(dialog, nullptr);
    dialog->SetItemText(1204, u"Browse");
    dialog->SetSoftKeys(&browseKey);
    platform::InjectKeyDown(platform::VK_RETURN);
    EXPECT_EQ(dialog->RunModal(), kResultOpenSelected);
    EXPECT_EQ(std::u16string(dialog->GetChosenPath()), u"");
    host_.DestroyListDialog(dialog);
  }
  platform::testing::TempFolder folder;
  std::ofstream(folder.path() + "/first.pdf") << "x";
  std::ofstream(folder.path() + "/second.pdf") << "x";
  const std::u16string first = platform::DevicePathFromHost(folder.path() + "/first.pdf");
  const std::u16string second = platform::DevicePathFromHost(folder.path() + "/second.pdf");
  struct Case {
    const char* name;
    void (*press)();
    intptr_t result;
    bool chosen;
  };
  const Case cases[] = {
      {"enter", [] { platform::InjectKeyDown(platform::VK_RETURN); }, kResultOk, true},
      {"exit", [] { platform::InjectSoftKey(1); }, kResultCloseApplication, true},
      {"browse", [] { platform::InjectSoftKey(0); }, kResultOpenSelected, true},
      {"escape", [] { platform::InjectKeyDown(platform::VK_ESCAPE); }, kResultCancel, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ListDialog dialog(false);
    dialog.SetSoftKeys(&browseKey);
    dialog.AddPath(first.c_str());
    dialog.AddPath(u"");
    dialog.AddPath(second.c_str());
    c.press();
    EXPECT_EQ(dialog.RunModal(), c.result);
    // The first row was selected; its path is rebuilt from the columns.
    EXPECT_EQ(std::u16string(dialog.GetChosenPath()), first);
  }
  // The columns: name, folder with its separator, and the date.
  ListDialog dialog(true);
  dialog.SetSoftKeys(&browseKey);
  dialog.SetItemText(1201, u"Name");
  dialog.AddPath(second.c_str());
  dialog.AddPath(u"nofolder.pdf");
  const platform::HWND window = CreateModelessDialog(dialog);
  ASSERT_NE(window, nullptr);
  const platform::HWND list = platform::GetDlgItem(window, kRecentList);
  EXPECT_EQ(platform::SendMessageW(list, platform::LVM_GETITEMCOUNT, 0, 0), 2);
  const auto cell = [&](int row, int column) {
    char16_t text[300] = {};
    platform::LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 300;
    platform::SendMessageW(list, platform::LVM_GETITEMTEXTW, static_cast<platform::WPARAM>(row),
                           reinterpret_cast<platform::LPARAM>(&item));
    return std::u16string(text);
  };
  EXPECT_EQ(cell(0, 0), u"second.pdf");
  EXPECT_EQ(cell(0, 1), second.substr(0, second.size() - 10));
  EXPECT_EQ(cell(0, 2).size(), 10u);  // dd/mm/yyyy
  EXPECT_EQ(cell(1, 0), u"nofolder.pdf");
  EXPECT_EQ(cell(1, 1), u"");
  EXPECT_EQ(cell(1, 2), u"");  // no such file
  EXPECT_EQ(platform::GetFocus(), list);
  // A tap on the second row opens it: a path without a folder comes back
  // unchanged.
  platform::LVITEMW state{};
  state.state = state.stateMask = platform::LVIS_SELECTED | platform::LVIS_FOCUSED;
  platform::SendMessageW(list, platform::LVM_SETITEMSTATE, 1, reinterpret_cast<platform::LPARAM>(&state));
  platform::DestroyWindow(window);
  EXPECT_EQ(std::u16string(dialog.GetChosenPath()), u"nofolder.pdf");
}

TEST_F(ShellDialogsTest, TextFieldsComeBackWithTheResult) {
  UseDevice("pocketpc-qvga");
  {
    // Find: the initial text is selected, so typing replaces it; the
    // options go in and come back.
    FindDialog dialog;
    dialog.SetItemText(1102, u"old");
    dialog.SetOption(runtime::kFindWholeWord, true);
    MenuItemDesc cancel{136, u"Cancel"};
    MenuItemDesc find{112, u"Find", nullptr, &cancel};
    dialog.SetSoftKeys(&find);
    for (char16_t c : std::u16string(u"new")) platform::InjectChar(c);
    platform::InjectSoftKey(0);
    EXPECT_EQ(dialog.RunModal(), kResultOk);
    EXPECT_EQ(std::u16string(dialog.GetText()), u"new");
    EXPECT_FALSE(dialog.GetOption(runtime::kFindMatchCase));
    EXPECT_TRUE(dialog.GetOption(runtime::kFindWholeWord));
    EXPECT_FALSE(dialog.GetOption(runtime::kFindBackwards));
  }
  {
    // The viewer's own Find pair: its left key confirms, its right key
    // cancels.
    viewer::MenuTree tree;
    tree.Build(0, 0, 2, u"");
    for (const auto& [key, result] : {std::pair{0, kResultOk}, std::pair{1, kResultCancel}}) {
      FindDialog dialog;
      dialog.SetSoftKeys(tree.FindCancelPair());
      platform::InjectChar(u'x');
      platform::InjectSoftKey(key);
      EXPECT_EQ(dialog.RunModal(), result) << key;
    }
  }
  {
    // Go to page: the field starts with the page given, the count beside
    // its label.
    GoToPageDialog dialog;
    dialog.SetItemText(1601, u"Enter page number:");
    dialog.SetItemText(1602, u"Total Pages:");
    dialog.SetItemText(1603, u"12");
    dialog.SetItemText(1604, u"3");
    dialog.SetSoftKeys(&ok_);
    const platform::HWND window = CreateModelessDialog(dialog);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ControlText(window, kGoToField), u"3");
    EXPECT_EQ(ControlText(window, kGoToCount), u"12");
    EXPECT_EQ(platform::GetFocus(), platform::GetDlgItem(window, kGoToField));
    platform::DestroyWindow(window);
    for (char16_t c : std::u16string(u"7")) platform::InjectChar(c);
    platform::InjectKeyDown(platform::VK_RETURN);
    EXPECT_EQ(dialog.RunModal(), kResultOk);
    EXPECT_EQ(std::u16string(dialog.GetText()), u"7");
  }
  {
    // The password: typed text hidden on the screen, returned as typed;
    // its soft keys are its own.
    runtime::TextEntryDialog* dialog = host_.CreatePasswordDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->SetItemText(runtime::kPasswordPromptResource, u"Enter document password:");
    for (char16_t c : std::u16string(u"s3cret")) platform::InjectChar(c);
    platform::InjectSoftKey(0);
    EXPECT_EQ(dialog->RunModal(), runtime::kTextEntryAccepted);
    EXPECT_EQ(std::u16string(dialog->GetText()), u"s3cret");
    platform::InjectChar(u'x');
    platform::InjectSoftKey(1);
    EXPECT_EQ(dialog->RunModal(), kResultCancel);
    host_.DestroyPasswordDialog(dialog);
  }
}

TEST_F(ShellDialogsTest, PropertiesValuesUpdateWhileOpen) {
  UseDevice("pocketpc-qvga");
  PropertiesDialog dialog;
  dialog.SetItemText(1401, u"Name");
  const platform::HWND window = CreateModelessDialog(dialog);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ControlText(window, kPropertiesFirstLabel), u"Name");
  for (int row = 0; row < kPropertiesRows; ++row) EXPECT_EQ(ControlText(window, kPropertiesFirstValue + row), u"...");
  dialog.SetItemText(1402, u"A long title that needs more than one line on a small screen");
  EXPECT_EQ(ControlText(window, kPropertiesFirstValue), u"A long title that needs more than one line on a small screen");
  // The value reaches to 10 pixels from the right edge and grew to hold
  // its lines; the next row moved down below it.
  platform::RECT client{};
  platform::GetClientRect(window, &client);
  const platform::RECT value = ControlRect(window, kPropertiesFirstValue);
  EXPECT_EQ(value.right, client.right - 10);
  EXPECT_GT(value.bottom - value.top, LineHeight(platform::GetDlgItem(window, kPropertiesFirstValue)));
  EXPECT_GE(ControlRect(window, kPropertiesFirstValue + 1).top, value.bottom);
  platform::DestroyWindow(window);
}

}  // namespace
}  // namespace shell
