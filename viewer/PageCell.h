#pragma once
// One laid-out cell of the page grid: the page's size in device pixels, its
// placement matrix and how it is placed in its cell.
#include <cstdint>

#include "runtime/Matrix.h"

namespace viewer {

// The page is laid out alone across the whole window (reflowed text).
inline constexpr uint32_t kCellAlone = 1;

struct PageCell {
  uint32_t flags = 0;
  int64_t pageWidth = 0, pageHeight = 0;
  // The page's own rotation in degrees.
  int32_t pageRotation = 0;
  // A matrix the page was drawn with before its own (none unless set).
  bool hasExtraMatrix = false;
  runtime::Matrix extraMatrix;
  // A word the page placement carries along unchanged.
  uint32_t placementWord = 0;
  // Page space to layout space.
  runtime::Matrix pageMatrix;
};

}  // namespace viewer
