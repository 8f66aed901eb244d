#include "runtime/Region.h"

#include <algorithm>
#include <climits>

#include "runtime/CheckedSize.h"
#include "runtime/ErrorTrap.h"

namespace runtime {
namespace {

constexpr int32_t kNoBoundary = INT32_MAX;

[[noreturn]] void Malformed(LibraryContext* context) {
  ThrowError(context, ErrorRecord{kRuntimeDomain, kMalformed, 0});
}

// Bounds of both; an empty rectangle is left out.
IntRect UnionIgnoringEmpty(const IntRect& r, const IntRect& s) {
  if (r.IsEmpty()) return s;
  if (s.IsEmpty()) return r;
  return {std::min(r.x0, s.x0), std::min(r.y0, s.y0), std::max(r.x1, s.x1),
          std::max(r.y1, s.y1)};
}

template <RegionOp op>
inline uint8_t CombineValues(uint8_t a, uint8_t b) {
  if constexpr (op == RegionOp::kUnion) return (a != 0 || b != 0) ? 1 : 0;
  if constexpr (op == RegionOp::kIntersection) return (a != 0 && b != 0) ? 1 : 0;
  if constexpr (op == RegionOp::kExclusiveOr) return static_cast<uint8_t>(a ^ b);
  if constexpr (op == RegionOp::kDifference) return (a != 0 && b == 0) ? 1 : 0;
}

// A walk along one span list with x only growing: the span at or after x
// and the edge that follows x.
struct SpanWalk {
  const RegionSpan* span;
  const RegionSpan* end;

  explicit SpanWalk(std::span<const RegionSpan> spans)
      : span(spans.data()), end(spans.data() + spans.size()) {}
  void SkipTo(int32_t x) {
    while (span != end && span->x1 <= x) ++span;
  }
  int32_t NextEdge(int32_t x) const {
    if (span == end) return kNoBoundary;
    return span->x0 > x ? span->x0 : span->x1;
  }
  uint8_t ValueAt(int32_t x) const { return span != end && span->x0 <= x ? span->value : 0; }
};

}  // namespace

// ---- RegionBand ----

const RegionSpan* RegionBand::FindSpan(std::span<const RegionSpan> spans, int32_t x) {
  // Spans are sorted and disjoint: the first one ending after x is the only
  // candidate.
  auto it = std::partition_point(spans.begin(), spans.end(),
                                 [x](const RegionSpan& s) { return s.x1 <= x; });
  return it != spans.end() && it->x0 <= x ? &*it : nullptr;
}

int32_t RegionBand::NextBoundary(std::span<const RegionSpan> spans, int32_t x) {
  for (const RegionSpan& span : spans) {
    if (span.x0 > x) return span.x0;
    if (span.x1 > x) return span.x1;
  }
  return kNoBoundary;
}

bool RegionBand::AllSpansZero(std::span<const RegionSpan> spans) {
  return std::all_of(spans.begin(), spans.end(),
                     [](const RegionSpan& s) { return s.x0 == s.x1 || s.value == 0; });
}

bool RegionBand::Equals(std::span<const RegionSpan> a, std::span<const RegionSpan> b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// ---- Region ----

Region::Region(LibraryContext* context)
    : context_(context), bands_(context, nullptr, 0), spans_(context, nullptr, 0) {}

void Region::Clear() {
  bands_.Clear();
  spans_.Clear();
  bounds_ = {};
  pendingGap_ = false;
}

void Region::FromRect(const IntRect& r) {
  Clear();
  bounds_ = r;
  if (r.IsEmpty()) return;
  spans_.Append({r.x0, r.x1, 1});
  bands_.Append({r.y0, r.y1, 0, 1});
}

RegionBand Region::Band(uint32_t i) const {
  const BandRecord& band = bands_[i];
  return {band.y0, band.y1, SpansOf(band)};
}

void Region::CommitBand(int32_t y0, int32_t y1, uint32_t start) {
  const std::span<const RegionSpan> fresh{spans_.Records().data() + start, spans_.Size() - start};
  if (RegionBand::AllSpansZero(fresh)) {
    spans_.Truncate(start);
    if (bands_.Size() != 0) pendingGap_ = true;
    return;
  }
  const BandRecord band{y0, y1, start, static_cast<uint32_t>(fresh.size())};
  if (bands_.Size() == 0) {
    bands_.Append(band);
    bounds_ = {fresh.front().x0, y0, fresh.back().x1, y1};
    return;
  }
  BandRecord& last = bands_[bands_.Size() - 1];
  if (pendingGap_ || y0 > last.y1) {
    const int32_t gapTop = last.y1;  // `last` moves when the vector grows
    bands_.Append({gapTop, y0, start, 0});
    pendingGap_ = false;
  } else if (RegionBand::Equals(SpansOf(last), fresh)) {
    last.y1 = y1;
    bounds_.y1 = y1;
    spans_.Truncate(start);
    return;
  }
  bands_.Append(band);
  bounds_.x0 = std::min(bounds_.x0, fresh.front().x0);
  bounds_.x1 = std::max(bounds_.x1, fresh.back().x1);
  bounds_.y1 = y1;
}

void Region::AppendBand(int32_t y0, int32_t y1, std::span<const RegionSpan> spans) {
  if (y0 >= y1) return;
  if (bands_.Size() != 0 && y0 < bands_[bands_.Size() - 1].y1) Malformed(context_);
  int32_t previousEnd = INT32_MIN;
  for (const RegionSpan& span : spans) {
    if (span.x1 < span.x0 || span.x0 < previousEnd) Malformed(context_);
    previousEnd = span.x1;
  }
  // The spans may be this region's own (a band read back with Band); take
  // the room first and copy by index so that growth cannot move them away.
  const RegionSpan* own = spans_.Records().data();
  const bool aliased = own != nullptr && spans.data() >= own && spans.data() < own + spans_.Size();
  const uint32_t offset = aliased ? static_cast<uint32_t>(spans.data() - own) : 0;
  const uint32_t count = static_cast<uint32_t>(spans.size());
  const uint32_t start = spans_.Size();
  spans_.Reserve(AddSizeChecked(context_, start, count));
  const RegionSpan* source = aliased ? spans_.Records().data() + offset : spans.data();
  for (uint32_t i = 0; i < count; ++i) spans_.Append(source[i]);
  CommitBand(y0, y1, start);
}

template <RegionOp op>
void Region::CombineSpans(std::span<const RegionSpan> a, std::span<const RegionSpan> b,
                          int32_t x0, int32_t x1) {
  const uint32_t start = spans_.Size();
  bool gap = false;
  SpanWalk walkA(a);
  SpanWalk walkB(b);
  int32_t x = x0;
  walkA.SkipTo(x);
  walkB.SkipTo(x);
  while (x < x1) {
    const int32_t next = std::min({walkA.NextEdge(x), walkB.NextEdge(x), x1});
    const uint8_t value = CombineValues<op>(walkA.ValueAt(x), walkB.ValueAt(x));
    if (value == 0) {
      if (spans_.Size() != start) gap = true;
    } else if (spans_.Size() == start) {
      spans_.Append({x, next, value});
    } else {
      RegionSpan& last = spans_[spans_.Size() - 1];
      if (gap) {
        const int32_t gapStart = last.x1;
        spans_.Append({gapStart, x, 0});
        spans_.Append({x, next, value});
        gap = false;
      } else if (last.value == value) {
        last.x1 = next;
      } else {
        spans_.Append({x, next, value});
      }
    }
    x = next;
    walkA.SkipTo(x);
    walkB.SkipTo(x);
  }
}

template <RegionOp op>
void Region::CombineInto(Region& out, const Region& a, const Region& b, const IntRect& work) {
  const std::span<const BandRecord> bandsA = a.bands_.Records();
  const std::span<const BandRecord> bandsB = b.bands_.Records();
  size_t ia = 0;
  size_t ib = 0;
  int32_t y = work.y0;
  while (y < work.y1) {
    while (ia < bandsA.size() && bandsA[ia].y1 <= y) ++ia;
    while (ib < bandsB.size() && bandsB[ib].y1 <= y) ++ib;
    const BandRecord* bandA = ia < bandsA.size() ? &bandsA[ia] : nullptr;
    const BandRecord* bandB = ib < bandsB.size() ? &bandsB[ib] : nullptr;
    const int32_t nextA = bandA == nullptr ? kNoBoundary : (bandA->y0 > y ? bandA->y0 : bandA->y1);
    const int32_t nextB = bandB == nullptr ? kNoBoundary : (bandB->y0 > y ? bandB->y0 : bandB->y1);
    const int32_t next = std::min({nextA, nextB, work.y1});
    const std::span<const RegionSpan> spansA =
        bandA != nullptr && bandA->y0 <= y ? a.SpansOf(*bandA) : std::span<const RegionSpan>{};
    const std::span<const RegionSpan> spansB =
        bandB != nullptr && bandB->y0 <= y ? b.SpansOf(*bandB) : std::span<const RegionSpan>{};
    const uint32_t start = out.spans_.Size();
    if (!spansA.empty() || !spansB.empty()) {
      out.CombineSpans<op>(spansA, spansB, work.x0, work.x1);
    }
    out.CommitBand(y, next, start);
    y = next;
  }
}

void Region::Combine(Region& out, const Region& a, const Region& b, RegionOp op) {
  if (&out == &a || &out == &b) {
    Region result(out.context_);
    Combine(result, a, b, op);
    Swap(out, result);
    return;
  }
  out.Clear();
  out.flags = 0;
  const IntRect work = UnionIgnoringEmpty(a.bounds_, b.bounds_);
  if (work.y0 >= work.y1) return;
  switch (op) {
    case RegionOp::kUnion: CombineInto<RegionOp::kUnion>(out, a, b, work); break;
    case RegionOp::kIntersection: CombineInto<RegionOp::kIntersection>(out, a, b, work); break;
    case RegionOp::kExclusiveOr: CombineInto<RegionOp::kExclusiveOr>(out, a, b, work); break;
    case RegionOp::kDifference: CombineInto<RegionOp::kDifference>(out, a, b, work); break;
  }
  // Trailing zero bands leave nothing behind.
  out.pendingGap_ = false;
}

void Region::Copy(const Region& source) {
  if (&source == this) return;
  Clear();
  bands_.Reserve(source.bands_.Size());
  spans_.Reserve(source.spans_.Size());
  for (const BandRecord& band : source.bands_.Records()) bands_.Append(band);
  for (const RegionSpan& span : source.spans_.Records()) spans_.Append(span);
  bounds_ = source.bounds_;
  flags = source.flags;
  pendingGap_ = source.pendingGap_;
}

void Region::Swap(Region& a, Region& b) {
  RecordVector<BandRecord>::Swap(a.bands_, b.bands_);
  RecordVector<RegionSpan>::Swap(a.spans_, b.spans_);
  std::swap(a.bounds_, b.bounds_);
  std::swap(a.flags, b.flags);
  std::swap(a.pendingGap_, b.pendingGap_);
}

bool Region::FindBand(int32_t y, RegionBand& band) const {
  const std::span<const BandRecord> bands = bands_.Records();
  auto it = std::partition_point(bands.begin(), bands.end(),
                                 [y](const BandRecord& b) { return b.y1 <= y; });
  if (it == bands.end() || it->y0 > y) return false;
  band = {it->y0, it->y1, SpansOf(*it)};
  return true;
}

int32_t Region::NextBandBoundary(int32_t y) const {
  const std::span<const BandRecord> bands = bands_.Records();
  auto it = std::partition_point(bands.begin(), bands.end(),
                                 [y](const BandRecord& b) { return b.y1 <= y; });
  if (it == bands.end()) return kNoBoundary;
  return it->y0 > y ? it->y0 : it->y1;
}

void Region::UpdateBounds() {
  if (bands_.Size() == 0) {
    bounds_ = {};
    return;
  }
  IntRect bounds{INT32_MAX, bands_[0].y0, INT32_MIN, bands_[bands_.Size() - 1].y1};
  for (const BandRecord& band : bands_.Records()) {
    if (band.spanCount == 0) continue;
    const std::span<const RegionSpan> spans = SpansOf(band);
    bounds.x0 = std::min(bounds.x0, spans.front().x0);
    bounds.x1 = std::max(bounds.x1, spans.back().x1);
  }
  bounds_ = bounds;
}

}  // namespace runtime
