#pragma once
// Band regions: an area of device pixels (the damaged or visible part of a
// page, a clip) kept as horizontal bands from the top, each band a y range
// [y0, y1) with a list of spans {x0, x1, value} sorted by x, each covering
// [x0, x1). A span of value 0 is outside.
//
// Regions are built band by band from the top and stay compact while they
// are built: no two adjacent bands have equal span lists and no two adjacent
// spans of a band have one value. Leading and trailing zero spans and bands
// are never stored; a zero run between stored ones is kept as one zero span
// (or one band without spans), so that a list reads as a run of its values.
//
// Spans of all bands live in one contiguous array and bands in another, so
// walking a region touches memory in order.
#include <cstdint>
#include <span>

#include "runtime/LibraryContext.h"
#include "runtime/RecordVector.h"
#include "runtime/Rect.h"

namespace runtime {

// 12 bytes, as the region walkers of the raster code read them.
struct RegionSpan {
  int32_t x0 = 0;
  int32_t x1 = 0;
  uint8_t value = 0;

  friend bool operator==(const RegionSpan& a, const RegionSpan& b) {
    return a.x0 == b.x0 && a.x1 == b.x1 && a.value == b.value;
  }
};

// One band as its users see it: the rows and the span list.
struct RegionBand {
  int32_t y0 = 0;
  int32_t y1 = 0;
  std::span<const RegionSpan> spans;

  // The span whose [x0, x1) holds x, or null.
  static const RegionSpan* FindSpan(std::span<const RegionSpan> spans, int32_t x);
  const RegionSpan* FindSpan(int32_t x) const { return FindSpan(spans, x); }
  // The first span edge (x0 or x1) greater than x; 0x7fffffff when none.
  static int32_t NextBoundary(std::span<const RegionSpan> spans, int32_t x);
  int32_t NextBoundary(int32_t x) const { return NextBoundary(spans, x); }
  // True when every span is empty or has value 0.
  static bool AllSpansZero(std::span<const RegionSpan> spans);
  // Same count and equal spans in order.
  static bool Equals(std::span<const RegionSpan> a, std::span<const RegionSpan> b);
};

// How Combine merges the values of two regions: union (a or b),
// intersection (a and b), exclusive or (a xor b, bitwise on the values) and
// difference (a and not b). Every mode but the exclusive or stores 1 or 0.
enum class RegionOp : uint8_t { kUnion = 0, kIntersection = 1, kExclusiveOr = 2, kDifference = 3 };

class Region {
 public:
  explicit Region(LibraryContext* context);
  Region(const Region&) = delete;
  Region& operator=(const Region&) = delete;

  // Bounds = r; one band [y0, y1) with one span [x0, x1) of value 1 unless
  // r is empty (then no band, but the bounds are still r).
  void FromRect(const IntRect& r);
  // No band, zero bounds.
  void Clear();
  // Adds a band below the others with a copy of `spans` (sorted, not
  // overlapping; otherwise (runtime, 2)). A band of zero spans is not stored:
  // it marks a gap when bands are stored already. A band whose spans equal
  // the last band's lengthens it. A band that starts below the last one's
  // end is separated from it by an empty band. A band above the last one's
  // end is (runtime, 2); an empty y range is ignored. Keeps the bounds.
  void AppendBand(int32_t y0, int32_t y1, std::span<const RegionSpan> spans);

  // out := a combined with b. `out` may be a or b.
  static void Combine(Region& out, const Region& a, const Region& b, RegionOp op);
  // this := this combined with b.
  void CombineInPlace(const Region& b, RegionOp op) { Combine(*this, *this, b, op); }
  // A copy of the source's bands, bounds and flag word.
  void Copy(const Region& source);
  // Exchanges bounds, bands and flag words; each keeps its context.
  static void Swap(Region& a, Region& b);

  // The band whose [y0, y1) holds y; false when none.
  bool FindBand(int32_t y, RegionBand& band) const;
  // The first band edge (y0 or y1) greater than y; 0x7fffffff when none.
  int32_t NextBandBoundary(int32_t y) const;
  // Recomputes the bounds from the bands: y from the first and last band, x
  // from the least first span x0 and greatest last span x1 of the bands
  // with spans; all zero without bands.
  void UpdateBounds();

  uint32_t BandCount() const { return bands_.Size(); }
  RegionBand Band(uint32_t i) const;
  uint32_t SpanCount() const { return spans_.Size(); }
  bool HasBands() const { return bands_.Size() != 0; }
  const IntRect& Bounds() const { return bounds_; }
  LibraryContext* Context() const { return context_; }

  uint32_t flags = 0;

 private:
  struct BandRecord {
    int32_t y0;
    int32_t y1;
    uint32_t firstSpan;
    uint32_t spanCount;
  };
  // Makes the spans written at spans_[start..] a band [y0, y1), or drops
  // them by the merging rules above.
  void CommitBand(int32_t y0, int32_t y1, uint32_t start);
  template <RegionOp op>
  static void CombineInto(Region& out, const Region& a, const Region& b, const IntRect& work);
  template <RegionOp op>
  void CombineSpans(std::span<const RegionSpan> a, std::span<const RegionSpan> b, int32_t x0,
                    int32_t x1);

  std::span<const RegionSpan> SpansOf(const BandRecord& band) const {
    return {spans_.Records().data() + band.firstSpan, band.spanCount};
  }

  LibraryContext* context_;
  IntRect bounds_;
  RecordVector<BandRecord> bands_;
  RecordVector<RegionSpan> spans_;  // of every band, in band order
  bool pendingGap_ = false;         // zero bands seen after a stored band
};

}  // namespace runtime
