#include "runtime/ByteBuffer.h"

#include <gtest/gtest.h>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/PairTable.h"
#include "tests/support/CaughtError.h"

namespace runtime {
namespace {

using testsupport::RuntimeCodeOf;

TEST(ByteBufferTest, WritesUpToItsEndAndMakesFullBuffers) {
  LibraryContext context;
  uint64_t tenBytes = 0;  // what the heap counts for one block of 10 bytes
  {
    ByteBuffer probe(&context, nullptr, 10);
    tenBytes = context.memory.bytesInUse;
  }
  {
    ByteBuffer buffer(&context, nullptr, 4);
    EXPECT_EQ(buffer.Written(), 0u);
    buffer.Write("abc", 3);
    EXPECT_EQ(RuntimeCodeOf(&context, [&] { buffer.Write("de", 2); }), kOverflow);
    EXPECT_EQ(buffer.Written(), 3u);
    buffer.Write("d", 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.Begin()), 4), "abcd");

    buffer.MakeFull(10);
    EXPECT_EQ(buffer.Size(), 10u);
    EXPECT_EQ(buffer.Cursor(), buffer.End());
    EXPECT_EQ(context.memory.bytesInUse, tenBytes);  // the old four bytes are gone
  }
  EXPECT_EQ(context.memory.bytesInUse, 0u);

  // A throw past a registered buffer frees it.
  EXPECT_EQ(RuntimeCodeOf(&context,
                          [&] {
                            ByteBuffer held(&context, nullptr, 64);
                            ThrowRuntime(kMalformed);
                          }),
            kMalformed);
  EXPECT_EQ(context.memory.bytesInUse, 0u);
}

TEST(ByteBufferTest, PairTableTakesExactlyTwoWordsPerPair) {
  LibraryContext context;
  PairTable table(&context, 3);
  const Fixed words[8] = {0, 0x10000, 2, 3, 4, 5, 6, 7};
  table.Set(words, 6);
  EXPECT_EQ(table.Words().size(), 6u);
  EXPECT_EQ(table.High(0), 0x10000);
  for (uint32_t n : {5u, 7u, 0u, 8u}) {
    EXPECT_EQ(RuntimeCodeOf(&context, [&] { table.Set(words + 1, n); }), kMalformed) << n;
    EXPECT_EQ(table.Words().size(), 6u) << n;  // unchanged
    EXPECT_EQ(table.Low(1), 2);
  }
}

}  // namespace
}  // namespace runtime
