// The owned array of range records: its block is charged to the owner's
// memory, freed when a throw passes the holder, and bounded both ways.
#include "pdf/RangeArray24.h"

#include <gtest/gtest.h>

#include <new>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "tests/support/CaughtError.h"

namespace {

TEST(RangeArray24Test, RecordsAreWrittenFromTheFrontUpToTheCount) {
  runtime::LibraryContext context;
  const uint64_t before = context.memory.bytesInUse;
  {
    pdf::RangeArray24 ranges(&context, &context, 3);
    EXPECT_GE(context.memory.bytesInUse - before, 3u * 24u);
    EXPECT_EQ(ranges.Capacity(), 3u);
    EXPECT_TRUE(ranges.Records().empty());
    ranges.Append({0, 100, 1});
    ranges.Append({200, 300, 2});
    ASSERT_EQ(ranges.Records().size(), 2u);
    EXPECT_EQ(ranges.Records()[1].start, 200u);
    EXPECT_EQ(ranges.Records()[1].tag, 2u);
    ranges.Append({400, 500, 3});
    EXPECT_TRUE(ranges.Full());
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { ranges.Append({1, 2, 4}); }), 1);
    EXPECT_EQ(ranges.Records().size(), 3u);
  }
  EXPECT_EQ(context.memory.bytesInUse, before);
}

TEST(RangeArray24Test, ThrowPastTheHolderFreesTheBlock) {
  runtime::LibraryContext context;
  const uint64_t before = context.memory.bytesInUse;
  // Never destroyed: only the cleanup chain can free its block.
  alignas(pdf::RangeArray24) unsigned char slot[sizeof(pdf::RangeArray24)];
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] {
              auto* ranges = new (slot) pdf::RangeArray24(&context, &context, 1000);
              ranges->Append({0, 1, 0});
              EXPECT_GT(context.memory.bytesInUse, before);
              runtime::ThrowRuntime(runtime::kMalformed);
            }),
            2);
  EXPECT_EQ(context.memory.bytesInUse, before);
}

TEST(RangeArray24Test, SizesBeyondReachFail) {
  runtime::LibraryContext context;
  // 24 x 2^31 bytes overflow a size.
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] {
              pdf::RangeArray24 ranges(&context, &context, 1u << 31);
            }),
            1);
  // Within a size but beyond the context's budget.
  context.memory.SetBudget(1u << 20);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] {
              pdf::RangeArray24 ranges(&context, &context, 1u << 20);
            }),
            0);
}

}  // namespace
