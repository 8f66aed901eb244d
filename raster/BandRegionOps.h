#pragma once
// The raster side's operations on band regions: scaling a region by a zoom
// factor, the emptiness test and stepping through bands and spans by count.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/Region.h"

namespace raster::BandRegion {

// A low coordinate scaled by the 16.16 factor f: floor(v·f), and a high one:
// ceil(v·f). Products are taken in 64 bits and every result is capped to
// ±32767, so no zoom can wrap a coordinate.
int32_t ScaleLow(int32_t v, runtime::Fixed f);
int32_t ScaleHigh(int32_t v, runtime::Fixed f);

// Every band's rows and every span scaled by f (low ends down, high ends
// up). Rounding can make neighbouring bands or spans overlap; the result is
// then the union of the scaled pieces, so nothing that was inside is lost.
void ScaleBy(runtime::Region& region, runtime::Fixed f);
// True when every band is empty or all its spans are empty or of value 0.
bool IsEmpty(const runtime::Region& region);
// The first band edge after y, 0x7fffffff when none.
inline int32_t NextBandEdge(const runtime::Region& region, int32_t y) {
  return region.NextBandBoundary(y);
}
// Band n counted from the first; (runtime, 2) when there is none.
runtime::RegionBand CheckedAdvanceBands(const runtime::Region& region, uint32_t n);
// Span n of a band; (runtime, 2) when there is none.
const runtime::RegionSpan& CheckedAdvanceSpans(const runtime::RegionBand& band, uint32_t n);

}  // namespace raster::BandRegion
