#pragma once
// The find dialog: the search text and three options (match case, whole
// word, backwards).
#include <cstdint>

#include "shell/ShellDialog.h"

namespace shell {

inline constexpr uint32_t kFindPromptText = 1101;
inline constexpr uint32_t kFindSearchText = 1102;
inline constexpr uint32_t kFindMatchCaseText = 1103;
inline constexpr uint32_t kFindWholeWordText = 1104;
inline constexpr uint32_t kFindBackwardsText = 1105;

class FindDialog final : public ShellDialog<runtime::FindDialog> {
 public:
  FindDialog();

  const char16_t* GetText() const override { return typed_.Chars(); }
  void SetOption(uint32_t option, bool on) override;
  bool GetOption(uint32_t option) const override;

  uint32_t GetTemplateId() override;
  intptr_t OnInitDialog(platform::HWND window) override;
  void OnDestroy() override;
  intptr_t OnSize(platform::WPARAM type, int width, int height) override;
  bool OnCommand(platform::WPARAM wParam, platform::LPARAM lParam) override;
  bool IsTextEntryControl(int id) override;

 private:
  void Layout(int width);

  uint8_t options_[3] = {};
  WString typed_;
  DialogFont font_;
};

}  // namespace shell
