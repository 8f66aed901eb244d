#include "viewer/PageGeometry.h"

#include <algorithm>

namespace viewer {

void PageGeometry::ApplyRotation(PageGeometry& g) {
  if (g.rotation == 90 || g.rotation == 270) {
    std::swap(g.width, g.height);
    std::swap_ranges(g.alongX, g.alongX + 2, g.alongY);
    std::swap(g.boxWidth, g.boxHeight);
  }
  ViewTransform::Rotate(g.transform, g.rotation);
}

}  // namespace viewer
