#include "shell/ListDialog.h"

#include <algorithm>
#include <cstdio>

#include "platform/Controls.h"
#include "platform/Dialog.h"
#include "platform/Files.h"
#include "platform/Gdi.h"
#include "platform/Window.h"
#include "shell/AppState.h"
#include "shell/DialogCommands.h"
#include "shell/DialogTemplates.h"
#include "shell/Localization.h"

namespace shell {

namespace {

constexpr DialogTexts::Slot kListTexts[] = {{kListNameTitleText, 0},       {kListFolderTitleText, 0},
                                            {kListDateTitleText, 0},       {kListBrowseText, kRecentBrowseButton},
                                            {kListBrowseNoteText, kRecentBrowseText}, {kListPromptText, kRecentPrompt},
                                            {kListTitleText, 0}};
constexpr int kListFontControls[] = {kRecentPrompt, kRecentList, kRecentBrowseText, kRecentBrowseButton};
constexpr int kInitialColumnWidths[3] = {75, 90, 75};
constexpr int kColumnRoom[3] = {20, 30, 25};
constexpr int kButtonTextRoom = 12;

platform::HWND List(platform::HWND window) { return platform::GetDlgItem(window, kRecentList); }

// Reads a list cell, growing the buffer until the text fits.
void ReadCell(platform::HWND list, int row, int column, WString& out) {
  for (uint32_t capacity = 256; capacity <= 0x10000; capacity *= 2) {
    char16_t* buffer = out.Resize(capacity);
    if (buffer == nullptr) return;
    platform::LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(capacity);
    const auto length = static_cast<uint32_t>(platform::SendMessageW(
        list, platform::LVM_GETITEMTEXTW, static_cast<platform::WPARAM>(row), reinterpret_cast<platform::LPARAM>(&item)));
    if (length + 1 < capacity) break;
  }
  out.TrimToTerminator();
}

int StringWidth(platform::HWND list, const char16_t* text) {
  return static_cast<int>(platform::SendMessageW(list, platform::LVM_GETSTRINGWIDTHW, 0,
                                                 reinterpret_cast<platform::LPARAM>(text)));
}

int SelectedRow(platform::HWND list) {
  return static_cast<int>(
      platform::SendMessageW(list, platform::LVM_GETNEXTITEM, static_cast<platform::WPARAM>(-1), platform::LVNI_SELECTED));
}

}  // namespace

void FormatFileDate(const char16_t* path, char16_t* out, int capacity) {
  if (capacity <= 0) return;
  out[0] = 0;
  platform::WIN32_FILE_ATTRIBUTE_DATA data{};
  platform::SYSTEMTIME time{};
  if (!platform::GetFileAttributesExW(path, platform::GetFileExInfoStandard, &data) ||
      !platform::FileTimeToSystemTime(&data.ftLastAccessTime, &time)) {
    return;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d", time.wDay, time.wMonth, time.wYear);
  int at = 0;
  for (const char* c = text; *c != 0 && at < capacity - 1; ++c) out[at++] = static_cast<char16_t>(*c);
  out[at] = 0;
}

ListDialog::ListDialog(bool showBrowse) : ShellDialog(kListTexts, 7), showBrowse_(showBrowse) {}

void ListDialog::AddPath(const char16_t* path) {
  if (pathCount_ >= kMaxPaths || path == nullptr) return;
  if (paths_[pathCount_].AssignCString(path)) ++pathCount_;
}

uint32_t ListDialog::GetTemplateId() { return kRecentFilesTemplate; }

intptr_t ListDialog::OnInitDialog(platform::HWND window) {
  DialogBase::OnInitDialog(window);
  Texts().ShowAll(window);
  const int shown = showBrowse_ ? platform::SW_SHOW : platform::SW_HIDE;
  platform::ShowWindow(platform::GetDlgItem(window, kRecentBrowseButton), shown);
  platform::ShowWindow(platform::GetDlgItem(window, kRecentBrowseText), shown);
  font_.Apply(window, kListFontControls, 4);
  FillList();
  const platform::SIZE client = ClientSize(window);
  Layout(client.cx, client.cy);
  const platform::HWND list = List(window);
  if (platform::SendMessageW(list, platform::LVM_GETITEMCOUNT, 0, 0) > 0) {
    platform::SetFocus(list);
    platform::LVITEMW state{};
    state.state = platform::LVIS_FOCUSED | platform::LVIS_SELECTED;
    state.stateMask = state.state;
    platform::SendMessageW(list, platform::LVM_SETITEMSTATE, 0, reinterpret_cast<platform::LPARAM>(&state));
  } else if (showBrowse_) {
    platform::SetFocus(platform::GetDlgItem(window, kRecentBrowseButton));
  }
  return 0;
}

void ListDialog::FillList() {
  const platform::HWND list = List(Window());
  if (list == nullptr) return;
  int widths[3] = {};
  for (int column = 0; column < 3; ++column) {
    const WString& title = Text(kListNameTitleText + column);
    platform::LVCOLUMNW info{};
    info.mask = platform::LVCF_TEXT | platform::LVCF_WIDTH | platform::LVCF_SUBITEM;
    info.cx = kInitialColumnWidths[column];
    info.pszText = const_cast<char16_t*>(title.Chars());
    info.iSubItem = column;
    platform::SendMessageW(list, platform::LVM_INSERTCOLUMNW, static_cast<platform::WPARAM>(column),
                           reinterpret_cast<platform::LPARAM>(&info));
    widths[column] = StringWidth(list, title.Chars());
  }
  int row = 0;
  for (uint32_t i = 0; i < pathCount_; ++i) {
    const WString& path = paths_[i];
    if (path.IsEmpty()) continue;
    // The name after the last separator; the folder up to and with it.
    const int32_t split = path.LastIndexOf(u'\\');
    WString name, folder;
    path.Substring(split + 1, static_cast<int32_t>(path.Length()) - split - 1, name);
    path.Substring(0, split + 1, folder);
    char16_t date[32];
    FormatFileDate(path.Chars(), date, 32);
    const char16_t* cells[3] = {name.Chars(), folder.Chars(), date};
    platform::LVITEMW item{};
    item.mask = platform::LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char16_t*>(cells[0]);
    const auto at = static_cast<int>(
        platform::SendMessageW(list, platform::LVM_INSERTITEMW, 0, reinterpret_cast<platform::LPARAM>(&item)));
    if (at < 0) continue;
    for (int column = 1; column < 3; ++column) {
      platform::LVITEMW cell{};
      cell.iSubItem = column;
      cell.pszText = const_cast<char16_t*>(cells[column]);
      platform::SendMessageW(list, platform::LVM_SETITEMTEXTW, static_cast<platform::WPARAM>(at),
                             reinterpret_cast<platform::LPARAM>(&cell));
    }
    for (int column = 0; column < 3; ++column) widths[column] = std::max(widths[column], StringWidth(list, cells[column]));
    ++row;
  }
  for (int column = 0; column < 3; ++column) {
    platform::SendMessageW(list, platform::LVM_SETCOLUMNWIDTH, static_cast<platform::WPARAM>(column),
                           widths[column] + kColumnRoom[column]);
  }
}

void ListDialog::Layout(int width, int height) {
  const platform::HWND window = Window();
  const platform::HWND prompt = platform::GetDlgItem(window, kRecentPrompt);
  if (prompt == nullptr) return;
  int unit = 12;
  platform::LOGFONTW logical{};
  const auto font = reinterpret_cast<platform::HFONT>(platform::SendMessageW(prompt, platform::WM_GETFONT, 0, 0));
  if (font != nullptr && platform::GetObjectW(font, sizeof logical, &logical) != 0) {
    unit = std::abs(static_cast<int>(logical.lfHeight)) + 2;
  }
  const platform::LANGID language = GetUILanguage();
  if (language == 0x411) unit += 3;
  const bool twoLines = width / unit < 22 || IsCompactLayout();
  int promptHeight = twoLines || (language == 0x408 && width < 400) ? 2 * unit : unit;
  // A prompt whose text needs more lines than that gets them.
  promptHeight = std::max(promptHeight, WrappedTextHeight(prompt, width - 10) - 3);
  PlaceControl(window, kRecentPrompt, 5, 5, width - 10, promptHeight + 3);
  int listHeight = height - promptHeight - 15;
  if (showBrowse_) {
    const platform::HWND button = platform::GetDlgItem(window, kRecentBrowseButton);
    const platform::RECT buttonRect = ControlRect(window, kRecentBrowseButton);
    const int buttonWidth =
        std::max<int>(buttonRect.right - buttonRect.left, TextExtent(button).cx + kButtonTextRoom);
    const int buttonHeight = std::max<int>(buttonRect.bottom - buttonRect.top, LineHeight(button) + 6);
    const int textWidth = width - buttonWidth - 13;
    int bottom = std::max(buttonHeight, twoLines ? 4 * unit : 2 * unit);
    bottom = std::max(bottom, WrappedTextHeight(platform::GetDlgItem(window, kRecentBrowseText), textWidth));
    PlaceControl(window, kRecentBrowseText, 5, height - bottom - 5, textWidth, bottom);
    PlaceControl(window, kRecentBrowseButton, width - buttonWidth - 5, height - bottom - 5, buttonWidth, buttonHeight);
    listHeight -= bottom + 5;
  }
  PlaceControl(window, kRecentList, 5, promptHeight + 10, width - 10, listHeight);
}

intptr_t ListDialog::OnSize(platform::WPARAM, int width, int height) {
  Layout(width, height);
  return 0;
}

void ListDialog::OnDestroy() {
  chosen_.Clear();
  const platform::HWND list = List(Window());
  if (list == nullptr) return;
  const int row = SelectedRow(list);
  if (row < 0) return;
  WString name, folder;
  ReadCell(list, row, 0, name);
  ReadCell(list, row, 1, folder);
  if (chosen_.Copy(folder) && !chosen_.Append(name)) chosen_.Clear();
}

void ListDialog::End(intptr_t code) { EndDialogWithPanel(Window(), code); }

intptr_t ListDialog::OnNotify(platform::WPARAM, platform::LPARAM lParam) {
  const auto* header = reinterpret_cast<const platform::NMHDR*>(lParam);
  if (header == nullptr || header->idFrom != static_cast<platform::UINT_PTR>(kRecentList)) return 0;
  if ((header->code == platform::NM_CLICK || header->code == platform::NM_RETURN) && SelectedRow(List(Window())) >= 0) {
    End(platform::IDOK);
  }
  return 0;
}

bool ListDialog::OnCommand(platform::WPARAM wParam, platform::LPARAM) {
  // Nothing is chosen while the splash still covers the screen.
  if (App().splashShowing != 0) return true;
  const uint32_t id = platform::LOWORD(static_cast<platform::DWORD>(wParam));
  const uint32_t code = platform::HIWORD(static_cast<platform::DWORD>(wParam));
  if (code != 0 && code != 0x1000) return false;
  switch (id) {
    case kCommandExit: End(kResultCloseApplication); return true;
    case kCommandOk:
    case kCommandOpen: End(platform::IDOK); return true;
    case kCommandCancel: End(platform::IDCANCEL); return true;
    case kCommandBrowse:
    case kRecentBrowseButton: End(kResultOpenSelected); return true;
    case platform::IDOK:
      // Enter: on the Browse button it browses, anywhere else it opens.
      if (showBrowse_ && platform::GetFocus() == platform::GetDlgItem(Window(), kRecentBrowseButton)) {
        End(kResultOpenSelected);
      } else {
        End(platform::IDOK);
      }
      return true;
    default: return false;
  }
}

}  // namespace shell
