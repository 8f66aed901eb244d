#pragma once
// Growth of a grid of page cells stored row by row: a column or a row of
// default cells added on any side. The caller updates the grid's bounds.
#include <cstdint>

#include "runtime/RecordVector.h"
#include "viewer/PageCell.h"

namespace viewer {

struct PageGrid {
  // `columns` and `rows` are the grid's size before the call.
  static void AddColumnLeft(runtime::RecordVector<PageCell>& cells, int32_t columns, int32_t rows);
  static void AddColumnRight(runtime::RecordVector<PageCell>& cells, int32_t columns, int32_t rows);
  static void AddRowTop(runtime::RecordVector<PageCell>& cells, int32_t columns);
  static void AddRowBottom(runtime::RecordVector<PageCell>& cells, int32_t columns);
};

}  // namespace viewer
