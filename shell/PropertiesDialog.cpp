#include "shell/PropertiesDialog.h"

#include <algorithm>

#include "platform/Dialog.h"
#include "platform/Window.h"
#include "shell/DialogCommands.h"
#include "shell/DialogTemplates.h"
#include "shell/Localization.h"

namespace shell {

namespace {

constexpr DialogTexts::Slot kPropertiesTexts[] = {
    {1401, kPropertiesFirstLabel},     {1402, kPropertiesFirstValue},     {1403, kPropertiesFirstLabel + 1},
    {1404, kPropertiesFirstValue + 1}, {1405, kPropertiesFirstLabel + 2}, {1406, kPropertiesFirstValue + 2},
    {1407, kPropertiesFirstLabel + 3}, {1408, kPropertiesFirstValue + 3}, {1409, kPropertiesFirstLabel + 4},
    {1410, kPropertiesFirstValue + 4}};
constexpr int kPropertiesFontControls[] = {1060, 1061, 1062, 1063, 1064, 1065, 1066, 1067, 1068, 1069};
constexpr int kPropertiesRightMargin = 10;
constexpr int kPropertiesGap = 4;

}  // namespace

PropertiesDialog::PropertiesDialog() : ShellDialog(kPropertiesTexts, 10) {
  // Until the viewer has read a value, it shows as pending.
  for (int row = 0; row < kPropertiesRows; ++row) Texts().Set(1402 + 2 * row, u"...", nullptr);
}

uint32_t PropertiesDialog::GetTemplateId() {
  return IsCompactLayout() ? kPropertiesCompactTemplate : kPropertiesTemplate;
}

intptr_t PropertiesDialog::OnInitDialog(platform::HWND window) {
  DialogBase::OnInitDialog(window);
  Texts().ShowAll(window);
  font_.Apply(window, kPropertiesFontControls, 10);
  Layout(ClientSize(window).cx);
  return 0;
}

void PropertiesDialog::Layout(int width) {
  const platform::HWND window = Window();
  const platform::RECT firstValue = ControlRect(window, kPropertiesFirstValue);
  const platform::RECT firstLabel = ControlRect(window, kPropertiesFirstLabel);
  const int left = firstLabel.left;
  // The values keep their left edge unless a label needs more room, and
  // reach to a fixed margin from the right edge.
  int labelWidth = 0;
  for (int row = 0; row < kPropertiesRows; ++row) {
    const platform::HWND label = platform::GetDlgItem(window, kPropertiesFirstLabel + row);
    if (label != nullptr) labelWidth = std::max<int>(labelWidth, TextExtent(label).cx);
  }
  labelWidth = std::min(labelWidth, std::max(1, (width - left) / 2 - kPropertiesGap));
  const int valueLeft = std::max<int>(firstValue.left, left + labelWidth + kPropertiesGap);
  const int valueWidth = std::max(1, width - kPropertiesRightMargin - valueLeft);
  int y = firstLabel.top;
  for (int row = 0; row < kPropertiesRows; ++row) {
    const platform::HWND label = platform::GetDlgItem(window, kPropertiesFirstLabel + row);
    const platform::HWND value = platform::GetDlgItem(window, kPropertiesFirstValue + row);
    if (label == nullptr || value == nullptr) continue;
    const int labelHeight = std::max(LineHeight(label), WrappedTextHeight(label, labelWidth));
    const int valueHeight = std::max(LineHeight(value), WrappedTextHeight(value, valueWidth));
    PlaceControl(window, kPropertiesFirstLabel + row, left, y, labelWidth, labelHeight);
    PlaceControl(window, kPropertiesFirstValue + row, valueLeft, y, valueWidth, valueHeight);
    y += std::max(labelHeight, valueHeight) + kPropertiesGap;
  }
}

void PropertiesDialog::OnTextChanged(uint32_t) {
  // A longer value may need more lines.
  Layout(ClientSize(Window()).cx);
}

intptr_t PropertiesDialog::OnSize(platform::WPARAM, int width, int) {
  Layout(width);
  return 0;
}

bool PropertiesDialog::OnCommand(platform::WPARAM wParam, platform::LPARAM) {
  return EndOnSoftKey(Window(), wParam, kCommandOk, 0);
}

}  // namespace shell
