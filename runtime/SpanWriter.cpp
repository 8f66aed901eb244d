#include "runtime/SpanWriter.h"

#include <algorithm>

namespace runtime {
namespace {

// [x0, x1) cut to the columns both planes hold; empty when they share none.
void ClipColumns(const PlaneView& a, const PlaneView& b, int32_t& x0, int32_t& x1) {
  x0 = std::max({x0, a.rect.x0, b.rect.x0});
  x1 = std::min({x1, a.rect.x1, b.rect.x1});
}

// The source is a one-row buffer: its top row holds the span.
SpanCursor SourceAt(const PlaneView& source, int32_t x) {
  return SpanCursor::At(&source, x, source.rect.y0);
}

SpanCursor TargetAt(const RowTarget& target, int32_t x) {
  const PixelFormatDesc& f = target.plane.format;
  return {f.firstOffset, f.channelStep, f.columnStep, f.Count(),
          target.row + (static_cast<ptrdiff_t>(x) - target.plane.rect.x0) * f.columnStep};
}

}  // namespace

void OpaqueBgrxSpanWriter::WriteSpan(int32_t x0, int32_t x1) {
  if (target_.row == nullptr) return;
  ClipColumns(target_.plane, source_, x0, x1);
  if (x0 >= x1) return;
  SpanCursor from = SourceAt(source_, x0);
  uint8_t* to = target_.row + (static_cast<ptrdiff_t>(x0) - target_.plane.rect.x0) * 4;
  const uint8_t* s = from.pixel + from.firstOffset;
  const ptrdiff_t step = from.channelStep;
  for (int32_t x = x0; x < x1; ++x, s += from.columnStep, to += 4) {
    to[2] = s[0];
    to[1] = s[step];
    to[0] = s[2 * step];
    to[3] = 255;
  }
}

void OpaquePlanesSpanWriter::WriteSpan(int32_t x0, int32_t x1) {
  const RowTarget& colour = targets_.Target(OutputTargets::kColour);
  for (uint32_t i : {OutputTargets::kShape, OutputTargets::kAlpha}) {
    const RowTarget& target = targets_.Target(i);
    if (target.row == nullptr) continue;
    int32_t from = x0, to = x1;
    ClipColumns(target.plane, source_, from, to);
    SpanCursor cursor = TargetAt(target, from);
    for (int32_t x = from; x < to; ++x, cursor.Next()) {
      for (int32_t c = 0; c < cursor.count; ++c) *cursor.Channel(c) = 255;
    }
  }
  if (colour.row == nullptr) return;
  ClipColumns(colour.plane, source_, x0, x1);
  if (x0 >= x1) return;
  SpanCursor cursor = TargetAt(colour, x0);
  SpanCursor from = SourceAt(source_, x0);
  const int32_t channels = std::min(cursor.count, from.count);
  for (int32_t x = x0; x < x1; ++x, cursor.Next(), from.Next()) {
    for (int32_t c = 0; c < channels; ++c) *cursor.Channel(c) = *from.Channel(c);
  }
}

SpanWriter* SpanWriter::Select(ArenaAllocator& arena, const OutputTargets& targets,
                               const PlaneView* source) {
  const PlaneView& colour = targets.Target(OutputTargets::kColour).plane;
  if (source == nullptr || !source->IsPresent() || source->storage == colour.storage) {
    return NewInArena<NullSpanWriter>(arena);
  }
  const RowTarget& alpha = targets.Target(OutputTargets::kAlpha);
  const bool noShape = !targets.Target(OutputTargets::kShape).plane.IsPresent();
  const bool alphaInByte3 = !alpha.plane.IsPresent() ||
                            (alpha.plane.storage == colour.storage && alpha.plane.format.Matches(-1, 3, 0, 4));
  if (noShape && colour.format.Is3x2Tag4() && alphaInByte3 && source->format.Count() >= 3) {
    return NewInArena<OpaqueBgrxSpanWriter>(arena, targets.Target(OutputTargets::kColour), *source);
  }
  return NewInArena<OpaquePlanesSpanWriter>(arena, targets, *source);
}

}  // namespace runtime
