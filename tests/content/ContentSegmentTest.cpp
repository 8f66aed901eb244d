// The content-position key and the segment cursor: which operations a
// handler given a segment list paints, and with which matrix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/ContentSegment.h"
#include "content/LoggingHandler.h"
#include "runtime/LibraryContext.h"
#include "tests/content/ContentTestSupport.h"

namespace {

using content::ContentKey;
using content::ContentSegment;
using runtime::FixedFromInt;

// Notes, for every line width set, the operation's number, whether it is
// inside the current segment and the combined matrix's scale and offset.
// Width 6 also names the place (1, 0) inside its operation.
class SegmentProbe : public content::LoggingHandler {
 public:
  SegmentProbe(runtime::LibraryContext* context, const runtime::ObjectHandle* resources,
               const content::ContentSegmentList* segments)
      : LoggingHandler(context, content::PageInfo{}, resources, segments) {}

  void SetLineWidth(runtime::Fixed width) override {
    Note();
    if (width == FixedFromInt(6)) {
      SetKeyWords(1, 0);
      Note();
    }
  }

  std::vector<std::string> notes;

 private:
  void Note() {
    std::string note = "op" + std::to_string(Key().operation);
    if (Key().words[0] != 0) note += "." + std::to_string(Key().words[0]);
    if (!InCurrentSegment()) {
      notes.push_back(note + " out");
      return;
    }
    const runtime::Matrix m = SegmentCtm();
    notes.push_back(note + " in " + FormatFixed(m.a) + " " + FormatFixed(m.e) + " " +
                    FormatFixed(m.f));
  }
};

ContentKey Key(uint32_t operation, uint32_t word = 0, uint32_t mode = 0) {
  return ContentKey{mode, operation, {word, 0}};
}

runtime::Matrix Translation(int x, int y) {
  return {runtime::kFixedOne, 0, 0, runtime::kFixedOne, FixedFromInt(x), FixedFromInt(y)};
}

TEST(ContentKeyTest, OrdersByModeThenOperationThenWords) {
  const ContentKey ascending[] = {
      {0, 5, {9, 9}}, {1, 0, {0, 0}}, {1, 1, {0, 0}}, {1, 1, {0, 7}}, {1, 1, {2, 0}},
      {1, 2, {0, 0}},
  };
  for (size_t i = 0; i + 1 < std::size(ascending); ++i) {
    EXPECT_LT(ascending[i], ascending[i + 1]) << i;
    EXPECT_FALSE(ascending[i + 1] < ascending[i]) << i;
  }
  EXPECT_EQ((ContentKey{1, 1, {2, 0}}), (ContentKey{1, 1, {2, 0}}));
}

class ContentSegmentTest : public ::testing::Test {
 protected:
  std::vector<std::string> Play(const content::ContentSegmentList* segments) {
    contenttest::Program program(&context_,
                                 "1 w 2 w 3 w 4 w 5 w 6 w 2 0 0 2 0 0 cm 7 w 8 w");
    SegmentProbe probe(&context_, &program.Resources(), segments);
    content::ContentStream::Run(program.Machine(), probe);
    return probe.notes;
  }
  runtime::LibraryContext context_;
};

TEST_F(ContentSegmentTest, PaintsOnlyInsideTheCurrentSegment) {
  const ContentSegment segments[] = {
      {Key(0), Key(0), Translation(9, 9)},            // before every operation
      {Key(2), Key(3), Translation(100, 0)},          // two whole operations
      {Key(5), Key(5), Translation(0, 50)},           // one operation
      {Key(6, 1), Key(6, 5), Translation(10, 10)},    // a place inside one
      {Key(8), Key(8), Translation(1, 1)},            // after a cm
      {Key(9, 0, 1), Key(9, 0, 1), Translation(5, 5)},  // other content
  };
  const content::ContentSegmentList list{segments, std::size(segments)};
  EXPECT_EQ(Play(&list), (std::vector<std::string>{
                             "op1 out", "op2 in 1 100 0", "op3 in 1 100 0", "op4 out",
                             "op5 in 1 0 50", "op6 out", "op6.1 in 1 10 10", "op8 in 2 1 1",
                             "op9 out"}));
}

TEST_F(ContentSegmentTest, NoListPaintsAllAndAnEmptyListNothing) {
  EXPECT_EQ(Play(nullptr), (std::vector<std::string>{
                               "op1 in 1 0 0", "op2 in 1 0 0", "op3 in 1 0 0", "op4 in 1 0 0",
                               "op5 in 1 0 0", "op6 in 1 0 0", "op6.1 in 1 0 0",
                               "op8 in 2 0 0", "op9 in 2 0 0"}));
  const content::ContentSegmentList empty{};
  for (const std::string& note : Play(&empty)) EXPECT_NE(note.find(" out"), std::string::npos);
}

TEST_F(ContentSegmentTest, StateMatrixOnlyWithoutASegmentList) {
  const content::ContentSegment segments[] = {{Key(0), Key(9), Translation(1, 1)}};
  const content::ContentSegmentList list{segments, 1};
  const content::ContentSegmentList empty{};
  struct Case {
    const char* name;
    const content::ContentSegmentList* segments;
    bool hasMatrix;
    bool answered;
  } cases[] = {
      {"no list, matrix set", nullptr, true, true},
      {"no list, flag clear", nullptr, false, false},
      {"a list hides the matrix", &list, true, false},
      {"an empty list hides it too", &empty, true, false},
  };
  for (const Case& c : cases) {
    contenttest::Program program(&context_, "");
    SegmentProbe probe(&context_, &program.Resources(), c.segments);
    probe.State().extraMatrix = Translation(3, 4);
    probe.State().hasExtraMatrix = c.hasMatrix;
    const runtime::Matrix* matrix = probe.OptionalStateMatrix();
    EXPECT_EQ(matrix != nullptr, c.answered) << c.name;
    if (matrix != nullptr) {
      EXPECT_EQ(*matrix, Translation(3, 4)) << c.name;
    }
  }
}

}  // namespace
