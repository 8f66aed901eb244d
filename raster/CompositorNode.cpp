#include "raster/CompositorNode.h"

namespace raster {
namespace {

using Arena = runtime::ArenaAllocator;
using LevelMaker = CompositingNode::LevelMaker;

PipelineNode* Build(Arena& arena, const PixelTriple& destination, PipelineNode* first, PipelineNode* second,
                    PipelineNode* third, StageMaker make, LevelMaker level = nullptr,
                    const IntRect& area = kUnboundedPixels) {
  return runtime::NewInArena<CompositingNode>(arena, arena, destination, first, second, third, make, level, area);
}

// The record of one plane three times: everything zero or everything opaque.
StageEntry* Constant(StageContext& stage, PixelPlane* plane) {
  return runtime::NewInArena<PassThroughStage>(stage.arena, stage.outputs, PixelTriple{plane, plane, plane});
}

StageEntry* MaskLevel(StageContext& stage, PipelineNode* const* inputs) {
  const PixelPlane* mask = stage.first->shape;
  if (PixelPlane::IsAbsentOrOpaque(mask)) return PassThroughStage::CreateForRecords(stage.arena, stage.outputs, inputs[1]);
  if (mask->IsZeroConstant()) return Constant(stage, PixelPlane::Zero());
  return nullptr;
}

StageEntry* MakeMask(StageContext& stage) {
  return ConstantMaskStage::Applies(stage) ? MakeStage<ConstantMaskStage>(stage) : MakeStage<MaskStage>(stage);
}

StageEntry* UnionLevel(StageContext& stage, PipelineNode* const* inputs) {
  const PixelPlane* mask = stage.first->shape;
  if (PixelPlane::IsAbsentOrOpaque(mask)) return Constant(stage, PixelPlane::Opaque());
  if (mask->IsZeroConstant()) return PassThroughStage::CreateForRecords(stage.arena, stage.outputs, inputs[1]);
  return nullptr;
}

StageEntry* MakeUnion(StageContext& stage) {
  return ShapeUnion1Stage::Applies(stage) ? MakeStage<ShapeUnion1Stage>(stage) : MakeStage<ShapeUnionStage>(stage);
}

// Interpolation by a mask whose run is a shared constant needs no stage:
// where it is empty the destination passes through, where it is full the
// result does. Coverage and clip masks both skip their empty and full runs.
StageEntry* LerpLevel(StageContext& stage, PipelineNode* const* inputs) {
  const PixelPlane* mask = stage.first->shape;
  if (PixelPlane::IsAbsentOrOpaque(mask)) return PassThroughStage::CreateForRecords(stage.arena, stage.outputs, inputs[2]);
  if (mask->IsZeroConstant()) return PassThroughStage::CreateForRecords(stage.arena, stage.outputs, inputs[1]);
  return nullptr;
}

StageEntry* MakeNormal(StageContext& stage) {
  return NormalInterleavedStage::CanUse(stage) ? MakeStage<NormalInterleavedStage>(stage)
                                               : MakeStage<NormalStage>(stage);
}

StageEntry* MakeLerp(StageContext& stage) {
  // The fast variants in a fixed order; the general stage always applies.
  if (LerpInterleavedStage::CanUseInterleaved(stage)) return MakeStage<LerpInterleavedStage>(stage);
  if (LerpToColourStage::CanUse(stage)) return MakeStage<LerpToColourStage>(stage);
  if (LerpToColourConstMaskStage::CanUse(stage)) return MakeStage<LerpToColourConstMaskStage>(stage);
  return MakeStage<LerpSingleMaskStage>(stage);
}

constexpr StageMaker kBlendMakers[kBlendStageClassCount] = {
    &MakeStage<MultiplyStage>,          &MakeStage<ScreenStage>,
    &MakeStage<OverlayStage>,           &MakeStage<DarkenStage>,
    &MakeStage<LightenStage>,           &MakeStage<ColorDodgeStage>,
    &MakeStage<ColorBurnStage>,         &MakeStage<HardLightStage>,
    &MakeStage<SoftLightStage>,         &MakeStage<DifferenceStage>,
    &MakeStage<ExclusionStage>,         &MakeStage<OverlayComplementStage>,
    &MakeStage<HardLightComplementStage>, &MakeStage<SoftLightComplementStage>,
    &MakeStage<DifferenceComplementStage>, &MakeStage<ExclusionComplementStage>,
};

}  // namespace

PipelineNode* CompositorNode::CreateBackdropRemoval(Arena& arena, const PixelTriple& destination,
                                                    PipelineNode* backdrop, PipelineNode* groupResult) {
  return Build(arena, destination, backdrop, groupResult, nullptr, &MakeStage<BackdropRemovalStage>);
}
PipelineNode* CompositorNode::CreateColourOver(Arena& arena, const PixelTriple& destination,
                                               PipelineNode* backdrop, PipelineNode* source) {
  return Build(arena, destination, backdrop, source, nullptr, &MakeStage<ColourOverStage>);
}
PipelineNode* CompositorNode::CreateShapeAlphaUnion(Arena& arena, const PixelTriple& destination,
                                                    PipelineNode* backdrop, PipelineNode* source) {
  return Build(arena, destination, backdrop, source, nullptr, &MakeStage<ShapeAlphaUnionStage>);
}
PipelineNode* CompositorNode::CreateNormal(Arena& arena, const PixelTriple& destination,
                                           PipelineNode* backdrop, PipelineNode* source) {
  return Build(arena, destination, backdrop, source, nullptr, &MakeNormal);
}
PipelineNode* CompositorNode::CreateAlphaUnion(Arena& arena, const PixelTriple& destination,
                                               PipelineNode* parent, PipelineNode* device) {
  return Build(arena, destination, parent, device, nullptr, &MakeStage<AlphaUnionStage>);
}
PipelineNode* CompositorNode::CreateBlend(Arena& arena, BlendStageClass stageClass,
                                          const PixelTriple& destination, PipelineNode* backdrop,
                                          PipelineNode* source) {
  return Build(arena, destination, backdrop, source, nullptr, kBlendMakers[static_cast<int>(stageClass)]);
}
PipelineNode* CompositorNode::CreateLerp(Arena& arena, const PixelTriple& destination, PipelineNode* mask,
                                         PipelineNode* from, PipelineNode* to) {
  return Build(arena, destination, mask, from, to, &MakeLerp, &LerpLevel);
}
PipelineNode* CompositorNode::CreateClipLerp(Arena& arena, const PixelTriple& destination, PipelineNode* mask,
                                             PipelineNode* from, PipelineNode* to) {
  return Build(arena, destination, mask, from, to, &MakeLerp, &LerpLevel);
}

PipelineNode* PipelineStage::Create(runtime::ArenaAllocator& arena, const PixelTriple& destination,
                                    PipelineNode* mask, PipelineNode* source) {
  return Build(arena, destination, mask, source, nullptr, &MakeMask, &MaskLevel,
               IntersectBounds(mask->bounds, source->bounds));
}
PipelineNode* PipelineStage::CreateUnion(runtime::ArenaAllocator& arena, const PixelTriple& destination,
                                         PipelineNode* mask, PipelineNode* source) {
  return Build(arena, destination, mask, source, nullptr, &MakeUnion, &UnionLevel,
               IntersectBounds(mask->bounds, source->bounds));
}

}  // namespace raster
