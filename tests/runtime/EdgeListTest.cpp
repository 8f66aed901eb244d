#include "runtime/EdgeList.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/EdgeRecord.h"
#include "runtime/EdgeScanner.h"
#include "tests/support/FixedValues.h"

namespace runtime {
namespace {

using testsupport::F;
constexpr FixedPoint P(double x, double y) { return {F(x), F(y)}; }

TEST(EdgeRecordTest, SetUp) {
  struct Case {
    const char* name;
    FixedPoint p, q;
    uint8_t direction;
    Fixed x0, y0, x1, y1, slope;
  } cases[] = {
      {"downward", P(0, 0), P(10, 20), EdgeRecord::kDownward, F(0), F(0), F(10), F(20), F(0.5)},
      {"upward keeps the top", P(10, 20), P(0, 0), EdgeRecord::kUpward, F(0), F(0), F(10), F(20),
       F(0.5)},
      {"one row", P(7, 5.8), P(3, 5.2), EdgeRecord::kFlat, F(3), F(5.2), F(7), F(5.8), 0},
      {"same row, reversed y", P(3, 5.9), P(7, 5.1), EdgeRecord::kFlat, F(3), F(5.1), F(7),
       F(5.9), 0},
      {"vertical", P(2, 1), P(2, 9), EdgeRecord::kDownward, F(2), F(1), F(2), F(9), 0},
      {"negative slope", P(4, 0), P(0, 2), EdgeRecord::kDownward, F(4), F(0), F(0), F(2), F(-2)},
      {"slope too steep to hold: vertical", P(0, 0.9), {kFixedMax, F(1.0)},
       EdgeRecord::kDownward, F(0), F(0.9), F(0), F(1.0), 0},
      {"ends further apart than 32 bits hold", {kFixedMin, kFixedMin}, {kFixedMax, kFixedMax},
       EdgeRecord::kDownward, kFixedMin, kFixedMin, kFixedMax, kFixedMax, F(1)},
  };
  for (const Case& c : cases) {
    EdgeRecord edge;
    edge.chain = &edge;
    edge.startsInRow = 9;
    edge.Init(c.p, c.q, 7);
    EXPECT_EQ(edge.direction, c.direction) << c.name;
    EXPECT_EQ(edge.x0, c.x0) << c.name;
    EXPECT_EQ(edge.y0, c.y0) << c.name;
    EXPECT_EQ(edge.x1, c.x1) << c.name;
    EXPECT_EQ(edge.y1, c.y1) << c.name;
    EXPECT_EQ(edge.slope, c.slope) << c.name;
    EXPECT_EQ(edge.pending, 1) << c.name;
    EXPECT_EQ(edge.tag, 7) << c.name;
    EXPECT_EQ(edge.startsInRow, 0) << c.name;
    EXPECT_EQ(edge.chain, nullptr) << c.name;
  }
}

TEST(EdgeRecordTest, SpansPerRow) {
  // A flat edge delivers its span once and then keeps it.
  EdgeRecord flat;
  flat.Init(P(3, 5.2), P(7, 5.8), 0);
  EXPECT_EQ(flat.ScanlineSpan(F(5)), 0);
  EXPECT_EQ(flat.left, F(3));
  EXPECT_EQ(flat.right, F(7));
  EXPECT_EQ(flat.pending, 0);
  flat.left = F(4);
  flat.ScanlineSpan(F(6));
  EXPECT_EQ(flat.left, F(4));  // unchanged

  // x = 1 + y / 2 from (1, 0.5) to (5, 8.5).
  EdgeRecord edge;
  edge.Init(P(1, 0.5), P(5, 8.5), 0);
  struct Row {
    double y;
    Fixed xa, left, right;
  } rows[] = {
      {0, F(0.75), F(1), F(1.25)},    // starts inside the row: span from its top
      {1, F(1.25), F(1.25), F(1.75)}, // a whole row
      {7, F(4.25), F(4.25), F(4.75)}, // the row before the last
      {8, F(4.75), F(4.75), F(5)},    // ends inside the row: span to its bottom
  };
  for (const Row& r : rows) {
    EXPECT_EQ(edge.ScanlineSpan(F(r.y)), r.xa) << r.y;
    EXPECT_EQ(edge.left, r.left) << r.y;
    EXPECT_EQ(edge.right, r.right) << r.y;
  }
  // Leaning left: the span is still stored as [min, max].
  EdgeRecord leftward;
  leftward.Init(P(5, 0), P(1, 8), 0);
  leftward.ScanlineSpan(F(2));
  EXPECT_EQ(leftward.left, F(3.5));
  EXPECT_EQ(leftward.right, F(4));
}

struct Bucketed : EdgeScanner {
  Bucketed(int32_t first, size_t rows) : EdgeScanner(nullptr, nullptr), storage(rows, nullptr) {
    firstRow = first;
    buckets = storage;
  }
  std::vector<Fixed> Lefts(size_t bucket) const {
    std::vector<Fixed> lefts;
    for (EdgeRecord* e = storage[bucket]; e != nullptr; e = e->next) lefts.push_back(e->left);
    return lefts;
  }
  std::vector<EdgeRecord*> storage;
};

TEST(EdgeListTest, ScannerStartsWithItsSentinel) {
  EdgeScanner scanner(nullptr, nullptr);
  EXPECT_EQ(scanner.firstRow, kFixedLowest);
  EXPECT_TRUE(scanner.buckets.empty());
  EXPECT_EQ(scanner.sentinel.x0, static_cast<Fixed>(0x80010000));
  EXPECT_EQ(scanner.sentinel.x1, static_cast<Fixed>(0x80010000));
  EXPECT_EQ(scanner.sentinel.y0, F(-32767));
  EXPECT_EQ(scanner.sentinel.y1, F(32767));
  EXPECT_EQ(scanner.sentinel.direction, EdgeRecord::kDownward);
  EXPECT_EQ(scanner.sentinel.next, nullptr);
  EXPECT_EQ(scanner.sentinel.left, kFixedMin);
  EXPECT_EQ(scanner.sentinel.right, kFixedMin);
  EXPECT_EQ(scanner.nextRow, kFixedMax);
  EXPECT_EQ(scanner.evenOdd, 0u);
  EXPECT_EQ(scanner.edgeCount, 0u);
  EXPECT_EQ(scanner.weightedEdgeCount, 0u);
}

TEST(EdgeListTest, BucketsStaySortedByLeftEnd) {
  Bucketed list(10, 4);
  EdgeRecord edges[5];
  const double xs[] = {5, 2, 8, 5, 1};
  for (int i = 0; i < 5; ++i) {
    edges[i].Init(P(xs[i], 11), P(xs[i], 13), 0);
    list.RowStep(&edges[i], 11);
  }
  // Equal edges: the later one goes in front of the earlier one when it
  // meets it at the head, after it otherwise.
  EXPECT_EQ(list.Lefts(1), (std::vector<Fixed>{F(1), F(2), F(5), F(5), F(8)}));
  EXPECT_EQ(list.storage[1], &edges[4]);
  EXPECT_EQ(edges[1].next, &edges[0]);
  EXPECT_EQ(edges[0].next, &edges[3]);
  // The insert operation answers 0 only when the edge belongs before the
  // head.
  EdgeRecord extra;
  extra.Init(P(3, 11), P(3, 13), 0);
  extra.ScanlineSpan(F(11));
  EXPECT_EQ(EdgeList::InsertSorted(list.storage[1], &extra), 1);
  EXPECT_EQ(list.Lefts(1), (std::vector<Fixed>{F(1), F(2), F(3), F(5), F(5), F(8)}));
  EdgeRecord first;
  first.Init(P(1, 11), P(1, 13), 0);
  first.ScanlineSpan(F(11));
  EXPECT_EQ(EdgeList::InsertSorted(list.storage[1], &first), 0);

  // Rows outside the table file nothing.
  EdgeRecord outside;
  outside.Init(P(0, 0), P(0, 100), 0);
  EXPECT_EQ(list.RowStep(&outside, 9), 0);
  EXPECT_EQ(list.RowStep(&outside, 14), 0);
  EXPECT_EQ(list.RowStep(&outside, kFixedMax), 0);
  for (size_t i = 0; i < 4; ++i)
    for (EdgeRecord* e = list.storage[i]; e != nullptr; e = e->next) EXPECT_NE(e, &outside);
}

// An edge whose span in its row is [left, right].
EdgeRecord Spanning(double left, double right, uint8_t closing, uint8_t direction) {
  EdgeRecord e;
  e.left = F(left);
  e.right = F(right);
  e.tag = closing;
  e.direction = direction;
  return e;
}

TEST(EdgeListTest, CompareOrdersBySpanThenClosingThenDirection) {
  constexpr uint8_t kDown = EdgeRecord::kDownward, kUp = EdgeRecord::kUpward;
  struct Case {
    const char* name;
    EdgeRecord a, b;
    int sign;
  } cases[] = {
      {"left end first", Spanning(1, 9, 1, kDown), Spanning(2, 3, 0, kUp), -1},
      {"then right end", Spanning(1, 4, 0, kUp), Spanning(1, 3, 0, kDown), 1},
      {"a closing edge after an open one", Spanning(1, 3, 1, kUp), Spanning(1, 3, 0, kDown), 1},
      {"any closing byte counts", Spanning(1, 3, 0, kUp), Spanning(1, 3, 7, kUp), -1},
      {"then the direction bytes", Spanning(1, 3, 0, kUp), Spanning(1, 3, 0, kDown), -1},
      {"equal", Spanning(1, 3, 1, kDown), Spanning(1, 3, 1, kDown), 0},
      {"extreme ends do not wrap", Spanning(-32768, 0, 0, 0), Spanning(32767, 0, 0, 0), -1},
  };
  for (const Case& c : cases) {
    const int ab = EdgeRecord::Compare(c.a, c.b), ba = EdgeRecord::Compare(c.b, c.a);
    EXPECT_EQ((ab > 0) - (ab < 0), c.sign) << c.name;
    EXPECT_EQ((ba > 0) - (ba < 0), -c.sign) << c.name;
  }
}

TEST(EdgeListTest, InsertPointIsAfterEverythingBeforeOrEqual) {
  EdgeRecord list[4] = {Spanning(1, 2, 0, 1), Spanning(3, 4, 0, 1), Spanning(3, 4, 1, 1),
                        Spanning(6, 7, 0, 1)};
  for (int i = 0; i < 3; ++i) list[i].next = &list[i + 1];
  struct Case {
    const char* name;
    EdgeRecord edge;
    int after;  // index of the record the edge follows
  } cases[] = {
      {"before the head still follows it", Spanning(0, 1, 0, 1), 0},
      {"equal to the head", Spanning(1, 2, 0, 1), 0},
      {"between two", Spanning(2, 9, 0, 1), 0},
      {"equal to an open edge, before the closing one", Spanning(3, 4, 0, 1), 1},
      {"after the equal closing edge", Spanning(3, 4, 1, 1), 2},
      {"past the end", Spanning(9, 9, 0, 1), 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EdgeList::FindInsertPoint(&list[0], c.edge), &list[c.after]) << c.name;
  }
  EdgeRecord single = Spanning(5, 5, 0, 1);
  EXPECT_EQ(EdgeList::FindInsertPoint(&single, Spanning(9, 9, 0, 1)), &single);
}

TEST(EdgeListTest, AccumulateSpanSkipsClosingEdges) {
  SpanRange range;
  EXPECT_TRUE(range.IsEmpty());
  EdgeRecord open, closing, flat;
  open.Init(P(2, 0), P(6, 8), 0);      // x from 2 to 6 over 8 rows
  closing.Init(P(0, 0), P(20, 8), 1);  // would widen the range, but closes the path
  flat.Init(P(7, 3.2), P(9, 3.8), 0);
  EXPECT_EQ(EdgeList::AccumulateSpan(range, F(4), open), F(4));
  EXPECT_EQ(range.min, F(4));
  EXPECT_EQ(range.max, F(4.5));
  EXPECT_TRUE(range.changed);
  range.changed = false;
  EdgeList::AccumulateSpan(range, F(4), closing);
  EXPECT_EQ(closing.left, F(10));  // its span is still taken
  EXPECT_EQ(range.max, F(4.5));
  EXPECT_FALSE(range.changed);
  EXPECT_EQ(EdgeList::AccumulateSpan(range, F(3), flat), 0);
  EXPECT_EQ(range.min, F(4));
  EXPECT_EQ(range.max, F(9));
  EXPECT_TRUE(range.changed);

  EdgeScanner scanner(nullptr, nullptr);
  EXPECT_EQ(scanner.Count(), 0u);
  scanner.edgeCount = 3;
  EXPECT_EQ(scanner.Count(), 3u);
}

TEST(EdgeListTest, ChainSuccessorsAbsorbEdgesThatEndInTheRow) {
  Bucketed list(0, 8);
  // A zig-zag whose first two edges lie within row 2: the third edge is
  // filed, carrying their span.
  EdgeRecord a, b, c;
  a.Init(P(1, 2.1), P(4, 2.2), 0);
  b.Init(P(4, 2.2), P(6, 2.9), 0);
  c.Init(P(6, 2.9), P(6, 7), 0);
  a.chain = &b;
  b.chain = &c;
  list.RowStep(&a, 2);
  EXPECT_EQ(list.storage[2], &c);
  EXPECT_EQ(c.left, F(1));
  EXPECT_EQ(c.right, F(6));
}

TEST(EdgeListTest, SeekRowFindsTheEdgeTheRowNeeds) {
  struct Case {
    const char* name;
    int32_t row, lookAhead;
    int stepped;  // index into the chain, -1 for none
    int32_t bucketRow;
  } cases[] = {
      {"edge above reaching the row", 5, 2, 1, 5},
      {"first starts within the look-ahead", 0, 3, 0, 2},
      {"first starts beyond the look-ahead", 0, 2, -1, 0},
      {"past every edge", 30, 2, -1, 0},
  };
  for (const Case& c : cases) {
    Bucketed list(0, 32);
    list.currentRow = c.row;
    list.lookAheadRows = c.lookAhead;
    EdgeRecord chain[3];
    chain[0].Init(P(0, 2), P(0, 4), 0);  // rows 2..4
    chain[1].Init(P(0, 4), P(0, 9), 0);  // rows 4..9
    chain[2].Init(P(0, 9), P(0, 12), 0);
    chain[0].chain = &chain[1];
    chain[1].chain = &chain[2];
    EdgeRecord* found = list.SeekRow(&chain[0]);
    if (c.stepped < 0) {
      EXPECT_EQ(found, nullptr) << c.name;
      for (EdgeRecord* head : list.storage) EXPECT_EQ(head, nullptr) << c.name;
    } else {
      EXPECT_EQ(found, &chain[c.stepped]) << c.name;
      EXPECT_EQ(list.storage[c.bucketRow], &chain[c.stepped]) << c.name;
    }
  }
}

}  // namespace
}  // namespace runtime
