#pragma once
// How a page's render entry is drawn: a mode word and, when the drawing
// departs from the page's own content, the object that overrides it. The
// render-queue loop takes the quick path only for the plain mode.
#include <cstdint>

namespace raster {

struct RenderState {
  // The page drawn as its content says, with nothing laid over it.
  static constexpr uint32_t kPlainMode = 2;

  uint32_t mode = 0;
  const void* override = nullptr;

  // True for mode 2 without an override; false for a missing state.
  static bool IsPlainMode(const RenderState* state) {
    return state != nullptr && state->mode == kPlainMode && state->override == nullptr;
  }
};

}  // namespace raster
