#include "viewer/ButtonImages.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "runtime/HostBitmap.h"
#include "runtime/HostWindow.h"
#include "viewer/Viewer.h"
#include "viewer/ViewerApp.h"

namespace viewer {

namespace {

struct PictureColor {
  uint8_t red, green, blue;
};

// Our own pictures, drawn from a few shapes so that they are sharp at both
// densities: a grey face with a dark glyph, inverted while pressed.
constexpr PictureColor kFace = {0xDC, 0xDE, 0xE4};
constexpr PictureColor kFacePressed = {0x34, 0x40, 0x5C};
constexpr PictureColor kGlyph = {0x1E, 0x2A, 0x48};
constexpr PictureColor kGlyphPressed = {0xFF, 0xFF, 0xFF};
constexpr PictureColor kBarTop = {0xF2, 0xF3, 0xF6};
constexpr PictureColor kBarBottom = {0xB4, 0xB8, 0xC4};

// Sizes by density class: normal, double.
constexpr int32_t kButtonSide[2] = {32, 64};
constexpr int32_t kToolbarHeight[2] = {38, 76};
constexpr int32_t kBarThickness[2] = {23, 45};
constexpr int32_t kBookmarksButtonWidth[2] = {21, 42};
// The bars' pictures are a narrow strip stretched across the bar.
constexpr int32_t kBarStripWidth = 4;

int DensityClass(int32_t dpi) { return dpi >= kDoubleDensityDpi ? 1 : 0; }

PictureColor Mix(PictureColor a, PictureColor b, double t) {
  const auto channel = [t](uint8_t x, uint8_t y) {
    return static_cast<uint8_t>(std::lround(x + (y - x) * std::clamp(t, 0.0, 1.0)));
  };
  return {channel(a.red, b.red), channel(a.green, b.green), channel(a.blue, b.blue)};
}

void PutPixel(const runtime::HostPixelLayout& layout, int32_t x, int32_t y, PictureColor color) {
  uint8_t* row = layout.firstRow + layout.rowStride * y;
  switch (layout.kind) {
    case runtime::kHostRgb565:
    case runtime::kHostRgb565Swapped: {
      const uint16_t value = static_cast<uint16_t>(((color.red >> 3) << 11) | ((color.green >> 2) << 5) | (color.blue >> 3));
      uint8_t* pixel = row + 2 * x;
      const bool lowFirst = layout.kind == runtime::kHostRgb565;
      pixel[lowFirst ? 0 : 1] = static_cast<uint8_t>(value & 0xFF);
      pixel[lowFirst ? 1 : 0] = static_cast<uint8_t>(value >> 8);
      break;
    }
    case runtime::kHostBgr24: {
      uint8_t* pixel = row + 3 * x;
      pixel[0] = color.blue;
      pixel[1] = color.green;
      pixel[2] = color.red;
      break;
    }
    case runtime::kHostBgrx32: {
      uint8_t* pixel = row + 4 * x;
      pixel[0] = color.blue;
      pixel[1] = color.green;
      pixel[2] = color.red;
      pixel[3] = 0;
      break;
    }
    case runtime::kHostXrgb32: {
      uint8_t* pixel = row + 4 * x;
      pixel[0] = 0;
      pixel[1] = color.red;
      pixel[2] = color.green;
      pixel[3] = color.blue;
      break;
    }
    default:
      break;
  }
}

// How much of the glyph covers the point (u, v) of the unit square.
double GlyphCoverage(ButtonPicture picture, double u, double v) {
  const auto inside = [](bool covered) { return covered ? 1.0 : 0.0; };
  // A magnifier: a ring at the upper left and a handle towards the corner.
  const auto magnifier = [&] {
    const double dx = u - 0.42, dy = v - 0.42;
    const double radius = std::sqrt(dx * dx + dy * dy);
    const bool ring = radius > 0.20 && radius < 0.28;
    const double along = (u + v) / 2.0, across = std::fabs(u - v);
    const bool handle = along > 0.60 && along < 0.82 && across < 0.10;
    return ring || handle;
  };
  const bool horizontalBar = std::fabs(v - 0.42) < 0.05 && std::fabs(u - 0.42) < 0.14;
  const bool verticalBar = std::fabs(u - 0.42) < 0.05 && std::fabs(v - 0.42) < 0.14;
  switch (picture) {
    case ButtonPicture::kFind:
      return inside(magnifier());
    case ButtonPicture::kZoomIn:
      return inside(magnifier() || horizontalBar || verticalBar);
    case ButtonPicture::kZoomOut:
      return inside(magnifier() || horizontalBar);
    case ButtonPicture::kFitWidth: {
      // A double arrow between two edges.
      const bool edges = (u < 0.16 || u > 0.84) && v > 0.25 && v < 0.75 && (u > 0.10 && u < 0.90);
      const bool shaft = std::fabs(v - 0.5) < 0.05 && u > 0.2 && u < 0.8;
      const double head = std::min(u - 0.18, 0.82 - u);
      const bool heads = head >= 0 && head < 0.16 && std::fabs(v - 0.5) < head * 1.1;
      return inside(edges || shaft || heads);
    }
    case ButtonPicture::kBookmarks: {
      // A ribbon: a band with a notch at its foot.
      const bool band = u > 0.28 && u < 0.72 && v > 0.15 && v < 0.85;
      const bool notch = v > 0.85 - (0.5 - std::fabs(u - 0.5)) * 0.6;
      return inside(band && !notch);
    }
    case ButtonPicture::kToolbar:
    case ButtonPicture::kButtonBar:
      return 0.0;
  }
  return 0.0;
}

void PaintPicture(runtime::HostBitmap* bitmap, ButtonPicture picture, bool pressed) {
  const runtime::HostPixelLayout* layout = bitmap->Begin(0);
  if (layout == nullptr || layout->firstRow == nullptr) {
    bitmap->End();
    return;
  }
  const bool bar = picture == ButtonPicture::kToolbar || picture == ButtonPicture::kButtonBar;
  for (int32_t y = 0; y < layout->height; ++y) {
    const double v = (y + 0.5) / layout->height;
    for (int32_t x = 0; x < layout->width; ++x) {
      const double u = (x + 0.5) / layout->width;
      PictureColor color;
      if (bar) {
        color = Mix(kBarTop, kBarBottom, v);
      } else {
        const bool border = x == 0 || y == 0 || x == layout->width - 1 || y == layout->height - 1;
        const PictureColor face = pressed ? kFacePressed : kFace;
        color = Mix(face, pressed ? kGlyphPressed : kGlyph, border ? 0.35 : GlyphCoverage(picture, u, v));
      }
      PutPixel(*layout, x, y, color);
    }
  }
  bitmap->End();
}

}  // namespace

ButtonPictureSize PictureSize(ButtonPicture picture, int32_t dpi) {
  const int density = DensityClass(dpi);
  switch (picture) {
    case ButtonPicture::kToolbar:
      return {kBarStripWidth, kToolbarHeight[density]};
    case ButtonPicture::kButtonBar:
      return {kBarStripWidth, kBarThickness[density]};
    case ButtonPicture::kBookmarks:
      return {kBookmarksButtonWidth[density], kBarThickness[density]};
    default:
      return {kButtonSide[density], kButtonSide[density]};
  }
}

bool ButtonImageHolder::Load(runtime::HostServices* host, ButtonPicture picture, int32_t dpi) {
  Release(host);
  if (host == nullptr) return false;
  const ButtonPictureSize size = PictureSize(picture, dpi);
  runtime::HostBitmap* normal = host->CreateBitmap(size.width, size.height);
  runtime::HostBitmap* pressed = normal != nullptr ? host->CreateBitmap(size.width, size.height) : nullptr;
  if (pressed == nullptr) {
    if (normal != nullptr) host->DestroyBitmap(normal);
    return false;
  }
  PaintPicture(normal, picture, false);
  PaintPicture(pressed, picture, true);
  normal_ = normal;
  pressed_ = pressed;
  width_ = size.width;
  height_ = size.height;
  scale_ = 1;
  return true;
}

void ButtonImageHolder::Release(runtime::HostServices* host) {
  if (host != nullptr) {
    if (normal_ != nullptr) host->DestroyBitmap(normal_);
    if (pressed_ != nullptr) host->DestroyBitmap(pressed_);
  }
  normal_ = nullptr;
  pressed_ = nullptr;
  width_ = 0;
  height_ = 0;
  scale_ = 1;
}

bool DrawButtonPicture(runtime::HostWindow* button, const ButtonImageHolder& images, bool pressed, int32_t level,
                       int32_t fullHeight) {
  runtime::HostBitmap* bitmap = pressed ? images.Pressed() : images.Normal();
  if (button == nullptr || bitmap == nullptr) return false;
  const int64_t width = images.Width();
  const int64_t height = images.Height();
  const int64_t scale = images.Scale();
  const auto narrow = [](int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
  };
  if (level < 0) {
    const runtime::HostRect source{0, 0, narrow(width), narrow(height)};
    const runtime::HostRect destination{0, 0, narrow(width * scale), narrow(height * scale)};
    return button->DrawBitmap(*bitmap, source, destination);
  }
  // The lower part of the picture shows at the top of the button; copied
  // unscaled, a level beyond the picture shows it whole.
  if (scale == 1) level = static_cast<int32_t>(std::min<int64_t>(level, height));
  const runtime::HostRect destination{0, 0, narrow(width * scale), level};
  int64_t firstRow = height - level;
  if (scale != 1) firstRow = fullHeight > 0 ? height - height * level / fullHeight : height;
  firstRow = std::clamp<int64_t>(firstRow, 0, height);
  const int64_t rows = std::min<int64_t>(scale == 1 ? level : height - firstRow, height - firstRow);
  const runtime::HostRect source{0, narrow(firstRow), narrow(width), narrow(firstRow + rows)};
  return button->DrawBitmap(*bitmap, source, destination);
}

// ---------------------------------------------------------------------------
// The viewer's pictures

void Viewer::ReleaseButtonPictures() {
  for (ButtonImageHolder& images : buttonImages) images.Release(host);
}

ButtonImageHolder* Viewer::PictureOf(const runtime::HostWindow* control) {
  if (control == nullptr) return nullptr;
  const std::pair<const runtime::HostWindow*, ButtonPicture> controls[] = {
      {toolbar, ButtonPicture::kToolbar},      {buttonBar, ButtonPicture::kButtonBar},
      {bookmarksButton, ButtonPicture::kBookmarks}, {fitWidthButton, ButtonPicture::kFitWidth},
      {findButton, ButtonPicture::kFind},      {zoomOutButton, ButtonPicture::kZoomOut},
      {zoomInButton, ButtonPicture::kZoomIn},
  };
  for (const auto& [window, picture] : controls) {
    if (window != control) continue;
    ButtonImageHolder& images = buttonImages[static_cast<int>(picture)];
    // A picture the host cannot make leaves its control blank.
    if (images.Normal() == nullptr && host != nullptr) images.Load(host, picture, host->GetScreenDpi());
    return &images;
  }
  return nullptr;
}

int32_t ViewerApp::DrawToolbarButton(runtime::HostWindow* button, bool pressed) {
  const ButtonImageHolder* images = viewer.PictureOf(button);
  if (images == nullptr) return 0;
  const bool partial = button == viewer.partialButton && !viewer.wholeButtonImage;
  DrawButtonPicture(button, *images, pressed, partial ? std::max(viewer.buttonLevel, 0) : -1,
                    viewer.buttonFullHeight);
  // The default drawing still runs after the picture.
  return 0;
}

}  // namespace viewer
