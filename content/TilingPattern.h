#pragma once
// A tiling pattern (PatternType 1): its cell box, steps and matrix, and
// the grid of cells that a painted area meets. Drawing a cell is left to
// the caller (the painter plays the pattern's content stream under the
// cell matrix); this type decides which cells are drawn and where.
#include <cstdint>

#include "runtime/Matrix.h"
#include "runtime/ObjectHandle.h"
#include "runtime/Rect.h"

namespace content {

struct TilingPattern {
  runtime::Rect bbox;
  runtime::Fixed xStep = 0;
  runtime::Fixed yStep = 0;
  // Pattern space to device: the normalised "Matrix", then the base
  // transform.
  runtime::Matrix matrix;
  // "PaintType" 2: the cells give shape only, painted in the colour the
  // pattern was selected with.
  bool uncoloured = false;
  int32_t tilingType = 1;
  // The pattern's stream: its dictionary, resources and content.
  runtime::ObjectHandle stream;

  // Cells drawn one by one for one fill at most. Cells rendered once into
  // a tile and repeated do not count against it.
  static constexpr uint32_t kMaxCells = 4096;

  // Reads the pattern. (runtime, 2) for a missing or mistyped "PaintType",
  // a "PaintType" other than 1 or 2, a "TilingType" other than 1 to 3, a
  // missing or zero step, a missing "BBox" or a mistyped "Matrix".
  static TilingPattern Parse(const runtime::ObjectHandle& pattern, const runtime::Matrix& base);
  // `m` with its translation moved by whole steps to the cell nearest the
  // origin: the grid keeps its place, the translation stays small.
  static runtime::Matrix NormaliseTranslation(const runtime::Matrix& m, runtime::Fixed xStep, runtime::Fixed yStep);
  // Whether the pattern paints nothing: an empty box or a singular matrix.
  bool PaintsNothing() const;

  using CellVisitor = void (*)(void* user, int32_t column, int32_t row, const runtime::Matrix& cellMatrix);
  // Visits every cell whose box, through the pattern matrix, can meet
  // `area` (device space), row by row, with the cell matrix: the
  // translation by (column x XStep, row x YStep), then the pattern matrix.
  // Stops after `limit` cells. Returns the number visited; `complete` is
  // false when cells were left out at the limit. (runtime, 2) for a
  // singular matrix.
  uint32_t VisitCells(const runtime::Rect& area, uint32_t limit, bool& complete, CellVisitor visit,
                      void* user) const;
  // The number of cells VisitCells would visit without a limit, saturated
  // at `cap`.
  uint64_t CountCells(const runtime::Rect& area, uint64_t cap) const;
};

}  // namespace content
