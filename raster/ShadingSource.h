#pragma once
// The pipeline sources of smooth shadings. The colour subsystem's shading
// rasterisers derive from these bases: they produce the colour and coverage
// of a shading over a device region, and the painter composites them like
// any other source.
//
// ShadingSource holds what every rasteriser shares: the request (region,
// shading-to-device matrix, target component count), the background bytes
// and the clip path made from the shading's BBox. A source that can paint
// nothing marks itself empty and hands out no stage.
#include <cstdint>

#include "raster/ConstantSources.h"
#include "raster/PipelineNode.h"
#include "runtime/LibraryContext.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace raster {

// What a shading source is asked to paint.
struct ShadingSetup {
  runtime::LibraryContext* context = nullptr;
  runtime::ArenaAllocator* arena = nullptr;
  IntRect region;                // the device pixels to paint
  runtime::Matrix ctm;           // shading space to device space
  int32_t components = 0;        // of the target colour space
  bool hasBBox = false;
  runtime::Rect bbox;            // shading space, corners in either order
  bool hasBackground = false;
  uint8_t background[kMaxComponents] = {};  // target colour bytes
};

class ShadingSource : public PipelineNode {
 public:
  bool IsEmpty() const { return empty_; }
  const ShadingSetup& Setup() const { return setup_; }
  // The clip path in shading space (a move-to and three line-tos, as a
  // stored path), present when the shading has a BBox.
  bool HasClipPath() const { return hasClip_; }
  std::span<const runtime::FixedPoint> ClipPath() const { return {clip_, 5}; }

  // The stage that paints `source`: none for a missing or empty source; the
  // source clipped to its BBox path when it has one.
  static PipelineNode* TakeStage(ShadingSource* source);

 protected:
  // Copies the request; makes the clip path when there is a BBox. The
  // source is empty when the request has no pixels or the BBox does not
  // meet the region grown by 2 pixels.
  explicit ShadingSource(const ShadingSetup& setup);
  ~ShadingSource() = default;

  void MarkEmpty() { empty_ = true; }
  runtime::LibraryContext* Context() const { return setup_.context; }
  runtime::ArenaAllocator& Arena() const { return *setup_.arena; }

  ShadingSetup setup_;

 private:
  void MakeClipPath();

  bool empty_ = false;
  bool hasClip_ = false;
  runtime::FixedPoint clip_[5];
};

// The base of the sampling rasterisers (function-based, axial, radial): the
// pipeline asks for one run of pixels at a time on the current row; the
// rasteriser writes the run's colour bytes into a one-row colour plane and
// says whether the run is painted. An unpainted run has no coverage.
class SampledShadingSource : public ShadingSource {
 public:
  void BeginRow(int32_t y) override { row_ = y; }
  void NextRow() override { ++row_; }
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  void CollectRowClients(RowCollector& collector) override;
  void ReleaseRowClients(RowCollector&) override {}

 protected:
  // Variant 0 is painted (opaque shape and alpha); variant 1, present only
  // without a background, is unpainted (zero shape and alpha).
  explicit SampledShadingSource(const ShadingSetup& setup);
  ~SampledShadingSource() = default;

  // Writes pixels from x on the current row towards `limit` (> x) and
  // returns where the run ends (x < end <= limit); `painted` is false for a
  // run that paints nothing. Called once per run, never per pixel.
  virtual int32_t ProduceRun(int32_t x, int32_t limit, bool& painted) = 0;

  int32_t Row() const { return row_; }
  // The colour bytes of pixel x of the current row and the step between
  // components.
  uint8_t* PixelAt(int32_t x) const { return CursorAt(colour_, x).Channel(0); }
  int32_t ComponentStep() const { return colour_->format.channelStep; }
  int32_t PixelStep() const { return colour_->format.columnStep; }
  // Pixels (x, end) copy pixel x's bytes.
  void CopyFirstPixel(int32_t x, int32_t end) const;
  // A run outside the shading's extent: the background bytes when there is
  // a background (painted), else nothing (unpainted).
  bool OutsideRun(int32_t x, int32_t end) const;

 private:
  PixelPlane* colour_ = nullptr;
  PixelTriple outputs_[2];
  int32_t row_ = 0;
};

// The base of the mesh and patch rasterisers: they paint the whole mesh
// into a buffer over the region while they are built, and the pipeline then
// reads the finished planes. A pixel's coverage byte is 255 where the mesh
// (or the background) painted it, else 0.
class MeshShadingSource : public ShadingSource {
 public:
  int32_t RunSpan(int32_t, int32_t xEnd) override { return xEnd; }
  void CollectRowClients(RowCollector& collector) override { collector.AddPlanes(outputs_[0]); }
  void ReleaseRowClients(RowCollector&) override {}

  // Colour bytes and coverage byte of device pixel (x, y) of the region.
  uint8_t* ColourAt(int32_t x, int32_t y) const {
    return colour_ + (static_cast<int64_t>(y) - setup_.region.y0) * rowStep_ +
           (static_cast<int64_t>(x) - setup_.region.x0) * pixelStep_;
  }
  uint8_t* CoverageAt(int32_t x, int32_t y) const { return ColourAt(x, y) + coverageOffset_; }
  int32_t ComponentStep() const { return componentStep_; }
  int32_t PixelStep() const { return pixelStep_; }
  // From a pixel's colour bytes to its coverage byte.
  int32_t CoverageOffset() const { return coverageOffset_; }

 protected:
  // Lays out a cleared buffer over the region; with a background, fills
  // every pixel with the background bytes and coverage 255 (charging the
  // work budget 100 units per pixel, row by row).
  explicit MeshShadingSource(const ShadingSetup& setup);
  ~MeshShadingSource() = default;

 private:
  void FillBackground();

  runtime::PixelBuffer* buffer_ = nullptr;
  PixelTriple outputs_[1];
  uint8_t* colour_ = nullptr;  // channel 0 of the region's first pixel
  int32_t componentStep_ = 1;
  int32_t pixelStep_ = 0;
  int64_t rowStep_ = 0;
  int32_t coverageOffset_ = 0;
};

}  // namespace raster
