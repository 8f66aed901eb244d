#pragma once
// Source nodes over planes that already hold their pixels: a buffer, a
// device's planes, or the shared and arena-made constants. Reading them
// needs no work per span, only the planes moved to each row.
#include <cstdint>

#include "raster/PipelineNode.h"

namespace raster {

class PlaneSource final : public PipelineNode {
 public:
  // Reads copies of the three planes (any may be absent), so that moving
  // them from row to row leaves the caller's views alone.
  PlaneSource(runtime::ArenaAllocator& arena, const PixelTriple& planes);

  int32_t RunSpan(int32_t, int32_t xEnd) override { return xEnd; }
  void CollectRowClients(RowCollector& collector) override { collector.AddPlanes(planes_); }
  void ReleaseRowClients(RowCollector&) override {}

  static PlaneSource* Create(runtime::ArenaAllocator& arena, const PixelTriple& planes) {
    return runtime::NewInArena<PlaneSource>(arena, arena, planes);
  }

 private:
  PixelTriple planes_;
};

}  // namespace raster
