#include <gtest/gtest.h>

#include <string>

#include "runtime/Optional.h"
#include "runtime/RecordQueue.h"

namespace runtime {
namespace {

TEST(RecordQueueTest, FirstInFirstOutWithNodesRecycled) {
  LibraryContext context;
  ArenaAllocator arena(&context, 1024, 256);
  RecordQueue queue(arena);
  QueuedRecord out;
  EXPECT_FALSE(queue.TakeFront(&out));
  for (uint32_t i = 1; i <= 3; ++i) queue.Append(i, {static_cast<uint8_t>(i * 10)}, i + 100);
  EXPECT_EQ(queue.Count(), 3u);
  for (uint32_t i = 1; i <= 3; ++i) {
    ASSERT_TRUE(queue.TakeFront(&out));
    EXPECT_EQ(out.code, i);
    EXPECT_EQ(out.payload[0], i * 10);
    EXPECT_EQ(out.flags, i + 100);
    EXPECT_EQ(out.next, nullptr);
  }
  EXPECT_TRUE(queue.IsEmpty());
  // Draining and refilling reuses the three nodes.
  const uint8_t* bump = arena.bump;
  for (int round = 0; round < 10; ++round) {
    for (uint32_t i = 0; i < 3; ++i) queue.Append(i, {}, 0);
    while (queue.TakeFront(&out)) {
    }
  }
  EXPECT_EQ(arena.bump, bump);
}

TEST(OptionalTest, EmplaceAssignCopyAndReset) {
  Optional<std::string> holder;
  EXPECT_FALSE(holder.HasValue());
  holder.Emplace(3, 'x');
  EXPECT_EQ(*holder, "xxx");
  const std::string* slot = holder.Get();
  holder.Assign("replaced over a held value");
  EXPECT_EQ(holder.Get(), slot);  // still the holder's own storage
  Optional<std::string> copy(holder);
  EXPECT_EQ(*copy, *holder);
  EXPECT_NE(copy.Get(), holder.Get());
  copy.CopyFrom(Optional<std::string>());
  EXPECT_FALSE(copy.HasValue());
  holder.Reset();
  EXPECT_EQ(holder.Get(), nullptr);
}

}  // namespace
}  // namespace runtime
