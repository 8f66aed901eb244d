#include <gtest/gtest.h>

#include <algorithm>

#include "runtime/PixelBuffer.h"
#include "tests/support/CaughtError.h"

namespace runtime {
namespace {

using testsupport::RuntimeCodeOf;

class PixelBufferTest : public ::testing::Test {
 protected:
  LibraryContext context;
  ArenaAllocator arena{&context, 4096, 1024};
};

PixelLayout Plain(int32_t channels, bool planar, bool reverse) {
  PixelLayout layout;
  layout.channels = channels;
  layout.bytesPerPixel = channels;
  layout.planar = planar;
  layout.reverse = reverse;
  return layout;
}

TEST_F(PixelBufferTest, SetupAndAllocateLayouts) {
  struct Case {
    const char* name;
    PixelLayout layout;
    IntRect rect;
    int32_t rowStep, firstOffset, channelStep, columnStep, count;
    uint32_t total;
  };
  PixelLayout constantX = Plain(3, false, false);
  constantX.constantInX = true;
  PixelLayout constantY = Plain(3, true, false);
  constantY.constantInY = true;
  const Case cases[] = {
      {"interleaved 3x2 of 3 channels", Plain(3, false, false), {0, 0, 3, 2}, 12, 0, 1, 3, 3, 24},
      {"planar 3x2 of 3 channels", Plain(3, true, false), {0, 0, 3, 2}, 4, 0, 8, 1, 3, 24},
      {"planar bottom-up", Plain(3, true, true), {0, 0, 3, 2}, 4, 16, -8, 1, 3, 24},
      {"interleaved bottom-up", Plain(3, false, true), {0, 0, 3, 2}, 12, 2, -1, 3, 3, 24},
      {"three channels in 4-byte pixels", PixelLayout::Make(3, false, false), {5, 5, 8, 7}, 12, 2, -1, 4, 3, 24},
      {"one shared channel", PixelLayout::Make(-1, false, false), {0, 0, 5, 3}, 8, 0, 0, 1, -1, 24},
      {"constant in x", constantX, {0, 0, 100, 2}, 4, 0, 1, 0, 3, 8},
      {"constant in y", constantY, {0, 0, 3, 100}, 0, 0, 4, 1, 3, 12},
      {"empty rectangle", Plain(4, false, false), {7, 7, 7, 9}, 0, 0, 1, 4, 4, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PixelBuffer buffer(&context, &arena);
    buffer.SetupAndAllocate(c.rect, c.layout, true);
    EXPECT_EQ(buffer.rowStep, c.rowStep);
    EXPECT_EQ(buffer.firstOffset, c.firstOffset);
    EXPECT_EQ(buffer.channelStep, c.channelStep);
    EXPECT_EQ(buffer.columnStep, c.columnStep);
    EXPECT_EQ(buffer.colour.format.channelCount, c.count);
    EXPECT_EQ(buffer.usedBytes, c.total);
    EXPECT_GE(buffer.capacity, c.total);
    EXPECT_EQ(buffer.rect, c.rect);
    EXPECT_FALSE(buffer.shape.IsPresent());
    EXPECT_EQ(std::count(buffer.storage, buffer.storage + c.total, 0), static_cast<long>(c.total));
  }
  PixelBuffer buffer(&context, &arena);
  buffer.SetupAndAllocate({5, 5, 8, 7}, PixelLayout::Make(3, false, false), false);
  EXPECT_TRUE(buffer.colour.format.Is3x2Tag4());
}

TEST_F(PixelBufferTest, BadSizesRaiseBeforeAllocating) {
  struct Case {
    const char* name;
    PixelLayout layout;
    IntRect rect;
    long code;
  };
  PixelLayout offsetTooLarge = Plain(3, false, false);
  offsetTooLarge.firstOffset = 1;
  const Case cases[] = {
      {"negative width", Plain(3, false, false), {10, 0, 9, 4}, 1},
      {"negative height", Plain(1, true, false), {0, 10, 4, 0}, 1},
      {"width from the far ends of the range", Plain(1, false, false), {INT32_MIN, 0, INT32_MAX, 1}, 1},
      {"row times height", Plain(4, false, false), {0, 0, 0x10000, 0x10000}, 1},
      {"planes", Plain(4, true, false), {0, 0, 0x10000, 0x8000}, 1},
      {"channels past the pixel", offsetTooLarge, {0, 0, 2, 2}, 2},
      {"no channels", Plain(0, false, false), {0, 0, 2, 2}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PixelBuffer buffer(&context, &arena);
    buffer.SetupAndAllocate({0, 0, 2, 2}, Plain(1, false, false), false);
    uint8_t* before = buffer.storage;
    EXPECT_EQ(RuntimeCodeOf(&context, [&] { buffer.SetupAndAllocate(c.rect, c.layout, true); }), c.code);
    EXPECT_EQ(buffer.storage, before);
    EXPECT_EQ(buffer.rect, (IntRect{0, 0, 2, 2}));
  }
}

TEST_F(PixelBufferTest, PlaneLayoutsByArrangement) {
  struct Plane {
    bool present;
    uint32_t storageOffset;
    PixelFormatDesc format;
  };
  struct Case {
    const char* name;
    PixelLayout layout;
    Plane shape, alpha, colour;
    uint32_t total;
  };
  PixelLayout bgra = PixelLayout::ForPlanes(3, 0, 3, true);  // p 4, no padding
  PixelLayout full = PixelLayout::ForPlanes(3, 2, 3, true);  // p 5
  PixelLayout gray = PixelLayout::ForPlanes(1, 0, 3, true);  // p 4, 2 padding bytes
  auto kind = [](PixelLayout layout, uint8_t storage) {
    layout.storageKind = storage;
    return layout;
  };
  const Case cases[] = {
      {"interleaved BGRA", kind(bgra, 0), {false, 0, {}},
       {true, 0, {-1, 3, 0, 4, 12, 0, 0}}, {true, 0, {3, 2, -1, 4, 12, 0, 0}}, 24},
      {"interleaved gray with padding", kind(gray, 0), {false, 0, {}},
       {true, 0, {-1, 1, 0, 4, 12, 0, 0}}, {true, 0, {1, 0, -1, 4, 12, 0, 0}}, 24},
      {"interleaved shape, alpha, colour", kind(full, 0), {true, 0, {-1, 4, 0, 5, 16, 0, 0}},
       {true, 0, {-1, 3, 0, 5, 16, 0, 0}}, {true, 0, {3, 2, -1, 5, 16, 0, 0}}, 32},
      {"planar BGRA", kind(bgra, 2), {false, 0, {}},
       {true, 0, {-1, 24, 0, 1, 4, 0, 0}}, {true, 0, {3, 16, -8, 1, 4, 0, 0}}, 32},
      {"planar shape marks its plane", kind(full, 2), {true, 0, {-1, 32, 0, 1, 4, 1, 0}},
       {true, 0, {-1, 24, 0, 1, 4, 0, 0}}, {true, 0, {3, 16, -8, 1, 4, 0, 0}}, 40},
      {"separate areas", kind(full, 1), {true, 0, {-1, 0, 0, 1, 4, 1, 0}},
       {true, 8, {-1, 0, 0, 1, 4, 1, 0}}, {true, 16, {3, 4, -1, 5, 16, 1, 0}}, 48},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PixelBuffer buffer(&context, &arena, {10, 20, 13, 22}, c.layout, true);
    EXPECT_EQ(buffer.usedBytes, c.total);
    const std::pair<const PlaneView*, const Plane*> planes[] = {
        {&buffer.shape, &c.shape}, {&buffer.alpha, &c.alpha}, {&buffer.colour, &c.colour}};
    for (const auto& [view, want] : planes) {
      ASSERT_EQ(view->IsPresent(), want->present);
      if (!want->present) continue;
      EXPECT_EQ(view->storage, buffer.storage + want->storageOffset);
      EXPECT_EQ(view->rect, (IntRect{10, 20, 13, 22}));
      const PixelFormatDesc& f = view->format;
      EXPECT_EQ(f.channelCount, want->format.channelCount);
      EXPECT_EQ(f.firstOffset, want->format.firstOffset);
      EXPECT_EQ(f.channelStep, want->format.channelStep);
      EXPECT_EQ(f.columnStep, want->format.columnStep);
      EXPECT_EQ(f.rowStep, want->format.rowStep);
      EXPECT_EQ(f.ownsPlane, want->format.ownsPlane);
    }
  }
}

TEST_F(PixelBufferTest, SharedAndConstantPlanes) {
  PixelLayout layout = PixelLayout::ForPlanes(3, 2, 2, true);  // alpha is the shape's view
  PixelBuffer shared(&context, &arena, {0, 0, 4, 4}, layout, false);
  EXPECT_EQ(shared.alpha.storage, shared.shape.storage);
  EXPECT_EQ(shared.alpha.format.firstOffset, shared.shape.format.firstOffset);

  layout = PixelLayout::ForPlanes(3, 1, 1, true);  // opaque constants
  PixelBuffer constant(&context, &arena, {0, 0, 4, 4}, layout, false);
  for (int32_t x : {-1000, 0, 3, 1000000}) {
    SpanCursor cursor = SpanCursor::At(&constant.alpha, x, 77);
    EXPECT_EQ(*cursor.Channel(0), 255);
    EXPECT_EQ(*cursor.Channel(2), 255);
  }
  // Only one plane present: each descriptor knows.
  EXPECT_EQ(constant.colour.format.oneGroup, 0);
  PixelBuffer colourOnly(&context, &arena, {0, 0, 4, 4}, PixelLayout::ForPlanes(3, 0, 0, true), false);
  EXPECT_EQ(colourOnly.colour.format.oneGroup, 1);
  EXPECT_EQ(colourOnly.usedBytes, 64u);  // 4 bytes per pixel, one padding byte

  SpanCursor absent = SpanCursor::At(&colourOnly.shape, 2, 2);
  EXPECT_EQ(absent.count, 0);
  EXPECT_EQ(absent.pixel, nullptr);
  EXPECT_EQ(SpanCursor::At(nullptr, 0, 0).count, 0);
}

TEST_F(PixelBufferTest, SeparateAreaSizesAreChecked) {
  // Two one-byte areas of exactly 2 GiB each: every product fits but their
  // sum does not, and must not wrap to a small buffer.
  PixelLayout layout = PixelLayout::ForPlanes(1, 2, 3, false);
  layout.storageKind = 1;
  PixelBuffer buffer(&context, &arena);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { buffer.Layout({0, 0, 0x10000, 0x8000}, layout, false); }), 1);
  EXPECT_EQ(buffer.storage, nullptr);
  // An area product of its own past 32 bits.
  layout = PixelLayout::ForPlanes(3, 0, 0, true);
  layout.storageKind = 1;
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { buffer.Layout({0, 0, 0x10000, 0x4000}, layout, false); }), 1);
  // A row whose rounding would pass 32 bits.
  EXPECT_EQ(RuntimeCodeOf(&context, [&] {
              buffer.Layout({0, 0, 0x3fffffff, 1}, layout, false);
            }), 1);
  // A layout whose planes do not fit its pixel.
  layout.bytesPerPixel = 2;
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { buffer.Layout({0, 0, 2, 2}, layout, false); }), 2);
}

TEST_F(PixelBufferTest, ExtendEdgesRepeatsTheInnerEdges) {
  struct Case {
    const char* name;
    PixelLayout layout;
    bool setup;
  };
  PixelLayout areas = PixelLayout::ForPlanes(3, 2, 3, true);
  areas.storageKind = 1;
  PixelLayout planar = PixelLayout::ForPlanes(3, 0, 3, true);
  planar.storageKind = 2;
  const Case cases[] = {
      {"interleaved", PixelLayout::ForPlanes(3, 0, 3, true), false},
      {"planar", planar, false},
      {"separate areas", areas, false},
      {"plain interleaved", Plain(3, false, true), true},
      {"plain planar", Plain(2, true, false), true},
  };
  const IntRect rect{100, 50, 107, 56};
  const IntRect inner{102, 52, 105, 54};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PixelBuffer buffer(&context, &arena);
    if (c.setup) {
      buffer.SetupAndAllocate(rect, c.layout, true);
    } else {
      buffer.Layout(rect, c.layout, true);
    }
    const PlaneView* planes[] = {&buffer.shape, &buffer.alpha, &buffer.colour};
    auto value = [](int p, int32_t x, int32_t y, int32_t ch) {
      return static_cast<uint8_t>(p * 64 + (x - 100) * 8 + (y - 50) + ch * 3);
    };
    for (int p = 0; p < 3; ++p) {
      for (int32_t y = inner.y0; y < inner.y1; ++y)
        for (int32_t x = inner.x0; x < inner.x1; ++x) {
          SpanCursor cursor = SpanCursor::At(planes[p], x, y);
          for (int32_t ch = 0; ch < cursor.count; ++ch) *cursor.Channel(ch) = value(p, x, y, ch);
        }
    }
    buffer.ExtendEdges(inner, {90, 40, 106, 200});  // clipped to the buffer
    for (int p = 0; p < 3; ++p) {
      for (int32_t y = rect.y0; y < rect.y1; ++y) {
        for (int32_t x = rect.x0; x < rect.x1; ++x) {
          SpanCursor cursor = SpanCursor::At(planes[p], x, y);
          const int32_t sx = std::clamp(x, inner.x0, inner.x1 - 1);
          const int32_t sy = std::clamp(y, inner.y0, inner.y1 - 1);
          for (int32_t ch = 0; ch < cursor.count; ++ch) {
            const uint8_t want = x >= 106 ? 0 : value(p, sx, sy, ch);
            ASSERT_EQ(*cursor.Channel(ch), want) << p << " " << x << "," << y << " ch " << ch;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace runtime
