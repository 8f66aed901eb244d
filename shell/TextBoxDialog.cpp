#include "shell/TextBoxDialog.h"

#include "platform/Controls.h"
#include "platform/Dialog.h"
#include "platform/Window.h"
#include "shell/DialogCommands.h"
#include "shell/DialogTemplates.h"
#include "shell/Localization.h"

namespace shell {

namespace {

constexpr DialogTexts::Slot kTextBoxTexts[] = {{runtime::kTextBoxTextResource, kTextBoxText}};
constexpr int kTextBoxFontControls[] = {kTextBoxText};
constexpr int kTextBoxInset = 4;

}  // namespace

TextBoxDialog::TextBoxDialog() : ShellDialog(kTextBoxTexts, 1) {}

uint32_t TextBoxDialog::GetTemplateId() {
  if (IsCompactLayout()) return kTextBoxCompactTemplate;
  return GetPlatformType() == kPlatformSmartphone ? kTextBoxSmartphoneTemplate : kTextBoxTemplate;
}

intptr_t TextBoxDialog::OnInitDialog(platform::HWND window) {
  DialogBase::OnInitDialog(window);
  Texts().ShowAll(window);
  font_.Apply(window, kTextBoxFontControls, 1);
  const platform::SIZE client = ClientSize(window);
  OnSize(0, client.cx, client.cy);
  // The text is read from its start.
  platform::SendDlgItemMessageW(window, kTextBoxText, platform::EM_SETSEL, 0, 0);
  platform::SendDlgItemMessageW(window, kTextBoxText, platform::EM_SCROLLCARET, 0, 0);
  return 0;
}

intptr_t TextBoxDialog::OnSize(platform::WPARAM, int width, int height) {
  PlaceControl(Window(), kTextBoxText, kTextBoxInset, kTextBoxInset, width - 2 * kTextBoxInset,
               height - 2 * kTextBoxInset);
  return 0;
}

bool TextBoxDialog::OnCommand(platform::WPARAM wParam, platform::LPARAM) {
  return EndOnSoftKey(Window(), wParam, kCommandOk, 0);
}

}  // namespace shell
