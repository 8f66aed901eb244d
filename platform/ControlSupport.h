#pragma once
// What the controls share: per-window state, their font, and the drawing
// style (white fields, grey frames, a blue selection, sizes that follow the
// screen's density).
#include <map>
#include <memory>
#include <string>

#include "platform/Controls.h"
#include "platform/Device.h"
#include "platform/Gdi.h"
#include "platform/Window.h"

namespace platform {

// The state of each window of one control class, made on first use and
// dropped when the window is destroyed.
template <typename State>
class ControlStates {
 public:
  State& Get(HWND window) {
    auto& slot = states_[window];
    if (slot == nullptr) slot = std::make_unique<State>();
    return *slot;
  }
  State* Find(HWND window) {
    const auto it = states_.find(window);
    return it == states_.end() ? nullptr : it->second.get();
  }
  void Drop(HWND window) { states_.erase(window); }

 private:
  std::map<HWND, std::unique_ptr<State>> states_;
};

// Paints with a window's font selected and the style's colours set.
class ControlPainter {
 public:
  ControlPainter(HWND window, HFONT font);
  ~ControlPainter();
  ControlPainter(const ControlPainter&) = delete;
  ControlPainter& operator=(const ControlPainter&) = delete;

  HDC dc() const { return dc_; }
  const RECT& client() const { return client_; }
  void Fill(const RECT& rect, COLORREF color);
  void Frame(const RECT& rect, COLORREF color);
  void Text(const RECT& rect, std::u16string_view text, UINT format, COLORREF color);

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
  RECT client_{};
};

// Sizes for a 96 dpi screen, scaled to the device.
inline int Scaled(int length) { return ScaleForDpi(length); }

// Sends WM_COMMAND with a notification to the control's parent.
void NotifyParent(HWND control, UINT code);

constexpr COLORREF kFrameColor = RGB(120, 120, 120);
constexpr COLORREF kFaceColor = RGB(222, 222, 222);
constexpr COLORREF kPressedColor = RGB(160, 180, 210);
constexpr COLORREF kSelectionColor = RGB(0, 82, 164);
constexpr COLORREF kTextColor = RGB(0, 0, 0);
constexpr COLORREF kDisabledTextColor = RGB(140, 140, 140);

}  // namespace platform
