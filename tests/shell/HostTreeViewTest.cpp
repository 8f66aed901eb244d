#include "shell/HostTreeView.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ShellWindowFixture.h"
#include "TestViewer.h"
#include "platform/Input.h"
#include "runtime/HostTreeItems.h"
#include "shell/HostServices.h"
#include "shell/ShellResources.h"

namespace shell {
namespace {

// A bookmark as the viewer keeps it.
class Bookmark final : public runtime::TreeItem {
 public:
  Bookmark(std::u16string title, bool children) : text(std::move(title)), hasChildren(children) {}
  const char16_t* TreeText() override { return text.c_str(); }
  bool HasTreeChildren() override { return hasChildren; }
  void SetTreeHandle(void* value) override { handle = value; }
  void* TreeHandle() override { return handle; }
  std::u16string text;
  bool hasChildren;
  void* handle = nullptr;
};

platform::TVITEMW ReadRow(platform::HWND tree, void* handle) {
  char16_t text[64] = {};
  platform::TVITEMW row{};
  row.mask = platform::TVIF_HANDLE | platform::TVIF_TEXT | platform::TVIF_STATE | platform::TVIF_IMAGE |
             platform::TVIF_PARAM;
  row.hItem = static_cast<platform::HTREEITEM>(handle);
  row.stateMask = platform::TVIS_EXPANDED;
  row.pszText = text;
  row.cchTextMax = 64;
  platform::SendMessageW(tree, platform::TVM_GETITEMW, 0, reinterpret_cast<platform::LPARAM>(&row));
  row.pszText = nullptr;
  return row;
}

bool Expanded(platform::HWND tree, Bookmark& item) {
  return (ReadRow(tree, item.handle).state & platform::TVIS_EXPANDED) != 0;
}

class HostTreeViewTest : public testing::ShellWindowTest {
 protected:
  void SetUp() override {
    testing::ShellWindowTest::SetUp();
    RecordMainWindowMessages();
  }
  HostServices host_;
};

TEST_F(HostTreeViewTest, ImagesSizedForTheScreen) {
  struct Case {
    const char* device;
    int width, height;
  };
  for (const Case& c : {Case{"pocketpc-qvga", 13, 16}, Case{"pocketpc-vga", 26, 32}}) {
    UseDevice(c.device);
    std::unique_ptr<runtime::HostWindow> main(host_.CreateViewWindow(nullptr, false));
    ASSERT_NE(main, nullptr);
    runtime::HostTreeView* tree = host_.CreateTreeView(main.get());
    ASSERT_NE(tree, nullptr);
    auto* own = dynamic_cast<HostTreeView*>(tree);
    int width = 0, height = 0;
    ASSERT_TRUE(platform::ImageList_GetIconSize(own->ImageList(), &width, &height));
    EXPECT_EQ(width, c.width) << c.device;
    EXPECT_EQ(height, c.height) << c.device;
    EXPECT_EQ(platform::ImageList_GetImageCount(own->ImageList()), 2) << c.device;
    EXPECT_EQ(own->InnerObject(), static_cast<void*>(dynamic_cast<runtime::TreeItems*>(tree)));
    host_.DestroyTreeView(tree);
  }
  EXPECT_EQ(host_.CreateTreeView(nullptr), nullptr);
}

TEST_F(HostTreeViewTest, RowsKeysAndTaps) {
  UseDevice("pocketpc-qvga");
  std::unique_ptr<runtime::HostWindow> main(host_.CreateViewWindow(nullptr, false));
  ASSERT_NE(main, nullptr);
  runtime::HostTreeView* tree = host_.CreateTreeView(main.get());
  ASSERT_NE(tree, nullptr);
  auto* own = dynamic_cast<HostTreeView*>(tree);
  const platform::HWND window = own->Handle();
  own->SetBounds({0, 0, 200, 200});
  runtime::TreeItems& items = *dynamic_cast<runtime::TreeItems*>(tree);

  Bookmark chapter(u"Chapter 1", true), section(u"Section 1.1", false), appendix(u"Appendix", false);
  items.Insert(&chapter, nullptr, true);
  items.Insert(&section, &chapter, false);
  items.Insert(&appendix, nullptr, false);
  ASSERT_TRUE(chapter.handle && section.handle && appendix.handle);
  EXPECT_EQ(platform::SendMessageW(window, platform::TVM_GETCOUNT, 0, 0), 3);
  // Rows with children show the book, the others the page.
  EXPECT_EQ(ReadRow(window, chapter.handle).iImage, 0);
  EXPECT_EQ(ReadRow(window, section.handle).iImage, 1);
  EXPECT_EQ(ReadRow(window, section.handle).lParam, reinterpret_cast<platform::LPARAM>(&section));
  EXPECT_TRUE(Expanded(window, chapter));
  chapter.text = u"Chapter One";
  items.Update(&chapter, false);
  EXPECT_FALSE(Expanded(window, chapter));

  EXPECT_EQ(items.GetSelected(), nullptr);
  platform::SendMessageW(window, platform::TVM_SELECTITEM, platform::TVGN_CARET,
                         reinterpret_cast<platform::LPARAM>(chapter.handle));
  EXPECT_EQ(items.GetSelected(), &chapter);

  // Right expands a collapsed row with children, Left collapses it; Enter
  // asks the parent to select.
  own->Focus();
  platform::InjectKeyDown(platform::VK_RIGHT);
  Pump();
  EXPECT_TRUE(Expanded(window, chapter));
  EXPECT_EQ(items.GetSelected(), &chapter);
  platform::InjectKeyDown(platform::VK_LEFT);
  Pump();
  EXPECT_FALSE(Expanded(window, chapter));
  platform::testing::Log().clear();
  platform::InjectKeyDown(platform::VK_RETURN);
  Pump();
  const auto commands = platform::testing::Only(platform::WM_COMMAND);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].window, dynamic_cast<HostWindow*>(main.get())->Handle());
  EXPECT_EQ(platform::LOWORD(commands[0].wParam), kCommandSelectBookmark);

  // A tap selects; a drag of the pen does not.
  platform::NMHDR changed{window, 0, platform::TVN_SELCHANGEDW};
  const auto notify = [&] {
    platform::SendMessageW(window, kTreeNotifyMessage, 0, reinterpret_cast<platform::LPARAM>(&changed));
  };
  platform::SendMessageW(window, platform::WM_LBUTTONDOWN, 0, platform::MAKELPARAM(20, 8));
  platform::SendMessageW(window, platform::WM_LBUTTONUP, 0, platform::MAKELPARAM(20, 8));
  notify();
  EXPECT_EQ(viewer_.bookmarkSelections, 1);
  platform::SendMessageW(window, platform::WM_LBUTTONDOWN, 0, platform::MAKELPARAM(20, 8));
  platform::SendMessageW(window, platform::WM_MOUSEMOVE, 0, platform::MAKELPARAM(20, 20));
  platform::SendMessageW(window, platform::WM_MOUSEMOVE, 0, platform::MAKELPARAM(20, 40));
  platform::SendMessageW(window, platform::WM_LBUTTONUP, 0, platform::MAKELPARAM(20, 40));
  notify();
  EXPECT_EQ(viewer_.bookmarkSelections, 1);
  // Other notifications are not selections.
  changed.code = platform::TVN_ITEMEXPANDEDW;
  platform::SendMessageW(window, platform::WM_LBUTTONDOWN, 0, platform::MAKELPARAM(20, 8));
  notify();
  EXPECT_EQ(viewer_.bookmarkSelections, 1);

  tree->Clear();  // the viewer's name for removing every row
  EXPECT_EQ(platform::SendMessageW(window, platform::TVM_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(items.GetSelected(), nullptr);
  host_.DestroyTreeView(tree);
}

}  // namespace
}  // namespace shell
