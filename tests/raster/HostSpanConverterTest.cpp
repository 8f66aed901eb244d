#include "raster/HostSpanConverter.h"

#include <gtest/gtest.h>

#include "tests/raster/RasterTestUnits.h"

#include <vector>

#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"

namespace {

using raster::HostSpanConverter;

using rastertest::kBgrx;

TEST(HostSpanConverterTest, ChannelsLandInTheirBytesAndTheSpareByteStays) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  const uint8_t source[8] = {0x0B, 0x0C, 0x0D, 0xEE, 0x1B, 0x1C, 0x1D, 0xEE};  // b, g, r, x
  struct Case {
    int32_t kind;
    int bytes;
    std::vector<uint8_t> expected;
  } cases[] = {
      {runtime::kHostBgr24, 3, {0x0B, 0x0C, 0x0D, 0x1B, 0x1C, 0x1D}},
      {runtime::kHostBgrx32, 4, {0x0B, 0x0C, 0x0D, 0x77, 0x1B, 0x1C, 0x1D, 0x77}},
      {runtime::kHostXrgb32, 4, {0x77, 0x0D, 0x0C, 0x0B, 0x77, 0x1D, 0x1C, 0x1B}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> row(static_cast<size_t>(c.bytes) * 3, 0x77);
    HostSpanConverter::Create(arena, c.kind, kBgrx, false, false)->ConvertSpan(5, 7, 0, source, 4, row.data());
    const std::vector<uint8_t> written(row.begin() + c.bytes, row.end());
    EXPECT_EQ(written, c.expected) << c.kind;
    EXPECT_EQ(row[0], 0x77) << c.kind;
    // Exclusive or twice restores every byte; the zero plane changes none.
    const std::vector<uint8_t> before = row;
    HostSpanConverter* xorConverter = HostSpanConverter::Create(arena, c.kind, kBgrx, true, false);
    xorConverter->ConvertSpan(4, 6, 0, source, 4, row.data());
    EXPECT_NE(row, before);
    xorConverter->ConvertSpan(4, 6, 0, source, 4, row.data());
    EXPECT_EQ(row, before);
    HostSpanConverter::Create(arena, c.kind, kBgrx, true, true)->ConvertSpan(4, 7, 0, source, 4, row.data());
    EXPECT_EQ(row, before);
  }
  EXPECT_EQ(HostSpanConverter::Create(arena, 1, kBgrx, false, false), nullptr);
}

}  // namespace
