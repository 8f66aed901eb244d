// List views in report view: a header of columns above rows of texts, one
// row selected; taps and Return are told to the parent.
#include <algorithm>
#include <vector>

#include "platform/ControlSupport.h"
#include "platform/Dialog.h"
#include "platform/WideText.h"

namespace platform {
namespace {

struct Row {
  std::vector<std::u16string> texts;
  UINT state = 0;
  LPARAM data = 0;
};

struct Column {
  std::u16string title;
  int width = 0;
};

struct ListState {
  HFONT font = nullptr;
  std::vector<Column> columns;
  std::vector<Row> rows;
  size_t topRow = 0;
};

ControlStates<ListState> g_lists;

int RowHeight(HWND window, ListState& state) {
  const HDC dc = GetDC(window);
  if (state.font != nullptr) SelectObject(dc, state.font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  ReleaseDC(window, dc);
  return metrics.tmHeight + Scaled(4);
}

int TextWidth(HWND window, ListState& state, std::u16string_view text) {
  const HDC dc = GetDC(window);
  if (state.font != nullptr) SelectObject(dc, state.font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
  ReleaseDC(window, dc);
  return size.cx;
}

LRESULT Notify(HWND window, UINT code, int item) {
  NMLISTVIEW notice{};
  notice.hdr = NMHDR{window, static_cast<UINT_PTR>(GetDlgCtrlID(window)), code};
  notice.iItem = item;
  const HWND parent = GetParent(window);
  return parent == nullptr ? 0 : SendMessageW(parent, WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice));
}

int Selected(const ListState& state) {
  for (size_t i = 0; i < state.rows.size(); ++i) {
    if (state.rows[i].state & LVIS_SELECTED) return static_cast<int>(i);
  }
  return -1;
}

void EnsureVisible(HWND window, ListState& state, size_t row) {
  RECT client{};
  GetClientRect(window, &client);
  const int height = RowHeight(window, state);
  const size_t visible = std::max<size_t>(1, static_cast<size_t>((client.bottom - height) / height));
  if (row < state.topRow) state.topRow = row;
  if (row >= state.topRow + visible) state.topRow = row - visible + 1;
}

void SelectRow(HWND window, ListState& state, int index) {
  for (auto& row : state.rows) row.state &= ~(LVIS_SELECTED | LVIS_FOCUSED);
  if (index >= 0 && static_cast<size_t>(index) < state.rows.size()) {
    state.rows[static_cast<size_t>(index)].state |= LVIS_SELECTED | LVIS_FOCUSED;
    EnsureVisible(window, state, static_cast<size_t>(index));
  }
  InvalidateRect(window, nullptr, TRUE);
}

void Paint(HWND window, ListState& state) {
  ControlPainter painter(window, state.font);
  const RECT client = painter.client();
  painter.Fill(client, GetSysColor(COLOR_WINDOW));
  const int height = RowHeight(window, state);
  // The header.
  painter.Fill(RECT{0, 0, client.right, height}, kFaceColor);
  int x = 0;
  for (const Column& column : state.columns) {
    painter.Text(RECT{x + Scaled(3), 0, x + column.width, height}, column.title, DT_SINGLELINE | DT_VCENTER, kTextColor);
    x += column.width;
    painter.Fill(RECT{x - 1, 0, x, height}, kFrameColor);
  }
  painter.Fill(RECT{0, height - 1, client.right, height}, kFrameColor);
  const bool focused = GetFocus() == window;
  int y = height;
  for (size_t i = state.topRow; i < state.rows.size() && y < client.bottom; ++i, y += height) {
    const Row& row = state.rows[i];
    const bool selected = (row.state & LVIS_SELECTED) != 0;
    if (selected) painter.Fill(RECT{0, y, client.right, y + height}, focused ? kSelectionColor : RGB(200, 200, 200));
    x = 0;
    for (size_t c = 0; c < state.columns.size(); ++c) {
      const std::u16string_view text = c < row.texts.size() ? std::u16string_view(row.texts[c]) : std::u16string_view();
      const RECT cell{x + Scaled(3), y, x + state.columns[c].width - Scaled(2), y + height};
      painter.Text(cell, text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
                   selected && focused ? RGB(255, 255, 255) : kTextColor);
      x += state.columns[c].width;
    }
  }
}

LRESULT ItemText(ListState& state, WPARAM index, LVITEMW* item, bool set) {
  if (item == nullptr || index >= state.rows.size() || item->iSubItem < 0) return 0;
  Row& row = state.rows[index];
  const auto column = static_cast<size_t>(item->iSubItem);
  if (set) {
    if (row.texts.size() <= column) row.texts.resize(column + 1);
    row.texts[column] = WideView(item->pszText);
    return TRUE;
  }
  const std::u16string empty;
  const std::u16string& text = column < row.texts.size() ? row.texts[column] : empty;
  if (item->pszText == nullptr || item->cchTextMax <= 0) return 0;
  return static_cast<LRESULT>(WideCopy(item->pszText, static_cast<size_t>(item->cchTextMax), text));
}

}  // namespace

LRESULT ListViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ListState& state = g_lists.Get(window);
  switch (message) {
    case LVM_INSERTCOLUMNW: {
      const auto* column = reinterpret_cast<const LVCOLUMNW*>(lParam);
      if (column == nullptr) return -1;
      const size_t at = std::min<size_t>(wParam, state.columns.size());
      Column added{(column->mask & LVCF_TEXT) ? std::u16string(WideView(column->pszText)) : std::u16string(),
                   (column->mask & LVCF_WIDTH) ? column->cx : Scaled(60)};
      state.columns.insert(state.columns.begin() + static_cast<std::ptrdiff_t>(at), added);
      InvalidateRect(window, nullptr, TRUE);
      return static_cast<LRESULT>(at);
    }
    case LVM_SETCOLUMNWIDTH:
      if (wParam >= state.columns.size()) return FALSE;
      state.columns[wParam].width = std::max(0, static_cast<int>(static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)))));
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case LVM_GETCOLUMNWIDTH: return wParam < state.columns.size() ? state.columns[wParam].width : 0;
    case LVM_GETSTRINGWIDTHW: return TextWidth(window, state, WideView(reinterpret_cast<LPCWSTR>(lParam)));
    case LVM_INSERTITEMW: {
      const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (item == nullptr || item->iItem < 0) return -1;
      const size_t at = std::min(static_cast<size_t>(item->iItem), state.rows.size());
      Row row;
      row.texts.push_back((item->mask & LVIF_TEXT) ? std::u16string(WideView(item->pszText)) : std::u16string());
      if (item->mask & LVIF_PARAM) row.data = item->lParam;
      if (item->mask & LVIF_STATE) row.state = item->state & item->stateMask;
      state.rows.insert(state.rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
      InvalidateRect(window, nullptr, TRUE);
      return static_cast<LRESULT>(at);
    }
    case LVM_SETITEMTEXTW: return ItemText(state, wParam, reinterpret_cast<LVITEMW*>(lParam), true);
    case LVM_GETITEMTEXTW: return ItemText(state, wParam, reinterpret_cast<LVITEMW*>(lParam), false);
    case LVM_SETITEMSTATE: {
      const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (item == nullptr) return FALSE;
      const auto apply = [&](Row& row) { row.state = (row.state & ~item->stateMask) | (item->state & item->stateMask); };
      if (static_cast<intptr_t>(wParam) == -1) {
        for (auto& row : state.rows) apply(row);
      } else if (wParam < state.rows.size()) {
        if (item->state & item->stateMask & LVIS_SELECTED) {
          for (auto& row : state.rows) row.state &= ~LVIS_SELECTED;
        }
        apply(state.rows[wParam]);
      } else {
        return FALSE;
      }
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case LVM_GETITEMSTATE:
      return wParam < state.rows.size() ? static_cast<LRESULT>(state.rows[wParam].state & static_cast<UINT>(lParam)) : 0;
    case LVM_GETNEXTITEM: {
      const auto start = static_cast<intptr_t>(wParam);
      const auto flags = static_cast<UINT>(lParam);
      for (size_t i = start < 0 ? 0 : static_cast<size_t>(start) + 1; i < state.rows.size(); ++i) {
        const UINT wanted = flags & (LVNI_SELECTED | LVNI_FOCUSED);
        if ((state.rows[i].state & wanted) == wanted) return static_cast<LRESULT>(i);
      }
      return -1;
    }
    case LVM_GETITEMCOUNT: return static_cast<LRESULT>(state.rows.size());
    case LVM_DELETEITEM:
      if (wParam >= state.rows.size()) return FALSE;
      state.rows.erase(state.rows.begin() + static_cast<std::ptrdiff_t>(wParam));
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case LVM_DELETEALLITEMS:
      state.rows.clear();
      state.topRow = 0;
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case LVM_ENSUREVISIBLE:
      if (wParam < state.rows.size()) EnsureVisible(window, state, wParam);
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case WM_SETFONT:
      state.font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state.font);
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_KEYDOWN: {
      const int selected = Selected(state);
      const auto key = static_cast<int>(wParam);
      if (key == VK_DOWN && selected + 1 < static_cast<int>(state.rows.size())) SelectRow(window, state, selected + 1);
      if (key == VK_UP && selected > 0) SelectRow(window, state, selected - 1);
      if (key == VK_RETURN) Notify(window, NM_RETURN, selected);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      SetFocus(window);
      const int height = RowHeight(window, state);
      const int y = GET_Y_LPARAM(lParam);
      if (y >= height) {
        const size_t row = state.topRow + static_cast<size_t>((y - height) / height);
        if (row < state.rows.size()) SelectRow(window, state, static_cast<int>(row));
      }
      return 0;
    }
    case WM_LBUTTONUP:
      Notify(window, NM_CLICK, Selected(state));
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      Paint(window, state);
      return 0;
    case WM_DESTROY:
      g_lists.Drop(window);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform
