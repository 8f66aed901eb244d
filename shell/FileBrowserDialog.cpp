#include "shell/FileBrowserDialog.h"

#include <algorithm>
#include <new>

#include "platform/Device.h"
#include "platform/Dialog.h"
#include "platform/Gdi.h"
#include "platform/Window.h"
#include "shell/AppState.h"
#include "shell/BrowserBitmaps.h"
#include "shell/DialogCommands.h"
#include "shell/DialogTemplates.h"
#include "shell/Help.h"
#include "shell/Localization.h"
#include "shell/Settings.h"
#include "shell/SoftKeyBar.h"

namespace shell {

namespace {

constexpr DialogTexts::Slot kBrowserTexts[] = {
    {kBrowserRootText, 0}, {kBrowserOpenText, 0}, {kBrowserCloseText, 0}};
constexpr int kBrowserFontControls[] = {kBrowserTree};
constexpr int kImageOpenFolder = 0;
constexpr int kImageClosedFolder = 1;
constexpr int kImageFile = 2;
constexpr int kBrowserDragMoves = 2;
constexpr char16_t kDefaultFilter[] = u"pdf";
constexpr char16_t kAllEntries[] = u"\\*.*";

bool IsFolder(const platform::WIN32_FIND_DATAW& entry) {
  return (entry.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

// Whether `extension` equals one of the comma-separated entries of
// `filter`, without regard to case.
bool ExtensionListed(const char16_t* extension, uint32_t length, const WString& filter) {
  const char16_t* entry = filter.Chars();
  while (true) {
    const char16_t* end = entry;
    while (*end != 0 && *end != u',') ++end;
    if (static_cast<uint32_t>(end - entry) == length) {
      uint32_t i = 0;
      while (i < length && LowerAscii(entry[i]) == LowerAscii(extension[i])) ++i;
      if (i == length) return true;
    }
    if (*end == 0) return false;
    entry = end + 1;
  }
}

// The last component of a path (text after its last separator).
const char16_t* NameOf(const WString& path) {
  const int32_t split = path.LastIndexOf(u'\\');
  return path.Chars() + split + 1;
}

}  // namespace

FileBrowserDialog::FileBrowserDialog() : ShellDialog(kBrowserTexts, 3) { filter_.AssignCString(kDefaultFilter); }

FileBrowserDialog::~FileBrowserDialog() {
  FreeAllNodes();
  if (images_ != nullptr) platform::ImageList_Destroy(images_);
}

void FileBrowserDialog::SetSoftKeys(const runtime::MenuItemDesc* keys) {
  DialogBase::SetSoftKeys(keys);
  keys_ = keys;
  labelKey_ = 0xFF;
  // The key whose label is the open or close label changes with the item.
  const auto isLabelKey = [&](const runtime::MenuItemDesc* key) {
    return key != nullptr && key->text != nullptr &&
           (Text(kBrowserOpenText).EqualsCString(key->text) || Text(kBrowserCloseText).EqualsCString(key->text));
  };
  if (keys == nullptr) return;
  if (isLabelKey(keys)) {
    labelKey_ = 0;
  } else if (isLabelKey(keys->next)) {
    labelKey_ = 1;
  }
}

uint32_t FileBrowserDialog::GetTemplateId() { return kFileBrowserTemplate; }

intptr_t FileBrowserDialog::OnInitDialog(platform::HWND window) {
  DialogBase::OnInitDialog(window);
  tree_ = platform::GetDlgItem(window, kBrowserTree);
  if (tree_ == nullptr) {
    platform::EndDialog(window, -1);
    return 0;
  }
  platform::INITCOMMONCONTROLSEX controls{sizeof(platform::INITCOMMONCONTROLSEX), 2};
  platform::InitCommonControlsEx(&controls);
  platform::SetWindowLongW(tree_, platform::GWL_USERDATA, reinterpret_cast<platform::LONG_PTR>(this));
  treeProc_ = reinterpret_cast<platform::WNDPROC>(
      platform::SetWindowLongW(tree_, platform::GWL_WNDPROC, reinterpret_cast<platform::LONG_PTR>(&TreeProc)));

  // Images to suit the tree's font.
  int ascent = 12;
  if (const platform::HDC dc = platform::GetDC(tree_); dc != nullptr) {
    const auto font = reinterpret_cast<platform::HFONT>(platform::SendMessageW(tree_, platform::WM_GETFONT, 0, 0));
    const platform::HGDIOBJ old = font != nullptr ? platform::SelectObject(dc, font) : nullptr;
    platform::TEXTMETRICW metrics{};
    if (platform::GetTextMetricsW(dc, &metrics)) ascent = metrics.tmAscent;
    if (old != nullptr) platform::SelectObject(dc, old);
    platform::ReleaseDC(tree_, dc);
  }
  uint32_t bitmapId = kBrowserImagesSmall;
  int width = 16, height = 15;
  if (GetPlatformType() == kPlatformSmartphone) {
    bitmapId = ascent < 17 ? kBrowserImagesPhoneSmall : kBrowserImagesPhoneLarge;
    width = height = ascent < 17 ? 18 : 22;
  } else if (ascent >= 20) {
    bitmapId = kBrowserImagesLarge;
    width = 32;
    height = 30;
  }
  images_ = platform::ImageList_Create(width, height, platform::ILC_COLOR16, 3, 3);
  if (images_ != nullptr) {
    const platform::HBITMAP strip = platform::LoadBitmapW(App().instance, platform::MAKEINTRESOURCEW(bitmapId));
    if (strip != nullptr) {
      platform::ImageList_Add(images_, strip, nullptr);
      platform::DeleteObject(strip);
    }
    platform::SendMessageW(tree_, platform::TVM_SETIMAGELIST, 0, reinterpret_cast<platform::LPARAM>(images_));
  }

  // The root, listed one level deep, then the way to the initial folder.
  platform::SendMessageW(tree_, platform::TVM_DELETEITEM, 0, reinterpret_cast<platform::LPARAM>(platform::TVI_ROOT));
  FreeAllNodes();
  platform::WIN32_FIND_DATAW rootEntry{};
  rootEntry.dwFileAttributes = platform::FILE_ATTRIBUTE_DIRECTORY;
  WString rootPath;
  Node* root = AddNode(platform::TVI_ROOT, rootEntry, rootPath, kImageClosedFolder, platform::TVI_LAST);
  if (root != nullptr) {
    platform::SendMessageW(tree_, platform::TVM_SELECTITEM, platform::TVGN_CARET,
                           reinterpret_cast<platform::LPARAM>(root->item));
    ListFolder(root, 0);
    GoToInitialFolder();
  }
  font_.Apply(window, kBrowserFontControls, 1);
  SizeTree();
  platform::SetFocus(tree_);
  return 0;
}

void FileBrowserDialog::OnDestroy() {
  if (tree_ != nullptr && treeProc_ != nullptr) {
    platform::SetWindowLongW(tree_, platform::GWL_WNDPROC, reinterpret_cast<platform::LONG_PTR>(treeProc_));
    platform::SetWindowLongW(tree_, platform::GWL_USERDATA, 0);
  }
  tree_ = nullptr;
  treeProc_ = nullptr;
  FreeAllNodes();
}

void FileBrowserDialog::SizeTree() {
  if (tree_ == nullptr) return;
  platform::RECT client{};
  platform::GetClientRect(Window(), &client);
  // The tree's border lies outside the client area.
  const int borderX = platform::GetSystemMetrics(platform::SM_CXBORDER);
  const int borderY = platform::GetSystemMetrics(platform::SM_CYBORDER);
  platform::MoveWindow(tree_, -borderX, -borderY, client.right - client.left + 2 * borderX,
                       client.bottom - client.top + 2 * borderY, 1);
}

intptr_t FileBrowserDialog::OnSize(platform::WPARAM, int, int) {
  SizeTree();
  return 0;
}

FileBrowserDialog::Node* FileBrowserDialog::AddNode(platform::HTREEITEM parent,
                                                    const platform::WIN32_FIND_DATAW& entry, const WString& path,
                                                    int image, platform::HTREEITEM after) {
  Node* node = new (std::nothrow) Node();
  if (node == nullptr) return nullptr;
  node->entry = entry;
  if (!node->path.Copy(path)) {
    delete node;
    return nullptr;
  }
  const bool isRoot = parent == platform::TVI_ROOT;
  platform::TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = after;
  insert.item.mask = platform::TVIF_TEXT | platform::TVIF_IMAGE | platform::TVIF_SELECTEDIMAGE | platform::TVIF_PARAM;
  insert.item.pszText = const_cast<char16_t*>(isRoot ? Text(kBrowserRootText).Chars() : NameOf(node->path));
  insert.item.iImage = image;
  insert.item.iSelectedImage = image;
  insert.item.lParam = reinterpret_cast<platform::LPARAM>(node);
  node->item = reinterpret_cast<platform::HTREEITEM>(
      platform::SendMessageW(tree_, platform::TVM_INSERTITEMW, 0, reinterpret_cast<platform::LPARAM>(&insert)));
  if (node->item == nullptr) {
    delete node;
    return nullptr;
  }
  node->next = nodes_;
  nodes_ = node;
  return node;
}

void FileBrowserDialog::FreeNode(Node* node) {
  for (Node** at = &nodes_; *at != nullptr; at = &(*at)->next) {
    if (*at == node) {
      *at = node->next;
      delete node;
      return;
    }
  }
}

void FileBrowserDialog::FreeAllNodes() {
  while (nodes_ != nullptr) {
    Node* next = nodes_->next;
    delete nodes_;
    nodes_ = next;
  }
}

FileBrowserDialog::Node* FileBrowserDialog::NodeOf(platform::HTREEITEM item) const {
  if (item == nullptr) return nullptr;
  platform::TVITEMW record{};
  record.mask = platform::TVIF_HANDLE | platform::TVIF_PARAM;
  record.hItem = item;
  if (!platform::SendMessageW(tree_, platform::TVM_GETITEMW, 0, reinterpret_cast<platform::LPARAM>(&record))) {
    return nullptr;
  }
  return reinterpret_cast<Node*>(record.lParam);
}

platform::HTREEITEM FileBrowserDialog::Selected() const {
  return reinterpret_cast<platform::HTREEITEM>(
      platform::SendMessageW(tree_, platform::TVM_GETNEXTITEM, platform::TVGN_CARET, 0));
}

bool FileBrowserDialog::IsExpanded(platform::HTREEITEM item) const {
  platform::TVITEMW record{};
  record.mask = platform::TVIF_HANDLE | platform::TVIF_STATE;
  record.hItem = item;
  record.stateMask = platform::TVIS_EXPANDED;
  platform::SendMessageW(tree_, platform::TVM_GETITEMW, 0, reinterpret_cast<platform::LPARAM>(&record));
  return (record.state & platform::TVIS_EXPANDED) != 0;
}

bool FileBrowserDialog::HasChildren(platform::HTREEITEM item) const {
  return platform::SendMessageW(tree_, platform::TVM_GETNEXTITEM, platform::TVGN_CHILD,
                                reinterpret_cast<platform::LPARAM>(item)) != 0;
}

void FileBrowserDialog::SetImage(platform::HTREEITEM item, int image) {
  const Node* node = NodeOf(item);
  if (node == nullptr || !IsFolder(node->entry)) return;
  platform::TVITEMW record{};
  record.mask = platform::TVIF_HANDLE | platform::TVIF_IMAGE | platform::TVIF_SELECTEDIMAGE;
  record.hItem = item;
  record.iImage = image;
  record.iSelectedImage = image;
  platform::SendMessageW(tree_, platform::TVM_SETITEMW, 0, reinterpret_cast<platform::LPARAM>(&record));
}

void FileBrowserDialog::RemoveChildren(platform::HTREEITEM item) {
  auto child = reinterpret_cast<platform::HTREEITEM>(
      platform::SendMessageW(tree_, platform::TVM_GETNEXTITEM, platform::TVGN_CHILD, reinterpret_cast<platform::LPARAM>(item)));
  while (child != nullptr) {
    const auto next = reinterpret_cast<platform::HTREEITEM>(platform::SendMessageW(
        tree_, platform::TVM_GETNEXTITEM, platform::TVGN_NEXT, reinterpret_cast<platform::LPARAM>(child)));
    RemoveChildren(child);
    Node* node = NodeOf(child);
    platform::SendMessageW(tree_, platform::TVM_DELETEITEM, 0, reinterpret_cast<platform::LPARAM>(child));
    if (node != nullptr) FreeNode(node);
    child = next;
  }
}

bool FileBrowserDialog::Accepts(const platform::WIN32_FIND_DATAW& entry) const {
  const platform::DWORD attributes = entry.dwFileAttributes;
  if ((attributes & platform::FILE_ATTRIBUTE_HIDDEN) != 0) return false;
  const bool folder = IsFolder(entry);
  if (folder) return true;
  if (foldersOnly_ != 0 || (attributes & platform::FILE_ATTRIBUTE_SYSTEM) != 0) return false;
  if (filter_.IsEmpty()) return true;
  const char16_t* name = entry.cFileName;
  const char16_t* dot = nullptr;
  uint32_t length = 0;
  while (length < platform::MAX_PATH && name[length] != 0) {
    if (name[length] == u'.') dot = name + length;
    ++length;
  }
  if (dot == nullptr) return false;
  const auto extensionLength = static_cast<uint32_t>(name + length - dot - 1);
  return extensionLength > 0 && ExtensionListed(dot + 1, extensionLength, filter_);
}

void FileBrowserDialog::ListFolder(Node* node, int depth) {
  if (node == nullptr) return;
  RemoveChildren(node->item);
  WString pattern;
  if (pattern.Copy(node->path) && pattern.Append(kAllEntries, 4)) {
    platform::WIN32_FIND_DATAW entry{};
    const platform::HANDLE find = platform::FindFirstFileW(pattern.Chars(), &entry);
    if (find != platform::INVALID_HANDLE_VALUE && find != nullptr) {
      do {
        entry.cFileName[platform::MAX_PATH - 1] = 0;
        if (!Accepts(entry)) continue;
        WString path;
        uint32_t nameLength = 0;
        while (entry.cFileName[nameLength] != 0) ++nameLength;
        if (!path.Copy(node->path) || !path.Append(u"\\", 1) || !path.Append(entry.cFileName, nameLength)) continue;
        const int image = IsFolder(entry) ? kImageClosedFolder : kImageFile;
        if (AddNode(node->item, entry, path, image, platform::TVI_FIRST) != nullptr && depth == 0) break;
      } while (platform::FindNextFileW(find, &entry));
      platform::FindClose(find);
    }
  }
  if (depth > 0) {
    auto child = reinterpret_cast<platform::HTREEITEM>(platform::SendMessageW(
        tree_, platform::TVM_GETNEXTITEM, platform::TVGN_CHILD, reinterpret_cast<platform::LPARAM>(node->item)));
    while (child != nullptr) {
      Node* childNode = NodeOf(child);
      if (childNode != nullptr && IsFolder(childNode->entry)) ListFolder(childNode, depth - 1);
      child = reinterpret_cast<platform::HTREEITEM>(platform::SendMessageW(
          tree_, platform::TVM_GETNEXTITEM, platform::TVGN_NEXT, reinterpret_cast<platform::LPARAM>(child)));
    }
  }
  platform::TVSORTCB sort{node->item, &CompareNodes, 0};
  platform::SendMessageW(tree_, platform::TVM_SORTCHILDRENCB, 0, reinterpret_cast<platform::LPARAM>(&sort));
}

int FileBrowserDialog::CompareNodes(platform::LPARAM first, platform::LPARAM second, platform::LPARAM) {
  const auto* a = reinterpret_cast<const Node*>(first);
  const auto* b = reinterpret_cast<const Node*>(second);
  if (a == nullptr || b == nullptr) return 0;
  const bool aFolder = IsFolder(a->entry);
  if (aFolder != IsFolder(b->entry)) return aFolder ? -1 : 1;
  const char16_t* x = a->entry.cFileName;
  const char16_t* y = b->entry.cFileName;
  for (;; ++x, ++y) {
    const char16_t cx = LowerAscii(*x), cy = LowerAscii(*y);
    if (cx != cy) return cx < cy ? -1 : 1;
    if (cx == 0) return 0;
  }
}

void FileBrowserDialog::GoToInitialFolder() {
  WString path;
  ReadInitialFileBrowserPath(path);
  const char16_t* rest = path.Chars();
  auto current = reinterpret_cast<platform::HTREEITEM>(
      platform::SendMessageW(tree_, platform::TVM_GETNEXTITEM, platform::TVGN_ROOT, 0));
  while (current != nullptr) {
    OpenItem(current);
    if (*rest == u'\\') ++rest;
    const char16_t* end = rest;
    while (*end != 0 && *end != u'\\') ++end;
    const auto length = static_cast<uint32_t>(end - rest);
    if (length == 0) break;
    platform::HTREEITEM match = nullptr;
    auto child = reinterpret_cast<platform::HTREEITEM>(platform::SendMessageW(
        tree_, platform::TVM_GETNEXTITEM, platform::TVGN_CHILD, reinterpret_cast<platform::LPARAM>(current)));
    while (child != nullptr && match == nullptr) {
      const Node* node = NodeOf(child);
      if (node != nullptr) {
        WString name;
        if (name.AssignCString(NameOf(node->path)) && name.Length() == length) {
          WString component;
          if (component.Assign(rest, length) && component.Equals(name)) match = child;
        }
      }
      child = reinterpret_cast<platform::HTREEITEM>(platform::SendMessageW(
          tree_, platform::TVM_GETNEXTITEM, platform::TVGN_NEXT, reinterpret_cast<platform::LPARAM>(child)));
    }
    if (match == nullptr) break;
    current = match;
    rest = end;
  }
  if (current != nullptr) {
    platform::SendMessageW(tree_, platform::TVM_SELECTITEM, platform::TVGN_CARET,
                           reinterpret_cast<platform::LPARAM>(current));
  }
}

void FileBrowserDialog::OpenItem(platform::HTREEITEM item) {
  Node* node = NodeOf(item);
  if (node == nullptr) return;
  if (IsFolder(node->entry)) ListFolder(node, 1);
  platform::SendMessageW(tree_, platform::TVM_EXPAND, platform::TVE_EXPAND, reinterpret_cast<platform::LPARAM>(item));
  const bool opened = HasChildren(item);
  if (opened) SetImage(item, kImageOpenFolder);
  Relabel(opened);
}

void FileBrowserDialog::CloseItem(platform::HTREEITEM item) {
  platform::SendMessageW(tree_, platform::TVM_EXPAND, platform::TVE_COLLAPSE, reinterpret_cast<platform::LPARAM>(item));
  SetImage(item, kImageClosedFolder);
  Relabel(false);
}

void FileBrowserDialog::Choose(platform::HTREEITEM item, bool isSelected) {
  if (item == nullptr) return;
  if (IsExpanded(item) && HasChildren(item)) {
    CloseItem(item);
  } else {
    OpenItem(item);
  }
  if (!isSelected) return;
  const Node* node = NodeOf(item);
  if (node == nullptr || (IsFolder(node->entry) && foldersOnly_ == 0)) return;
  if (!chosen_.Copy(node->path)) return;
  platform::PostMessageW(Window(), platform::WM_COMMAND, platform::IDOK, 0);
}

void FileBrowserDialog::Relabel(bool closeLabel) {
  if (keys_ == nullptr || labelKey_ > 1 || MenuBar() == nullptr) return;
  const runtime::MenuItemDesc* key = labelKey_ == 0 ? keys_ : keys_->next;
  if (key == nullptr) return;
  SetSoftKey(MenuBar(), Text(closeLabel ? kBrowserCloseText : kBrowserOpenText).Chars(), key->id, labelKey_);
}

void FileBrowserDialog::RelabelForSelection() {
  const platform::HTREEITEM item = Selected();
  Relabel(item != nullptr && IsExpanded(item) && HasChildren(item));
}

platform::HTREEITEM FileBrowserDialog::ItemAt(platform::LPARAM position) const {
  platform::TVHITTESTINFO hit{};
  hit.pt = platform::POINT{platform::GET_X_LPARAM(position), platform::GET_Y_LPARAM(position)};
  return reinterpret_cast<platform::HTREEITEM>(
      platform::SendMessageW(tree_, platform::TVM_HITTEST, 0, reinterpret_cast<platform::LPARAM>(&hit)));
}

platform::LRESULT FileBrowserDialog::TreeProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                              platform::LPARAM lParam) {
  auto* browser = reinterpret_cast<FileBrowserDialog*>(platform::GetWindowLongW(window, platform::GWL_USERDATA));
  if (browser == nullptr || browser->treeProc_ == nullptr) {
    return platform::DefWindowProcW(window, message, wParam, lParam);
  }
  return browser->OnTreeMessage(message, wParam, lParam);
}

platform::LRESULT FileBrowserDialog::OnTreeMessage(platform::UINT message, platform::WPARAM wParam,
                                                   platform::LPARAM lParam) {
  const platform::HWND tree = tree_;
  const platform::WNDPROC original = treeProc_;
  const auto pass = [&] { return platform::CallWindowProcW(original, tree, message, wParam, lParam); };
  const auto key = static_cast<int>(wParam);
  const bool arrow = key == platform::VK_LEFT || key == platform::VK_RIGHT || key == platform::VK_UP ||
                     key == platform::VK_DOWN;
  switch (message) {
    case platform::WM_GETDLGCODE: {
      platform::LRESULT code = pass();
      if (key == platform::VK_RETURN || key == platform::VK_LEFT || key == platform::VK_RIGHT) {
        code |= platform::DLGC_WANTARROWS | platform::DLGC_WANTALLKEYS;
      }
      return code;
    }
    case platform::WM_KEYDOWN: {
      noChoose_ = 0;
      const platform::HTREEITEM item = Selected();
      if (key == platform::VK_RETURN) {
        const Node* node = NodeOf(item);
        if (GetPlatformType() == kPlatformPocketPc && node != nullptr && IsFolder(node->entry) && foldersOnly_ == 0) {
          if (!IsExpanded(item) || !HasChildren(item)) ListFolder(NodeOf(item), 1);
          if (!HasChildren(item)) {
            // An empty folder: its image flips, nothing is chosen.
            platform::TVITEMW record{};
            record.mask = platform::TVIF_HANDLE | platform::TVIF_IMAGE;
            record.hItem = item;
            platform::SendMessageW(tree_, platform::TVM_GETITEMW, 0, reinterpret_cast<platform::LPARAM>(&record));
            const bool open = record.iImage != kImageOpenFolder;
            SetImage(item, open ? kImageOpenFolder : kImageClosedFolder);
            Relabel(open);
            noChoose_ = 1;
            return 0;
          }
        }
        platform::PostMessageW(tree_, kBrowserChooseMessage, 1, 0);
        return 0;
      }
      if (item != nullptr && key == platform::VK_LEFT && IsExpanded(item) && HasChildren(item)) {
        CloseItem(item);
        return 0;
      }
      if (item != nullptr && key == platform::VK_RIGHT && !IsExpanded(item) && HasChildren(item)) {
        OpenItem(item);
        platform::SendMessageW(tree_, platform::TVM_SELECTITEM, platform::TVGN_CARET,
                               reinterpret_cast<platform::LPARAM>(item));
        return 0;
      }
      const platform::LRESULT result = pass();
      if (arrow) platform::PostMessageW(tree_, kBrowserRelabelMessage, 0, 0);
      return result;
    }
    case platform::WM_KEYUP:
      if (key == platform::VK_RETURN || arrow) return 0;
      return pass();
    case platform::WM_CHAR:
      if (key == u'\r') return 0;
      return pass();
    case platform::WM_LBUTTONDOWN: {
      penDown_ = 1;
      penMoves_ = 0;
      platform::TVHITTESTINFO hit{};
      hit.pt = platform::POINT{platform::GET_X_LPARAM(lParam), platform::GET_Y_LPARAM(lParam)};
      platform::SendMessageW(tree_, platform::TVM_HITTEST, 0, reinterpret_cast<platform::LPARAM>(&hit));
      // The expand button is the browser's: its release chooses the item.
      if (hit.flags == platform::TVHT_ONITEMBUTTON) {
        platform::SetFocus(tree_);
        return 0;
      }
      return pass();
    }
    case platform::WM_MOUSEMOVE:
      if (penDown_ != 0 && penMoves_ < INT32_MAX) ++penMoves_;
      return pass();
    case platform::WM_LBUTTONUP: {
      penDown_ = 0;
      lastPen_ = lParam;
      if (penMoves_ >= kBrowserDragMoves) return 0;
      platform::TVHITTESTINFO hit{};
      hit.pt = platform::POINT{platform::GET_X_LPARAM(lParam), platform::GET_Y_LPARAM(lParam)};
      platform::SendMessageW(tree_, platform::TVM_HITTEST, 0, reinterpret_cast<platform::LPARAM>(&hit));
      if (hit.flags == platform::TVHT_ONITEMBUTTON) {
        platform::PostMessageW(tree_, kBrowserChooseMessage, 0, lParam);
        return 0;
      }
      return pass();
    }
    case platform::WM_LBUTTONDBLCLK: return 0;
    case platform::WM_HELP: ShowHelp(); return 0;
    default: break;
  }
  if (message == kTreeNotifyMessage) {
    const auto* header = reinterpret_cast<const platform::NMHDR*>(lParam);
    if (header == nullptr || penMoves_ >= kBrowserDragMoves) return 0;
    if (header->code == platform::TVN_SELCHANGEDW) RelabelForSelection();
    if (header->code == platform::NM_CLICK) platform::PostMessageW(tree_, kBrowserChooseMessage, 0, lastPen_);
    return 0;
  }
  if (message == kBrowserChooseMessage) {
    if (penMoves_ >= kBrowserDragMoves && wParam == 0) return 0;
    if (wParam != 0) {
      if (noChoose_ == 0) Choose(Selected(), true);
    } else {
      const platform::HTREEITEM item = ItemAt(lParam);
      Choose(item, false);
    }
    return 0;
  }
  if (message == kBrowserRelabelMessage) {
    RelabelForSelection();
    return 0;
  }
  return pass();
}

intptr_t FileBrowserDialog::OnNotify(platform::WPARAM, platform::LPARAM lParam) {
  const auto* header = reinterpret_cast<const platform::NMHDR*>(lParam);
  if (header == nullptr || tree_ == nullptr || header->hwndFrom != tree_) return 0;
  if (header->code == platform::TVN_SELCHANGEDW || header->code == platform::NM_CLICK) {
    platform::SendMessageW(tree_, kTreeNotifyMessage, 0, lParam);
  }
  return 0;
}

bool FileBrowserDialog::OnCommand(platform::WPARAM wParam, platform::LPARAM) {
  if (App().splashShowing != 0) return true;
  const uint32_t code = platform::HIWORD(static_cast<platform::DWORD>(wParam));
  if (code != 0 && code != 0x1000) return false;
  switch (platform::LOWORD(static_cast<platform::DWORD>(wParam))) {
    case kCommandExit: EndDialogWithPanel(Window(), kResultCloseApplication); return true;
    case kCommandOk: EndDialogWithPanel(Window(), kCommandOk); return true;
    case kCommandCancel: EndDialogWithPanel(Window(), kCommandCancel); return true;
    case kCommandOpen: Choose(Selected(), true); return true;
    default: return false;
  }
}

}  // namespace shell
