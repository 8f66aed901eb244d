#pragma once
// The text box: a block of read-only text filling the dialog (About).
#include <cstdint>

#include "runtime/HostControls.h"
#include "shell/DialogBase.h"
#include "shell/DialogLayout.h"

namespace shell {

class TextBoxDialog final : public DialogBase, public runtime::TextBoxDialog {
 public:
  TextBoxDialog();

  void SetTitle(const char16_t* title) override { DialogBase::SetTitle(title); }
  void SetItemText(uint32_t resourceId, const char16_t* text) override;
  void SetSoftKeys(const runtime::MenuItemDesc* keys) override { DialogBase::SetSoftKeys(keys); }
  int32_t RunModal() override { return static_cast<int32_t>(Run()); }

  uint32_t GetTemplateId() override;
  intptr_t OnInitDialog(platform::HWND window) override;
  intptr_t OnSize(platform::WPARAM type, int width, int height) override;
  bool OnCommand(platform::WPARAM wParam, platform::LPARAM lParam) override;

 private:
  DialogTexts texts_;
  DialogFont font_;
};

}  // namespace shell
