#pragma once
// The recent-files dialog: the stored paths in a three-column list (name,
// folder, date), and optionally a Browse button that sends the user on to
// the file browser.
#include <cstdint>

#include "shell/ShellDialog.h"

namespace shell {

inline constexpr uint32_t kListNameTitleText = 1201;
inline constexpr uint32_t kListFolderTitleText = 1202;
inline constexpr uint32_t kListDateTitleText = 1203;
inline constexpr uint32_t kListBrowseText = 1204;
inline constexpr uint32_t kListBrowseNoteText = 1205;
inline constexpr uint32_t kListPromptText = 1206;
inline constexpr uint32_t kListTitleText = 1207;

class ListDialog final : public ShellDialog<runtime::ListDialog> {
 public:
  static constexpr uint32_t kMaxPaths = 10;
  explicit ListDialog(bool showBrowse);

  void AddPath(const char16_t* path) override;
  const char16_t* GetChosenPath() const override { return chosen_.Chars(); }

  uint32_t GetTemplateId() override;
  intptr_t OnInitDialog(platform::HWND window) override;
  void OnDestroy() override;
  intptr_t OnSize(platform::WPARAM type, int width, int height) override;
  intptr_t OnNotify(platform::WPARAM wParam, platform::LPARAM lParam) override;
  bool OnCommand(platform::WPARAM wParam, platform::LPARAM lParam) override;

 private:
  void FillList();
  void Layout(int width, int height);
  void End(intptr_t code);

  bool showBrowse_;
  WString paths_[kMaxPaths];
  uint32_t pathCount_ = 0;
  WString chosen_;
  DialogFont font_;
};

// The date column's text for a file: its last-access date as day, month
// and year ("%02d/%02d/%02d"); empty when the file cannot be read.
void FormatFileDate(const char16_t* path, char16_t* out, int capacity);

}  // namespace shell
