#pragma once
// The makers of compositing nodes. Each builds one node of two or three
// inputs whose stage table holds, for every combination of the inputs'
// variants, the stage of one class; they differ in the class and in a few
// rules that pass an input through when a mask plane is a shared constant.
#include <cstdint>
#include <span>

#include "raster/BlendStage.h"
#include "raster/PipelineNode.h"
#include "runtime/Matrix.h"

namespace raster {

// The sixteen blend stage classes, each serving one or two blend modes.
enum class BlendStageClass : uint8_t {
  kMultiply,
  kScreen,
  kOverlay,
  kDarken,
  kLighten,
  kColorDodge,
  kColorBurn,
  kHardLight,
  kSoftLight,
  kDifference,
  kExclusion,
  kOverlayComplement,
  kHardLightComplement,
  kSoftLightComplement,
  kDifferenceComplement,
  kExclusionComplement,
};
inline constexpr int kBlendStageClassCount = 16;

struct CompositorNode {
  using Arena = runtime::ArenaAllocator;
  // A group result with its backdrop taken out again.
  static PipelineNode* CreateBackdropRemoval(Arena& arena, const PixelTriple& destination,
                                             PipelineNode* backdrop, PipelineNode* groupResult);
  static PipelineNode* CreateColourOver(Arena& arena, const PixelTriple& destination, PipelineNode* backdrop,
                                        PipelineNode* source);
  static PipelineNode* CreateShapeAlphaUnion(Arena& arena, const PixelTriple& destination,
                                             PipelineNode* backdrop, PipelineNode* source);
  // Source over destination.
  static PipelineNode* CreateNormal(Arena& arena, const PixelTriple& destination, PipelineNode* backdrop,
                                    PipelineNode* source);
  // Shape and colour of the device's node, alpha united with its parent's.
  static PipelineNode* CreateAlphaUnion(Arena& arena, const PixelTriple& destination, PipelineNode* parent,
                                        PipelineNode* device);
  static PipelineNode* CreateBlend(Arena& arena, BlendStageClass stageClass, const PixelTriple& destination,
                                   PipelineNode* backdrop, PipelineNode* source);
  // From the destination towards the result by the mask's shape.
  static PipelineNode* CreateLerp(Arena& arena, const PixelTriple& destination, PipelineNode* mask,
                                  PipelineNode* from, PipelineNode* to);
  // The same by a clip mask; a constant zero mask passes the destination
  // input through, a constant opaque one the result.
  static PipelineNode* CreateClipLerp(Arena& arena, const PixelTriple& destination, PipelineNode* mask,
                                      PipelineNode* from, PipelineNode* to);
};

struct PipelineStage {
  // The source with every plane multiplied by the mask's shape. Bounds are
  // both inputs' intersection.
  static PipelineNode* Create(runtime::ArenaAllocator& arena, const PixelTriple& destination,
                              PipelineNode* mask, PipelineNode* source);
  // The mask's shape united with every plane of the source.
  static PipelineNode* CreateUnion(runtime::ArenaAllocator& arena, const PixelTriple& destination,
                                   PipelineNode* mask, PipelineNode* source);
  // The coverage of a filled path over `area` applied to the source. The
  // path is a StoredPath point list, mapped into device space by `matrix`.
  static PipelineNode* CreateForPath(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                     const PixelTriple& destination, const IntRect& area,
                                     std::span<const runtime::FixedPoint> path, const runtime::Matrix& matrix,
                                     bool evenOdd, PipelineNode* source);
};

}  // namespace raster
