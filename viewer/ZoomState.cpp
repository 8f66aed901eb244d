#include "viewer/ZoomState.h"

namespace viewer {

bool ZoomState::Set(int32_t newMode, runtime::Fixed newFactor) {
  const bool changed = newMode != mode || (newMode == kZoomExplicit && newFactor != factor);
  mode = newMode;
  factor = newFactor;
  return changed;
}

}  // namespace viewer
