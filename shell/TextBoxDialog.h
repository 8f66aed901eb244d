#pragma once
// The text box: a block of read-only text filling the dialog (About).
#include <cstdint>

#include "shell/ShellDialog.h"

namespace shell {

class TextBoxDialog final : public ShellDialog<runtime::TextBoxDialog> {
 public:
  TextBoxDialog();

  uint32_t GetTemplateId() override;
  intptr_t OnInitDialog(platform::HWND window) override;
  intptr_t OnSize(platform::WPARAM type, int width, int height) override;
  bool OnCommand(platform::WPARAM wParam, platform::LPARAM lParam) override;

 private:
  DialogFont font_;
};

}  // namespace shell
