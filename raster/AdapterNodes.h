#pragma once
// Pipeline nodes that let other row workers take part in a pipeline: a
// raster stage that fills a span of its own row buffer when asked, and a
// sampled shading source that produces its pixels run by run.
#include <cstdint>

#include "raster/PipelineNode.h"

namespace raster {

// A row worker with its own output planes: it is told its row and span
// and then computes them (the glyph and image stages of the font code).
class RowStage {
 public:
  // Computes the span [spanX, spanEnd) of row `row` into `output`.
  virtual void BeginRow() = 0;

  int32_t row = 0;
  int32_t spanX = INT32_MAX;
  int32_t spanEnd = INT32_MIN;
  PixelTriple output;

 protected:
  ~RowStage() = default;
};

// A stage as a node: one variant (the stage's output), unbounded.
class StageAdapterNode final : public PipelineNode {
 public:
  explicit StageAdapterNode(RowStage& stage);

  void BeginRow(int32_t y) override;
  void NextRow() override { ++stage_.row; }
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  void CollectRowClients(RowCollector& collector) override {
    if ((mode & kNotRowClient) == 0) collector.AddNode(this);
  }
  void ReleaseRowClients(RowCollector&) override {}

 private:
  RowStage& stage_;
};

// What a sampled shading source offers the pipeline: its current row and
// x, the end of the run it produced (0x80000000 when none is known) and
// the variant that run is in.
class SampledRunSource {
 public:
  // Produces the run that starts at `x` on `row`, setting runEnd and
  // variant.
  virtual void ProduceRun() = 0;

  int32_t row = 0;
  int32_t x = 0;
  int32_t runEnd = INT32_MIN;
  uint32_t variant = 0;
  uint32_t variantCount = 0;
  PixelTriple* variants = nullptr;
  IntRect bounds = kUnboundedPixels;

 protected:
  ~SampledRunSource() = default;
};

class ShadingSourceNode final : public PipelineNode {
 public:
  explicit ShadingSourceNode(SampledRunSource& source);

  void BeginRow(int32_t y) override;
  void NextRow() override;
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  void CollectRowClients(RowCollector& collector) override {
    if ((mode & kNotRowClient) == 0) collector.AddNode(this);
  }
  void ReleaseRowClients(RowCollector&) override {}

 private:
  SampledRunSource& source_;
};

}  // namespace raster
