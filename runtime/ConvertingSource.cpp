#include "runtime/ConvertingSource.h"

#include "runtime/CheckedSize.h"
#include "runtime/ErrorTrap.h"

namespace runtime {
namespace {

[[noreturn]] void Malformed(LibraryContext* context) {
  ThrowError(context, ErrorRecord{kRuntimeDomain, kMalformed, 0});
}

bool Covers(const PlaneView& view, int32_t x0, int32_t x1) {
  return view.rect.x0 <= x0 && x1 <= view.rect.x1 && view.rect.y0 < view.rect.y1;
}

}  // namespace

ConvertingSource::ConvertingSource(LibraryContext* context, ArenaAllocator& arena,
                                   PixelPipeline& upstream, PixelConverter& converter,
                                   const IntRect& area, const PixelLayout& layout)
    : context_(context),
      upstream_(upstream),
      converter_(converter),
      buffer_(context, &arena, IntRect{area.x0, 0, area.x1, 1}, layout, true) {
  if (!buffer_.colour.IsPresent()) Malformed(context);
  // Whichever element the upstream wrote, the converted pixels are here.
  const uint32_t count = upstream.elementCount != 0 ? upstream.elementCount : 1;
  auto* list = static_cast<PipelineElement*>(
      arena.Alloc(MultiplySizeChecked(context, count, sizeof(PipelineElement))));
  for (uint32_t i = 0; i < count; ++i) list[i] = {&buffer_.colour, buffer_.sampleFormat};
  InitHeader(count, list, area, 2);
}

int32_t ConvertingSource::Span(int32_t x0, int32_t x1) {
  const int32_t end = upstream_.Span(x0, x1);
  if (end < x0 || end > x1) Malformed(context_);
  if (end > x0) {
    if (!Covers(buffer_.colour, x0, end)) Malformed(context_);
    const SpanCursor destination = SpanCursor::At(&buffer_.colour, x0, 0);
    const PlaneView* view = upstream_.OutputView();
    if (view != nullptr && view->IsPresent()) {
      if (!Covers(*view, x0, end)) Malformed(context_);
      converter_.ConvertSpan(destination, buffer_.sampleFormat,
                             SpanCursor::At(view, x0, view->rect.y0), end - x0);
    } else {
      SpanCursor cursor = destination;
      for (int32_t x = x0; x < end; ++x, cursor.Next()) {
        for (int32_t c = 0; c < cursor.count; ++c) *cursor.Channel(c) = 0;
      }
    }
  }
  currentElement = 0;
  return end;
}

void ConvertingSource::Begin(uintptr_t argument) {
  if (upstream_.begun != 0) return;
  upstream_.begun = argument;
  upstream_.Begin(argument);
}

void ConvertingSource::End() {
  if (upstream_.begun == 0) return;
  upstream_.End();
  upstream_.begun = 0;
}

}  // namespace runtime
