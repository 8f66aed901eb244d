#include "shell/GoToPageDialog.h"

#include <algorithm>

#include "platform/Dialog.h"
#include "platform/Window.h"
#include "shell/DialogCommands.h"
#include "shell/DialogTemplates.h"
#include "shell/Localization.h"

namespace shell {

namespace {

constexpr DialogTexts::Slot kGoToTexts[] = {{kGoToPromptText, kGoToPrompt},
                                            {kGoToCountLabelText, kGoToCountLabel},
                                            {kGoToPageText, kGoToField},
                                            {kGoToCountText, kGoToCount}};
constexpr int kGoToFontControls[] = {kGoToPrompt, kGoToField, kGoToCount, kGoToCountLabel};
constexpr uint32_t kGoToFieldLimit = 256;
constexpr int kGoToTextRoom = 10;

struct Box {
  int x, y, width, height;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
};

// Beside a reference: right of it by a fifth of its height, centred on it.
Box Beside(const Box& reference, int width, int height) {
  return Box{reference.Right() + reference.height / 5, reference.y + (reference.height - height) / 2, width, height};
}

// Below a reference: at its left edge, lower by its height / d.
Box Below(const Box& reference, int d, int width, int height) {
  return Box{reference.x, reference.Bottom() + reference.height / d, width, height};
}

}  // namespace

GoToPageDialog::GoToPageDialog() : ShellDialog(kGoToTexts, 4) { SetWantsInputPanel(true); }

uint32_t GoToPageDialog::GetTemplateId() {
  return IsCompactLayout() ? kGoToPageCompactTemplate : kGoToPageTemplate;
}

intptr_t GoToPageDialog::OnInitDialog(platform::HWND window) {
  DialogBase::OnInitDialog(window);
  Texts().ShowAll(window);
  font_.Apply(window, kGoToFontControls, 4);
  Layout(ClientSize(window).cx);
  FocusField(window, kGoToField);
  return 0;
}

void GoToPageDialog::Layout(int width) {
  const platform::HWND window = Window();
  const platform::HWND prompt = platform::GetDlgItem(window, kGoToPrompt);
  const platform::HWND label = platform::GetDlgItem(window, kGoToCountLabel);
  if (prompt == nullptr || label == nullptr) return;
  const platform::RECT promptRect = ControlRect(window, kGoToPrompt);
  const platform::RECT fieldRect = ControlRect(window, kGoToField);
  const int left = promptRect.left;
  const int room = std::max(1, width - 2 * left);
  const int line = LineHeight(prompt);
  const int fieldHeight = std::max<int>(fieldRect.bottom - fieldRect.top, line + 4);
  const int fieldWidth = std::min<int>(fieldRect.right - fieldRect.left, room);
  // Labels as wide as their texts, and no wider than the dialog: a longer
  // text breaks into lines.
  const auto sized = [&](platform::HWND control) {
    const int textWidth = std::min<int>(TextExtent(control).cx + kGoToTextRoom, room);
    return Box{left, 0, textWidth, std::max(line, WrappedTextHeight(control, textWidth))};
  };
  Box promptBox = sized(prompt);
  promptBox.y = promptRect.top;
  const Box labelSize = sized(label);
  const platform::SIZE count = TextExtent(platform::GetDlgItem(window, kGoToCount));
  const int countWidth = std::min<int>(count.cx + kGoToTextRoom, room);
  Box field{}, labelBox{}, countBox{};
  if (promptBox.x + promptBox.Right() + promptBox.height / 5 + fieldWidth <= width) {
    field = Beside(promptBox, fieldWidth, fieldHeight);
    if (field.y < 0) {
      promptBox.y -= field.y;
      field.y = 0;
    }
    labelBox = Below(promptBox, 1, labelSize.width, labelSize.height);
    countBox = Beside(labelBox, countWidth, line);
    if (countBox.Right() > width - left) countBox = Below(labelBox, 5, countWidth, line);
  } else {
    field = Below(promptBox, 5, fieldWidth, fieldHeight);
    labelBox = Below(field, 1, labelSize.width, labelSize.height);
    countBox = Below(labelBox, 5, countWidth, line);
  }
  PlaceControl(window, kGoToPrompt, promptBox.x, promptBox.y, promptBox.width, promptBox.height);
  PlaceControl(window, kGoToField, field.x, field.y, field.width, field.height);
  PlaceControl(window, kGoToCountLabel, labelBox.x, labelBox.y, labelBox.width, labelBox.height);
  PlaceControl(window, kGoToCount, countBox.x, countBox.y, countBox.width, countBox.height);
}

intptr_t GoToPageDialog::OnSize(platform::WPARAM, int width, int) {
  Layout(width);
  return 0;
}

void GoToPageDialog::OnDestroy() { ReadControlText(Window(), kGoToField, kGoToFieldLimit, typed_); }

bool GoToPageDialog::OnCommand(platform::WPARAM wParam, platform::LPARAM) {
  return EndOnSoftKey(Window(), wParam, kCommandOk, kCommandCancel);
}

bool GoToPageDialog::IsTextEntryControl(int id) { return id == kGoToField; }

}  // namespace shell
