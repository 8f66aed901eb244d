#include "viewer/ViewTransform.h"

#include <utility>

namespace viewer {

void ViewTransform::Mirror(OptionalPair& anchor) {
  if (!anchor.present) return;
  const runtime::Fixed x = anchor.x;
  anchor.x = runtime::kFixedOne - anchor.y;
  anchor.y = runtime::kFixedOne - x;
}

void ViewTransform::Rotate(ViewTransform& t, int32_t degrees) {
  switch (degrees) {
    case 0:
      return;
    case 90:
      std::swap(t.first, t.second);
      Mirror(t.second);
      return;
    case 180:
      Mirror(t.first);
      Mirror(t.second);
      return;
    default:
      std::swap(t.first, t.second);
      Mirror(t.first);
      return;
  }
}

}  // namespace viewer
