#pragma once
// The application's pictures, generated at build time by
// resources/pictures/make_pictures.py (see the README there).
#include <cstdint>

namespace resources {

inline constexpr int32_t kSplashPictureWidth = 442;
inline constexpr int32_t kSplashPictureHeight = 586;
inline constexpr uint32_t kSplashPaletteBytes = 768;

// The splash picture: palette indices (rows of 442 bytes, the bottom row
// first) and the palette
// (256 x red, green, blue), each a zlib stream.
extern const uint8_t kSplashIndexStream[];
extern const uint32_t kSplashIndexStreamSize;
extern const uint8_t kSplashPaletteStream[];
extern const uint32_t kSplashPaletteStreamSize;

// One bitmap of the file browser: three images (open folder, closed folder,
// document) side by side, 24-bit blue-green-red rows, top row first.
struct BrowserImageStrip {
  uint32_t id;
  int32_t imageWidth;
  int32_t height;
  const uint8_t* pixels;
};
extern const BrowserImageStrip kBrowserImageStrips[4];

}  // namespace resources
