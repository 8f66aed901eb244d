#include "viewer/PageGrid.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/LibraryContext.h"
#include "viewer/RenderRequestCounts.h"

namespace viewer {
namespace {

// Cells numbered 1.. in their placement word, so that moves show.
void FillNumberedGrid(runtime::RecordVector<PageCell>& cells, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    PageCell cell;
    cell.placementWord = i + 1;
    cells.Append(cell);
  }
}

std::vector<uint32_t> GridWords(const runtime::RecordVector<PageCell>& cells) {
  std::vector<uint32_t> words;
  for (const PageCell& cell : cells.Records()) words.push_back(cell.placementWord);
  return words;
}

TEST(PageGridTest, ColumnsAndRowsGrowOnEverySide) {
  runtime::LibraryContext context;
  runtime::RecordVector<PageCell> cells(&context, &context, 0);
  // A 3 x 2 grid gains a column on the left: new cells at 0 and 4.
  FillNumberedGrid(cells, 6);
  PageGrid::AddColumnLeft(cells, 3, 2);
  EXPECT_EQ(GridWords(cells), (std::vector<uint32_t>{0, 1, 2, 3, 0, 4, 5, 6}));
  PageGrid::AddColumnRight(cells, 4, 2);
  EXPECT_EQ(GridWords(cells), (std::vector<uint32_t>{0, 1, 2, 3, 0, 0, 4, 5, 6, 0}));
  PageGrid::AddRowTop(cells, 5);
  EXPECT_EQ(cells.Size(), 15u);
  EXPECT_EQ(cells[5].placementWord, 0u);
  EXPECT_EQ(cells[6].placementWord, 1u);
  PageGrid::AddRowBottom(cells, 5);
  EXPECT_EQ(cells.Size(), 20u);
  EXPECT_EQ(cells[14].placementWord, 0u);
  EXPECT_EQ(cells[13].placementWord, 6u);
  // A new cell is a default record.
  EXPECT_EQ(cells[0].pageWidth, 0);
  EXPECT_EQ(cells[0].pageMatrix, runtime::kIdentityMatrix);
}

class RecordingCountListener : public RenderRequestListener {
 public:
  void OnFinishedCountChanged(void* request, uint32_t finished) override {
    notices.push_back({request, finished});
  }
  std::vector<std::pair<void*, uint32_t>> notices;
};

TEST(PageGridTest, RenderRequestStatesAreCounted) {
  RenderRequestCounts counts;
  RecordingCountListener listener;
  int request = 0;
  RenderRequestCounts::CountStateChange(counts, &listener, &request, 0, 1);
  RenderRequestCounts::CountStateChange(counts, &listener, &request, 1, 2);
  EXPECT_EQ(counts.waiting, 0u);
  EXPECT_EQ(counts.drawing, 1u);
  EXPECT_TRUE(listener.notices.empty());
  RenderRequestCounts::CountStateChange(counts, &listener, &request, 2, 3);
  ASSERT_EQ(listener.notices.size(), 1u);
  EXPECT_EQ(listener.notices[0].first, &request);
  EXPECT_EQ(listener.notices[0].second, 1u);
  // From state 3 to 4 nothing changes and nobody is told.
  RenderRequestCounts::CountStateChange(counts, &listener, &request, 3, 4);
  EXPECT_EQ(counts.finished, 1u);
  EXPECT_EQ(listener.notices.size(), 1u);
  RenderRequestCounts::CountStateChange(counts, &listener, &request, 4, 1);
  EXPECT_EQ(counts.finished, 0u);
  EXPECT_EQ(counts.waiting, 1u);
  EXPECT_EQ(listener.notices.back().second, 0u);
  // A request counted nowhere takes nothing from a counter.
  RenderRequestCounts::CountStateChange(counts, nullptr, &request, 2, 0);
  EXPECT_EQ(counts.drawing, 0u);
}

}  // namespace
}  // namespace viewer
