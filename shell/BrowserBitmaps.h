#pragma once
// The file browser's images as bitmap resources 600-603: each a strip of an
// open folder, a closed folder and a document, at 16 x 15 and 32 x 30
// pixels (Pocket PC) and 18 x 18 and 22 x 22 (Smartphone). The pixels are
// drawn by resources/pictures/make_pictures.py.
#include <span>

#include "platform/Resources.h"

namespace shell {

inline constexpr uint32_t kBrowserImagesSmall = 600;
inline constexpr uint32_t kBrowserImagesLarge = 601;
inline constexpr uint32_t kBrowserImagesPhoneSmall = 602;
inline constexpr uint32_t kBrowserImagesPhoneLarge = 603;

// The four bitmaps as RT_BITMAP entries (made once; they live as long as
// the process).
std::span<const platform::ResourceEntry> BrowserBitmapResources();

}  // namespace shell
