#include "shell/HostTreeView.h"

#include <new>

#include "platform/Device.h"
#include "platform/Resources.h"
#include "platform/Window.h"
#include "shell/AppState.h"
#include "shell/Help.h"
#include "shell/TreeBitmaps.h"

namespace shell {

namespace {

// Images of the tree: a row with children, a row without.
constexpr int kImageWithChildren = 0;
constexpr int kImageLeaf = 1;
// A pen that moved this often while down was dragging, not tapping.
constexpr int32_t kDragMoves = 2;
// Screens up to this width get the small images.
constexpr int kSmallScreenWidth = 320;

struct TreeImageSet {
  int width, height;
  uint32_t withChildren, leaf;
};

TreeImageSet ImagesForScreen() {
  if (platform::GetSystemMetrics(platform::SM_CXSCREEN) <= kSmallScreenWidth) {
    return {13, 16, kTreeBookSmall, kTreePageSmall};
  }
  return {26, 32, kTreeBookLarge, kTreePageLarge};
}

platform::HTREEITEM RowOf(runtime::TreeItem* item) {
  return item != nullptr ? static_cast<platform::HTREEITEM>(item->TreeHandle()) : nullptr;
}

platform::TVITEMW RowRecord(runtime::TreeItem* item, bool expanded) {
  platform::TVITEMW row{};
  row.mask = platform::TVIF_TEXT | platform::TVIF_STATE | platform::TVIF_IMAGE | platform::TVIF_SELECTEDIMAGE |
             platform::TVIF_PARAM;
  row.state = expanded ? platform::TVIS_EXPANDED : 0;
  row.stateMask = platform::TVIS_EXPANDED;
  const char16_t* text = item->TreeText();
  row.pszText = const_cast<char16_t*>(text != nullptr ? text : u"");
  row.iImage = item->HasTreeChildren() ? kImageWithChildren : kImageLeaf;
  row.iSelectedImage = row.iImage;
  row.lParam = reinterpret_cast<platform::LPARAM>(item);
  return row;
}

}  // namespace

HostTreeView* HostTreeView::Create(shell::HostWindow* parent) {
  if (parent == nullptr) return nullptr;
  auto* tree = new (std::nothrow) HostTreeView();
  if (tree == nullptr) return nullptr;
  if (!tree->Make(platform::WC_TREEVIEW, u"", kTreeStyle, parent->Handle())) {
    delete tree;
    return nullptr;
  }
  const TreeImageSet set = ImagesForScreen();
  tree->images_ = platform::ImageList_Create(set.width, set.height, platform::ILC_COLOR24, 2, 0);
  if (tree->images_ == nullptr) {
    delete tree;
    return nullptr;
  }
  for (const uint32_t id : {set.withChildren, set.leaf}) {
    const platform::HBITMAP bitmap = platform::LoadBitmapW(App().instance, platform::MAKEINTRESOURCEW(id));
    if (bitmap == nullptr) continue;
    platform::ImageList_Add(tree->images_, bitmap, nullptr);
    platform::DeleteObject(bitmap);
  }
  platform::SendMessageW(tree->Handle(), platform::TVM_SETIMAGELIST, 0,
                         reinterpret_cast<platform::LPARAM>(tree->images_));
  tree->original_ = reinterpret_cast<platform::WNDPROC>(platform::SetWindowLongW(
      tree->Handle(), platform::GWL_WNDPROC, reinterpret_cast<platform::LONG_PTR>(&HostTreeView::SubclassProc)));
  return tree;
}

HostTreeView::~HostTreeView() {
  if (Handle() != nullptr) {
    if (original_ != nullptr) {
      platform::SetWindowLongW(Handle(), platform::GWL_WNDPROC, reinterpret_cast<platform::LONG_PTR>(original_));
    }
    platform::SendMessageW(Handle(), platform::TVM_SETIMAGELIST, 0, 0);
  }
  if (images_ != nullptr) platform::ImageList_Destroy(images_);
  images_ = nullptr;
}

void HostTreeView::DeleteAll() {
  platform::SendMessageW(Handle(), platform::TVM_DELETEITEM, 0, reinterpret_cast<platform::LPARAM>(platform::TVI_ROOT));
}

void HostTreeView::Insert(runtime::TreeItem* item, runtime::TreeItem* parent, bool expanded) {
  if (item == nullptr) return;
  platform::TVINSERTSTRUCTW insert{};
  const platform::HTREEITEM parentRow = RowOf(parent);
  insert.hParent = parentRow != nullptr ? parentRow : platform::TVI_ROOT;
  insert.hInsertAfter = platform::TVI_LAST;
  insert.item = RowRecord(item, expanded);
  const auto row = reinterpret_cast<platform::HTREEITEM>(platform::SendMessageW(
      Handle(), platform::TVM_INSERTITEMW, 0, reinterpret_cast<platform::LPARAM>(&insert)));
  item->SetTreeHandle(row);
}

void HostTreeView::Update(runtime::TreeItem* item, bool expanded) {
  const platform::HTREEITEM row = RowOf(item);
  if (row == nullptr) return;
  platform::TVITEMW record = RowRecord(item, expanded);
  record.mask |= platform::TVIF_HANDLE;
  record.hItem = row;
  platform::SendMessageW(Handle(), platform::TVM_SETITEMW, 0, reinterpret_cast<platform::LPARAM>(&record));
}

runtime::TreeItem* HostTreeView::GetSelected() {
  const auto row = reinterpret_cast<platform::HTREEITEM>(
      platform::SendMessageW(Handle(), platform::TVM_GETNEXTITEM, platform::TVGN_CARET, 0));
  if (row == nullptr) return nullptr;
  platform::TVITEMW record{};
  record.mask = platform::TVIF_HANDLE | platform::TVIF_PARAM;
  record.hItem = row;
  if (!platform::SendMessageW(Handle(), platform::TVM_GETITEMW, 0, reinterpret_cast<platform::LPARAM>(&record))) {
    return nullptr;
  }
  return reinterpret_cast<runtime::TreeItem*>(record.lParam);
}

platform::LRESULT HostTreeView::SubclassProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                             platform::LPARAM lParam) {
  auto* tree = dynamic_cast<HostTreeView*>(shell::HostWindow::FromHandle(window));
  if (tree == nullptr || tree->original_ == nullptr) return platform::DefWindowProcW(window, message, wParam, lParam);
  AppState& app = App();
  const auto pass = [&] { return platform::CallWindowProcW(tree->original_, window, message, wParam, lParam); };
  switch (message) {
    case platform::WM_HELP: ShowHelp(); return 0;
    case platform::WM_KEYDOWN: {
      if (wParam == platform::VK_RETURN) {
        platform::SendMessageW(platform::GetParent(window), platform::WM_COMMAND, kCommandSelectBookmark, 0);
        return 0;
      }
      if (wParam != platform::VK_LEFT && wParam != platform::VK_RIGHT) return pass();
      const auto row = reinterpret_cast<platform::HTREEITEM>(
          platform::SendMessageW(window, platform::TVM_GETNEXTITEM, platform::TVGN_CARET, 0));
      if (row == nullptr) return pass();
      platform::TVITEMW record{};
      record.mask = platform::TVIF_HANDLE | platform::TVIF_STATE;
      record.hItem = row;
      record.stateMask = platform::TVIS_EXPANDED;
      platform::SendMessageW(window, platform::TVM_GETITEMW, 0, reinterpret_cast<platform::LPARAM>(&record));
      const bool expanded = (record.state & platform::TVIS_EXPANDED) != 0;
      const bool hasChildren =
          platform::SendMessageW(window, platform::TVM_GETNEXTITEM, platform::TVGN_CHILD,
                                 reinterpret_cast<platform::LPARAM>(row)) != 0;
      if (wParam == platform::VK_LEFT && expanded) {
        platform::SendMessageW(window, platform::TVM_EXPAND, platform::TVE_COLLAPSE,
                               reinterpret_cast<platform::LPARAM>(row));
        return 0;
      }
      if (wParam == platform::VK_RIGHT && !expanded && hasChildren) {
        platform::SendMessageW(window, platform::TVM_EXPAND, platform::TVE_EXPAND,
                               reinterpret_cast<platform::LPARAM>(row));
        return 0;
      }
      return pass();
    }
    case platform::WM_LBUTTONDOWN:
      app.treePenDown = 1;
      app.treePenMoves = 0;
      return pass();
    case platform::WM_MOUSEMOVE:
      if (app.treePenDown != 0 && app.treePenMoves < INT32_MAX) ++app.treePenMoves;
      return pass();
    case platform::WM_LBUTTONUP:
      app.treePenDown = 0;
      if (app.treePenMoves >= kDragMoves) return 0;
      return pass();
    case platform::WM_LBUTTONDBLCLK: return 0;
    default: break;
  }
  if (message == kTreeNotifyMessage) {
    const auto* header = reinterpret_cast<const platform::NMHDR*>(lParam);
    if (header != nullptr && header->code == platform::TVN_SELCHANGEDW && app.treePenMoves < kDragMoves &&
        app.viewer != nullptr) {
      app.viewer->OnBookmarkSelected();
    }
    return 0;
  }
  return pass();
}

}  // namespace shell
