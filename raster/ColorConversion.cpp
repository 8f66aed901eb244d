#include "raster/ColorConversion.h"

#include <cstring>

namespace raster {

ConversionNode::ConversionNode(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                               PipelineNode* input, runtime::PixelConverter* converter, int32_t targetComponents,
                               const IntRect& area)
    : input_(input), converter_(converter), outputs_(arena, input->variantCount) {
  colour_ = PixelTriple::CreateScratch(context, arena, PixelLayout::ForPlanes(targetComponents, 0, 0, true), area)
                .colour;
  for (uint32_t v = 0; v < input->variantCount; ++v)
    outputs_.PushBack(PixelTriple{input->variants[v].shape, input->variants[v].alpha, colour_});
  InitHeader(outputs_.Size(), &outputs_[0], input->bounds, 0);
}

int32_t ConversionNode::RunSpan(int32_t x, int32_t xEnd) {
  const int32_t reached = input_->RunSpan(x, xEnd);
  currentVariant = input_->currentVariant;
  if (reached <= x) return reached;
  const PixelPlane* source = input_->variants[currentVariant].colour;
  if (source == nullptr) {
    // Nothing to convert: no colour reads as black in the input's space,
    // which has no meaning in another; leave zeros rather than stale bytes.
    SpanCursor out = CursorAt(colour_, x);
    for (int32_t n = reached - x; n > 0; --n, out.Next())
      for (int32_t c = 0; c < out.count; ++c) *out.Channel(c) = 0;
    return reached;
  }
  converter_->ConvertSpan(CursorAt(colour_, x), 0, CursorAt(source, x), reached - x);
  return reached;
}

PipelineNode* InsertColorConversion(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                    PipelineNode* source, const IntRect& area, ColorSpace* from, ColorSpace* to) {
  if (from == to || from == nullptr || to == nullptr) return source;
  runtime::PixelConverter* converter = from->MakeConverter(arena, *to);
  return runtime::NewInArena<ConversionNode>(arena, context, arena, source, converter, to->ComponentCount(), area);
}

}  // namespace raster
