#include "raster/SubdivideAndPaint.h"

#include <gtest/gtest.h>

#include <vector>

namespace raster {
namespace {

struct SplitInterval {
  int32_t from = 0, to = 0;
  bool final = false;
};

// Splits intervals wider than `limit`; an unbounded painter splits for ever.
struct IntervalPainter {
  int32_t limit = 1;
  bool forever = false;
  std::vector<SplitInterval> leaves;  // the first 64
  size_t leafCount = 0;

  bool IsFinal(const SplitInterval& part) const { return part.final; }
  bool Split(const SplitInterval& part, SplitInterval& first, SplitInterval& second) {
    if (!forever && part.to - part.from <= limit) return false;
    const int32_t middle = part.from + (part.to - part.from) / 2;
    first = {part.from, middle};
    second = {middle, part.to};
    return true;
  }
  void PaintLeaf(const SplitInterval& part) {
    if (++leafCount <= 64) leaves.push_back(part);
  }
};

TEST(SubdivideAndPaintTest, PartsSplitUntilThePainterStopsOrTheDepthLimit) {
  runtime::LibraryContext context;
  struct Case {
    const char* name;
    bool subdivide, forever, final;
    size_t leaves;
  } cases[] = {
      {"splits to width 1", true, false, false, 16},
      {"subdivision off", false, false, false, 1},
      {"final parts are leaves", true, false, true, 1},
      {"a painter that never stops is cut at the depth limit", true, true, false, size_t{1} << kMaxSubdivisionDepth},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    IntervalPainter painter;
    painter.forever = test.forever;
    SubdivideAndPaint(painter, test.subdivide, SplitInterval{0, 16, test.final}, &context, 0);
    EXPECT_EQ(painter.leafCount, test.leaves);
    if (test.leaves == 16) {
      EXPECT_EQ(painter.leaves[5].from, 5);
    }
  }
}

}  // namespace
}  // namespace raster
