// Paths built from hostile values: coordinates at and near the 16.16
// limits, degenerate and huge matrices. Every one converts without a fault,
// stays within its target and gives coverage bytes only where the byte
// scheme allows.
#include <gtest/gtest.h>

#include <random>

#include "raster/PathEdges.h"
#include "raster/PathScanConverter.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"
#include "tests/raster/CoverageRaster.h"

namespace {

using runtime::Fixed;

TEST(HostilePathTest, ExtremeCoordinatesAndMatricesNeverFault) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 16384, 4096);
  std::mt19937 random(2024);
  const Fixed extremes[] = {runtime::kFixedMax, runtime::kFixedMin, INT32_MIN, 0, 1, -1,
                            0x7fff0000,         -0x7fff0000,       0x10000, 0x40000000, -0x40000000};
  auto value = [&]() -> Fixed {
    const uint32_t pick = random() % 4;
    if (pick == 0) return extremes[random() % std::size(extremes)];
    if (pick == 1) return static_cast<Fixed>(random());
    return static_cast<Fixed>(random() % (80 << 16)) - (8 << 16);
  };
  for (int trial = 0; trial < 300; ++trial) {
    raster::StoredPath path(arena);
    const int count = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) {
      const runtime::FixedPoint p{value(), value()};
      switch (random() % 5) {
        case 0: path.MoveTo(p); break;
        case 1: path.Close(); break;
        case 2: path.CurveTo({value(), value()}, {value(), value()}, p); break;
        default: path.LineTo(p); break;
      }
    }
    runtime::Matrix matrix;
    if (trial % 3 == 1) matrix = {value(), value(), value(), value(), value(), value()};
    if (trial % 3 == 2) matrix = {0, 0, 0, 0, value(), value()};
    const runtime::IntRect target{-3, -2, 45, 30};
    raster::ScanConverter* converter;
    switch (trial % 3) {
      case 0:
        converter = runtime::NewInArena<raster::PathScanConverter>(arena, &context, arena, path.Points(), matrix,
                                                                   target, trial % 2 == 0);
        break;
      case 1:
        converter = runtime::NewInArena<raster::PathScanConverter16>(arena, &context, arena, path.Points(), matrix,
                                                                     target, false);
        break;
      default:
        converter = runtime::NewInArena<raster::GlyphScanConverter>(arena, &context, arena, path.Points(), matrix,
                                                                    target);
        break;
    }
    const runtime::IntRect shape = converter->ShapeBounds();
    if (!converter->IsEmpty()) {
      EXPECT_GE(shape.x0, target.x0);
      EXPECT_LE(shape.x1, target.x1);
      EXPECT_GE(shape.y0, target.y0);
      EXPECT_LE(shape.y1, target.y1);
    }
    const auto image = testsupport::RenderCoverage(*converter);
    if (trial % 3 != 1) {
      // 4×4 classes: partial bytes are multiples of 16.
      for (uint8_t v : image) EXPECT_TRUE(v == 255 || v % 16 == 0) << trial;
    }
    arena.Reset();
  }
}

}  // namespace
