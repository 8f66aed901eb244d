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

TEST(OptionalTest, SwapAndTakeOneOfAPair) {
  using Holder = Optional<std::string>;
  auto make = [](const char* text) {
    Holder h;
    if (text != nullptr) h.Assign(text);
    return h;
  };
  auto text = [](const Holder& h) { return h.HasValue() ? *h : std::string("<none>"); };
  struct Case {
    const char* a;
    const char* b;
  } cases[] = {{"first", "second"}, {"first", nullptr}, {nullptr, "second"}, {nullptr, nullptr}};
  for (const Case& c : cases) {
    const std::string wantA = c.a ? c.a : "<none>";
    const std::string wantB = c.b ? c.b : "<none>";
    Holder a = make(c.a);
    Holder b = make(c.b);
    Holder::Swap(a, b);
    EXPECT_EQ(text(a), wantB);
    EXPECT_EQ(text(b), wantA);
    Holder::Swap(a, a);
    EXPECT_EQ(text(a), wantB);

    Holder first = Holder::TakeFirst(b, a);  // b holds c.a again
    EXPECT_EQ(text(first), wantA);
    EXPECT_FALSE(a.HasValue());
    EXPECT_FALSE(b.HasValue());

    Holder x = make(c.a);
    Holder y = make(c.b);
    Holder second = Holder::TakeSecond(x, y);
    EXPECT_EQ(text(second), wantB);
    EXPECT_FALSE(x.HasValue());
    EXPECT_FALSE(y.HasValue());
    // Taking from a holder into itself keeps the copy.
    Holder z = make(c.a);
    z = Holder::TakeFirst(z, z);
    EXPECT_EQ(text(z), wantA);
  }
}

}  // namespace
}  // namespace runtime
