#pragma once
// The bytes of a bitmap resource as the platform loads it: a 24-bit
// top-down header followed by the rows, each padded to four bytes.
#include <cstdint>
#include <vector>

namespace shell {

// The resource type of bitmaps (RT_BITMAP).
inline constexpr uint16_t kBitmapResourceType = 2;

// A bitmap resource of `width` x `height` pixels from `bgrRows`: rows of
// blue-green-red bytes, top row first, `width` * 3 bytes each.
std::vector<uint8_t> MakeBitmapResource(int width, int height, const uint8_t* bgrRows);

}  // namespace shell
