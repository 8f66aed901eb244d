#include "raster/BlendFunction.h"

#include "runtime/ErrorTrap.h"

namespace raster {
namespace {

using C = BlendStageClass;
// Per mode 1..11: the class in an additive space, then in a subtractive one.
constexpr C kStageClasses[11][2] = {
    {C::kMultiply, C::kScreen},           {C::kScreen, C::kMultiply},
    {C::kOverlay, C::kOverlayComplement}, {C::kDarken, C::kLighten},
    {C::kLighten, C::kDarken},            {C::kColorDodge, C::kColorBurn},
    {C::kColorBurn, C::kColorDodge},      {C::kHardLight, C::kHardLightComplement},
    {C::kSoftLight, C::kSoftLightComplement}, {C::kDifference, C::kDifferenceComplement},
    {C::kExclusion, C::kExclusionComplement},
};

}  // namespace

BlendStageClass BlendCompositor::StageClassFor(int32_t mode, bool subtractive) {
  if (mode < kBlendMultiply || mode > kBlendExclusion) runtime::ThrowRuntime(runtime::kMalformed);
  return kStageClasses[mode - 1][subtractive ? 1 : 0];
}

PipelineNode* BlendCompositor::Create(runtime::ArenaAllocator& arena, int32_t mode, const ColorSpace& space,
                                      const PixelTriple& destination, PipelineNode* backdrop,
                                      PipelineNode* source) {
  return CompositorNode::CreateBlend(arena, StageClassFor(mode, space.IsSubtractive()), destination, backdrop,
                                     source);
}

BlendFunction* BlendFunction::Create(runtime::ArenaAllocator& arena, int32_t mode) {
  if (mode < kBlendMultiply || mode > kBlendExclusion) return nullptr;
  return runtime::NewInArena<BlendFunction>(arena, mode);
}

}  // namespace raster
