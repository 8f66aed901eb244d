#pragma once
// The pixel target painting composites into: the page's off-screen buffer,
// the buffer of a transparency group, a pattern cell or a glyph. A device
// keeps its planes, colour space and bounds and hands out pipelines over any
// region: one that gives the region's initial content (the backdrop) and one
// that reads its pixels in a requested colour space. Devices form a chain
// through their parent, the backdrop provider; every backdrop request, and
// every read outside a device's own bounds, goes up the chain, ending at the
// paper.
#include <cstdint>

#include "raster/BlendFunction.h"
#include "raster/ColorSpace.h"
#include "raster/PipelineNode.h"
#include "raster/PixelRegion.h"

namespace raster {

class BackdropProvider {
 public:
  // The region's initial content in `space`; with `transparentStart` its
  // alpha (and shape) start at 0.
  virtual PipelineNode* MakeBackdrop(const PixelRegion& region, ColorSpace* space, bool transparentStart) = 0;
  // The provider's pixels over the region, read in `space`.
  virtual PipelineNode* MakePipeline(const PixelRegion& region, ColorSpace* space) = 0;

 protected:
  ~BackdropProvider() = default;
};

// The paper under a page: its colour (white, which is 0 in a subtractive
// space) with alpha 0.
class PaperBackdrop final : public BackdropProvider {
 public:
  PaperBackdrop(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, ColorSpace* space);
  PipelineNode* MakeBackdrop(const PixelRegion& region, ColorSpace* space, bool transparentStart) override;
  PipelineNode* MakePipeline(const PixelRegion& region, ColorSpace* space) override;

 private:
  runtime::LibraryContext* context_;
  runtime::ArenaAllocator& arena_;
  ColorSpace* space_;
  PixelTriple planes_;
};

class RasterDevice final : public BackdropProvider {
 public:
  // Stores the fields, works out the effective planes and fills them with
  // the parent's backdrop: a page device starts as the paper colour with
  // alpha 0, a group device with shape and alpha 0 over what lies below.
  RasterDevice(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, const IntRect& bounds,
               const PixelTriple& target, ColorSpace* space, const PixelLayout& layout, BackdropProvider* parent,
               bool isolated);

  // A page device: colour channels plus one alpha channel in at least
  // 4 bytes per pixel, over the paper of `space`.
  static RasterDevice* CreateForTarget(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                       const IntRect& bounds, ColorSpace* space);
  // A group device of `layout` inside `parent`.
  static RasterDevice* CreateGroup(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                   const IntRect& bounds, ColorSpace* space, const PixelLayout& layout,
                                   BackdropProvider* parent, bool isolated);

  // In a knockout device every paint is composited over the device's
  // initial content rather than over what earlier paints left, and replaces
  // that where it covers; groups painted into it start from the initial
  // content too.
  void SetKnockout(bool knockout) { knockout_ = knockout; }
  bool Knockout() const { return knockout_; }

  PipelineNode* MakeBackdrop(const PixelRegion& region, ColorSpace* space, bool transparentStart) override;
  PipelineNode* MakePipeline(const PixelRegion& region, ColorSpace* space) override;
  // The backdrop a blend mode reads: what lies below, with this device's
  // own content composited and the group's backdrop taken out again.
  PipelineNode* MakeBlendBackdrop(const PixelRegion& region);
  // A node reading the device's target planes over the region.
  PipelineNode* DeviceSource(const PixelRegion& region);

  // The last step of a paint: source over destination, interpolated by the
  // coverage and then by the clip mask, run over the region into the
  // device. Steps 1 and 2 write `destinationTriple`, step 3 `resultTriple`.
  void Composite(const PixelRegion& region, const PixelRegion* clip, PipelineNode* clipMask,
                 PipelineNode* coverage, PipelineNode* destination, PipelineNode* source,
                 const PixelTriple& destinationTriple, const PixelTriple& resultTriple, bool applyAlpha = true);
  // The same without the source-over step, for sources whose alpha is
  // already applied.
  void CompositeNoAlpha(const PixelRegion& region, const PixelRegion* clip, PipelineNode* clipMask,
                        PipelineNode* coverage, PipelineNode* destination, PipelineNode* source,
                        const PixelTriple& destinationTriple, const PixelTriple& resultTriple) {
    Composite(region, clip, clipMask, coverage, destination, source, destinationTriple, resultTriple, false);
  }
  void PaintSource(const PixelRegion& region, const PixelRegion* clip, PipelineNode* clipMask,
                   PipelineNode* coverage, PipelineNode* source, const BlendFunction* blend);
  // A solid colour over a rectangle.
  static void FillRegion(RasterDevice& device, const IntRect& rect, PipelineNode* clipMask, runtime::Fixed c1,
                         runtime::Fixed c2, runtime::Fixed c3);

  const IntRect& Bounds() const { return bounds_; }
  const PixelTriple& Target() const { return target_; }
  const PixelTriple& Effective() const { return effective_; }
  ColorSpace* Space() const { return space_; }
  // A scratch triple of the device's layout over the region's columns.
  PixelTriple Scratch(const PixelRegion& region);

 private:
  // A plane source over `planes`, read in `space`, with whatever the region
  // has outside the device taken from `outside`.
  PipelineNode* ReadPlanes(const PixelRegion& region, const PixelTriple& planes, ColorSpace* space,
                           PipelineNode* (*outside)(BackdropProvider*, const PixelRegion&, ColorSpace*, bool),
                           bool transparentStart);
  // What the device held when it was made: the parent's backdrop with
  // shape and alpha 0.
  PipelineNode* InitialContent(const PixelRegion& region);

  ColorSpace* space_;
  runtime::LibraryContext* context_;
  runtime::ArenaAllocator& arena_;
  bool isolated_;
  bool knockout_ = false;
  IntRect bounds_;
  PixelLayout layout_;
  PixelTriple target_;
  PixelTriple effective_;
  BackdropProvider* parent_;
};

// Splits a read at the device's bounds: pixels inside come from one input,
// the rest from the other.
class RegionSplitNode final : public PipelineNode {
 public:
  RegionSplitNode(runtime::ArenaAllocator& arena, const IntRect& split, PipelineNode* inside, PipelineNode* outside);

  void BeginRow(int32_t y) override { y_ = y; }
  void NextRow() override { ++y_; }
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  void CollectRowClients(RowCollector& collector) override;
  void ReleaseRowClients(RowCollector& collector) override;

 private:
  int32_t y_ = 0;
  IntRect split_;
  PipelineNode* outside_;
  PipelineNode* inside_;
  runtime::ArenaVector<PixelTriple> outputs_;
};

}  // namespace raster
