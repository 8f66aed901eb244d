#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/PackedSpanWriter.h"

namespace runtime {
namespace {

// A pipeline whose output is a row it was given.
class FixedRow final : public PixelPipeline {
 public:
  explicit FixedRow(const PlaneView& view) : element_{&view, 0} {
    InitHeader(1, &element_, view.rect, 0);
  }
  void SetRow(int32_t) override {}
  void NextRow() override {}
  int32_t Span(int32_t, int32_t x1) override { return x1; }

 private:
  PipelineElement element_;
};

TEST(PackedSpanWriterTest, ChannelPlacementCopyAndExclusiveOr) {
  LibraryContext context;
  ArenaAllocator arena(&context, 4096, 1024);
  PixelLayout packed;
  packed.channels = 3;
  packed.bytesPerPixel = 3;
  packed.hasColour = true;
  PixelBuffer source(&context, &arena, {0, 0, 8, 1}, packed, false);
  for (uint32_t i = 0; i < 24; ++i) source.storage[i] = static_cast<uint8_t>(0x10 + i);
  FixedRow pipeline(source.colour);

  PixelLayout threeBytes;
  threeBytes.channels = 3;
  threeBytes.bytesPerPixel = 3;
  struct Case {
    const char* name;
    PackedPixel pixel;
    bool exclusiveOr;
    PixelLayout layout;
    int32_t size;
    std::vector<int> bytes;  // per destination byte: source channel, or -1 untouched
  };
  const Case cases[] = {
      {"3-byte reversed", PackedPixel::kReversed3, false, threeBytes, 3, {2, 1, 0}},
      {"4-byte reversed", PackedPixel::kReversed4, false, PixelLayout::Make(3, false, false), 4, {2, 1, 0, -1}},
      {"4-byte forward", PackedPixel::kForward4, false, PixelLayout::Make(3, false, false), 4, {-1, 0, 1, 2}},
      {"3-byte reversed, exclusive or", PackedPixel::kReversed3, true, threeBytes, 3, {2, 1, 0}},
      {"4-byte reversed, exclusive or", PackedPixel::kReversed4, true, PixelLayout::Make(3, false, false), 4, {2, 1, 0, -1}},
      {"4-byte forward, exclusive or", PackedPixel::kForward4, true, PixelLayout::Make(3, false, false), 4, {-1, 0, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PixelBuffer destination(&context, &arena);
    destination.SetupAndAllocate({2, 4, 10, 6}, c.layout, false);
    std::memset(destination.storage, 0x5A, destination.usedBytes);
    OutputTargets targets(arena, pipeline, destination, nullptr);
    PackedSpanWriter writer(targets.Target(OutputTargets::kColour), source.colour, c.pixel,
                            c.exclusiveOr);
    targets.SetRow(5);
    writer.WriteSpan(3, 6);
    writer.WriteSpan(-5, 1);    // left of the destination: nothing
    for (int32_t y = 4; y < 6; ++y) {
      for (int32_t x = 2; x < 10; ++x) {
        const uint8_t* pixel = destination.storage + (y - 4) * destination.rowStep + (x - 2) * c.size;
        for (int32_t b = 0; b < c.size; ++b) {
          const bool written = y == 5 && x >= 3 && x < 6 && c.bytes[size_t(b)] >= 0;
          const uint8_t sample = written ? source.storage[x * 3 + c.bytes[size_t(b)]] : 0;
          const uint8_t want = !written ? 0x5A : c.exclusiveOr ? uint8_t(0x5A ^ sample) : sample;
          EXPECT_EQ(pixel[b], want) << x << "," << y << " byte " << b;
        }
      }
    }
  }
  // A writer for 4-byte pixels over a 3-byte row writes nothing.
  PixelBuffer narrow(&context, &arena);
  narrow.SetupAndAllocate({0, 0, 8, 1}, threeBytes, true);
  OutputTargets targets(arena, pipeline, narrow, nullptr);
  PackedSpanWriter writer(targets.Target(OutputTargets::kColour), source.colour,
                          PackedPixel::kForward4, false);
  targets.SetRow(0);
  writer.WriteSpan(0, 8);
  EXPECT_EQ(std::count(narrow.storage, narrow.storage + 24, 0), 24);
}

}  // namespace
}  // namespace runtime
