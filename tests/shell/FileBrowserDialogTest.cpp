#include "shell/FileBrowserDialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ShellDialogFixture.h"
#include "platform/Files.h"
#include "platform/Input.h"
#include "shell/DialogTemplates.h"
#include "tests/platform/TempFolder.h"

namespace shell {
namespace {

using runtime::MenuItemDesc;

// The browser over a device file system of its own: a temporary folder
// stands for the root.
class FileBrowserDialogTest : public testing::ShellDialogTest {
 protected:
  void SetUp() override {
    testing::ShellDialogTest::SetUp();
    ASSERT_FALSE(root_.path().empty());
    platform::SetDeviceFileRoot(root_.path());
    for (const char* folder : {"Docs/Sub/Deeper", "Docs/Empty", "Docs/OnlyOthers", "Music"}) {
      std::filesystem::create_directories(root_.path() + "/" + folder);
    }
    for (const char* file : {"Docs/Sub/x.PDF", "Docs/Sub/noext", "Docs/Sub/b.pdf", "Docs/.hidden.pdf",
                             "Docs/OnlyOthers/a.txt", "Docs/OnlyOthers/.secret.pdf", "top.pdf"}) {
      std::ofstream(root_.path() + "/" + file) << "x";
    }
  }
  void TearDown() override {
    platform::SetDeviceFileRoot("");
    testing::ShellDialogTest::TearDown();
  }

  // The item labels below a tree item, in order.
  static std::vector<std::u16string> Children(platform::HWND tree, platform::HTREEITEM item) {
    std::vector<std::u16string> names;
    auto child = reinterpret_cast<platform::HTREEITEM>(platform::SendMessageW(
        tree, platform::TVM_GETNEXTITEM, platform::TVGN_CHILD, reinterpret_cast<platform::LPARAM>(item)));
    while (child != nullptr) {
      names.push_back(Label(tree, child));
      child = reinterpret_cast<platform::HTREEITEM>(platform::SendMessageW(
          tree, platform::TVM_GETNEXTITEM, platform::TVGN_NEXT, reinterpret_cast<platform::LPARAM>(child)));
    }
    return names;
  }
  static std::u16string Label(platform::HWND tree, platform::HTREEITEM item) {
    char16_t text[260] = {};
    platform::TVITEMW record{};
    record.mask = platform::TVIF_HANDLE | platform::TVIF_TEXT;
    record.hItem = item;
    record.pszText = text;
    record.cchTextMax = 260;
    platform::SendMessageW(tree, platform::TVM_GETITEMW, 0, reinterpret_cast<platform::LPARAM>(&record));
    return text;
  }
  static platform::HTREEITEM Selected(platform::HWND tree) {
    return reinterpret_cast<platform::HTREEITEM>(
        platform::SendMessageW(tree, platform::TVM_GETNEXTITEM, platform::TVGN_CARET, 0));
  }
  static platform::HTREEITEM Parent(platform::HWND tree, platform::HTREEITEM item) {
    return reinterpret_cast<platform::HTREEITEM>(platform::SendMessageW(
        tree, platform::TVM_GETNEXTITEM, platform::TVGN_PARENT, reinterpret_cast<platform::LPARAM>(item)));
  }
  void Configure(FileBrowserDialog& dialog) {
    dialog.SetItemText(kBrowserRootText, u"My Device");
    dialog.SetItemText(kBrowserOpenText, u"Open");
    dialog.SetItemText(kBrowserCloseText, u"Close");
    dialog.SetSoftKeys(&open_);
  }

  platform::testing::TempFolder root_;
  MenuItemDesc exit_{102, u"Exit"};
  MenuItemDesc open_{138, u"Open", nullptr, &exit_};
};

TEST_F(FileBrowserDialogTest, OpensTheInitialFolderAndChoosesAFile) {
  UseDevice("pocketpc-qvga");
  SetInitialFolder(u"\\Docs\\Sub");
  {
    FileBrowserDialog dialog;
    Configure(dialog);
    const platform::HWND window = CreateModelessDialog(dialog);
    ASSERT_NE(window, nullptr);
    const platform::HWND tree = platform::GetDlgItem(window, kBrowserTree);
    // Sub is selected, below Docs below the root; its listing has folders
    // first, then the PDF files whatever the case of their extension, and
    // no file without an extension.
    const platform::HTREEITEM sub = Selected(tree);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(Label(tree, sub), u"Sub");
    const platform::HTREEITEM docs = Parent(tree, sub);
    EXPECT_EQ(Label(tree, docs), u"Docs");
    EXPECT_EQ(Label(tree, Parent(tree, docs)), u"My Device");
    EXPECT_EQ(Children(tree, sub), (std::vector<std::u16string>{u"Deeper", u"b.pdf", u"x.PDF"}));
    // Docs lists its folders; the hidden PDF is not there.
    EXPECT_EQ(Children(tree, docs), (std::vector<std::u16string>{u"Empty", u"OnlyOthers", u"Sub"}));
    platform::DestroyWindow(window);
  }
  {
    // Down past Deeper and b.pdf to x.PDF, Enter: OK with its device path.
    FileBrowserDialog dialog;
    Configure(dialog);
    platform::InjectKeyDown(platform::VK_DOWN);
    platform::InjectKeyDown(platform::VK_DOWN);
    platform::InjectKeyDown(platform::VK_DOWN);
    platform::InjectKeyDown(platform::VK_RETURN);
    EXPECT_EQ(dialog.RunModal(), kResultOk);
    EXPECT_EQ(std::u16string(dialog.GetChosenPath()), u"\\Docs\\Sub\\x.PDF");
  }
  {
    // While the splash still shows, the browser takes no command.
    FileBrowserDialog dialog;
    Configure(dialog);
    App().splashShowing = 1;
    platform::InjectSoftKey(1);
    platform::InjectKeyDown(platform::VK_ESCAPE);
    const platform::HWND window = CreateModelessDialog(dialog);
    ASSERT_NE(window, nullptr);
    Pump();
    EXPECT_TRUE(platform::IsWindowVisible(window));
    App().splashShowing = 0;
    platform::DestroyWindow(window);
  }
  {
    // Exit (command 102) closes the application.
    FileBrowserDialog dialog;
    Configure(dialog);
    platform::InjectSoftKey(1);
    EXPECT_EQ(dialog.RunModal(), kResultCloseApplication);
    EXPECT_EQ(std::u16string(dialog.GetChosenPath()), u"");
  }
}

TEST_F(FileBrowserDialogTest, FoldersWithoutPdfFilesCannotBeOpened) {
  UseDevice("pocketpc-qvga");
  struct Case {
    const char16_t* initial;
    const char16_t* selected;
    std::vector<std::u16string> children;
  };
  const Case cases[] = {
      // Only hidden and non-PDF files: nothing to show.
      {u"\\Docs\\OnlyOthers", u"OnlyOthers", {}},
      {u"\\Docs\\Empty", u"Empty", {}},
      // A second component that does not exist stops at the first.
      {u"\\Docs\\Missing", u"Docs", {u"Empty", u"OnlyOthers", u"Sub"}},
      // No initial folder: the root, with its folders and files.
      {u"", u"My Device", {u"Docs", u"Music", u"top.pdf"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(&c - cases));
    SetInitialFolder(c.initial);
    FileBrowserDialog dialog;
    Configure(dialog);
    const platform::HWND window = CreateModelessDialog(dialog);
    ASSERT_NE(window, nullptr);
    const platform::HWND tree = platform::GetDlgItem(window, kBrowserTree);
    EXPECT_EQ(Label(tree, Selected(tree)), c.selected);
    EXPECT_EQ(Children(tree, Selected(tree)), c.children);
    platform::DestroyWindow(window);
  }
  // In folders-only mode a folder is the answer.
  SetInitialFolder(u"\\Docs\\Sub");
  FileBrowserDialog dialog;
  Configure(dialog);
  dialog.SetFoldersOnly(true);
  platform::InjectKeyDown(platform::VK_RETURN);
  EXPECT_EQ(dialog.RunModal(), kResultOk);
  EXPECT_EQ(std::u16string(dialog.GetChosenPath()), u"\\Docs\\Sub");
}

TEST_F(FileBrowserDialogTest, OpenAndCloseRelabelTheSoftKey) {
  UseDevice("pocketpc-qvga");
  SetInitialFolder(u"\\Docs");
  FileBrowserDialog dialog;
  Configure(dialog);
  const platform::HWND window = CreateModelessDialog(dialog);
  ASSERT_NE(window, nullptr);
  const platform::HWND tree = platform::GetDlgItem(window, kBrowserTree);
  const auto leftLabel = [&] {
    char16_t text[32] = {};
    platform::TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = platform::TBIF_BYINDEX | platform::TBIF_TEXT;
    info.pszText = text;
    info.cchText = 32;
    platform::SendMessageW(dialog.MenuBar(), platform::TB_GETBUTTONINFOW, 0, reinterpret_cast<platform::LPARAM>(&info));
    return std::u16string(text);
  };
  // Docs is open: the key closes it.
  EXPECT_EQ(leftLabel(), u"Close");
  platform::InjectKeyDown(platform::VK_LEFT);
  Pump();
  EXPECT_EQ(leftLabel(), u"Open");
  EXPECT_EQ(Label(tree, Selected(tree)), u"Docs");
  // Right opens it again and keeps it selected; Open on a folder toggles.
  platform::InjectKeyDown(platform::VK_RIGHT);
  Pump();
  EXPECT_EQ(leftLabel(), u"Close");
  platform::SendMessageW(window, platform::WM_COMMAND, 138, 0);
  EXPECT_EQ(leftLabel(), u"Open");
  platform::DestroyWindow(window);
}

}  // namespace
}  // namespace shell
