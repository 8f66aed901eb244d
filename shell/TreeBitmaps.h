#pragma once
// The bookmark tree's two images, a closed book (a bookmark with children)
// and a page (one without), as bitmap resources: 604 and 606 at 13 x 16
// pixels, 605 and 607 at twice that size. Drawn by us, in the pixel grids
// of TreeBitmaps.cpp.
#include <span>

#include "platform/Resources.h"

namespace shell {

inline constexpr uint32_t kTreeBookSmall = 604;
inline constexpr uint32_t kTreeBookLarge = 605;
inline constexpr uint32_t kTreePageSmall = 606;
inline constexpr uint32_t kTreePageLarge = 607;

// The four bitmaps as RT_BITMAP entries (made once; they live as long as
// the process).
std::span<const platform::ResourceEntry> TreeBitmapResources();

}  // namespace shell
