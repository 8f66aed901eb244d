#include "fonts/CidMetrics.h"

#include <algorithm>

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace fonts {
namespace {

using runtime::Fixed;
using runtime::ObjectHandle;


// A CID operand: a non-negative integer.
uint32_t CidAt(const ObjectHandle& array, uint32_t index) {
  const int32_t cid = runtime::Array::GetInteger(array, index);
  if (cid < 0) runtime::ThrowMalformed();
  return static_cast<uint32_t>(cid);
}

Fixed NumberAt(const ObjectHandle& array, uint32_t index) {
  const ObjectHandle element = runtime::Array::Get(array, index);
  if (!element->IsNumber()) runtime::ThrowMalformed();
  return TextSpaceFromThousandths(element->AsNumber());
}

// Groups walked per work charge.
constexpr uint32_t kGroupsPerCharge = 64;

}  // namespace

Fixed TextSpaceFromThousandths(Fixed thousandths) {
  const int64_t value = thousandths;
  return static_cast<Fixed>(value >= 0 ? (value + 500) / 1000 : (value - 500) / 1000);
}

CidMetrics::CidMetrics(runtime::LibraryContext* context)
    : arena_(context, 4096, 1024),
      widthRanges_(arena_, 8),
      widths_(arena_, 8),
      verticalRanges_(arena_, 8),
      verticals_(arena_, 8) {
  defaultVertical_.positionY = TextSpaceFromThousandths(880 * runtime::kFixedOne);
  defaultVertical_.advance = -runtime::kFixedOne;
}

void CidMetrics::Read(const ObjectHandle& cidFont) {
  defaultWidth_ = TextSpaceFromThousandths(
      runtime::Dictionary::GetNumberOr(cidFont, "DW", 1000 * runtime::kFixedOne));
  const ObjectHandle w = runtime::Dictionary::GetOptionalArray(cidFont, "W");
  if (!w.IsNull()) ReadGroups(w, 1, widthRanges_, widths_);
  const ObjectHandle dw2 = runtime::Dictionary::GetOptionalArray(cidFont, "DW2");
  if (!dw2.IsNull() && runtime::Array::Count(dw2) >= 2) {
    defaultVertical_.positionY = NumberAt(dw2, 0);
    defaultVertical_.advance = NumberAt(dw2, 1);
  }
  const ObjectHandle w2 = runtime::Dictionary::GetOptionalArray(cidFont, "W2");
  if (!w2.IsNull()) ReadGroups(w2, 3, verticalRanges_, verticals_);
}

void CidMetrics::ReadGroups(const ObjectHandle& array, uint32_t stride,
                            runtime::ArenaVector<Range>& ranges,
                            runtime::ArenaVector<Fixed>& values) {
  runtime::LibraryContext* context = arena_.Context();
  const uint32_t count = runtime::Array::Count(array);
  uint32_t groups = 0;
  for (uint32_t i = 0; i + 1 < count;) {
    if (++groups % kGroupsPerCharge == 0) runtime::ChargeWork(context, runtime::kWorkCostLight);
    const uint32_t first = CidAt(array, i);
    const ObjectHandle second = runtime::Array::Get(array, i + 1);
    if (second.Tag() == runtime::ObjectTag::kArray) {
      // first, [entry entry ...]: one entry per CID from first on.
      const uint32_t n = runtime::Array::Count(second) / stride;
      if (n != 0 && first + (n - 1) >= first) {
        ranges.PushBack({first, first + (n - 1), values.Size(), stride});
        for (uint32_t k = 0; k < n * stride; ++k) values.PushBack(NumberAt(second, k));
      }
      i += 2;
    } else if (second->IsNumber()) {
      // first last entry: the same entry for every CID of the range.
      if (i + 1 + stride >= count) break;
      const uint32_t last = CidAt(array, i + 1);
      if (last >= first) {
        ranges.PushBack({first, last, values.Size(), 0});
        for (uint32_t k = 0; k < stride; ++k) values.PushBack(NumberAt(array, i + 2 + k));
      } else {
        for (uint32_t k = 0; k < stride; ++k) NumberAt(array, i + 2 + k);
      }
      i += 2 + stride;
    } else {
      runtime::ThrowMalformed();
    }
  }
  SortRanges(ranges);
}

void CidMetrics::SortRanges(runtime::ArenaVector<Range>& ranges) {
  // Value indices grow with the order of the groups, so of two groups that
  // start at the same CID the later one sorts last and wins.
  std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) {
    return a.first != b.first ? a.first < b.first : a.valueIndex < b.valueIndex;
  });
}

int64_t CidMetrics::FindValue(const runtime::ArenaVector<Range>& ranges, uint32_t cid) {
  const Range* begin = ranges.begin();
  const Range* end = ranges.end();
  // The last range starting at or before the CID; an earlier one that
  // reaches over it serves when that one stops short.
  const Range* after = std::upper_bound(begin, end, cid,
                                        [](uint32_t c, const Range& r) { return c < r.first; });
  constexpr int kLookBack = 8;
  int looked = 0;
  for (const Range* r = after; r != begin && looked < kLookBack; ++looked) {
    --r;
    if (cid <= r->last) return int64_t{r->valueIndex} + int64_t{cid - r->first} * r->perCid;
  }
  return -1;
}

Fixed CidMetrics::Width(uint32_t cid) const {
  const int64_t index = FindValue(widthRanges_, cid);
  return index >= 0 ? widths_[static_cast<uint32_t>(index)] : defaultWidth_;
}

VerticalMetrics CidMetrics::Vertical(uint32_t cid) const {
  const int64_t index = FindValue(verticalRanges_, cid);
  if (index >= 0) {
    const auto at = static_cast<uint32_t>(index);
    return {verticals_[at], verticals_[at + 1], verticals_[at + 2]};
  }
  VerticalMetrics metrics = defaultVertical_;
  metrics.positionX = Width(cid) / 2;
  return metrics;
}

}  // namespace fonts
