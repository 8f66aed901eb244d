#pragma once
// The zoom the user asked for: a mode and, in the explicit mode, a factor.
#include <cstdint>

#include "runtime/Fixed.h"
#include "viewer/PageLayoutParams.h"

namespace viewer {

struct ZoomState {
  int32_t mode = kZoomFitWidth;
  runtime::Fixed factor = runtime::kFixedOne;

  // Stores the mode and factor; true when that changes the zoom. The factor
  // counts only in the explicit mode.
  bool Set(int32_t newMode, runtime::Fixed newFactor);
};

}  // namespace viewer
