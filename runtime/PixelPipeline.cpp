#include "runtime/PixelPipeline.h"

namespace runtime {

void PixelPipeline::InitHeader(uint32_t count, PipelineElement* list, const IntRect& area,
                               uint32_t pipelineMode) {
  elementCount = list != nullptr ? count : 0;
  elements = list;
  bounds = area;
  mode = pipelineMode;
  currentElement = 0;
}

void PixelPipeline::RunRect(PixelPipeline& stage, const IntRect& rect) {
  if (rect.y0 >= rect.y1) return;
  stage.SetRow(rect.y0);
  for (int32_t y = rect.y0; y < rect.y1; ++y) {
    int32_t x = rect.x0;
    while (x < rect.x1) {
      const int32_t next = stage.Span(x, rect.x1);
      if (next <= x) break;
      x = next;
    }
    stage.NextRow();
  }
}

}  // namespace runtime
