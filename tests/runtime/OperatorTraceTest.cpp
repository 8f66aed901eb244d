#include "runtime/OperatorTrace.h"

#include <gtest/gtest.h>

#include <vector>

namespace runtime {
namespace {

struct Seen {
  uint8_t code;
  uint32_t words[4];
};

// The trace from oldest to newest, with a check that the backward links
// walk the same order in reverse.
std::vector<Seen> Walk(const OperatorTrace& trace) {
  std::vector<Seen> forward;
  for (uint8_t slot = trace.Oldest(); slot != OperatorTrace::kNone; slot = trace.Newer(slot)) {
    const OperatorTrace::Slot& s = trace.At(slot);
    forward.push_back({s.code, {s.range1.first, s.range1.second, s.range2.first, s.range2.second}});
    if (forward.size() > OperatorTrace::kSlots) break;  // a cycle
  }
  size_t backward = 0;
  for (uint8_t slot = trace.Newest(); slot != OperatorTrace::kNone; slot = trace.Older(slot)) {
    if (++backward > OperatorTrace::kSlots) break;
  }
  EXPECT_EQ(backward, forward.size());
  return forward;
}

// Record number n (from 1) stores code n % 256 and the words n, n+1, n+2, n+3.
void RecordNumbered(OperatorTrace* trace, uint32_t n) {
  trace->Record(static_cast<uint8_t>(n), {n, n + 1}, {n + 2, n + 3});
}

TEST(OperatorTraceTest, KeepsTheNewest220InOrder) {
  struct Case {
    uint32_t records;
    uint32_t oldestKept;
  } cases[] = {{0, 1}, {1, 1}, {219, 1}, {220, 1}, {221, 2}, {440, 221}, {1000, 781}};
  for (const Case& c : cases) {
    OperatorTrace trace;
    for (uint32_t n = 1; n <= c.records; ++n) RecordNumbered(&trace, n);
    const std::vector<Seen> seen = Walk(trace);
    ASSERT_EQ(seen.size(), c.records - (c.oldestKept - 1)) << c.records;
    EXPECT_EQ(trace.Count(), seen.size());
    for (size_t i = 0; i < seen.size(); ++i) {
      const uint32_t n = c.oldestKept + static_cast<uint32_t>(i);
      EXPECT_EQ(seen[i].code, static_cast<uint8_t>(n)) << c.records << " #" << i;
      EXPECT_EQ(seen[i].words[0], n);
      EXPECT_EQ(seen[i].words[3], n + 3);
    }
  }
  OperatorTrace empty;
  EXPECT_EQ(empty.Oldest(), OperatorTrace::kNone);
  EXPECT_EQ(empty.Newest(), OperatorTrace::kNone);
}

TEST(OperatorTraceTest, UnlinkMovesASlotToTheNewestEnd) {
  OperatorTrace trace;
  for (uint32_t n = 1; n <= 4; ++n) RecordNumbered(&trace, n);  // slots 0..3
  auto codes = [&] {
    std::vector<uint8_t> order;
    for (const Seen& s : Walk(trace)) order.push_back(s.code);
    return order;
  };
  trace.Unlink(1);  // from the middle
  EXPECT_EQ(codes(), (std::vector<uint8_t>{1, 3, 4, 2}));
  trace.Unlink(0);  // the oldest
  EXPECT_EQ(codes(), (std::vector<uint8_t>{3, 4, 2, 1}));
  trace.Unlink(0);  // already the newest
  EXPECT_EQ(codes(), (std::vector<uint8_t>{3, 4, 2, 1}));
  trace.Unlink(7);  // never taken: nothing changes
  EXPECT_EQ(codes(), (std::vector<uint8_t>{3, 4, 2, 1}));
  EXPECT_EQ(trace.Count(), 4u);
}

}  // namespace
}  // namespace runtime
