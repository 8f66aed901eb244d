#include "shell/PasswordDialog.h"

#include <algorithm>

#include "platform/Dialog.h"
#include "platform/Window.h"
#include "shell/AppState.h"
#include "shell/DialogCommands.h"
#include "shell/DialogTemplates.h"
#include "shell/Localization.h"

namespace shell {

namespace {

constexpr DialogTexts::Slot kPasswordTexts[] = {{runtime::kPasswordPromptResource, kPasswordPrompt}};
constexpr int kPasswordFontControls[] = {kPasswordPrompt, kPasswordField};
constexpr uint32_t kPasswordLimit = 256;
constexpr uint32_t kOkColumn = 52;
constexpr uint32_t kCancelColumn = 56;
constexpr int kPromptMargin = 4;

}  // namespace

void LayOutPromptAndField(platform::HWND dialog, int promptId, int fieldId, int width) {
  const platform::HWND prompt = platform::GetDlgItem(dialog, promptId);
  if (prompt == nullptr) return;
  const int room = std::max(1, width - 2 * kPromptMargin);
  const int line = LineHeight(prompt);
  const int promptHeight = std::max(line, WrappedTextHeight(prompt, room));
  PlaceControl(dialog, promptId, kPromptMargin, kPromptMargin, room, promptHeight);
  PlaceControl(dialog, fieldId, kPromptMargin, 2 * kPromptMargin + promptHeight, room, line + kPromptMargin + 2);
}

PasswordDialog::PasswordDialog()
    : texts_(kPasswordTexts, 1),
      cancel_{kCommandCancel, nullptr},
      ok_{kCommandOk, nullptr, nullptr, &cancel_} {
  SetWantsInputPanel(true);
  SetSoftKeys(&ok_);
}

void PasswordDialog::SetItemText(uint32_t resourceId, const char16_t* text) {
  if (texts_.Set(resourceId, text, Window()) && Window() != nullptr) {
    Layout(ClientSize(Window()).cx);
  }
}

int32_t PasswordDialog::RunModal() {
  // The labels follow the language of the moment.
  ok_.text = GetLocalizedString(kOkColumn);
  cancel_.text = GetLocalizedString(kCancelColumn);
  SetTitle(kMainWindowTitle);
  typed_.Clear();
  return static_cast<int32_t>(Run());
}

uint32_t PasswordDialog::GetTemplateId() { return kPasswordTemplate; }

intptr_t PasswordDialog::OnInitDialog(platform::HWND window) {
  DialogBase::OnInitDialog(window);
  texts_.ShowAll(window);
  font_.Apply(window, kPasswordFontControls, 2);
  Layout(ClientSize(window).cx);
  FocusField(window, kPasswordField);
  return 0;
}

void PasswordDialog::Layout(int width) { LayOutPromptAndField(Window(), kPasswordPrompt, kPasswordField, width); }

intptr_t PasswordDialog::OnSize(platform::WPARAM, int width, int) {
  Layout(width);
  return 0;
}

void PasswordDialog::OnDestroy() { ReadControlText(Window(), kPasswordField, kPasswordLimit, typed_); }

bool PasswordDialog::OnCommand(platform::WPARAM wParam, platform::LPARAM) {
  return EndOnSoftKey(Window(), wParam, kCommandOk, kCommandCancel);
}

bool PasswordDialog::IsTextEntryControl(int id) { return id == kPasswordField; }

}  // namespace shell
