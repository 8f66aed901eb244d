#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(RecordQueueTest, SeparatorsNeverFollowAGroupEnd) {
  LibraryContext context;
  ArenaAllocator arena(&context, 1024, 256);
  RecordQueue queue(arena);
  queue.AppendSeparator();  // an empty queue takes one
  queue.Append(7, {1}, 0);
  queue.AppendSeparator();
  queue.AppendSeparator();  // the last record ends a group already
  queue.Append(8, {}, 2);   // a record that ends its group itself
  queue.AppendSeparator();
  queue.Append(9, {}, 1);   // bit 0 alone does not end a group
  queue.AppendSeparator();
  std::vector<uint32_t> codes;
  QueuedRecord out;
  while (queue.TakeFront(&out)) {
    codes.push_back(out.code);
    if (out.code == RecordQueue::kSeparatorCode) {
      EXPECT_EQ(out.flags, 3u);
      EXPECT_EQ(out.payload, (std::array<uint8_t, 20>{}));
    }
  }
  const uint32_t s = RecordQueue::kSeparatorCode;
  EXPECT_EQ(codes, (std::vector<uint32_t>{s, 7, s, 8, 9, s}));
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
