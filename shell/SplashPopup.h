#pragma once
// The splash popup: a modeless full-screen dialog that shows the
// application's picture under the viewer's title and closes itself a set
// time after it was first painted. While it shows, the shell's dialogs
// ignore commands and the input panel is not raised.
#include <cstddef>
#include <cstdint>

#include "shell/DialogBase.h"

namespace shell {

class SplashPopup final : public DialogBase {
 public:
  static constexpr platform::UINT_PTR kCloseTimer = 1;
  // The paint buffer's allocator (tests put one that fails); null means
  // the buffer cannot be had.
  using BufferAllocator = uint8_t* (*)(size_t bytes);
  static void SetBufferAllocator(BufferAllocator allocate);

  // Sets the application's splash-showing flag.
  SplashPopup();
  ~SplashPopup() override;

  // Shows the popup for `milliseconds` after its first paint, titled
  // `caption`. False (and the flag cleared) when its window cannot be made.
  bool Show(uint32_t milliseconds, const char16_t* caption);

  uint32_t GetTemplateId() override;
  intptr_t OnInitDialog(platform::HWND window) override;
  void OnDestroy() override;
  intptr_t OnSize(platform::WPARAM type, int width, int height) override;
  intptr_t OnEraseBkgnd(platform::HDC) override { return 1; }
  intptr_t OnPaint() override;
  void OnTimer(platform::UINT_PTR id) override;
  void OnSettingChange(platform::WPARAM wParam, platform::LPARAM lParam) override;

  // The screen area the last paint drew into (empty before one).
  platform::RECT LastDrawnArea() const { return drawn_; }
  bool FirstPaintPending() const { return firstPaint_ != 0; }

 private:
  uint32_t duration_ = 0;
  uint8_t firstPaint_ = 1;
  platform::UINT_PTR timer_ = 0;
  platform::RECT drawn_{};
};

}  // namespace shell
