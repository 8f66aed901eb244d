#include "runtime/ClipRowWalker.h"

#include <algorithm>
#include <climits>

namespace runtime {

ClipRowWalker::ClipRowWalker(ArenaAllocator& arena) : boundaries_(arena, 2), bands_(arena, 1) {}

void ClipRowWalker::SetRect(const IntRect& rect) {
  bounds_ = rect;
  simple_ = true;
  boundaries_.Clear();
  bands_.Clear();
  boundaries_.PushBack(rect.x0);
  boundaries_.PushBack(rect.x1);
  state_ = kNewRow;
  lastX_ = INT32_MIN;
}

void ClipRowWalker::SetRegion(const Region& region) {
  boundaries_.Clear();
  bands_.Clear();
  state_ = kNewRow;
  lastX_ = INT32_MIN;
  bounds_ = region.Bounds();
  if (!region.HasBands()) {
    // Nothing is inside: an empty rectangle skips every span.
    SetRect({bounds_.x0, bounds_.y0, bounds_.x0, bounds_.y0});
    return;
  }
  for (uint32_t i = 0; i < region.BandCount(); ++i) {
    const RegionBand band = region.Band(i);
    const uint32_t begin = boundaries_.Size();
    for (const RegionSpan& span : band.spans) {
      if (span.value == 0 || span.x0 >= span.x1) continue;
      // A run that starts where the last one ended continues it.
      if (boundaries_.Size() > begin && boundaries_[boundaries_.Size() - 1] == span.x0) {
        boundaries_[boundaries_.Size() - 1] = span.x1;
      } else {
        boundaries_.PushBack(span.x0);
        boundaries_.PushBack(span.x1);
      }
    }
    if (boundaries_.Size() > begin) bands_.PushBack({band.y0, band.y1, begin, boundaries_.Size()});
  }
  simple_ = false;
  if (bands_.Size() == 1 && boundaries_.Size() == 2) {
    // One run over the whole region: the region is its bounds.
    const BandBoundaries& only = bands_[0];
    bounds_ = {boundaries_[0], only.y0, boundaries_[1], only.y1};
    simple_ = true;
  }
}

void ClipRowWalker::FindRowBand() {
  rowBegin_ = rowEnd_ = 0;
  if (simple_ || !rowInside_) return;
  // Rows move down one at a time: the band of the last row, or one of the
  // next ones, usually holds the new one.
  if (band_ >= bands_.Size() || bands_[band_].y0 > row_) {
    const std::span<const BandBoundaries> all{bands_.begin(), bands_.Size()};
    band_ = static_cast<uint32_t>(
        std::partition_point(all.begin(), all.end(),
                             [this](const BandBoundaries& b) { return b.y1 <= row_; }) -
        all.begin());
  }
  while (band_ < bands_.Size() && bands_[band_].y1 <= row_) ++band_;
  if (band_ < bands_.Size() && bands_[band_].y0 <= row_) {
    rowBegin_ = bands_[band_].begin;
    rowEnd_ = bands_[band_].end;
  }
}

void ClipRowWalker::SetRow(int32_t y) {
  row_ = y;
  state_ = kNewRow;
  rowInside_ = bounds_.y0 <= y && y < bounds_.y1;
  band_ = UINT32_MAX;
  FindRowBand();
}

void ClipRowWalker::NextRow() {
  if (row_ == INT32_MAX) {
    rowInside_ = false;
  } else {
    ++row_;
    rowInside_ = bounds_.y0 <= row_ && row_ < bounds_.y1;
  }
  state_ = kNewRow;
  FindRowBand();
}

int32_t ClipRowWalker::Advance(int32_t x, int32_t limit) {
  if (!rowInside_) {
    spanInside_ = false;
    state_ = kStale;
    return limit;
  }
  if (x < lastX_) state_ = kStale;
  lastX_ = x;
  if (x >= bounds_.x1) {
    spanInside_ = false;
    state_ = kStale;
    return limit;
  }
  if (simple_) {
    state_ = kValid;
    if (x < bounds_.x0) {
      spanInside_ = false;
      return std::min(limit, bounds_.x0);
    }
    spanInside_ = true;
    return std::min(limit, bounds_.x1);
  }
  if (state_ != kValid) {
    cursor_ = rowBegin_;
    spanInside_ = false;
  }
  while (cursor_ < rowEnd_ && x >= boundaries_[cursor_]) {
    ++cursor_;
    spanInside_ = !spanInside_;
  }
  if (cursor_ >= rowEnd_) {
    state_ = kStale;
    return limit;
  }
  state_ = kValid;
  return std::min(limit, boundaries_[cursor_]);
}

}  // namespace runtime
