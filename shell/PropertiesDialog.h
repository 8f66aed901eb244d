#pragma once
// The document properties dialog: five labels with their values, which the
// viewer may fill in while the dialog is open.
#include <cstdint>

#include "shell/ShellDialog.h"

namespace shell {

// Odd ids label, even ids value, for the five rows.
inline constexpr uint32_t kPropertiesFirstText = 1401;

class PropertiesDialog final : public ShellDialog<runtime::PropertiesDialog> {
 public:
  PropertiesDialog();

  uint32_t GetTemplateId() override;
  intptr_t OnInitDialog(platform::HWND window) override;
  intptr_t OnSize(platform::WPARAM type, int width, int height) override;
  bool OnCommand(platform::WPARAM wParam, platform::LPARAM lParam) override;

 protected:
  void OnTextChanged(uint32_t textId) override;

 private:
  void Layout(int width);

  DialogFont font_;
};

}  // namespace shell
