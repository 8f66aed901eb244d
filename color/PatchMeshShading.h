#pragma once
// Patch-mesh shadings (types 6 and 7). Each patch is subdivided in its two
// parametric directions until its pieces are small or flat and evenly
// parametrised and their colour varies little; each piece is then painted
// as two Gouraud triangles. Corners on an edge that a coarser neighbour
// draws as one chord are moved onto that chord, so no cracks open between
// pieces of different sizes. A patch that folds over itself is painted a
// second time with a depth buffer, in which larger v wins.
#include <cstdint>

#include "color/GouraudTriangle.h"
#include "color/PatchMeshDecoders.h"
#include "color/ShadingColour.h"
#include "raster/ShadingSource.h"
#include "runtime/ArenaAllocator.h"

namespace color {

// What every piece of one patch shares.
struct PatchParams {
  // Size, flatness and parametrisation tolerances of boundary curves (0)
  // and interior curves (1), in device pixels.
  Fixed size0 = 3 * runtime::kFixedOne, size1 = 5 * runtime::kFixedOne;
  Fixed flat0 = runtime::kFixedOne, flat1 = 4 * runtime::kFixedOne;
  Fixed even0 = 4 * runtime::kFixedOne, even1 = 4 * runtime::kFixedOne;
  Fixed colourLimit = 2048;  // 1/32
  runtime::IntRect region;
  int expected = 0;  // orientation of the root's first corner
  bool folded = false;
  bool secondPass = false;
  // The second pass holds interior curves to the boundary tolerances.
  void SetSecondPass() {
    size1 = size0;
    flat1 = flat0;
    even1 = even0;
    folded = false;
    secondPass = true;
  }
};

struct PatchNode {
  // Flags.
  static constexpr uint8_t kAlive = 1, kOutside = 2, kInside = 4, kLastSplitU = 8;
  // Curve flags.
  static constexpr uint8_t kSmall = 1, kFlat = 2, kEven = 4, kSettled = 8;

  Fixed x[16] = {};  // device space, P(i, j) at 4 i + j
  Fixed y[16] = {};
  const TensorPatch* patch = nullptr;
  PatchParams* params = nullptr;
  const PatchNode* parent = nullptr;
  uint8_t flags = kAlive;
  uint8_t curves[8] = {};  // u-curves j = 0..3, then v-curves i = 0..3
  Fixed variation = 0;
  Fixed us = 0, ue = runtime::kFixedOne, vs = 0, ve = runtime::kFixedOne;

  void ClassifyCurves(uint8_t wanted);
  void ClassifyCurve(int curve, uint8_t wanted, bool boundary);
  int CornerSign(int corner) const;  // 0: P(0,0), 1: P(0,3), 2: P(3,3), 3: P(3,0)
  runtime::IntRect PixelBounds() const;
  void SplitU(PatchNode& first, PatchNode& second) const;
  void SplitV(PatchNode& first, PatchNode& second) const;
  // The four corners with their colours and depths, corners moved onto the
  // chords of coarser neighbours.
  void EmitQuad(TriangleVertex* corners, int32_t values) const;

  bool NeedsSplitU() const;
  bool NeedsSplitV() const;
};

class PatchMeshShading final : public raster::MeshShadingSource {
 public:
  PatchMeshShading(const ShadingRenderContext& render, const ShadingDict& dict, int32_t values);
  // Decodes and paints every patch, once the rasteriser is built.
  void Paint(PatchDecoder& decoder);

  // Paints one patch (points in shading space when `transform`); only
  // while the mesh is painted during construction.
  void PaintPatch(const TensorPatch& patch, bool transform);
  uint64_t Triangles() const { return fill_.Count(); }
  // Patches that needed the depth-buffered second pass.
  uint32_t FoldedPatches() const { return folded_; }

 private:
  void PaintNode(PatchNode& node, PatchParams& params, int depth);
  bool Subdivide(PatchNode& node, PatchParams& params, PatchNode& first, PatchNode& second);

  ShadingDict dict_;
  ShadingColour colour_;
  GouraudTriangle fill_;
  int32_t values_;
  runtime::ArenaAllocator* work_ = nullptr;  // while the mesh is painted
  DepthBuffer* depth_ = nullptr;
  uint32_t folded_ = 0;
};

}  // namespace color
