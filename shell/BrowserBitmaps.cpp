#include "shell/BrowserBitmaps.h"

#include <array>
#include <vector>

#include "resources/AppPictures.h"
#include "shell/BitmapResource.h"

namespace shell {

namespace {

// A strip holds its three images side by side.
std::vector<uint8_t> StripBitmap(const resources::BrowserImageStrip& strip) {
  return MakeBitmapResource(strip.imageWidth * 3, strip.height, strip.pixels);
}

}  // namespace

std::span<const platform::ResourceEntry> BrowserBitmapResources() {
  static const std::array<std::vector<uint8_t>, 4> bitmaps = {
      StripBitmap(resources::kBrowserImageStrips[0]), StripBitmap(resources::kBrowserImageStrips[1]),
      StripBitmap(resources::kBrowserImageStrips[2]), StripBitmap(resources::kBrowserImageStrips[3])};
  static const std::array<platform::ResourceEntry, 4> entries = [] {
    std::array<platform::ResourceEntry, 4> made{};
    for (size_t i = 0; i < 4; ++i) {
      made[i] = platform::ResourceEntry{kBitmapResourceType, static_cast<uint16_t>(resources::kBrowserImageStrips[i].id),
                                        bitmaps[i].data(), static_cast<uint32_t>(bitmaps[i].size())};
    }
    return made;
  }();
  return entries;
}

}  // namespace shell
