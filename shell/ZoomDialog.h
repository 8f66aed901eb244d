#pragma once
// The zoom dialog: a track bar over the viewer's preset percentages, the
// first and last preset at its ends and the chosen value above it.
#include <cstdint>

#include "shell/ShellDialog.h"

namespace shell {

inline constexpr uint32_t kZoomLabelText = 1501;

class ZoomDialog final : public ShellDialog<runtime::ZoomDialog> {
 public:
  static constexpr uint32_t kMaxPresets = 64;
  ZoomDialog();

  void SetPresets(uint32_t count, const int32_t* presets, uint32_t index, int32_t value) override;
  int32_t GetValue() const override { return value_; }

  uint32_t GetTemplateId() override;
  intptr_t OnInitDialog(platform::HWND window) override;
  intptr_t OnSize(platform::WPARAM type, int width, int height) override;
  intptr_t OnHScroll(int code, int position, platform::HWND control) override;
  bool OnCommand(platform::WPARAM wParam, platform::LPARAM lParam) override;

 private:
  void ShowValue();
  void Layout(int width);

  int32_t presets_[kMaxPresets] = {};
  uint32_t count_ = 0;
  uint32_t index_ = 0;
  int32_t value_ = 100;
  DialogFont font_;
};

// Decimal text of a number, with `suffix` after it.
void FormatNumber(int32_t value, const char16_t* suffix, char16_t* out, int capacity);

}  // namespace shell
