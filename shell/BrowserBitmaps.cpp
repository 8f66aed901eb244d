#include "shell/BrowserBitmaps.h"

#include <array>
#include <cstring>
#include <vector>

#include "platform/Gdi.h"
#include "resources/AppPictures.h"

namespace shell {

namespace {

// A 24-bit top-down bitmap resource of a strip: its rows padded to four
// bytes.
std::vector<uint8_t> StripBitmap(const resources::BrowserImageStrip& strip) {
  const int width = strip.imageWidth * 3;
  const int stride = (width * 3 + 3) / 4 * 4;
  platform::BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = -strip.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = platform::BI_RGB;
  header.biSizeImage = static_cast<platform::DWORD>(stride * strip.height);
  std::vector<uint8_t> bytes(sizeof header + static_cast<size_t>(stride) * strip.height, 0);
  std::memcpy(bytes.data(), &header, sizeof header);
  for (int y = 0; y < strip.height; ++y) {
    std::memcpy(bytes.data() + sizeof header + static_cast<size_t>(y) * stride,
                strip.pixels + static_cast<size_t>(y) * width * 3, static_cast<size_t>(width) * 3);
  }
  return bytes;
}

}  // namespace

std::span<const platform::ResourceEntry> BrowserBitmapResources() {
  static const std::array<std::vector<uint8_t>, 4> bitmaps = {
      StripBitmap(resources::kBrowserImageStrips[0]), StripBitmap(resources::kBrowserImageStrips[1]),
      StripBitmap(resources::kBrowserImageStrips[2]), StripBitmap(resources::kBrowserImageStrips[3])};
  constexpr uint16_t kBitmapType = 2;
  static const std::array<platform::ResourceEntry, 4> entries = [] {
    std::array<platform::ResourceEntry, 4> made{};
    for (size_t i = 0; i < 4; ++i) {
      made[i] = platform::ResourceEntry{kBitmapType, static_cast<uint16_t>(resources::kBrowserImageStrips[i].id),
                                        bitmaps[i].data(), static_cast<uint32_t>(bitmaps[i].size())};
    }
    return made;
  }();
  return entries;
}

}  // namespace shell
