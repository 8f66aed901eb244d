#pragma once
// The go-to-page dialog: a prompt with a page-number field, and the page
// count under it.
#include <cstdint>

#include "shell/ShellDialog.h"

namespace shell {

inline constexpr uint32_t kGoToPromptText = 1601;
inline constexpr uint32_t kGoToCountLabelText = 1602;
// The page count stands beside its label; the current page starts the
// field.
inline constexpr uint32_t kGoToCountText = 1603;
inline constexpr uint32_t kGoToPageText = 1604;

class GoToPageDialog final : public ShellDialog<runtime::GoToPageDialog> {
 public:
  GoToPageDialog();

  const char16_t* GetText() const override { return typed_.Chars(); }

  uint32_t GetTemplateId() override;
  intptr_t OnInitDialog(platform::HWND window) override;
  void OnDestroy() override;
  intptr_t OnSize(platform::WPARAM type, int width, int height) override;
  bool OnCommand(platform::WPARAM wParam, platform::LPARAM lParam) override;
  bool IsTextEntryControl(int id) override;

 private:
  void Layout(int width);

  WString typed_;
  DialogFont font_;
};

}  // namespace shell
