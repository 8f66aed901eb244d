#include "shell/TreeBitmaps.h"

#include <array>
#include <vector>

#include "shell/BitmapResource.h"

namespace shell {

namespace {

constexpr int kSmallWidth = 13;
constexpr int kSmallHeight = 16;

// One character a pixel: '.' background, '#' outline, 'b' cover, 'y' the
// cover's label, 'w' paper, 'g' a line of text.
constexpr const char* kBook[kSmallHeight] = {
    ".............", "..##########.", ".#bbbbbbbbb#.", ".#bbbbbbbbb#.", ".#bbyyyyybb#.", ".#bbbbbbbbb#.",
    ".#bbbbbbbbb#.", ".#bbbbbbbbb#.", ".#bbbbbbbbb#.", ".#bbbbbbbbb#.", ".#bbbbbbbbb#.", ".#bbbbbbbbb#.",
    ".#b#########.", ".#b#wwwwwwww.", "..#########..", ".............",
};
constexpr const char* kPage[kSmallHeight] = {
    ".............", ".########....", ".#wwwwww##...", ".#wwwwww#w#..", ".#wwwwww####.", ".#wgggggggw#.",
    ".#wwwwwwwww#.", ".#wgggggggw#.", ".#wwwwwwwww#.", ".#wgggggggw#.", ".#wwwwwwwww#.", ".#wgggggggw#.",
    ".#wwwwwwwww#.", ".#wwwwwwwww#.", ".###########.", ".............",
};

struct Bgr {
  uint8_t blue, green, red;
};

Bgr ColourOf(char pixel) {
  switch (pixel) {
    case '#': return {32, 32, 32};
    case 'b': return {160, 64, 32};
    case 'y': return {64, 208, 240};
    case 'w': return {255, 255, 255};
    case 'g': return {160, 160, 160};
    default: return {255, 255, 255};
  }
}

// A bitmap resource of a grid, each pixel scale x scale.
std::vector<uint8_t> MakeBitmap(const char* const* grid, int scale) {
  const int width = kSmallWidth * scale;
  const int height = kSmallHeight * scale;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  uint8_t* out = pixels.data();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Bgr colour = ColourOf(grid[y / scale][x / scale]);
      *out++ = colour.blue;
      *out++ = colour.green;
      *out++ = colour.red;
    }
  }
  return MakeBitmapResource(width, height, pixels.data());
}

}  // namespace

std::span<const platform::ResourceEntry> TreeBitmapResources() {
  static const std::vector<uint8_t> bookSmall = MakeBitmap(kBook, 1);
  static const std::vector<uint8_t> bookLarge = MakeBitmap(kBook, 2);
  static const std::vector<uint8_t> pageSmall = MakeBitmap(kPage, 1);
  static const std::vector<uint8_t> pageLarge = MakeBitmap(kPage, 2);
  static const std::array<platform::ResourceEntry, 4> entries = {{
      {kBitmapResourceType, kTreeBookSmall, bookSmall.data(), static_cast<uint32_t>(bookSmall.size())},
      {kBitmapResourceType, kTreeBookLarge, bookLarge.data(), static_cast<uint32_t>(bookLarge.size())},
      {kBitmapResourceType, kTreePageSmall, pageSmall.data(), static_cast<uint32_t>(pageSmall.size())},
      {kBitmapResourceType, kTreePageLarge, pageLarge.data(), static_cast<uint32_t>(pageLarge.size())},
  }};
  return entries;
}

}  // namespace shell
