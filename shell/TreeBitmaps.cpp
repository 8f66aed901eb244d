#include "shell/TreeBitmaps.h"

#include <array>
#include <cstring>
#include <vector>

#include "platform/Gdi.h"

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

// A 24-bit top-down bitmap resource of a grid, each pixel scale x scale.
std::vector<uint8_t> MakeBitmap(const char* const* grid, int scale) {
  const int width = kSmallWidth * scale;
  const int height = kSmallHeight * scale;
  const int stride = (width * 3 + 3) / 4 * 4;
  platform::BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = -height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = platform::BI_RGB;
  header.biSizeImage = static_cast<platform::DWORD>(stride * height);
  std::vector<uint8_t> bytes(sizeof header + static_cast<size_t>(stride) * height, 0);
  std::memcpy(bytes.data(), &header, sizeof header);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bytes.data() + sizeof header + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x) {
      const Bgr colour = ColourOf(grid[y / scale][x / scale]);
      row[x * 3] = colour.blue;
      row[x * 3 + 1] = colour.green;
      row[x * 3 + 2] = colour.red;
    }
  }
  return bytes;
}

}  // namespace

std::span<const platform::ResourceEntry> TreeBitmapResources() {
  static const std::vector<uint8_t> bookSmall = MakeBitmap(kBook, 1);
  static const std::vector<uint8_t> bookLarge = MakeBitmap(kBook, 2);
  static const std::vector<uint8_t> pageSmall = MakeBitmap(kPage, 1);
  static const std::vector<uint8_t> pageLarge = MakeBitmap(kPage, 2);
  constexpr uint16_t kBitmapType = 2;
  static const std::array<platform::ResourceEntry, 4> entries = {{
      {kBitmapType, kTreeBookSmall, bookSmall.data(), static_cast<uint32_t>(bookSmall.size())},
      {kBitmapType, kTreeBookLarge, bookLarge.data(), static_cast<uint32_t>(bookLarge.size())},
      {kBitmapType, kTreePageSmall, pageSmall.data(), static_cast<uint32_t>(pageSmall.size())},
      {kBitmapType, kTreePageLarge, pageLarge.data(), static_cast<uint32_t>(pageLarge.size())},
  }};
  return entries;
}

}  // namespace shell
