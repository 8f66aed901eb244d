#pragma once
// Runs a pipeline over a region into a target triple: row by row it moves
// every registered plane and node to the row, pulls the root node span by
// span over the row's inside intervals and writes what the root produced
// into the target through a writer chosen, per output variant, when the
// paint was set up.
#include <cstdint>

#include "raster/PipelineNode.h"
#include "raster/PixelRegion.h"

namespace raster {

// Copies pixels [x0, x1) of the current row from one triple into another.
class SpanWriter {
 public:
  virtual void WriteSpan(int32_t x0, int32_t x1) = 0;
  // The writer for `source` into `target`: nothing when they share their
  // storage; the 4-byte fast paths when the target is an interleaved pixel
  // without shape; else plane by plane.
  static SpanWriter* Select(runtime::ArenaAllocator& arena, const PixelTriple& target, const PixelTriple& source);

 protected:
  ~SpanWriter() = default;
};

// The driver's writer state: the target's planes (copied, so the driver may
// move them from row to row) and one writer per output variant of the root.
class PipelineWriter {
 public:
  PipelineWriter(runtime::ArenaAllocator& arena, const PixelTriple& target, PipelineNode* node,
                 RowCollector& collector);
  void Write(int32_t x0, int32_t x1) { writers_[node_->currentVariant]->WriteSpan(x0, x1); }
  const PixelTriple& Target() const { return target_; }

 private:
  PixelTriple target_;
  PipelineNode* node_;
  runtime::ArenaVector<SpanWriter*> writers_;
};

class RowDriver {
 public:
  // The specialised kind when the target is interleaved 4-byte colour
  // without shape, else the general one; they differ in their writers.
  static RowDriver* Create(runtime::ArenaAllocator& arena, PipelineNode* node, const PixelTriple& target);
  RowDriver(runtime::ArenaAllocator& arena, PipelineNode* node, const PixelTriple& target, bool interleaved);

  void Run(const PixelRegion& region);
  bool IsInterleaved() const { return interleaved_; }

 private:
  PipelineNode* node_;
  RowCollector collector_;
  PipelineWriter writer_;
  bool interleaved_;
};

struct PipelineDriver {
  // Paints `node` over `region`, cut to the clip when one is given and to
  // the target's planes, into `target`.
  static void PaintRegion(runtime::ArenaAllocator& arena, const PixelRegion& region, const PixelTriple& target,
                          const PixelRegion* clip, PipelineNode* node);
};

}  // namespace raster
