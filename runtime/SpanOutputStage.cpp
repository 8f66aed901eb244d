#include "runtime/SpanOutputStage.h"

#include "runtime/ErrorTrap.h"

namespace runtime {

SpanOutputStage::SpanOutputStage(ArenaAllocator& arena, OutputTargets& owner,
                                 SpanWriterSelector select)
    : context_(arena.Context()), owner_(owner), writers_(arena, 1) {
  const PixelPipeline& pipeline = owner.Pipeline();
  if (pipeline.elementCount == 0) {
    writers_.PushBack(select(arena, owner, nullptr));
    return;
  }
  for (uint32_t i = 0; i < pipeline.elementCount; ++i) {
    writers_.PushBack(select(arena, owner, pipeline.elements[i].view));
  }
}

int32_t SpanOutputStage::Span(int32_t x0, int32_t x1) {
  int32_t x = x1;
  if (ClipRowWalker* walker = owner_.Walker(); walker != nullptr) {
    x = walker->Advance(x0, x1);
    if (!walker->SpanInside()) return x;
  }
  PixelPipeline& pipeline = owner_.Pipeline();
  const int32_t end = pipeline.Span(x0, x);
  // A pipeline that claims pixels outside what it was asked for, or an
  // element it has no writer for, is a broken stage: stop the paint.
  if (end < x0 || end > x || pipeline.currentElement >= writers_.Size()) {
    ThrowError(context_, ErrorRecord{kRuntimeDomain, kMalformed, 0});
  }
  writers_[pipeline.currentElement]->WriteSpan(x0, end);
  return end;
}

}  // namespace runtime
