#include "shell/ZoomDialog.h"

#include <algorithm>
#include <cstdio>

#include "platform/Controls.h"
#include "platform/Dialog.h"
#include "platform/Window.h"
#include "shell/DialogCommands.h"
#include "shell/DialogTemplates.h"
#include "shell/Localization.h"

namespace shell {

namespace {

constexpr DialogTexts::Slot kZoomTexts[] = {{kZoomLabelText, kZoomLabel}};
constexpr int kZoomFontControls[] = {kZoomLabel, kZoomValue, kZoomFirst, kZoomLast};
constexpr int kZoomMargin = 4;

}  // namespace

void FormatNumber(int32_t value, const char16_t* suffix, char16_t* out, int capacity) {
  if (capacity <= 0) return;
  char digits[16];
  std::snprintf(digits, sizeof digits, "%d", value);
  int at = 0;
  for (const char* c = digits; *c != 0 && at < capacity - 1; ++c) out[at++] = static_cast<char16_t>(*c);
  for (const char16_t* c = suffix; c != nullptr && *c != 0 && at < capacity - 1; ++c) out[at++] = *c;
  out[at] = 0;
}

ZoomDialog::ZoomDialog() : ShellDialog(kZoomTexts, 1) {}

void ZoomDialog::SetPresets(uint32_t count, const int32_t* presets, uint32_t index, int32_t value) {
  count_ = presets == nullptr ? 0 : std::min(count, kMaxPresets);
  std::copy(presets, presets + count_, presets_);
  index_ = count_ == 0 ? 0 : std::min(index, count_ - 1);
  value_ = value;
}

uint32_t ZoomDialog::GetTemplateId() { return IsCompactLayout() ? kZoomCompactTemplate : kZoomTemplate; }

intptr_t ZoomDialog::OnInitDialog(platform::HWND window) {
  DialogBase::OnInitDialog(window);
  Texts().ShowAll(window);
  char16_t number[24];
  FormatNumber(count_ > 0 ? presets_[0] : value_, nullptr, number, 24);
  platform::SetDlgItemTextW(window, kZoomFirst, number);
  FormatNumber(count_ > 0 ? presets_[count_ - 1] : value_, nullptr, number, 24);
  platform::SetDlgItemTextW(window, kZoomLast, number);
  ShowValue();
  font_.Apply(window, kZoomFontControls, 4);
  const platform::HWND bar = platform::GetDlgItem(window, kZoomTrackBar);
  if (bar != nullptr) {
    platform::SendMessageW(bar, platform::TBM_SETBUDDY, 1,
                           reinterpret_cast<platform::LPARAM>(platform::GetDlgItem(window, kZoomFirst)));
    platform::SendMessageW(bar, platform::TBM_SETBUDDY, 0,
                           reinterpret_cast<platform::LPARAM>(platform::GetDlgItem(window, kZoomLast)));
    const int last = count_ > 0 ? static_cast<int>(count_) - 1 : 0;
    platform::SendMessageW(bar, platform::TBM_SETRANGE, 1, platform::MAKELONG(0, static_cast<platform::WORD>(last)));
    platform::SendMessageW(bar, platform::TBM_SETTICFREQ, 1, 0);
    platform::SendMessageW(bar, platform::TBM_SETLINESIZE, 0, 1);
    platform::SendMessageW(bar, platform::TBM_SETPOS, 1, static_cast<platform::LPARAM>(index_));
    platform::SetFocus(bar);
  }
  Layout(ClientSize(window).cx);
  return 0;
}

void ZoomDialog::Layout(int width) {
  const platform::HWND window = Window();
  const platform::HWND bar = platform::GetDlgItem(window, kZoomTrackBar);
  const platform::HWND label = platform::GetDlgItem(window, kZoomLabel);
  if (bar == nullptr || label == nullptr) return;
  const int line = LineHeight(label);
  const platform::SIZE value = TextExtent(platform::GetDlgItem(window, kZoomValue));
  // The value on the right of the first line, the label in what is left
  // (on as many lines as its text needs).
  const int valueWidth = value.cx + kZoomMargin;
  const int labelWidth = std::max(1, width - 3 * kZoomMargin - valueWidth);
  const int labelHeight = std::max(line, WrappedTextHeight(label, labelWidth));
  PlaceControl(window, kZoomLabel, kZoomMargin, kZoomMargin, labelWidth, labelHeight);
  PlaceControl(window, kZoomValue, width - kZoomMargin - valueWidth, kZoomMargin, valueWidth, line);
  // The track bar between its two buddies, which it places beside itself.
  const platform::SIZE first = TextExtent(platform::GetDlgItem(window, kZoomFirst));
  const platform::SIZE last = TextExtent(platform::GetDlgItem(window, kZoomLast));
  const bool pocketPc = GetPlatformType() == kPlatformPocketPc;
  const int barHeight = pocketPc ? 2 * line + kZoomMargin : line + kZoomMargin;
  const int top = kZoomMargin + labelHeight + 2 * kZoomMargin;
  const int firstWidth = first.cx + kZoomMargin;
  const int lastWidth = last.cx + kZoomMargin;
  PlaceControl(window, kZoomFirst, 0, 0, firstWidth, line);
  PlaceControl(window, kZoomLast, 0, 0, lastWidth, line);
  PlaceControl(window, kZoomTrackBar, kZoomMargin + firstWidth, top,
               width - 2 * kZoomMargin - firstWidth - lastWidth, barHeight);
  if (pocketPc) {
    // A thumb the pen can catch: twice the usual length, within the bar.
    platform::SendMessageW(bar, platform::TBM_SETTHUMBLENGTH, 0, 0);
    const auto usual = static_cast<int>(platform::SendMessageW(bar, platform::TBM_GETTHUMBLENGTH, 0, 0));
    platform::SendMessageW(bar, platform::TBM_SETTHUMBLENGTH,
                           static_cast<platform::WPARAM>(std::min(2 * usual, barHeight)), 0);
  }
}

intptr_t ZoomDialog::OnSize(platform::WPARAM, int width, int) {
  Layout(width);
  return 0;
}

intptr_t ZoomDialog::OnHScroll(int, int, platform::HWND control) {
  if (control == nullptr || control != platform::GetDlgItem(Window(), kZoomTrackBar) || count_ == 0) return 0;
  // The message's position is only set for thumb moves; a line or page
  // step leaves it 0, so ask the bar where it is.
  const auto position = static_cast<int64_t>(platform::SendMessageW(control, platform::TBM_GETPOS, 0, 0));
  index_ = static_cast<uint32_t>(std::clamp<int64_t>(position, 0, count_ - 1));
  value_ = presets_[index_];
  ShowValue();
  Layout(ClientSize(Window()).cx);
  return 0;
}

void ZoomDialog::ShowValue() {
  char16_t text[24];
  FormatNumber(value_, u" %", text, 24);
  platform::SetDlgItemTextW(Window(), kZoomValue, text);
}

bool ZoomDialog::OnCommand(platform::WPARAM wParam, platform::LPARAM) {
  return EndOnSoftKey(Window(), wParam, kCommandOk, kCommandCancel);
}

}  // namespace shell
