#include "raster/BandRegionOps.h"

#include <algorithm>

#include "runtime/ErrorTrap.h"
#include "runtime/RecordVector.h"

namespace raster::BandRegion {

namespace {

constexpr int64_t kCoordinateLimit = 32767;

int32_t Cap(int64_t v) {
  return static_cast<int32_t>(std::clamp(v, -kCoordinateLimit, kCoordinateLimit));
}

}  // namespace

int32_t ScaleLow(int32_t v, runtime::Fixed f) { return Cap((int64_t{v} * f) >> 16); }

int32_t ScaleHigh(int32_t v, runtime::Fixed f) { return Cap((int64_t{v} * f + 0xffff) >> 16); }

void ScaleBy(runtime::Region& region, runtime::Fixed f) {
  runtime::LibraryContext* context = region.Context();
  runtime::Region result(context);
  runtime::Region band(context);
  runtime::RecordVector<runtime::RegionSpan> spans(context, nullptr, 8);
  for (uint32_t i = 0; i < region.BandCount(); ++i) {
    const runtime::RegionBand source = region.Band(i);
    spans.Clear();
    for (const runtime::RegionSpan& span : source.spans) {
      if (span.value == 0 || span.x0 >= span.x1) continue;
      runtime::RegionSpan scaled{ScaleLow(span.x0, f), ScaleHigh(span.x1, f), span.value};
      if (scaled.x0 >= scaled.x1) continue;
      // Rounding outward can make a span reach into the next one: the
      // earlier span keeps the shared pixels.
      if (spans.Size() != 0) {
        const runtime::RegionSpan& last = spans[spans.Size() - 1];
        scaled.x0 = std::max(scaled.x0, last.x1);
        if (scaled.x0 >= scaled.x1) continue;
      }
      spans.Append(scaled);
    }
    const int32_t y0 = ScaleLow(source.y0, f), y1 = ScaleHigh(source.y1, f);
    if (spans.Size() == 0 || y0 >= y1) continue;
    band.Clear();
    band.AppendBand(y0, y1, spans.Records());
    runtime::Region::Combine(result, result, band, runtime::RegionOp::kUnion);
  }
  result.UpdateBounds();
  result.flags = region.flags;
  runtime::Region::Swap(region, result);
}

bool IsEmpty(const runtime::Region& region) {
  for (uint32_t i = 0; i < region.BandCount(); ++i) {
    const runtime::RegionBand band = region.Band(i);
    if (band.y0 != band.y1 && !runtime::RegionBand::AllSpansZero(band.spans)) return false;
  }
  return true;
}

runtime::RegionBand CheckedAdvanceBands(const runtime::Region& region, uint32_t n) {
  if (n >= region.BandCount()) runtime::ThrowRuntime(runtime::kMalformed);
  return region.Band(n);
}

const runtime::RegionSpan& CheckedAdvanceSpans(const runtime::RegionBand& band, uint32_t n) {
  if (n >= band.spans.size()) runtime::ThrowRuntime(runtime::kMalformed);
  return band.spans[n];
}

}  // namespace raster::BandRegion
