#pragma once
// Separable blend modes. A blend function turns (backdrop, source) into a
// compositing node whose stages blend the source with the backdrop; which
// stage class a mode uses depends on whether the blending space is
// subtractive, where modes work on complemented values and Multiply and
// Screen, Darken and Lighten, ColorDodge and ColorBurn exchange stages.
#include <cstdint>

#include "raster/ColorSpace.h"
#include "raster/CompositorNode.h"

namespace raster {

// Blend mode numbers as the content parser produces them.
enum BlendMode : int32_t {
  kBlendNormal = 0,
  kBlendMultiply,
  kBlendScreen,
  kBlendOverlay,
  kBlendDarken,
  kBlendLighten,
  kBlendColorDodge,
  kBlendColorBurn,
  kBlendHardLight,
  kBlendSoftLight,
  kBlendDifference,
  kBlendExclusion,
};

struct BlendCompositor {
  // The stage class of a mode (1..11) for an additive or subtractive space.
  static BlendStageClass StageClassFor(int32_t mode, bool subtractive);
  static PipelineNode* Create(runtime::ArenaAllocator& arena, int32_t mode, const ColorSpace& space,
                              const PixelTriple& destination, PipelineNode* backdrop, PipelineNode* source);
};

class BlendFunction {
 public:
  // A function for modes 1..11; null for Normal and for any unknown mode,
  // which callers composite normally.
  static BlendFunction* Create(runtime::ArenaAllocator& arena, int32_t mode);

  explicit BlendFunction(int32_t mode) : mode_(mode) {}
  int32_t Mode() const { return mode_; }
  PipelineNode* CreateCompositor(runtime::ArenaAllocator& arena, const ColorSpace& space,
                                 const PixelTriple& destination, PipelineNode* backdrop,
                                 PipelineNode* source) const {
    return BlendCompositor::Create(arena, mode_, space, destination, backdrop, source);
  }

 private:
  int32_t mode_;
};

}  // namespace raster
