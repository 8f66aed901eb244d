#include "shell/FindDialog.h"

#include <algorithm>

#include "platform/Controls.h"
#include "platform/Dialog.h"
#include "platform/Window.h"
#include "shell/DialogCommands.h"
#include "shell/DialogTemplates.h"
#include "shell/Localization.h"

namespace shell {

namespace {

constexpr DialogTexts::Slot kFindTexts[] = {{kFindPromptText, kFindPrompt},
                                            {kFindSearchText, kFindField},
                                            {kFindMatchCaseText, kFindMatchCaseBox},
                                            {kFindWholeWordText, kFindWholeWordBox},
                                            {kFindBackwardsText, kFindBackwardsBox}};
constexpr int kFindFontControls[] = {kFindPrompt, kFindField, kFindMatchCaseBox, kFindWholeWordBox,
                                     kFindBackwardsBox};
constexpr uint32_t kFindFieldLimit = 256;
constexpr int kFindGap = 4;

}  // namespace

FindDialog::FindDialog() : ShellDialog(kFindTexts, 5) { SetWantsInputPanel(true); }

void FindDialog::SetOption(uint32_t option, bool on) {
  if (option < 3) options_[option] = on ? 1 : 0;
}

bool FindDialog::GetOption(uint32_t option) const { return option < 3 && options_[option] != 0; }

uint32_t FindDialog::GetTemplateId() { return IsCompactLayout() ? kFindCompactTemplate : kFindTemplate; }

intptr_t FindDialog::OnInitDialog(platform::HWND window) {
  DialogBase::OnInitDialog(window);
  Texts().ShowAll(window);
  for (int box = 0; box < 3; ++box) {
    platform::CheckDlgButton(window, kFindMatchCaseBox + box,
                             options_[box] != 0 ? platform::BST_CHECKED : platform::BST_UNCHECKED);
  }
  font_.Apply(window, kFindFontControls, 5);
  Layout(ClientSize(window).cx);
  FocusField(window, kFindField);
  return 0;
}

void FindDialog::Layout(int width) {
  const platform::HWND window = Window();
  const platform::HWND prompt = platform::GetDlgItem(window, kFindPrompt);
  if (prompt == nullptr) return;
  // The field keeps its left edge and its height and takes the width with
  // the same margin on the right; the prompt above it may need more lines
  // than the template gave it.
  const platform::RECT field = ControlRect(window, kFindField);
  const int x = field.left;
  const int room = std::max(1, width - 2 * x);
  const int line = LineHeight(prompt);
  const int promptHeight = std::max(line, WrappedTextHeight(prompt, room));
  const int fieldHeight = std::max<int>(field.bottom - field.top, line + 4);
  PlaceControl(window, kFindPrompt, x, kFindGap, room, promptHeight);
  int y = 2 * kFindGap + promptHeight;
  PlaceControl(window, kFindField, x, y, room, fieldHeight);
  y += fieldHeight + 2 * kFindGap;
  for (int box = 0; box < 3; ++box) {
    PlaceControl(window, kFindMatchCaseBox + box, x, y, room, line + kFindGap);
    y += line + 2 * kFindGap;
  }
}

intptr_t FindDialog::OnSize(platform::WPARAM, int width, int) {
  Layout(width);
  return 0;
}

void FindDialog::OnDestroy() {
  ReadControlText(Window(), kFindField, kFindFieldLimit, typed_);
  for (int box = 0; box < 3; ++box) {
    options_[box] = platform::IsDlgButtonChecked(Window(), kFindMatchCaseBox + box) == platform::BST_CHECKED ? 1 : 0;
  }
}

bool FindDialog::OnCommand(platform::WPARAM wParam, platform::LPARAM) {
  return EndOnSoftKey(Window(), wParam, kCommandFind, kCommandCancel);
}

bool FindDialog::IsTextEntryControl(int id) { return id == kFindField; }

}  // namespace shell
