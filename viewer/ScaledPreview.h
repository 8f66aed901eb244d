#pragma once
// What a page shows between a zoom and its drawing at the new size: the
// old bitmap's pixels, scaled onto the new bitmap where the same part of
// the page now lies. Only a change of scale (and position) is previewed;
// a turn changes which way the pixels run and gets no preview.
#include <cstdint>

#include "runtime/Matrix.h"
#include "runtime/Rect.h"
#include "viewer/HostBitmap.h"

namespace viewer {

struct PagePlacement;

class ScaledPreview {
 public:
  // Whether the two placements turn the page the same way (the signs of
  // their matrices' four entries and their rotations agree).
  static bool SameTurn(const PagePlacement& a, const PagePlacement& b);
  // Copies `from` (holding page pixels of `fromMatrix` from `fromOrigin`)
  // onto `to` (page pixels of `toMatrix` from `toOrigin`), scaled, where
  // the two show the same part of the page. The host scales when it can;
  // otherwise the pixels are copied nearest-first. The destination
  // rectangle (in `to`) is returned, empty when nothing was copied.
  static runtime::IntRect Copy(const HostBitmap& from, int32_t fromX, int32_t fromY,
                               const runtime::Matrix& fromMatrix, HostBitmap& to, int32_t toX, int32_t toY,
                               const runtime::Matrix& toMatrix);
};

}  // namespace viewer
