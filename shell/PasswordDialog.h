#pragma once
// The password dialog: a prompt and a field whose characters are hidden,
// with OK and Cancel soft keys of its own.
#include <cstdint>

#include "runtime/HostServices.h"
#include "runtime/MenuItemDesc.h"
#include "shell/DialogBase.h"
#include "shell/DialogLayout.h"

namespace shell {

class PasswordDialog final : public DialogBase, public runtime::TextEntryDialog {
 public:
  PasswordDialog();

  void Initialise(void*) override {}
  void SetItemText(uint32_t resourceId, const char16_t* text) override;
  // The soft keys are the dialog's own OK and Cancel whatever the mode.
  void Attach(uint32_t) override {}
  int32_t RunModal() override;
  const char16_t* GetText() const override { return typed_.Chars(); }

  uint32_t GetTemplateId() override;
  intptr_t OnInitDialog(platform::HWND window) override;
  void OnDestroy() override;
  intptr_t OnSize(platform::WPARAM type, int width, int height) override;
  bool OnCommand(platform::WPARAM wParam, platform::LPARAM lParam) override;
  bool IsTextEntryControl(int id) override;

 private:
  void Layout(int width);

  DialogTexts texts_;
  WString typed_;
  runtime::MenuItemDesc cancel_;
  runtime::MenuItemDesc ok_;
  DialogFont font_;
};

// Lays out a prompt over a field across the dialog's width: the prompt on
// as many lines as its text needs, the field under it.
void LayOutPromptAndField(platform::HWND dialog, int promptId, int fieldId, int width);

}  // namespace shell
