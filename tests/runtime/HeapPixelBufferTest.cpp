#include "runtime/HeapPixelBuffer.h"

#include <gtest/gtest.h>

#include "runtime/LibraryContext.h"
#include "tests/support/RaisedCode.h"

namespace runtime {
namespace {

using testsupport::RaisedCode;

HeapPixelLayout HeapLayout(int32_t count, int32_t first, bool planar, bool reversed) {
  HeapPixelLayout layout;
  layout.componentCount = count;
  layout.firstComponent = first;
  layout.planar = planar;
  layout.reversed = reversed;
  layout.layoutWord = 0xABCD;
  return layout;
}

TEST(HeapPixelBufferTest, LayoutsGiveTheirSizesAndSteps) {
  struct Case {
    const char* name;
    IntRect rect;
    HeapPixelLayout layout;
    uint32_t bytes;
    int32_t first, component, pixel, row;
  };
  HeapPixelLayout constant = HeapLayout(3, 0, false, false);
  constant.constantInX = constant.constantInY = constant.singleChannel = true;
  HeapPixelLayout single = HeapLayout(4, 0, true, false);
  single.singleChannel = true;
  const Case cases[] = {
      // Rows of 5 x 3 bytes padded to 16.
      {"interleaved RGB", {0, 0, 5, 2}, HeapLayout(3, 0, false, false), 32, 0, 1, 3, 16},
      {"interleaved reversed", {0, 0, 5, 2}, HeapLayout(3, 0, false, true), 32, 2, -1, 3, 16},
      // Planes of 8 x 2 bytes, three of them.
      {"planar", {10, 10, 17, 12}, HeapLayout(3, 1, true, false), 48, 1, 16, 1, 8},
      {"planar reversed", {10, 10, 17, 12}, HeapLayout(3, 0, true, true), 48, 32, -16, 1, 8},
      // One pixel standing for the whole rectangle: 4 bytes.
      {"constant", {0, 0, 100, 100}, constant, 4, 0, 0, 0, 0},
      {"single channel", {0, 0, 3, 3}, single, 12, 0, 0, 1, 4},
      {"empty", {5, 5, 5, 9}, HeapLayout(3, 0, false, false), 0, 0, 1, 3, 0},
  };
  for (const Case& c : cases) {
    LibraryContext context;
    HeapPixelBuffer buffer(&context, nullptr, c.rect, c.layout, true);
    EXPECT_EQ(buffer.ByteSize(), c.bytes) << c.name;
    EXPECT_EQ(buffer.firstOffset, c.first) << c.name;
    EXPECT_EQ(buffer.componentStep, c.component) << c.name;
    EXPECT_EQ(buffer.pixelStep, c.pixel) << c.name;
    EXPECT_EQ(buffer.rowStep, c.row) << c.name;
    EXPECT_EQ(buffer.layoutWord, 0xABCDu) << c.name;
    EXPECT_TRUE(buffer.ready) << c.name;
    for (uint32_t i = 0; i < buffer.ByteSize(); ++i) ASSERT_EQ(buffer.Storage()[i], 0) << c.name;
  }
}

TEST(HeapPixelBufferTest, BadSizesRaiseCodeOneAndKeepTheOldStorage) {
  LibraryContext context;
  HeapPixelBuffer buffer(&context, nullptr, {0, 0, 4, 4}, HeapLayout(1, 0, false, false), false);
  uint8_t* storage = buffer.Storage();
  const uint64_t inUse = context.memory.bytesInUse;
  struct Case {
    const char* name;
    IntRect rect;
    HeapPixelLayout layout;
    uint32_t code;
  } cases[] = {
      {"x1 < x0", {10, 0, 5, 4}, HeapLayout(1, 0, false, false), kOverflow},
      {"y1 < y0", {0, 10, 4, 5}, HeapLayout(1, 0, false, false), kOverflow},
      // The corners a full 32-bit range apart.
      {"huge width", {INT32_MIN, 0, INT32_MAX, 1}, HeapLayout(1, 0, false, false), kOverflow},
      {"row overflow", {0, 0, 0x40000000, 1}, HeapLayout(4, 0, false, false), kOverflow},
      {"plane overflow", {0, 0, 0x10000, 0x10000}, HeapLayout(1, 0, false, false), kOverflow},
      {"total overflow", {0, 0, 0x8000, 0x8000}, HeapLayout(8, 0, true, false), kOverflow},
      {"negative count", {0, 0, 4, 4}, HeapLayout(-3, 0, false, false), kOverflow},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RaisedCode([&] { buffer.SetupAndAllocate(&context, c.rect, c.layout, true); }),
              c.code)
        << c.name;
    EXPECT_EQ(buffer.Storage(), storage) << c.name;
    EXPECT_EQ(context.memory.bytesInUse, inUse) << c.name;
  }
  // Out of memory: the old storage stays, nothing is freed twice.
  context.memory.hardLimit = context.memory.bytesInUse + 8;
  context.memory.largestCountedBlock = kNoLimit;
  EXPECT_EQ(RaisedCode([&] {
              buffer.SetupAndAllocate(&context, {0, 0, 64, 64}, HeapLayout(1, 0, false, false),
                                      true);
            }),
            kOutOfMemory);
  EXPECT_EQ(buffer.Storage(), storage);
  EXPECT_EQ(buffer.ByteSize(), 16u);
}

TEST(HeapPixelBufferTest, StorageComesFromTheStorageContext) {
  LibraryContext context, storage;
  const uint64_t before = context.memory.bytesInUse;
  {
    HeapPixelBuffer buffer(&context, &storage, {0, 0, 10, 10}, HeapLayout(3, 0, false, false),
                           false);
    EXPECT_GE(storage.memory.bytesInUse, 120u);
    EXPECT_EQ(context.memory.bytesInUse, before);
  }
  EXPECT_EQ(storage.memory.bytesInUse, 0u);
}

}  // namespace
}  // namespace runtime
