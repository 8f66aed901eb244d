#include "raster/ShadingSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "raster/CompositorNode.h"
#include "raster/PathEdges.h"
#include "raster/PixelRegion.h"
#include "runtime/ErrorTrap.h"
#include "runtime/PixelBuffer.h"
#include "runtime/Scheduler.h"

namespace raster {
namespace {

// The BBox clip works on the region grown by this many pixels, so that
// anti-aliased edges of the clip lie inside what is mapped back.
constexpr int32_t kClipMargin = 2;
// Work units per pixel of a mesh shading's background fill.
constexpr int32_t kBackgroundCostPerPixel = 100;

double ToDouble(runtime::Fixed v) { return runtime::FixedToDouble(v); }

}  // namespace

// ---- ShadingSource ----

ShadingSource::ShadingSource(const ShadingSetup& setup) : setup_(setup) {
  if (setup.components < 1 || static_cast<size_t>(setup.components) > kMaxComponents)
    runtime::ThrowRuntime(runtime::kMalformed);
  if (setup.region.IsEmpty()) {
    MarkEmpty();
    return;
  }
  if (setup.hasBBox) MakeClipPath();
}

void ShadingSource::MakeClipPath() {
  runtime::Rect box = setup_.bbox;
  // A BBox written with its corners swapped means the same rectangle.
  if (box.x0 > box.x1) std::swap(box.x0, box.x1);
  if (box.y0 > box.y1) std::swap(box.y0, box.y1);
  // The grown region mapped back into shading space bounds the clip, so the
  // path stays small whatever the BBox holds. An uninvertible matrix keeps
  // the BBox as it is.
  const runtime::Matrix& m = setup_.ctm;
  const double a = ToDouble(m.a), b = ToDouble(m.b), c = ToDouble(m.c), d = ToDouble(m.d);
  const double det = a * d - b * c;
  if (std::isfinite(det) && std::fabs(det) > 1e-12) {
    const IntRect& r = setup_.region;
    const double xs[2] = {double(r.x0) - kClipMargin, double(r.x1) + kClipMargin};
    const double ys[2] = {double(r.y0) - kClipMargin, double(r.y1) + kClipMargin};
    double lowX = HUGE_VAL, lowY = HUGE_VAL, highX = -HUGE_VAL, highY = -HUGE_VAL;
    for (double x : xs)
      for (double y : ys) {
        const double px = x - ToDouble(m.e), py = y - ToDouble(m.f);
        const double ux = (px * d - py * c) / det, uy = (py * a - px * b) / det;
        lowX = std::min(lowX, ux);
        highX = std::max(highX, ux);
        lowY = std::min(lowY, uy);
        highY = std::max(highY, uy);
      }
    const runtime::Rect back{runtime::FixedFromFloat(std::floor(lowX)), runtime::FixedFromFloat(std::floor(lowY)),
                             runtime::FixedFromFloat(std::ceil(highX)), runtime::FixedFromFloat(std::ceil(highY))};
    box = runtime::Rect::Intersect(box, back);
  }
  if (box.IsEmpty()) {
    MarkEmpty();
    return;
  }
  StoredPath path(Arena(), 5);
  path.MoveTo({box.x0, box.y0});
  path.LineTo({box.x1, box.y0});
  path.LineTo({box.x1, box.y1});
  path.LineTo({box.x0, box.y1});
  path.Close();
  std::copy(path.Points().begin(), path.Points().end(), clip_);
  hasClip_ = true;
}

PipelineNode* ShadingSource::TakeStage(ShadingSource* source) {
  if (source == nullptr || source->IsEmpty()) return nullptr;
  if (!source->HasClipPath()) return source;
  const ShadingSetup& setup = source->setup_;
  const PixelTriple scratch = PixelTriple::CreateScratch(
      setup.context, *setup.arena, runtime::PixelLayout::ForPlanes(setup.components, 2, 3, true), setup.region);
  return PipelineStage::CreateForPath(setup.context, *setup.arena, scratch, setup.region, source->ClipPath(),
                                      setup.ctm, false, source);
}

// ---- SampledShadingSource ----

SampledShadingSource::SampledShadingSource(const ShadingSetup& setup) : ShadingSource(setup) {
  const PixelTriple row = PixelTriple::CreateScratch(
      setup.context, Arena(), runtime::PixelLayout::ForPlanes(setup.components, 0, 0, true),
      setup.region.IsEmpty() ? IntRect{0, 0, 1, 1} : setup.region);
  colour_ = row.colour;
  outputs_[0] = {PixelPlane::Opaque(), PixelPlane::Opaque(), colour_};
  // Colour is premultiplied by alpha along the pipeline: an unpainted run
  // is zero in every plane, not the bytes an earlier run left in the row.
  outputs_[1] = {PixelPlane::Zero(), PixelPlane::Zero(), PixelPlane::Zero()};
  InitHeader(setup.hasBackground ? 1 : 2, outputs_, setup.region, 0);
}

void SampledShadingSource::CollectRowClients(RowCollector& collector) {
  if ((mode & kNotRowClient) == 0) collector.AddNode(this);
}

int32_t SampledShadingSource::RunSpan(int32_t x, int32_t xEnd) {
  if (x >= xEnd) return xEnd;
  bool painted = true;
  const int32_t end = std::clamp(ProduceRun(x, xEnd, painted), x + 1, xEnd);
  currentVariant = painted || setup_.hasBackground ? 0 : 1;
  return end;
}

void SampledShadingSource::CopyFirstPixel(int32_t x, int32_t end) const {
  const uint8_t* first = PixelAt(x);
  const int32_t n = setup_.components, step = ComponentStep(), pixel = PixelStep();
  uint8_t* out = const_cast<uint8_t*>(first);
  for (int32_t i = x + 1; i < end; ++i) {
    out += pixel;
    for (int32_t c = 0; c < n; ++c) out[c * step] = first[c * step];
  }
}

bool SampledShadingSource::OutsideRun(int32_t x, int32_t end) const {
  if (!setup_.hasBackground) return false;
  uint8_t* first = PixelAt(x);
  for (int32_t c = 0; c < setup_.components; ++c) first[c * ComponentStep()] = setup_.background[c];
  CopyFirstPixel(x, end);
  return true;
}

// ---- MeshShadingSource ----

MeshShadingSource::MeshShadingSource(const ShadingSetup& setup) : ShadingSource(setup) {
  const IntRect area = setup.region.IsEmpty() ? IntRect{0, 0, 1, 1} : setup.region;
  const runtime::PixelLayout layout = runtime::PixelLayout::ForPlanes(setup.components, 0, 3, true);
  buffer_ = runtime::NewInArena<runtime::PixelBuffer>(Arena(), setup.context, &Arena(), area, layout, true);
  const runtime::SpanCursor colour = runtime::SpanCursor::At(&buffer_->colour, area.x0, area.y0);
  const runtime::SpanCursor alpha = runtime::SpanCursor::At(&buffer_->alpha, area.x0, area.y0);
  colour_ = colour.Channel(0);
  componentStep_ = colour.channelStep;
  pixelStep_ = colour.columnStep;
  rowStep_ = buffer_->colour.format.rowStep;
  coverageOffset_ = static_cast<int32_t>(alpha.Channel(0) - colour_);
  const PixelTriple planes = PixelTriple::OfBuffer(Arena(), *buffer_);
  // The coverage serves as shape and alpha: a painted pixel is opaque.
  outputs_[0] = {planes.alpha, planes.alpha, planes.colour};
  InitHeader(1, outputs_, area, 0);
  if (setup.hasBackground && !IsEmpty()) FillBackground();
}

void MeshShadingSource::FillBackground() {
  const IntRect& r = setup_.region;
  const int32_t n = setup_.components;
  const int32_t width = r.x1 - r.x0;
  for (int32_t y = r.y0; y < r.y1; ++y) {
    uint8_t* pixel = ColourAt(r.x0, y);
    for (int32_t x = r.x0; x < r.x1; ++x, pixel += pixelStep_) {
      for (int32_t c = 0; c < n; ++c) pixel[c * componentStep_] = setup_.background[c];
      pixel[coverageOffset_] = 255;
    }
    runtime::ChargeWork(setup_.context, width > INT32_MAX / kBackgroundCostPerPixel
                                            ? INT32_MAX
                                            : width * kBackgroundCostPerPixel);
  }
}

}  // namespace raster
