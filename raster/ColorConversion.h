#pragma once
// A node that turns its input's colour into another colour space, span by
// span, into a one-row buffer of its own; shape and alpha pass through.
#include <cstdint>

#include "raster/ColorSpace.h"
#include "raster/PipelineNode.h"

namespace raster {

class ConversionNode final : public PipelineNode {
 public:
  // `area` gives the columns the node is run over.
  ConversionNode(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, PipelineNode* input,
                 runtime::PixelConverter* converter, int32_t targetComponents, const IntRect& area);

  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  void CollectRowClients(RowCollector& collector) override { Register(input_, collector); }
  void ReleaseRowClients(RowCollector& collector) override { Release(input_, collector); }

 private:
  PipelineNode* input_;
  runtime::PixelConverter* converter_;
  PixelPlane* colour_;
  runtime::ArenaVector<PixelTriple> outputs_;
};

// `source` read in `to` instead of `from`: the node itself when both are the
// same space, else a conversion node over it.
PipelineNode* InsertColorConversion(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                    PipelineNode* source, const IntRect& area, ColorSpace* from, ColorSpace* to);

}  // namespace raster
