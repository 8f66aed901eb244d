#pragma once
// The pictures of the viewer's owner-drawn buttons and bars: each holder
// keeps a normal and a pressed host bitmap of one picture, made through
// HostServices at the size the screen's density asks for, and gives them
// back to the host when released.
#include <cstdint>

#include "runtime/HostServices.h"

namespace runtime {
class HostBitmap;
class HostWindow;
}  // namespace runtime

namespace viewer {

enum class ButtonPicture : uint8_t {
  kToolbar,        // the toolbar's background
  kButtonBar,      // the button bar's background (the bookmark pane's divider)
  kBookmarks,      // the bookmarks button in the button bar
  kFitWidth,
  kFind,
  kZoomOut,
  kZoomIn,
};
inline constexpr int kButtonPictureCount = 7;

// Picture sizes in pixels by density class (below 162 dpi the normal
// class, from there the double one).
inline constexpr int32_t kDoubleDensityDpi = 162;
struct ButtonPictureSize {
  int32_t width;
  int32_t height;
};
ButtonPictureSize PictureSize(ButtonPicture picture, int32_t dpi);

class ButtonImageHolder {
 public:
  ButtonImageHolder() = default;
  ~ButtonImageHolder() = default;
  ButtonImageHolder(const ButtonImageHolder&) = delete;
  ButtonImageHolder& operator=(const ButtonImageHolder&) = delete;

  // Makes both bitmaps of the picture (any earlier ones are released
  // first). False, with nothing held, when the host cannot make them.
  bool Load(runtime::HostServices* host, ButtonPicture picture, int32_t dpi);
  // Gives both bitmaps back to the host.
  void Release(runtime::HostServices* host);

  runtime::HostBitmap* Normal() const { return normal_; }
  runtime::HostBitmap* Pressed() const { return pressed_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Destination pixels per picture pixel.
  int32_t Scale() const { return scale_; }

 private:
  runtime::HostBitmap* normal_ = nullptr;
  runtime::HostBitmap* pressed_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t scale_ = 1;
};

// Draws a held picture on a button while it draws itself: the pressed
// bitmap when pressed. With scale 1 it is copied at its size, otherwise
// stretched by the scale. A partial button (`level` >= 0) shows only its
// top `level` destination rows, filled from the lower part of the picture
// (`fullHeight` being the button's whole height in destination pixels).
// False when nothing could be drawn.
bool DrawButtonPicture(runtime::HostWindow* button, const ButtonImageHolder& images, bool pressed,
                       int32_t level = -1, int32_t fullHeight = 0);

}  // namespace viewer
