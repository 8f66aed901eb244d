#pragma once
// Operations on a direction vector of two `Fixed` components.
#include "runtime/Fixed.h"

namespace runtime {

struct Vector {
  // Replaces (x, y) by the unit vector along its larger component; y wins
  // ties, a component of 0 or below gives -1.0, so (0, 0) becomes (0, -1.0).
  static void SnapToAxis(Fixed& x, Fixed& y) {
    if (Magnitude(x) <= Magnitude(y)) {
      x = 0;
      y = y <= 0 ? -kFixedOne : kFixedOne;
    } else {
      y = 0;
      x = x <= 0 ? -kFixedOne : kFixedOne;
    }
  }
};

}  // namespace runtime
