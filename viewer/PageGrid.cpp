#include "viewer/PageGrid.h"

#include <algorithm>


namespace viewer {
namespace {

// Room for `more` cells, with ten to spare, before any is inserted.
void ReserveGridRoom(runtime::RecordVector<PageCell>& cells, uint32_t more) {
  const uint64_t needed = static_cast<uint64_t>(cells.Size()) + more;
  if (needed <= cells.Capacity()) return;
  // A size beyond 32 bits is left to the checked reservation to report.
  cells.Reserve(static_cast<uint32_t>(std::min<uint64_t>(needed + 10, UINT32_MAX)));
}

// `count` default cells inserted at `index`.
void InsertGridCells(runtime::RecordVector<PageCell>& cells, uint32_t index, uint32_t count) {
  const uint32_t oldSize = cells.Size();
  for (uint32_t i = 0; i < count; ++i) cells.Append(PageCell{});
  auto records = cells.Records();
  std::rotate(records.begin() + index, records.begin() + oldSize, records.end());
}

uint32_t GridCount(int32_t n) { return n < 0 ? 0u : static_cast<uint32_t>(n); }

}  // namespace

void PageGrid::AddColumnLeft(runtime::RecordVector<PageCell>& cells, int32_t columns, int32_t rows) {
  const uint32_t width = GridCount(columns) + 1, height = GridCount(rows);
  ReserveGridRoom(cells, height);
  for (uint32_t r = 0; r < height; ++r) InsertGridCells(cells, r * width, 1);
}

void PageGrid::AddColumnRight(runtime::RecordVector<PageCell>& cells, int32_t columns,
                              int32_t rows) {
  const uint32_t width = GridCount(columns) + 1, height = GridCount(rows);
  ReserveGridRoom(cells, height);
  for (uint32_t r = 0; r < height; ++r) InsertGridCells(cells, (r + 1) * width - 1, 1);
}

void PageGrid::AddRowTop(runtime::RecordVector<PageCell>& cells, int32_t columns) {
  ReserveGridRoom(cells, GridCount(columns));
  InsertGridCells(cells, 0, GridCount(columns));
}

void PageGrid::AddRowBottom(runtime::RecordVector<PageCell>& cells, int32_t columns) {
  ReserveGridRoom(cells, GridCount(columns));
  InsertGridCells(cells, cells.Size(), GridCount(columns));
}

}  // namespace viewer
