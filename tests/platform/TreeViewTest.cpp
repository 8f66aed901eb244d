#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "platform/Controls.h"
#include "platform/Input.h"
#include "platform/Screen.h"

namespace platform {
namespace {

class TreeViewTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    testing::WindowTest::SetUp();
    ResetScreen();
    top_ = TopLevel(u"Top", RECT{0, 0, 240, 320});
    tree_ = CreateWindowExW(0, WC_TREEVIEW, u"", WS_CHILD | WS_VISIBLE | 0x37, 0, 0, 240, 300, top_,
                            reinterpret_cast<HMENU>(uintptr_t{1000}), nullptr, nullptr);
    ASSERT_NE(tree_, nullptr);
  }
  HTREEITEM Insert(HTREEITEM parent, HTREEITEM after, const char16_t* text, LPARAM data) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<LPWSTR>(text);
    insert.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  }
  std::vector<LPARAM> Children(HTREEITEM parent) {
    std::vector<LPARAM> data;
    for (auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
         item != nullptr;
         item = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
      TVITEMW fields{};
      fields.mask = TVIF_PARAM;
      fields.hItem = item;
      SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&fields));
      data.push_back(fields.lParam);
    }
    return data;
  }
  HWND top_ = nullptr;
  HWND tree_ = nullptr;
};

// Folders (negative data) before files, then by data.
int FoldersFirst(LPARAM first, LPARAM second, LPARAM) {
  if ((first < 0) != (second < 0)) return first < 0 ? -1 : 1;
  return first < second ? -1 : (first > second ? 1 : 0);
}

TEST_F(TreeViewTest, InsertOrderSortAndNavigation) {
  const HTREEITEM root = Insert(TVI_ROOT, TVI_LAST, u"My Device", 0);
  Insert(root, TVI_FIRST, u"b.pdf", 2);
  Insert(root, TVI_FIRST, u"Folder", -1);
  Insert(root, TVI_LAST, u"a.pdf", 1);
  Insert(root, TVI_FIRST, u"c.pdf", 3);
  EXPECT_EQ(Children(root), (std::vector<LPARAM>{3, -1, 2, 1}));
  TVSORTCB sort{root, FoldersFirst, 0};
  ASSERT_TRUE(SendMessageW(tree_, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort)));
  EXPECT_EQ(Children(root), (std::vector<LPARAM>{-1, 1, 2, 3}));

  EXPECT_EQ(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_ROOT, 0), reinterpret_cast<LRESULT>(root));
  const auto first = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
  EXPECT_EQ(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(first)),
            reinterpret_cast<LRESULT>(root));

  // Up and Down move the selection over the rows shown; Left goes to the
  // parent; each change is told to the parent window.
  SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
  SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
  SetFocus(tree_);
  testing::Log().clear();
  InjectKeyDown(VK_DOWN);
  InjectKeyDown(VK_DOWN);
  Pump();
  TVITEMW selected{};
  selected.mask = TVIF_PARAM | TVIF_TEXT;
  WCHAR text[32];
  selected.pszText = text;
  selected.cchTextMax = 32;
  selected.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0));
  ASSERT_TRUE(SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&selected)));
  EXPECT_EQ(selected.lParam, 1);
  EXPECT_EQ(std::u16string(text), u"a.pdf");
  const auto notices = testing::Only(WM_NOTIFY);
  ASSERT_EQ(notices.size(), 2u);
  InjectKeyDown(VK_LEFT);
  Pump();
  EXPECT_EQ(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0), reinterpret_cast<LRESULT>(root));

  // Deleting everything leaves no selection and no items.
  SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  EXPECT_EQ(SendMessageW(tree_, TVM_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0), 0);
  TVITEMW stale{};
  stale.mask = TVIF_PARAM;
  stale.hItem = first;
  EXPECT_FALSE(SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&stale)));
}

TEST_F(TreeViewTest, HitTestFindsTheExpandButtonAndTheLabel) {
  const HTREEITEM root = Insert(TVI_ROOT, TVI_LAST, u"My Device", 0);
  const HTREEITEM child = Insert(root, TVI_LAST, u"Documents", 1);
  SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
  // Find the first row's button by scanning across it.
  TVHITTESTINFO hit{};
  bool foundButton = false, foundLabel = false;
  for (int x = 0; x < 120; ++x) {
    hit.pt = POINT{x, 3};
    const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    EXPECT_EQ(item, root);
    foundButton = foundButton || hit.flags == TVHT_ONITEMBUTTON;
    foundLabel = foundLabel || hit.flags == TVHT_ONITEMLABEL;
  }
  EXPECT_TRUE(foundButton);
  EXPECT_TRUE(foundLabel);
  // The child has no children: no button anywhere on its row.
  for (int x = 0; x < 120; ++x) {
    hit.pt = POINT{x, 30};
    SendMessageW(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.hItem == child) {
      EXPECT_NE(hit.flags, TVHT_ONITEMBUTTON);
    }
  }
  hit.pt = POINT{10, 290};
  EXPECT_EQ(SendMessageW(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), 0);
  EXPECT_EQ(hit.flags, TVHT_NOWHERE);
}

TEST_F(TreeViewTest, ListViewReportRowsAndTexts) {
  const HWND list = CreateWindowExW(0, WC_LISTVIEW, u"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 240, 200, top_,
                                    reinterpret_cast<HMENU>(uintptr_t{1010}), nullptr, nullptr);
  ASSERT_NE(list, nullptr);
  const char16_t* titles[] = {u"Name", u"Folder", u"Date"};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH, 0, 75, const_cast<LPWSTR>(titles[i]), 0, i};
    EXPECT_EQ(SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column)), i);
  }
  for (int row = 0; row < 2; ++row) {
    LVITEMW item{LVIF_TEXT, row, 0, 0, 0, const_cast<LPWSTR>(row == 0 ? u"a.pdf" : u"b.pdf"), 0, 0, 0};
    EXPECT_EQ(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)), row);
    LVITEMW folder{0, 0, 1, 0, 0, const_cast<LPWSTR>(u"\\My Documents\\"), 0, 0, 0};
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&folder));
  }
  EXPECT_GT(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(u"\\My Documents\\")),
            SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(u"a.pdf")));
  EXPECT_TRUE(SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, 120));
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), 120);
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), -1);
  LVITEMW select{LVIF_STATE, 0, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED, nullptr, 0, 0, 0};
  SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&select));
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
  // Text comes back in pieces that fit the caller's buffer.
  WCHAR small[4];
  LVITEMW read{0, 0, 1, 0, 0, small, 4, 0, 0};
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&read)), 3);
  EXPECT_EQ(std::u16string(small), u"\\My");
  // Up moves the selection; Return and taps reach the parent.
  SetFocus(list);
  testing::Log().clear();
  InjectKeyDown(VK_UP);
  InjectKeyDown(VK_RETURN);
  Pump();
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
  ASSERT_EQ(testing::Only(WM_NOTIFY).size(), 1u);
}

// The bookmark tree of a large document holds tens of thousands of items:
// inserting, walking and showing them costs time in proportion to their
// number (a quadratic cost would take minutes here).
TEST_F(TreeViewTest, ManyItemsInsertWalkAndShow) {
  constexpr int kTop = 200;
  constexpr int kEach = 250;
  std::vector<HTREEITEM> parents;
  for (int i = 0; i < kTop; ++i) {
    const HTREEITEM parent = Insert(TVI_ROOT, TVI_LAST, u"Chapter", -1 - i);
    parents.push_back(parent);
    for (int j = 0; j < kEach; ++j) Insert(parent, TVI_LAST, u"Section", i * kEach + j);
  }
  EXPECT_EQ(SendMessageW(tree_, TVM_GETCOUNT, 0, 0), kTop * (kEach + 1));
  size_t walked = 0;
  for (const HTREEITEM parent : parents) walked += Children(parent).size();
  EXPECT_EQ(walked, static_cast<size_t>(kTop * kEach));
  Pump();
  // The scroll bar counts the rows once the insertions are over.
  SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetScrollInfo(tree_, SB_VERT, &info));
  EXPECT_EQ(info.nMax, kTop - 1);
  SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parents.back()));
  ASSERT_TRUE(GetScrollInfo(tree_, SB_VERT, &info));
  EXPECT_EQ(info.nMax, kTop + kEach - 1);
}

// Typing into a long word of a multi-line field rewraps it in time that
// grows with its length, not with its square.
TEST_F(TreeViewTest, MultiLineFieldWithALongWord) {
  const HWND edit = CreateWindowExW(0, WC_EDIT, u"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE, 0, 0, 200, 100,
                                    top_, reinterpret_cast<HMENU>(uintptr_t{1001}), nullptr, nullptr);
  ASSERT_NE(edit, nullptr);
  const std::u16string word(20000, u'w');
  SetWindowTextW(edit, word.c_str());
  SetFocus(edit);
  for (int i = 0; i < 20; ++i) {
    InjectChar(u'x');
    Pump();
  }
  EXPECT_EQ(GetWindowTextLengthW(edit), 20020);
}

}  // namespace
}  // namespace platform
