#pragma once
// The end of a pixel pipeline: for each row it positions the destination
// rows; for each span it clips the span to the painted area, asks the
// pipeline for the pixels and hands them to the span writer chosen for the
// element the pipeline wrote.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/OutputTargets.h"
#include "runtime/PixelPipeline.h"
#include "runtime/SpanWriter.h"

namespace runtime {

class SpanOutputStage final : public PixelPipeline {
 public:
  // One writer per element of the owner's pipeline, each picked by
  // `select` (SpanWriter::Select when none is given).
  SpanOutputStage(ArenaAllocator& arena, OutputTargets& owner,
                  SpanWriterSelector select = &SpanWriter::Select);

  void SetRow(int32_t y) override { owner_.SetRow(y); }
  void NextRow() override { owner_.NextRow(); }
  // Skips the run outside the painted area that starts at x0 (returning its
  // end); otherwise has the pipeline make [x0, x) inside the run and writes
  // it.
  int32_t Span(int32_t x0, int32_t x1) override;

 private:
  LibraryContext* context_;
  OutputTargets& owner_;
  ArenaVector<SpanWriter*> writers_;
};

}  // namespace runtime
