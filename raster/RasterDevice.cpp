#include "raster/RasterDevice.h"

#include "raster/ColorConversion.h"
#include "raster/CompositorNode.h"
#include "raster/ConstantSources.h"
#include "raster/PipelineDriver.h"
#include "raster/PlaneSource.h"
#include "runtime/ErrorTrap.h"

namespace raster {
namespace {

int32_t CheckedComponents(const ColorSpace* space) {
  const int32_t n = space != nullptr ? space->ComponentCount() : 0;
  if (n < 1 || static_cast<size_t>(n) > kMaxComponents) runtime::ThrowRuntime(runtime::kMalformed);
  return n;
}

}  // namespace

// ---- PaperBackdrop ----

PaperBackdrop::PaperBackdrop(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, ColorSpace* space)
    : context_(context), arena_(arena), space_(space) {
  const int32_t n = CheckedComponents(space);
  uint8_t bytes[kMaxComponents];
  const uint8_t paper = FixedToByte(space->IsSubtractive() ? 0 : runtime::kFixedOne);
  for (int32_t c = 0; c < n; ++c) bytes[c] = paper;
  planes_ = {nullptr, PixelPlane::Zero(), SolidColorSource::MakePlane(arena, {bytes, size_t(n)})};
}

PipelineNode* PaperBackdrop::MakeBackdrop(const PixelRegion& region, ColorSpace* space, bool) {
  return MakePipeline(region, space);
}

PipelineNode* PaperBackdrop::MakePipeline(const PixelRegion& region, ColorSpace* space) {
  return InsertColorConversion(context_, arena_, PlaneSource::Create(arena_, planes_), region.Bounds(), space_,
                               space);
}

// ---- RasterDevice ----

RasterDevice::RasterDevice(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, const IntRect& bounds,
                           const PixelTriple& target, ColorSpace* space, const PixelLayout& layout,
                           BackdropProvider* parent, bool isolated)
    : space_(space),
      context_(context),
      arena_(arena),
      isolated_(isolated),
      bounds_(CollapseEmpty(bounds)),
      layout_(layout),
      target_(target),
      parent_(parent) {
  CheckedComponents(space);
  const bool shapeOpaque = layout.shapeKind == 1;
  effective_.shape = shapeOpaque ? PixelPlane::Opaque() : target.shape;
  effective_.alpha = layout.alphaKind == 1 || (layout.alphaKind == 2 && shapeOpaque) ? PixelPlane::Opaque()
                                                                                      : target.alpha;
  effective_.colour = target.colour;
  const PixelRegion* all = PixelRegion::FromRect(arena, bounds_);
  PipelineDriver::PaintRegion(arena, *all, effective_, nullptr, parent_->MakeBackdrop(*all, space_, true));
}

RasterDevice* RasterDevice::CreateForTarget(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                            const IntRect& bounds, ColorSpace* space) {
  auto* paper = runtime::NewInArena<PaperBackdrop>(arena, context, arena, space);
  return CreateGroup(context, arena, bounds, space, PixelLayout::ForPlanes(CheckedComponents(space), 0, 3, true),
                     paper, true);
}

RasterDevice* RasterDevice::CreateGroup(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                        const IntRect& bounds, ColorSpace* space, const PixelLayout& layout,
                                        BackdropProvider* parent, bool isolated) {
  auto* buffer = runtime::NewInArena<runtime::PixelBuffer>(arena, context, &arena, CollapseEmpty(bounds), layout, false);
  return runtime::NewInArena<RasterDevice>(arena, context, arena, bounds, PixelTriple::OfBuffer(arena, *buffer), space,
                                           layout, parent, isolated);
}

PixelTriple RasterDevice::Scratch(const PixelRegion& region) {
  const uint8_t shapeKind = layout_.shapeKind >= 2 ? 2 : 0;
  return PixelTriple::CreateScratch(context_, arena_,
                                    PixelLayout::ForPlanes(space_->ComponentCount(), shapeKind, 3, true),
                                    region.Bounds());
}

PipelineNode* RasterDevice::MakeBackdrop(const PixelRegion& region, ColorSpace* space, bool transparentStart) {
  // Nothing painted in a knockout device shows through to what is painted
  // after it: the backdrop stays the device's initial one.
  if (knockout_) return parent_->MakeBackdrop(region, space, transparentStart || isolated_);
  const bool inside = ContainsRect(bounds_, region.Bounds());
  if (transparentStart) {
    PipelineNode* own = InsertColorConversion(
        context_, arena_, PlaneSource::Create(arena_, {PixelPlane::Zero(), PixelPlane::Zero(), effective_.colour}),
        region.Bounds(), space_, space);
    if (inside) return own;
    return runtime::NewInArena<RegionSplitNode>(arena_, arena_, bounds_, own,
                                                parent_->MakeBackdrop(region, space, true));
  }
  PipelineNode* below = parent_->MakeBackdrop(region, space, isolated_);
  PipelineNode* own = InsertColorConversion(context_, arena_, PlaneSource::Create(arena_, effective_),
                                            region.Bounds(), space_, space);
  const uint8_t shapeKind = layout_.shapeKind >= 2 ? 2 : 0;
  const PixelTriple scratch = PixelTriple::CreateScratch(
      context_, arena_, PixelLayout::ForPlanes(CheckedComponents(space), shapeKind, 3, true), region.Bounds());
  PipelineNode* joined = CompositorNode::CreateAlphaUnion(arena_, scratch, below, own);
  if (inside) return joined;
  // Outside the device there is nothing of its own: what lies below shows.
  return runtime::NewInArena<RegionSplitNode>(arena_, arena_, bounds_, joined, below);
}

PipelineNode* RasterDevice::MakePipeline(const PixelRegion& region, ColorSpace* space) {
  PipelineNode* inside = InsertColorConversion(context_, arena_, PlaneSource::Create(arena_, effective_),
                                               IntersectRects(region.Bounds(), bounds_), space_, space);
  if (ContainsRect(bounds_, region.Bounds())) return inside;
  return runtime::NewInArena<RegionSplitNode>(arena_, arena_, bounds_, inside, parent_->MakePipeline(region, space));
}

PipelineNode* RasterDevice::DeviceSource(const PixelRegion&) {
  // The device's planes hold its bounds and nothing more: consumers that
  // cut their work to a node's bounds never read past them.
  PipelineNode* node = PlaneSource::Create(arena_, target_);
  node->bounds = bounds_;
  return node;
}

PipelineNode* RasterDevice::InitialContent(const PixelRegion& region) {
  return parent_->MakeBackdrop(region, space_, true);
}

PipelineNode* RasterDevice::MakeBlendBackdrop(const PixelRegion& region) {
  return CompositorNode::CreateBackdropRemoval(arena_, Scratch(region),
                                               parent_->MakeBackdrop(region, space_, isolated_),
                                               DeviceSource(region));
}

void RasterDevice::Composite(const PixelRegion& region, const PixelRegion* clip, PipelineNode* clipMask,
                             PipelineNode* coverage, PipelineNode* destination, PipelineNode* source,
                             const PixelTriple& destinationTriple, const PixelTriple& resultTriple,
                             bool applyAlpha) {
  // A source that is opaque everywhere replaces the destination outright.
  PipelineNode* node = source;
  if (applyAlpha && !source->alphaOpaque)
    node = CompositorNode::CreateNormal(arena_, destinationTriple, knockout_ ? InitialContent(region) : destination,
                                        source);
  if (coverage != nullptr && !coverage->alphaOpaque)
    node = CompositorNode::CreateLerp(arena_, destinationTriple, coverage, destination, node);
  if (clipMask != nullptr) node = CompositorNode::CreateClipLerp(arena_, resultTriple, clipMask, destination, node);
  PipelineDriver::PaintRegion(arena_, region, target_, clip, node);
}

void RasterDevice::PaintSource(const PixelRegion& region, const PixelRegion* clip, PipelineNode* clipMask,
                               PipelineNode* coverage, PipelineNode* source, const BlendFunction* blend) {
  PipelineNode* destination = DeviceSource(region);
  if (blend != nullptr) {
    // In a knockout device the mode blends with the initial content alone.
    PipelineNode* backdrop =
        knockout_ ? CompositorNode::CreateBackdropRemoval(arena_, Scratch(region),
                                                          parent_->MakeBackdrop(region, space_, isolated_),
                                                          InitialContent(region))
                  : MakeBlendBackdrop(region);
    source = blend->CreateCompositor(arena_, *space_, Scratch(region), backdrop, source);
  }
  Composite(region, clip, clipMask, coverage, destination, source, Scratch(region), destination->variants[0]);
}

void RasterDevice::FillRegion(RasterDevice& device, const IntRect& rect, PipelineNode* clipMask, runtime::Fixed c1,
                              runtime::Fixed c2, runtime::Fixed c3) {
  runtime::ArenaAllocator& arena = device.arena_;
  // Only the device's pixels are filled, however large the rectangle.
  IntRect area = IntersectRects(rect, device.bounds_);
  if (clipMask != nullptr) area = IntersectRects(area, clipMask->bounds);
  PipelineNode* coverage = PlaneSource::Create(arena, {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr});
  PipelineNode* colour = SolidColorSource::FromRgbFixed(arena, c1, c2, c3);
  const PixelRegion* region = PixelRegion::FromRect(arena, area);
  device.PaintSource(*region, region, clipMask, coverage, colour, nullptr);
}

// ---- RegionSplitNode ----

RegionSplitNode::RegionSplitNode(runtime::ArenaAllocator& arena, const IntRect& split, PipelineNode* inside,
                                 PipelineNode* outside)
    : split_(split), outside_(outside), inside_(inside), outputs_(arena, inside->variantCount + outside->variantCount) {
  for (uint32_t v = 0; v < inside->variantCount; ++v) outputs_.PushBack(inside->variants[v]);
  for (uint32_t v = 0; v < outside->variantCount; ++v) outputs_.PushBack(outside->variants[v]);
  InitHeader(outputs_.Size(), &outputs_[0], kUnboundedPixels, 0);
}

int32_t RegionSplitNode::RunSpan(int32_t x, int32_t xEnd) {
  const bool rowInside = split_.y0 <= y_ && y_ < split_.y1;
  if (rowInside && split_.x0 <= x && x < split_.x1) {
    const int32_t reached = inside_->RunSpan(x, std::min(xEnd, split_.x1));
    currentVariant = inside_->currentVariant;
    return reached;
  }
  const int32_t end = rowInside && x < split_.x0 ? std::min(xEnd, split_.x0) : xEnd;
  const int32_t reached = outside_->RunSpan(x, end);
  currentVariant = inside_->variantCount + outside_->currentVariant;
  return reached;
}

void RegionSplitNode::CollectRowClients(RowCollector& collector) {
  if ((mode & kNotRowClient) == 0) collector.AddNode(this);
  Register(inside_, collector);
  Register(outside_, collector);
}

void RegionSplitNode::ReleaseRowClients(RowCollector& collector) {
  Release(inside_, collector);
  Release(outside_, collector);
}

}  // namespace raster
