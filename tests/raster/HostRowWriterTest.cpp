// Finished rows written into host bitmaps: 24 and 32 bits as they are, and
// RGB565 dithered by the position the writer gives, so that a picture
// written in pieces is the same as one written at once.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "raster/HostRowWriter.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"

namespace raster {
namespace {

// 4-byte source pixels (blue, green, red, unused) of a w x h gradient.
std::vector<uint8_t> Gradient(int w, int h) {
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * w + x) * 4];
      p[0] = static_cast<uint8_t>(x * 37 + y);
      p[1] = static_cast<uint8_t>(x * 11 + y * 53);
      p[2] = static_cast<uint8_t>(200 - x * 3 - y * 5);
      p[3] = 0xEE;
    }
  }
  return pixels;
}

struct Target {
  Target(int32_t kind, int w, int h, int bytes) : pixels(static_cast<size_t>(w) * h * bytes + 8, 0x55) {
    layout.kind = kind;
    layout.width = w;
    layout.height = h;
    layout.firstRow = pixels.data();
    layout.rowStride = int64_t{w} * bytes;
  }
  std::vector<uint8_t> pixels;
  runtime::HostPixelLayout layout;
};

TEST(HostRowWriterTest, PiecesWrittenApartEqualTheWholeAndEdgesAreCut) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  constexpr int kW = 9, kH = 7;
  const std::vector<uint8_t> source = Gradient(kW, kH);
  struct Kind {
    int32_t kind, bytes;
  };
  for (const Kind k : {Kind{runtime::kHostRgb565, 2}, Kind{runtime::kHostBgr24, 3}, Kind{runtime::kHostBgrx32, 4}}) {
    SCOPED_TRACE(k.kind);
    const HostRowWriter writer(arena, k.kind);
    ASSERT_TRUE(writer.Writes());
    Target whole(k.kind, kW, kH, k.bytes), pieces(k.kind, kW, kH, k.bytes);
    writer.Write(whole.layout, 0, 0, kW, kH, source.data(), kW * 4, 0, 0);
    // An odd corner of 3 x 5 from (5, 3), then the rest as two bands.
    writer.Write(pieces.layout, 5, 3, 4, 4, &source[(3 * kW + 5) * 4], kW * 4, 5, 3);
    writer.Write(pieces.layout, 0, 0, kW, 3, source.data(), kW * 4, 0, 0);
    writer.Write(pieces.layout, 0, 3, 5, 4, &source[3 * kW * 4], kW * 4, 0, 3);
    EXPECT_EQ(whole.pixels, pieces.pixels);
    if (k.kind == runtime::kHostBgr24) {
      // 24 bits hold the colour bytes as they are.
      EXPECT_EQ(whole.pixels[3 * (2 * kW + 4) + 2], source[4 * (2 * kW + 4) + 2]);
    }
    if (k.kind == runtime::kHostBgrx32) {
      // The unused byte of a 32-bit pixel is never written.
      EXPECT_EQ(whole.pixels[3], 0x55);
    }
    // Rows reaching past the bitmap are cut; nothing is written outside.
    Target cut(k.kind, kW, kH, k.bytes);
    writer.Write(cut.layout, -2, 5, kW, kH, source.data(), kW * 4, 0, 0);
    const size_t end = static_cast<size_t>(kW) * kH * k.bytes;
    for (size_t i = end; i < cut.pixels.size(); ++i) EXPECT_EQ(cut.pixels[i], 0x55);
    for (size_t i = 0; i < static_cast<size_t>(5 * kW * k.bytes); ++i) ASSERT_EQ(cut.pixels[i], 0x55);
  }
  // A kind no one writes writes nothing.
  EXPECT_FALSE(HostRowWriter(arena, 9).Writes());
}

TEST(HostRowWriterTest, Rgb565DitherFollowsThePositionGiven) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  const HostRowWriter writer(arena, runtime::kHostRgb565);
  // A mid grey lands between two 5-bit levels: the 2 x 2 dither alternates.
  const std::vector<uint8_t> grey = {136, 91, 136, 0, 136, 91, 136, 0};
  Target even(runtime::kHostRgb565, 2, 1, 2), odd(runtime::kHostRgb565, 2, 1, 2);
  writer.Write(even.layout, 0, 0, 2, 1, grey.data(), 8, 0, 0);
  writer.Write(odd.layout, 0, 0, 2, 1, grey.data(), 8, 1, 0);
  const auto word = [](const Target& t, int i) { return t.pixels[2 * i] | (t.pixels[2 * i + 1] << 8); };
  EXPECT_NE(word(even, 0), word(even, 1));
  EXPECT_EQ(word(even, 0), word(odd, 1));
  EXPECT_EQ(word(even, 1), word(odd, 0));
}

}  // namespace
}  // namespace raster
