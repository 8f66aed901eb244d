#include "raster/ImageSourceChain.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "raster/DecodeMap.h"
#include "raster/ImageRowSource.h"
#include "runtime/ArenaAllocator.h"
#include "tests/raster/TestColorSpace.h"
#include "tests/support/CaughtError.h"

namespace raster {
namespace {

using runtime::Fixed;
using runtime::kFixedOne;

// A colour space whose conversion is a threshold (not linear), to tell
// conversion before reduction from conversion after it.
class ThresholdSpace final : public ColorSpace {
 public:
  ThresholdSpace(bool indices, bool nonlinear) : indices_(indices), nonlinear_(nonlinear) {}
  int32_t ComponentCount() const override { return 1; }
  bool IsSubtractive() const override { return false; }
  bool SamplesAreIndices() const override { return indices_; }
  bool ConvertsNonlinearly() const override { return nonlinear_; }
  runtime::PixelConverter* MakeConverter(runtime::ArenaAllocator& arena, const ColorSpace&) override {
    return runtime::NewInArena<Threshold>(arena);
  }

 private:
  class Threshold final : public runtime::PixelConverter {
   public:
    void ConvertSpan(const runtime::SpanCursor& d, uint32_t, const runtime::SpanCursor& s, int32_t n) override {
      runtime::SpanCursor out = d, in = s;
      for (int32_t i = 0; i < n; ++i, out.Next(), in.Next()) {
        const uint8_t v = *in.Channel(0) >= 128 ? 255 : 0;
        for (int32_t c = 0; c < out.count; ++c) *out.Channel(c) = v;
      }
    }
  };
  bool indices_, nonlinear_;
};

class ImageSourceChainTest : public ::testing::Test {
 protected:
  // Every row the chain for `image` over `data` delivers, concatenated.
  std::vector<uint8_t> Rows(const std::vector<uint8_t>& data, const ImageDescriptor& image, const ImageNeed& need,
                            const ColorSpace* target = nullptr, IntRect* bounds = nullptr,
                            int32_t* components = nullptr) {
    auto* head = runtime::NewInArena<MemoryRowSource>(arena, data.data(), data.size(), image.width, image.height,
                                                      image.bitsPerComponent, image.components);
    ImageRowSource* last = ImageSourceChain::Build(arena, head, image, need, target, components);
    const IntRect b = last->Bounds();
    if (bounds != nullptr) *bounds = b;
    std::vector<uint8_t> out;
    for (int32_t y = b.y0; y < b.y1; ++y) {
      const uint8_t* row = last->NextRow();
      out.insert(out.end(), row, row + last->RowBytes());
    }
    return out;
  }
  static ImageDescriptor Image(int32_t width, int32_t height, int32_t bits, int32_t components) {
    ImageDescriptor image;
    image.width = width;
    image.height = height;
    image.bitsPerComponent = bits;
    image.components = components;
    return image;
  }
  static ImageNeed Whole(const ImageDescriptor& image, int32_t shift = 0) {
    return ImageNeed{{0, 0, image.width, image.height}, shift};
  }

  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};
};

TEST_F(ImageSourceChainTest, WholeEightBitImageNeedsNoLinks) {
  const std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6};
  const ImageDescriptor image = Image(3, 2, 8, 1);
  auto* head = runtime::NewInArena<MemoryRowSource>(arena, data.data(), data.size(), 3, 2, 8, 1);
  EXPECT_EQ(ImageSourceChain::Build(arena, head, image, Whole(image), nullptr), head);
  EXPECT_EQ(Rows(data, image, Whole(image)), data);
}

TEST_F(ImageSourceChainTest, ReductionAveragesBlocksAndRepeatsTheLastPixel) {
  std::vector<uint8_t> data;
  for (int i = 0; i < 10; ++i) data.push_back(static_cast<uint8_t>(i * 20 + 7));
  const ImageDescriptor image = Image(10, 1, 8, 1);
  IntRect bounds;
  const std::vector<uint8_t> rows = Rows(data, image, Whole(image, 2), nullptr, &bounds);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(bounds, (IntRect{0, 0, 3, 1}));
  EXPECT_EQ(rows[0], (data[0] + data[1] + data[2] + data[3]) >> 2);
  EXPECT_EQ(rows[1], (data[4] + data[5] + data[6] + data[7]) >> 2);
  EXPECT_EQ(rows[2], (data[8] + 3 * data[9]) >> 2);
}

TEST_F(ImageSourceChainTest, ReductionDownRowsRepeatsTheLastRow) {
  // 2 x 3 RGB at k = 1: two output rows, the second the third row alone.
  const std::vector<uint8_t> data = {10, 20, 30, 50, 60, 70,  //
                                     30, 40, 50, 70, 80, 90,  //
                                     200, 100, 0, 0, 100, 200};
  const ImageDescriptor image = Image(2, 3, 8, 3);
  IntRect bounds;
  const std::vector<uint8_t> rows = Rows(data, image, Whole(image, 1), nullptr, &bounds);
  EXPECT_EQ(bounds, (IntRect{0, 0, 1, 2}));
  EXPECT_EQ(rows, (std::vector<uint8_t>{40, 50, 60, 100, 100, 100}));
}

TEST_F(ImageSourceChainTest, UnpackTablesForEveryDepthAndFlag) {
  struct Case {
    const char* name;
    int32_t bits;
    bool inverted, raw;
    std::vector<uint8_t> data;
    int32_t width;
    std::vector<uint8_t> expected;
  } cases[] = {
      {"1-bit", 1, false, false, {0xA5}, 8, {255, 0, 255, 0, 0, 255, 0, 255}},
      {"1-bit Decode [1 0]", 1, true, false, {0xA5}, 8, {0, 255, 0, 255, 255, 0, 255, 0}},
      {"1-bit raw", 1, false, true, {0xA5}, 8, {1, 0, 1, 0, 0, 1, 0, 1}},
      {"raw wins over inverted", 1, true, true, {0xA5}, 8, {1, 0, 1, 0, 0, 1, 0, 1}},
      {"2-bit", 2, false, false, {0x1B}, 4, {0, 0x55, 0xaa, 0xff}},
      {"2-bit inverted", 2, true, false, {0x1B}, 4, {0xff, 0xaa, 0x55, 0}},
      {"2-bit raw", 2, false, true, {0x1B}, 4, {0, 1, 2, 3}},
      {"4-bit", 4, false, false, {0x3C}, 2, {0x33, 0xcc}},
      {"4-bit inverted", 4, true, false, {0x3C}, 2, {0xcc, 0x33}},
      {"4-bit raw", 4, false, true, {0x3C}, 2, {3, 12}},
      {"16-bit high bytes", 16, false, false, {0x12, 0x34, 0xfe, 0x01}, 2, {0x12, 0xfe}},
      {"16-bit inverted", 16, true, false, {0x12, 0x34, 0xfe, 0x01}, 2, {0xed, 0x01}},
      {"16-bit raw has no effect", 16, false, true, {0x12, 0x34, 0xfe, 0x01}, 2, {0x12, 0xfe}},
      // A width that ends inside a byte delivers only its own samples.
      {"1-bit, 3 wide", 1, false, false, {0xE0}, 3, {255, 255, 255}},
  };
  for (const Case& test : cases) {
    ImageDescriptor image = Image(test.width, 1, test.bits, 1);
    image.invertedDecode = test.inverted;
    image.rawSamples = test.raw;
    EXPECT_EQ(Rows(test.data, image, Whole(image)), test.expected) << test.name;
  }
}

TEST_F(ImageSourceChainTest, DecodeArrays) {
  static const Fixed kInverted[] = {kFixedOne, 0};
  // A one-bit image with Decode [1 0] unpacks through the inverted table
  // and gets no decode map (which would invert it back).
  ImageDescriptor bilevel = Image(2, 1, 1, 1);
  bilevel.decode = kInverted;
  bilevel.invertedDecode = true;
  EXPECT_EQ(Rows({0x40}, bilevel, Whole(bilevel)), (std::vector<uint8_t>{255, 0}));
  // An 8-bit image with the same Decode is mapped by a table from 255 down.
  ImageDescriptor gray = Image(4, 1, 8, 1);
  gray.decode = kInverted;
  gray.invertedDecode = true;
  EXPECT_EQ(Rows({0, 1, 128, 255}, gray, Whole(gray)), (std::vector<uint8_t>{255, 254, 127, 0}));
  const DecodeMap identity = DecodeMap::Build(std::array<Fixed, 2>{0, kFixedOne}.data(), 1);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(identity.table[i], i);
}

TEST_F(ImageSourceChainTest, DecodeEntriesStayInsideAByte) {
  struct Case {
    const char* name;
    std::vector<Fixed> decode;
    std::vector<uint8_t> in, expected;
  } cases[] = {
      // Ranges beyond [0, 1] saturate instead of wrapping around a byte.
      {"[0 2]", {0, 2 * kFixedOne}, {0, 100, 127, 128, 255}, {0, 200, 254, 255, 255}},
      {"[-1 1]", {-kFixedOne, kFixedOne}, {0, 127, 128, 255}, {0, 0, 1, 255}},
      {"[2 3]", {2 * kFixedOne, 3 * kFixedOne}, {0, 255}, {255, 255}},
      // Components with different pairs take the 16.16 line, also clamped.
      {"per component", {0, kFixedOne, 0, 2 * kFixedOne}, {255, 255, 128, 100}, {255, 255, 128, 200}},
      {"per component, negative", {0, kFixedOne, -kFixedOne, 0}, {0, 0, 10, 255}, {0, 0, 10, 0}},
  };
  for (const Case& test : cases) {
    const int32_t components = static_cast<int32_t>(test.decode.size() / 2);
    const DecodeMap map = DecodeMap::Build(test.decode.data(), components);
    std::vector<uint8_t> out(test.in.size());
    map.MapRow(out.data(), test.in.data(), static_cast<uint32_t>(out.size()));
    EXPECT_EQ(out, test.expected) << test.name;
  }
}

TEST_F(ImageSourceChainTest, IndexedDecodeMapsInTheIndexDomain) {
  struct Case {
    const char* name;
    int32_t bits;
    Fixed min, max;
    int32_t hival;
    std::vector<uint8_t> data;
    int32_t width;
    std::vector<uint8_t> expected;
  } cases[] = {
      {"2-bit reversed", 2, 3 * kFixedOne, 0, 3, {0x1B}, 4, {3, 2, 1, 0}},
      {"2-bit stretched past hival", 2, 0, 7 * kFixedOne, 3, {0x1B}, 4, {0, 2, 3, 3}},
      {"8-bit default", 8, 0, 255 * kFixedOne, 9, {0, 5, 9, 200}, 4, {0, 5, 9, 9}},
      {"8-bit reversed", 8, 255 * kFixedOne, 0, 255, {0, 5, 255}, 3, {255, 250, 0}},
      {"negative", 4, -4 * kFixedOne, 11 * kFixedOne, 15, {0x0F, 0x45}, 4, {0, 11, 0, 1}},
  };
  for (const Case& test : cases) {
    const Fixed decode[] = {test.min, test.max};
    ImageDescriptor image = Image(test.width, 1, test.bits, 1);
    image.decode = decode;
    image.rawSamples = true;
    image.hival = test.hival;
    EXPECT_EQ(Rows(test.data, image, Whole(image)), test.expected) << test.name;
  }
}

TEST_F(ImageSourceChainTest, SubRectangleKeepsTheBitOffsetBelowEightBits) {
  // 16 x 2, 1 bit: row 0 = 0x12 0x34, row 1 = 0xF0 0x0F.
  const std::vector<uint8_t> data = {0x12, 0x34, 0xF0, 0x0F};
  ImageDescriptor image = Image(16, 2, 1, 1);
  image.rawSamples = true;
  IntRect bounds;
  const std::vector<uint8_t> rows = Rows(data, image, ImageNeed{{3, 1, 12, 2}, 0}, nullptr, &bounds);
  // x0 = 3 starts inside a byte: the rows start at pixel 0 and say so.
  EXPECT_EQ(bounds, (IntRect{0, 1, 12, 2}));
  EXPECT_EQ(rows, (std::vector<uint8_t>{1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
  struct Case {
    int32_t bits, components, x0, expectedX0;
  } cases[] = {{1, 1, 3, 0}, {1, 1, 9, 8}, {2, 1, 3, 0}, {4, 1, 3, 2}, {4, 3, 3, 2}, {2, 3, 5, 4}, {8, 1, 3, 3},
               {16, 1, 3, 3}};
  for (const Case& test : cases) {
    ImageDescriptor wide = Image(40, 1, test.bits, test.components);
    std::vector<uint8_t> bytes(40 * 3 * 2, 0x5A);
    Rows(bytes, wide, ImageNeed{{test.x0, 0, 20, 1}, 0}, nullptr, &bounds);
    EXPECT_EQ(bounds.x0, test.expectedX0) << test.bits << " x " << test.components << " at " << test.x0;
  }
  // 4-bit: the sample at pixel 3 lands at its own place after the rounding.
  ImageDescriptor nibbles = Image(6, 1, 4, 1);
  nibbles.rawSamples = true;
  EXPECT_EQ(Rows({0x01, 0x23, 0x45}, nibbles, ImageNeed{{3, 0, 5, 1}, 0}, nullptr, &bounds),
            (std::vector<uint8_t>{2, 3, 4}));
  EXPECT_EQ(bounds, (IntRect{2, 0, 5, 1}));
}

TEST_F(ImageSourceChainTest, ColourKeyEndsInAOneComponentMask) {
  // RGB, key {10..20, 0..255, 5..5}: pixel 0 matches, pixels 1 and 2 do not.
  static const int32_t key[] = {10, 20, 0, 255, 5, 5};
  ImageDescriptor image = Image(3, 1, 8, 3);
  image.colorKey = key;
  image.colorSpace = &rastertest::TestColorSpace::Rgb();
  int32_t components = 0;
  EXPECT_EQ(Rows({15, 99, 5, 21, 0, 5, 10, 0, 6}, image, Whole(image), &rastertest::TestColorSpace::Gray(),
                 nullptr, &components),
            (std::vector<uint8_t>{0, 255, 255}));
  EXPECT_EQ(components, 1);
  // 16-bit samples compare whole; the mask is 16-bit and unpacks to bytes.
  static const int32_t key16[] = {0x1234, 0x1234};
  ImageDescriptor deep = Image(2, 1, 16, 1);
  deep.colorKey = key16;
  EXPECT_EQ(Rows({0x12, 0x34, 0x12, 0x35}, deep, Whole(deep)), (std::vector<uint8_t>{0, 255}));
  // 2-bit samples: the mask keeps the depth, then unpacks.
  static const int32_t key2[] = {1, 2};
  ImageDescriptor small = Image(4, 1, 2, 1);
  small.colorKey = key2;
  EXPECT_EQ(Rows({0x1B}, small, Whole(small)), (std::vector<uint8_t>{255, 0, 0, 255}));
}

TEST_F(ImageSourceChainTest, ConversionGoesBeforeReductionWhenTheSpaceAsks) {
  // Samples 0 and 255 averaged are 127 (black after the threshold), while
  // converted first they average to 127 as well but from 0 and 255.
  const std::vector<uint8_t> data = {0, 255, 200, 200};
  const ImageDescriptor base = Image(4, 1, 8, 1);
  struct Case {
    const char* name;
    bool indices, nonlinear;
    std::vector<uint8_t> expected;
  } cases[] = {
      {"linear: after", false, false, {0, 255}},
      {"indices: before", true, false, {127, 255}},
      {"nonlinear: before", false, true, {127, 255}},
  };
  for (const Case& test : cases) {
    ThresholdSpace space(test.indices, test.nonlinear);
    ImageDescriptor image = base;
    image.colorSpace = &space;
    EXPECT_EQ(Rows(data, image, Whole(image, 1), &rastertest::TestColorSpace::Gray()), test.expected) << test.name;
  }
  // Sample kind 3 (a mask) is never converted.
  ThresholdSpace space(false, false);
  ImageDescriptor mask = base;
  mask.colorSpace = &space;
  mask.sampleKind = ImageDescriptor::kMaskSamples;
  EXPECT_EQ(Rows(data, mask, Whole(mask), &rastertest::TestColorSpace::Gray()), data);
}

TEST_F(ImageSourceChainTest, ConversionToMoreComponents) {
  ImageDescriptor image = Image(2, 1, 8, 1);
  image.colorSpace = &rastertest::TestColorSpace::Gray();
  int32_t components = 0;
  EXPECT_EQ(Rows({9, 200}, image, Whole(image), &rastertest::TestColorSpace::Rgb(), nullptr, &components),
            (std::vector<uint8_t>{9, 9, 9, 200, 200, 200}));
  EXPECT_EQ(components, 3);
}

TEST_F(ImageSourceChainTest, CopyAllRowsInterleavedAndPlanar) {
  const std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const ImageDescriptor image = Image(2, 2, 8, 3);
  for (bool planar : {false, true}) {
    auto* head = runtime::NewInArena<MemoryRowSource>(arena, data.data(), data.size(), 2, 2, 8, 3);
    runtime::PixelBuffer buffer(&context, &arena);
    runtime::PixelLayout layout;
    layout.channels = 3;
    layout.bytesPerPixel = 3;
    layout.planar = planar;
    // One pixel of margin on every side.
    buffer.SetupAndAllocate({-1, -1, 3, 3}, layout, true);
    ImageSourceChain::CopyAllRows(ImageSourceChain::Build(arena, head, image, Whole(image), nullptr), buffer,
                                  planar);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x) {
        for (int c = 0; c < 3; ++c) {
          const uint8_t* pixel = buffer.storage + buffer.firstOffset + (x + 1) * buffer.columnStep +
                                 (y + 1) * buffer.rowStep + c * buffer.channelStep;
          EXPECT_EQ(*pixel, data[(y * 2 + x) * 3 + c]) << planar << " " << x << "," << y << "," << c;
        }
      }
    }
    EXPECT_EQ(buffer.storage[buffer.firstOffset], 0);  // the margin is left alone
  }
}

TEST_F(ImageSourceChainTest, HostileInputIsRefused) {
  const std::vector<uint8_t> data(16, 0);
  struct Case {
    const char* name;
    ImageDescriptor image;
    ImageNeed need;
    long code;
  } cases[] = {
      {"3 bits per component", Image(4, 1, 3, 1), {{0, 0, 4, 1}, 0}, runtime::kMalformed},
      {"rectangle outside the image", Image(4, 1, 8, 1), {{2, 0, 6, 1}, 0}, runtime::kMalformed},
      {"empty rectangle", Image(4, 2, 8, 1), {{2, 0, 2, 1}, 0}, runtime::kMalformed},
      {"shift of 6", Image(4, 1, 8, 1), {{0, 0, 4, 1}, 6}, runtime::kMalformed},
      {"no components", Image(4, 1, 8, 0), {{0, 0, 4, 1}, 0}, runtime::kMalformed},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context,
                                         [&] {
                                           auto* head = runtime::NewInArena<MemoryRowSource>(
                                               arena, data.data(), data.size(), 4, 1, 8, 1);
                                           ImageSourceChain::Build(arena, head, test.image, test.need, nullptr);
                                         }),
              test.code)
        << test.name;
  }
  // Data shorter than the rows, and widths whose rows pass the row limit.
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { MemoryRowSource(data.data(), 15, 4, 4, 8, 1); }),
            runtime::kMalformed);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { MemoryRowSource(data.data(), 16, INT32_MAX, 1, 16, 32); }),
            runtime::kOverflow);
}

}  // namespace
}  // namespace raster
