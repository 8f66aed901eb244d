#pragma once
// Where a page sits in the view: a matrix and up to two anchors, each a
// point of the page given as fractions of its width and height (0 to 1.0).
// Records of this kind are copied and exchanged on every scroll, zoom and
// turn, so they are plain values.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/Matrix.h"

namespace viewer {

// Two Fixed words or nothing.
struct OptionalPair {
  bool present = false;
  runtime::Fixed x = 0, y = 0;

  static OptionalPair Of(runtime::Fixed px, runtime::Fixed py) { return {true, px, py}; }
  friend bool operator==(const OptionalPair&, const OptionalPair&) = default;
};

struct ViewTransform {
  runtime::Matrix matrix;
  OptionalPair first;
  OptionalPair second;

  friend bool operator==(const ViewTransform&, const ViewTransform&) = default;
  // Turns the anchors with the page by a quarter-turn rotation in degrees
  // (0, 90, 180; any other value counts as 270). An absent anchor stays
  // absent.
  static void Rotate(ViewTransform& t, int32_t degrees);
  // The anchor as seen after the page is flipped about its anti-diagonal:
  // (x, y) becomes (1.0 - y, 1.0 - x).
  static void Mirror(OptionalPair& anchor);
};

}  // namespace viewer
