#include "raster/OutputConverter565.h"

#include <gtest/gtest.h>

#include "tests/raster/RasterTestUnits.h"

#include <array>
#include <cstring>
#include <vector>

#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"

namespace {

using raster::OutputConverter565;
using runtime::PixelFormatDesc;

using rastertest::kBgrx;
const PixelFormatDesc kConstant{3, 2, -1, 0, 0, 1, 0};
const PixelFormatDesc kPackedRgb{3, 0, 1, 3, 0, 1, 0};

class OutputConverter565Test : public ::testing::Test {
 protected:
  // Writes a 2×2 block (both dither rows and columns) of one colour given as
  // interleaved blue, green, red, x pixels; returns the four words.
  std::array<uint16_t, 4> Block(OutputConverter565* converter, uint8_t r, uint8_t g, uint8_t b,
                                uint16_t background = 0) {
    const uint8_t pixels[8] = {b, g, r, 0, b, g, r, 0};
    std::array<uint16_t, 4> words;
    words.fill(background);
    converter->ConvertSpan(0, 2, 0, pixels, 0, words.data());
    converter->ConvertSpan(0, 2, 1, pixels, 0, words.data() + 2);
    return words;
  }
  runtime::LibraryContext context_;
  runtime::ArenaAllocator arena_{&context_, 4096, 1024};
};

TEST_F(OutputConverter565Test, TablesReachFullScaleExactly) {
  raster::Rgb565Tables tables;
  tables.Build();
  EXPECT_EQ(tables.red[255], 31 << 11);
  EXPECT_EQ(tables.blue[255], 31);
  EXPECT_EQ(tables.green[255], 63 << 5);
  EXPECT_EQ(tables.red[262], 31 << 11);
  EXPECT_EQ(tables.green[258], 63 << 5);
  EXPECT_EQ(tables.red[0] | tables.green[0] | tables.blue[0], 0);
}

TEST_F(OutputConverter565Test, DitherPhasesOfWhiteBlackAndGrey) {
  OutputConverter565* store = OutputConverter565::Create(arena_, kBgrx);
  for (uint16_t w : Block(store, 255, 255, 255)) EXPECT_EQ(w, 0xFFFF);
  for (uint16_t w : Block(store, 0, 0, 0, 0x1234)) EXPECT_EQ(w, 0x0000);
  // Mid-grey on red: 15, 16, 16, 15 at k = 0, 1, 2, 3.
  const auto grey = Block(store, 128, 0, 0);
  const int expected[4] = {15, 16, 16, 15};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(grey[k] >> 11, expected[k]) << k;
}

TEST_F(OutputConverter565Test, SourceArrangementsAndByteOrders) {
  // Pure red from each arrangement and through each order.
  const uint8_t bgrx[4] = {0, 0, 255, 0};
  const uint8_t rgb[3] = {255, 0, 0};
  struct Case {
    const char* name;
    OutputConverter565* converter;
    const uint8_t* source;
    uint8_t firstByte, secondByte;
  } cases[] = {
      {"native, 4-byte pixels", OutputConverter565::Create(arena_, kBgrx), bgrx, 0x00, 0xF8},
      {"native, constant", OutputConverter565::Create(arena_, kConstant), bgrx, 0x00, 0xF8},
      {"native, packed RGB", OutputConverter565::Create(arena_, kPackedRgb), rgb, 0x00, 0xF8},
      {"swapped, 4-byte pixels", OutputConverter565::CreateSwapped(arena_, kBgrx), bgrx, 0xF8, 0x00},
      {"swapped, constant", OutputConverter565::CreateSwapped(arena_, kConstant), bgrx, 0xF8, 0x00},
  };
  for (const Case& c : cases) {
    uint16_t word = 0x5555;
    c.converter->ConvertSpan(7, 8, 3, c.source, 7, &word);
    uint8_t bytes[2];
    std::memcpy(bytes, &word, 2);
    EXPECT_EQ(bytes[0], c.firstByte) << c.name;
    EXPECT_EQ(bytes[1], c.secondByte) << c.name;
  }
}

TEST_F(OutputConverter565Test, ExclusiveOrTwiceRestoresAndEmptySpansWriteNothing) {
  std::vector<uint8_t> pixels(4 * 16);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37 + 11);
  std::vector<uint16_t> target(16);
  for (size_t i = 0; i < target.size(); ++i) target[i] = static_cast<uint16_t>(i * 4099 + 7);
  const std::vector<uint16_t> before = target;
  for (OutputConverter565* converter :
       {OutputConverter565::CreateXor(arena_, kBgrx, false),
        OutputConverter565::CreateXorSwapped(arena_, kBgrx, false),
        OutputConverter565::CreateXor(arena_, PixelFormatDesc{3, 0, 1, 4, 0, 1, 0}, false)}) {
    converter->ConvertSpan(3, 19, 5, pixels.data(), 3, target.data());
    EXPECT_NE(target, before);
    converter->ConvertSpan(3, 19, 5, pixels.data(), 3, target.data());
    EXPECT_EQ(target, before);
  }
  OutputConverter565::CreateXor(arena_, kBgrx, true)->ConvertSpan(0, 16, 0, pixels.data(), 0, target.data());
  OutputConverter565::Create(arena_, kBgrx)->ConvertSpan(4, 4, 0, pixels.data(), 0, target.data());
  EXPECT_EQ(target, before);
}

TEST_F(OutputConverter565Test, RunsOfOneColourConvertAsPixelByPixel) {
  // Runs of one colour (the fourth byte varying within them), changes at
  // even and odd columns, spans starting at both phases: a whole span gives
  // what its pixels give one at a time.
  std::vector<uint8_t> pixels;
  const uint8_t colours[][3] = {{10, 200, 30}, {255, 255, 255}, {0, 0, 0}, {128, 64, 250}};
  const int runs[] = {5, 2, 9, 1, 1, 4, 12, 3, 30, 17, 8};
  for (int r = 0; r < 11; ++r) {
    for (int i = 0; i < runs[r]; ++i) {
      const uint8_t* c = colours[r % 4];
      pixels.insert(pixels.end(), {c[0], c[1], c[2], static_cast<uint8_t>(i * 51)});
    }
  }
  const int32_t count = static_cast<int32_t>(pixels.size() / 4);
  for (OutputConverter565* converter :
       {OutputConverter565::Create(arena_, kBgrx), OutputConverter565::CreateSwapped(arena_, kBgrx),
        OutputConverter565::CreateXor(arena_, kBgrx, false),
        OutputConverter565::CreateXorSwapped(arena_, kBgrx, false)}) {
    for (const int32_t start : {0, 1}) {
      for (const int32_t y : {0, 1}) {
        std::vector<uint16_t> whole(static_cast<size_t>(count), 0x1357);
        std::vector<uint16_t> single = whole;
        converter->ConvertSpan(start, count, y, pixels.data() + 4 * start, 0, whole.data());
        for (int32_t x = start; x < count; ++x) {
          converter->ConvertSpan(x, x + 1, y, pixels.data() + 4 * x, 0, single.data());
        }
        EXPECT_EQ(whole, single) << "start " << start << " row " << y;
      }
    }
  }
}

}  // namespace
