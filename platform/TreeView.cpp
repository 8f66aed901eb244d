// Tree views: items with text, images and data in a hierarchy that the
// user opens and closes; selection by pen and keys, notifications to the
// parent.
#include <algorithm>
#include <set>
#include <vector>

#include "platform/ControlSupport.h"
#include "platform/Dialog.h"
#include "platform/WideText.h"

namespace platform {

struct TreeItem {
  TreeItem* parent = nullptr;
  std::vector<std::unique_ptr<TreeItem>> children;
  std::u16string text;
  int image = 0;
  int selectedImage = 0;
  int childrenFlag = 0;  // cChildren: 1 shows a button without children yet
  LPARAM data = 0;
  bool expanded = false;
  size_t index = 0;  // among its siblings, when the siblings were last counted
};

namespace {

struct TreeState {
  HFONT font = nullptr;
  TreeItem root;
  std::set<TreeItem*> live;
  TreeItem* selected = nullptr;
  HIMAGELIST images = nullptr;
  size_t topRow = 0;
  // Inserting thousands of items (the bookmarks of a large document) sets
  // the scroll bar once, when anything but another insertion comes.
  bool scrollBarPending = false;
};

ControlStates<TreeState> g_trees;

TreeItem* Valid(TreeState& state, HTREEITEM item) {
  return state.live.count(item) != 0 ? item : nullptr;
}

void Visible(TreeItem& parent, std::vector<TreeItem*>& rows) {
  for (auto& child : parent.children) {
    rows.push_back(child.get());
    if (child->expanded) Visible(*child, rows);
  }
}

std::vector<TreeItem*> Rows(TreeState& state) {
  std::vector<TreeItem*> rows;
  Visible(state.root, rows);
  return rows;
}

int Depth(const TreeItem* item) {
  int depth = 0;
  for (const TreeItem* at = item->parent; at != nullptr && at->parent != nullptr; at = at->parent) ++depth;
  return depth;
}

bool HasButton(const TreeItem* item) { return !item->children.empty() || item->childrenFlag == 1; }

int RowHeight(HWND window, TreeState& state) {
  const HDC dc = GetDC(window);
  if (state.font != nullptr) SelectObject(dc, state.font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  ReleaseDC(window, dc);
  int imageHeight = 0;
  if (state.images != nullptr) ImageList_GetIconSize(state.images, nullptr, &imageHeight);
  return std::max<int>(metrics.tmHeight, imageHeight) + Scaled(4);
}

int Indent() { return Scaled(16); }

// Where the parts of a row begin: the button, the image and the label.
struct RowLayout {
  int button;
  int image;
  int label;
};

RowLayout LayoutOf(TreeState& state, const TreeItem* item, DWORD style) {
  const int rootIndent = (style & TVS_LINESATROOT) ? Indent() : 0;
  const int button = Depth(item) * Indent() + Scaled(2);
  const int image = button + rootIndent;
  int imageWidth = 0;
  if (state.images != nullptr) ImageList_GetIconSize(state.images, &imageWidth, nullptr);
  return RowLayout{button, image, image + imageWidth + (imageWidth > 0 ? Scaled(3) : 0)};
}

void UpdateScrollBar(HWND window, TreeState& state) {
  RECT client{};
  GetClientRect(window, &client);
  const int rowHeight = RowHeight(window, state);
  SCROLLINFO info{sizeof info, SIF_ALL, 0, static_cast<int>(Rows(state).size()) - 1,
                  static_cast<UINT>(std::max(1, static_cast<int>(client.bottom) / rowHeight)),
                  static_cast<int>(state.topRow), 0};
  if (info.nMax < 0) info.nMax = 0;
  SetScrollInfo(window, SB_VERT, &info, TRUE);
}

void EnsureVisible(HWND window, TreeState& state, TreeItem* item) {
  for (TreeItem* at = item->parent; at != nullptr && at != &state.root; at = at->parent) at->expanded = true;
  const auto rows = Rows(state);
  const auto it = std::find(rows.begin(), rows.end(), item);
  if (it == rows.end()) return;
  const auto row = static_cast<size_t>(it - rows.begin());
  RECT client{};
  GetClientRect(window, &client);
  const size_t visible = std::max<size_t>(1, static_cast<size_t>(client.bottom / RowHeight(window, state)));
  if (row < state.topRow) state.topRow = row;
  if (row >= state.topRow + visible) state.topRow = row - visible + 1;
  UpdateScrollBar(window, state);
  InvalidateRect(window, nullptr, TRUE);
}

void FillItem(const TreeItem* item, TVITEMW& out) {
  out.hItem = const_cast<TreeItem*>(item);
  if (item == nullptr) return;
  out.lParam = item->data;
  out.iImage = item->image;
  out.iSelectedImage = item->selectedImage;
  out.state = item->expanded ? TVIS_EXPANDED : 0;
}

LRESULT Notify(HWND window, UINT code, NMHDR* header) {
  header->hwndFrom = window;
  header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window));
  header->code = code;
  const HWND parent = GetParent(window);
  return parent == nullptr ? 0 : SendMessageW(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

void Select(HWND window, TreeState& state, TreeItem* item, UINT action) {
  if (state.selected == item) return;
  NMTREEVIEWW change{};
  change.action = action;
  FillItem(state.selected, change.itemOld);
  FillItem(item, change.itemNew);
  change.itemNew.mask = change.itemOld.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_STATE;
  state.selected = item;
  if (item != nullptr) EnsureVisible(window, state, item);
  InvalidateRect(window, nullptr, TRUE);
  Notify(window, TVN_SELCHANGEDW, &change.hdr);
}

void Expand(HWND window, TreeState& state, TreeItem* item, WPARAM how) {
  const bool open = how == TVE_EXPAND || (how == TVE_TOGGLE && !item->expanded);
  if (open == item->expanded) return;
  item->expanded = open;
  // A selection inside a closed item moves up to it.
  UpdateScrollBar(window, state);
  InvalidateRect(window, nullptr, TRUE);
  if (!open && state.selected != nullptr) {
    for (TreeItem* at = state.selected->parent; at != nullptr; at = at->parent) {
      if (at == item) {
        // Last: the parent hears of it and may do anything, even destroy us.
        Select(window, state, item, TVC_UNKNOWN);
        break;
      }
    }
  }
}

void Forget(TreeState& state, TreeItem* item) {
  for (auto& child : item->children) Forget(state, child.get());
  state.live.erase(item);
  if (state.selected == item) state.selected = nullptr;
}

void Delete(HWND window, TreeState& state, TreeItem* item) {
  if (item == nullptr || item == &state.root) {
    for (auto& child : state.root.children) Forget(state, child.get());
    state.root.children.clear();
    state.topRow = 0;
  } else {
    Forget(state, item);
    auto& siblings = item->parent->children;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(), [&](const auto& each) { return each.get() == item; }));
  }
  const size_t rows = Rows(state).size();
  if (state.topRow >= rows) state.topRow = rows == 0 ? 0 : rows - 1;
  UpdateScrollBar(window, state);
  InvalidateRect(window, nullptr, TRUE);
}

TreeItem* Insert(HWND window, TreeState& state, const TVINSERTSTRUCTW& insert) {
  TreeItem* parent = insert.hParent == nullptr || insert.hParent == TVI_ROOT ? &state.root : Valid(state, insert.hParent);
  if (parent == nullptr) return nullptr;
  auto item = std::make_unique<TreeItem>();
  item->parent = parent;
  const TVITEMW& fields = insert.item;
  if ((fields.mask & TVIF_TEXT) && fields.pszText != nullptr) item->text = WideView(fields.pszText);
  if (fields.mask & TVIF_IMAGE) item->image = fields.iImage;
  if (fields.mask & TVIF_SELECTEDIMAGE) item->selectedImage = fields.iSelectedImage;
  if (fields.mask & TVIF_PARAM) item->data = fields.lParam;
  if (fields.mask & TVIF_CHILDREN) item->childrenFlag = fields.cChildren;
  if (fields.mask & TVIF_STATE) item->expanded = (fields.state & fields.stateMask & TVIS_EXPANDED) != 0;
  auto& siblings = parent->children;
  auto at = siblings.end();
  if (insert.hInsertAfter == TVI_FIRST) {
    at = siblings.begin();
  } else if (insert.hInsertAfter == TVI_SORT) {
    at = std::find_if(siblings.begin(), siblings.end(), [&](const auto& each) { return each->text > item->text; });
  } else if (insert.hInsertAfter != TVI_LAST && insert.hInsertAfter != nullptr) {
    const auto after = std::find_if(siblings.begin(), siblings.end(),
                                    [&](const auto& each) { return each.get() == insert.hInsertAfter; });
    if (after != siblings.end()) at = after + 1;
  }
  TreeItem* result = item.get();
  const bool last = at == siblings.end();
  siblings.insert(at, std::move(item));
  if (last) result->index = siblings.size() - 1;
  state.live.insert(result);
  state.scrollBarPending = true;
  InvalidateRect(window, nullptr, TRUE);
  return result;
}

TreeItem* Next(TreeState& state, TreeItem* item, WPARAM relation) {
  const auto siblingAt = [](TreeItem* of, int step) -> TreeItem* {
    auto& siblings = of->parent->children;
    if (of->index >= siblings.size() || siblings[of->index].get() != of) {
      for (size_t i = 0; i < siblings.size(); ++i) siblings[i]->index = i;
    }
    const auto index = static_cast<std::ptrdiff_t>(of->index) + step;
    return index < 0 || index >= static_cast<std::ptrdiff_t>(siblings.size()) ? nullptr
                                                                               : siblings[static_cast<size_t>(index)].get();
  };
  switch (relation) {
    case TVGN_ROOT: return state.root.children.empty() ? nullptr : state.root.children.front().get();
    case TVGN_CARET: return state.selected;
    case TVGN_FIRSTVISIBLE: {
      const auto rows = Rows(state);
      return state.topRow < rows.size() ? rows[state.topRow] : nullptr;
    }
    default: break;
  }
  item = Valid(state, item);
  if (item == nullptr) return nullptr;
  switch (relation) {
    case TVGN_NEXT: return siblingAt(item, 1);
    case TVGN_PREVIOUS: return siblingAt(item, -1);
    case TVGN_PARENT: return item->parent == &state.root ? nullptr : item->parent;
    case TVGN_CHILD: return item->children.empty() ? nullptr : item->children.front().get();
    case TVGN_NEXTVISIBLE:
    case TVGN_PREVIOUSVISIBLE: {
      const auto rows = Rows(state);
      const auto it = std::find(rows.begin(), rows.end(), item);
      if (it == rows.end()) return nullptr;
      if (relation == TVGN_NEXTVISIBLE) return it + 1 == rows.end() ? nullptr : *(it + 1);
      return it == rows.begin() ? nullptr : *(it - 1);
    }
    default: return nullptr;
  }
}

TreeItem* HitTest(HWND window, TreeState& state, POINT point, UINT& flags) {
  flags = TVHT_NOWHERE;
  RECT client{};
  GetClientRect(window, &client);
  if (point.x < 0 || point.y < 0 || point.x >= client.right || point.y >= client.bottom) return nullptr;
  const auto rows = Rows(state);
  const size_t row = state.topRow + static_cast<size_t>(point.y / RowHeight(window, state));
  if (row >= rows.size()) return nullptr;
  TreeItem* item = rows[row];
  const RowLayout layout = LayoutOf(state, item, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)));
  const HDC dc = GetDC(window);
  if (state.font != nullptr) SelectObject(dc, state.font);
  SIZE text{};
  GetTextExtentPoint32W(dc, item->text.c_str(), static_cast<int>(item->text.size()), &text);
  ReleaseDC(window, dc);
  const int buttonLeft = layout.button;
  const int buttonRight = layout.button + Indent();
  if (HasButton(item) && point.x >= buttonLeft && point.x < buttonRight && layout.image > layout.button) {
    flags = TVHT_ONITEMBUTTON;
  } else if (point.x < layout.image) {
    flags = TVHT_ONITEMINDENT;
  } else if (point.x < layout.label) {
    flags = TVHT_ONITEMICON;
  } else if (point.x < layout.label + text.cx + Scaled(4)) {
    flags = TVHT_ONITEMLABEL;
  } else {
    flags = TVHT_ONITEMRIGHT;
  }
  return item;
}

void Paint(HWND window, TreeState& state) {
  ControlPainter painter(window, state.font);
  const RECT client = painter.client();
  painter.Fill(client, GetSysColor(COLOR_WINDOW));
  const auto rows = Rows(state);
  const int rowHeight = RowHeight(window, state);
  const DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  const bool focused = GetFocus() == window;
  int y = 0;
  for (size_t row = state.topRow; row < rows.size() && y < client.bottom; ++row, y += rowHeight) {
    TreeItem* item = rows[row];
    const RowLayout layout = LayoutOf(state, item, style);
    if (HasButton(item) && layout.image > layout.button) {
      // A small box with a minus (open) or a plus (closed).
      const int size = Scaled(9);
      const int left = layout.button + (Indent() - size) / 2;
      const int top = y + (rowHeight - size) / 2;
      painter.Fill(RECT{left, top, left + size, top + size}, GetSysColor(COLOR_WINDOW));
      painter.Frame(RECT{left, top, left + size, top + size}, kFrameColor);
      const int middle = top + size / 2;
      painter.Fill(RECT{left + 2, middle, left + size - 2, middle + std::max(1, Scaled(1))}, kTextColor);
      if (!item->expanded) {
        const int centre = left + size / 2;
        painter.Fill(RECT{centre, top + 2, centre + std::max(1, Scaled(1)), top + size - 2}, kTextColor);
      }
    }
    if (state.images != nullptr) {
      int imageHeight = 0;
      ImageList_GetIconSize(state.images, nullptr, &imageHeight);
      ImageList_Draw(state.images, item == state.selected ? item->selectedImage : item->image, painter.dc(),
                     layout.image, y + (rowHeight - imageHeight) / 2, ILD_NORMAL);
    }
    const bool selected = item == state.selected && (focused || (style & TVS_SHOWSELALWAYS));
    SIZE text{};
    GetTextExtentPoint32W(painter.dc(), item->text.c_str(), static_cast<int>(item->text.size()), &text);
    const RECT label{layout.label, y, layout.label + text.cx + Scaled(4), y + rowHeight};
    if (selected) painter.Fill(label, focused ? kSelectionColor : RGB(200, 200, 200));
    painter.Text(RECT{label.left + Scaled(2), y, client.right, y + rowHeight}, item->text,
                 DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, selected && focused ? RGB(255, 255, 255) : kTextColor);
  }
}

void OnKey(HWND window, TreeState& state, int key) {
  TreeItem* selected = state.selected;
  switch (key) {
    case VK_UP:
    case VK_DOWN: {
      const auto rows = Rows(state);
      if (rows.empty()) return;
      auto it = std::find(rows.begin(), rows.end(), selected);
      if (it == rows.end()) {
        Select(window, state, rows.front(), TVC_BYKEYBOARD);
      } else if (key == VK_UP && it != rows.begin()) {
        Select(window, state, *(it - 1), TVC_BYKEYBOARD);
      } else if (key == VK_DOWN && it + 1 != rows.end()) {
        Select(window, state, *(it + 1), TVC_BYKEYBOARD);
      }
      return;
    }
    case VK_LEFT:
      if (selected == nullptr) return;
      if (selected->expanded && !selected->children.empty()) {
        Expand(window, state, selected, TVE_COLLAPSE);
      } else if (selected->parent != &state.root) {
        Select(window, state, selected->parent, TVC_BYKEYBOARD);
      }
      return;
    case VK_RIGHT:
      if (selected == nullptr) return;
      if (!selected->expanded && HasButton(selected)) {
        Expand(window, state, selected, TVE_EXPAND);
      } else if (!selected->children.empty()) {
        Select(window, state, selected->children.front().get(), TVC_BYKEYBOARD);
      }
      return;
    case VK_RETURN: {
      NMHDR header{};
      Notify(window, NM_RETURN, &header);
      return;
    }
    default: return;
  }
}

}  // namespace

LRESULT TreeViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TreeState& state = g_trees.Get(window);
  const bool readsItems = message == TVM_INSERTITEMW || message == TVM_GETNEXTITEM || message == TVM_GETITEMW ||
                          message == TVM_GETCOUNT;
  if (state.scrollBarPending && !readsItems) {
    state.scrollBarPending = false;
    UpdateScrollBar(window, state);
  }
  switch (message) {
    case TVM_INSERTITEMW:
      return lParam == 0 ? 0
                         : reinterpret_cast<LRESULT>(Insert(window, state, *reinterpret_cast<const TVINSERTSTRUCTW*>(lParam)));
    case TVM_DELETEITEM: {
      const auto item = reinterpret_cast<HTREEITEM>(lParam);
      if (item != nullptr && item != TVI_ROOT && Valid(state, item) == nullptr) return FALSE;
      Delete(window, state, item == TVI_ROOT ? nullptr : item);
      return TRUE;
    }
    case TVM_EXPAND: {
      TreeItem* item = Valid(state, reinterpret_cast<HTREEITEM>(lParam));
      if (item == nullptr) return FALSE;
      Expand(window, state, item, wParam & 3);
      return TRUE;
    }
    case TVM_GETCOUNT: return static_cast<LRESULT>(state.live.size());
    case TVM_SETIMAGELIST: {
      const HIMAGELIST previous = state.images;
      state.images = reinterpret_cast<HIMAGELIST>(lParam);
      InvalidateRect(window, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(previous);
    }
    case TVM_GETIMAGELIST: return reinterpret_cast<LRESULT>(state.images);
    case TVM_GETNEXTITEM: return reinterpret_cast<LRESULT>(Next(state, reinterpret_cast<HTREEITEM>(lParam), wParam));
    case TVM_SELECTITEM: {
      TreeItem* item = Valid(state, reinterpret_cast<HTREEITEM>(lParam));
      if (wParam != TVGN_CARET || (item == nullptr && lParam != 0)) return FALSE;
      Select(window, state, item, TVC_UNKNOWN);
      return TRUE;
    }
    case TVM_ENSUREVISIBLE: {
      TreeItem* item = Valid(state, reinterpret_cast<HTREEITEM>(lParam));
      if (item != nullptr) EnsureVisible(window, state, item);
      return item != nullptr;
    }
    case TVM_GETITEMW:
    case TVM_SETITEMW: {
      auto* fields = reinterpret_cast<TVITEMW*>(lParam);
      TreeItem* item = fields == nullptr ? nullptr : Valid(state, fields->hItem);
      if (item == nullptr) return FALSE;
      if (message == TVM_GETITEMW) {
        if ((fields->mask & TVIF_TEXT) && fields->pszText != nullptr && fields->cchTextMax > 0) {
          WideCopy(fields->pszText, static_cast<size_t>(fields->cchTextMax), item->text);
        }
        if (fields->mask & TVIF_IMAGE) fields->iImage = item->image;
        if (fields->mask & TVIF_SELECTEDIMAGE) fields->iSelectedImage = item->selectedImage;
        if (fields->mask & TVIF_PARAM) fields->lParam = item->data;
        if (fields->mask & TVIF_CHILDREN) fields->cChildren = item->children.empty() ? item->childrenFlag : 1;
        if (fields->mask & TVIF_STATE) {
          fields->state = (item->expanded ? TVIS_EXPANDED : 0) | (item == state.selected ? TVIS_SELECTED : 0);
        }
        return TRUE;
      }
      if ((fields->mask & TVIF_TEXT) && fields->pszText != nullptr) item->text = WideView(fields->pszText);
      if (fields->mask & TVIF_IMAGE) item->image = fields->iImage;
      if (fields->mask & TVIF_SELECTEDIMAGE) item->selectedImage = fields->iSelectedImage;
      if (fields->mask & TVIF_PARAM) item->data = fields->lParam;
      if (fields->mask & TVIF_CHILDREN) item->childrenFlag = fields->cChildren;
      if ((fields->mask & TVIF_STATE) && (fields->stateMask & TVIS_EXPANDED)) {
        item->expanded = (fields->state & TVIS_EXPANDED) != 0;
        UpdateScrollBar(window, state);
      }
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case TVM_HITTEST: {
      auto* info = reinterpret_cast<TVHITTESTINFO*>(lParam);
      if (info == nullptr) return 0;
      info->hItem = HitTest(window, state, info->pt, info->flags);
      return reinterpret_cast<LRESULT>(info->hItem);
    }
    case TVM_SORTCHILDRENCB: {
      const auto* sort = reinterpret_cast<const TVSORTCB*>(lParam);
      if (sort == nullptr || sort->lpfnCompare == nullptr) return FALSE;
      TreeItem* parent = sort->hParent == nullptr || sort->hParent == TVI_ROOT ? &state.root : Valid(state, sort->hParent);
      if (parent == nullptr) return FALSE;
      std::stable_sort(parent->children.begin(), parent->children.end(), [&](const auto& a, const auto& b) {
        return sort->lpfnCompare(a->data, b->data, sort->lParam) < 0;
      });
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case WM_SETFONT:
      state.font = reinterpret_cast<HFONT>(wParam);
      UpdateScrollBar(window, state);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state.font);
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      OnKey(window, state, static_cast<int>(wParam));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      SetFocus(window);
      UINT flags = 0;
      TreeItem* item = HitTest(window, state, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, flags);
      if (item == nullptr) return 0;
      if (flags == TVHT_ONITEMBUTTON || message == WM_LBUTTONDBLCLK) {
        Expand(window, state, item, TVE_TOGGLE);
      } else {
        Select(window, state, item, TVC_BYMOUSE);
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      NMHDR header{};
      Notify(window, NM_CLICK, &header);
      return 0;
    }
    case WM_VSCROLL: {
      const auto rows = Rows(state).size();
      RECT client{};
      GetClientRect(window, &client);
      const size_t page = std::max<size_t>(1, static_cast<size_t>(client.bottom / RowHeight(window, state)));
      size_t top = state.topRow;
      switch (LOWORD(wParam)) {
        case SB_LINEUP: top = top > 0 ? top - 1 : 0; break;
        case SB_LINEDOWN: ++top; break;
        case SB_PAGEUP: top = top > page ? top - page : 0; break;
        case SB_PAGEDOWN: top += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: top = HIWORD(wParam); break;
        case SB_TOP: top = 0; break;
        case SB_BOTTOM: top = rows; break;
        default: return 0;
      }
      state.topRow = std::min(top, rows > page ? rows - page : 0);
      UpdateScrollBar(window, state);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_SIZE:
      UpdateScrollBar(window, state);
      return 0;
    case WM_PAINT:
      Paint(window, state);
      return 0;
    case WM_DESTROY:
      g_trees.Drop(window);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform
