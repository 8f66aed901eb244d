#pragma once
// A page's size and margins in the view, with its view transform, under
// one view rotation.
#include <cstdint>
#include <utility>

#include "runtime/Fixed.h"
#include "viewer/ViewTransform.h"

namespace viewer {

struct PageGeometry {
  runtime::Fixed width = 0, height = 0;
  // Two pairs of words that follow the page's axes: the first along x,
  // the second along y.
  runtime::Fixed alongX[2] = {};
  runtime::Fixed alongY[2] = {};
  ViewTransform transform;
  runtime::Fixed extra[4] = {};
  // A second width and height (the size of the page's box).
  runtime::Fixed boxWidth = 0, boxHeight = 0;
  // 0, 90, 180 or 270.
  int32_t rotation = 0;

  friend bool operator==(const PageGeometry&, const PageGeometry&) = default;
  // Turns the geometry by its rotation: a quarter turn exchanges width and
  // height, the two pairs and the box's width and height; the anchors turn
  // with the page.
  static void ApplyRotation(PageGeometry& g);
  static void Swap(PageGeometry& p, PageGeometry& q) { std::swap(p, q); }
};

}  // namespace viewer
