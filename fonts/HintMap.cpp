#include "fonts/HintMap.h"

#include <algorithm>

namespace fonts {

namespace {

Fixed ClampToFixed(int64_t v) {
  return static_cast<Fixed>(std::clamp<int64_t>(v, runtime::kFixedMin, runtime::kFixedMax));
}

Fixed HintScaled(Fixed v, Fixed scale) { return ClampToFixed((int64_t{v} * scale) >> 16); }

constexpr Fixed kTopGhostWidth = -20 * 65536;
constexpr Fixed kBottomGhostWidth = -21 * 65536;

}  // namespace

void HintMap::MakeEdges(StemPair stem, Fixed offset, Fixed scale, StemEdge& bottom,
                        StemEdge& top) {
  const int64_t width = int64_t{stem.edge2} - stem.edge1;
  bottom = {};
  top = {};
  auto edge = [&](StemEdge& e, uint32_t flags, Fixed coordinate) {
    e.flags = flags;
    e.coordinate = ClampToFixed(int64_t{coordinate} + offset);
    e.device = HintScaled(e.coordinate, scale);
    e.scale = scale;
  };
  if (width == kTopGhostWidth) {
    edge(top, StemEdge::kGhostTop, stem.edge1);
  } else if (width == kBottomGhostWidth) {
    edge(bottom, StemEdge::kGhostBottom, stem.edge2);
  } else if (width >= 0) {
    edge(bottom, StemEdge::kBottom, stem.edge1);
    edge(top, StemEdge::kTop, stem.edge2);
  } else {
    edge(bottom, StemEdge::kBottom, stem.edge2);
    edge(top, StemEdge::kTop, stem.edge1);
  }
}

void HintMap::Build(const StemPair* stems, uint32_t stemCount, HintMask& mask, Fixed offset,
                    const BlueZones& zones) {
  if (!mask.valid) mask.SetAll(std::min(stemCount, HintMask::kMaxStems));
  count_ = 0;
  last_ = 0;
  HintMask work = mask;
  const uint32_t n = std::min(stemCount, HintMask::kMaxStems);
  for (uint32_t i = 0; i < n; ++i) {
    if (!work.Test(i)) continue;
    StemEdge bottom, top;
    MakeEdges(stems[i], offset, scale_, bottom, top);
    if (zones.AlignStem(bottom, top)) {
      if (bottom.flags != 0) {
        Insert(bottom, top);
      } else {
        Insert(top, StemEdge{});
      }
      work.Reset(i);
    }
  }
  for (uint32_t i = 0; i < n; ++i) {
    if (!work.Test(i)) continue;
    StemEdge bottom, top;
    MakeEdges(stems[i], offset, scale_, bottom, top);
    if (bottom.flags != 0) {
      Insert(bottom, top);
    } else {
      Insert(top, StemEdge{});
    }
  }
  Finish();
  valid_ = true;
}

void HintMap::Insert(const StemEdge& a, const StemEdge& b) {
  const bool two = b.flags != 0;
  const StemEdge& lower = a;
  const StemEdge& upper = two ? b : a;
  if (count_ + (two ? 2 : 1) > kMaxPoints) return;
  uint32_t at = 0;
  while (at < count_ && points_[at].coordinate < lower.coordinate) ++at;
  if (at < count_) {
    if (two && points_[at].coordinate < upper.coordinate) return;
    if ((points_[at].flags & StemEdge::kTop) != 0) return;
    if (points_[at].coordinate == lower.coordinate) return;
    if (points_[at].device < upper.device) return;
  }
  if (at > 0 && points_[at - 1].device > lower.device) return;
  const uint32_t shift = two ? 2 : 1;
  for (uint32_t i = count_; i-- > at;) points_[i + shift] = points_[i];
  points_[at] = lower;
  if (two) points_[at + 1] = upper;
  count_ += shift;
}

void HintMap::Finish() {
  for (uint32_t i = 0; i < count_; ++i) {
    StemEdge& p = points_[i];
    if ((p.flags & StemEdge::kLocked) != 0) continue;
    const bool paired = (p.flags & StemEdge::kBottom) != 0 && i + 1 < count_ &&
                        (points_[i + 1].flags & StemEdge::kTop) != 0 &&
                        (points_[i + 1].flags & StemEdge::kLocked) == 0;
    const uint32_t lastIndex = paired ? i + 1 : i;
    int64_t up = INT64_MAX, down = INT64_MAX;
    for (uint32_t j = i; j <= lastIndex; ++j) {
      const int64_t d = points_[j].device;
      const int64_t frac = d & 0xFFFF;
      up = std::min<int64_t>(up, frac == 0 ? 0 : 65536 - frac);
      down = std::min<int64_t>(down, frac);
    }
    const int64_t next = lastIndex + 1 < count_ ? points_[lastIndex + 1].device : INT64_MAX;
    const int64_t previous = i > 0 ? points_[i - 1].device : INT64_MIN;
    const int64_t top = points_[lastIndex].device;
    const int64_t bottom = p.device;
    int64_t move;
    if (top + up > next) {
      move = bottom - down < previous ? 0 : -down;
    } else if (bottom - down < previous) {
      move = up;
    } else {
      move = up <= down ? up : -down;
    }
    for (uint32_t j = i; j <= lastIndex; ++j) {
      points_[j].device = ClampToFixed(points_[j].device + move);
    }
    i = lastIndex;
  }
  for (uint32_t i = 0; i < count_; ++i) {
    StemEdge& p = points_[i];
    p.scale = scale_;
    if (i + 1 < count_ && points_[i + 1].coordinate != p.coordinate) {
      const int64_t dd = int64_t{points_[i + 1].device} - p.device;
      const int64_t dc = int64_t{points_[i + 1].coordinate} - p.coordinate;
      p.scale = ClampToFixed((dd << 16) / dc);
    }
  }
}

Fixed HintMap::Map(Fixed y) {
  if (count_ == 0) return HintScaled(y, scale_);
  uint32_t i = last_ < count_ ? last_ : 0;
  while (i > 0 && points_[i].coordinate > y) --i;
  while (i + 1 < count_ && points_[i + 1].coordinate <= y) ++i;
  last_ = i;
  const StemEdge& p = points_[i];
  if (y < p.coordinate) {  // below the first point
    return ClampToFixed(int64_t{p.device} + ((int64_t{y} - p.coordinate) * scale_ >> 16));
  }
  return ClampToFixed(int64_t{p.device} + ((int64_t{y} - p.coordinate) * p.scale >> 16));
}

}  // namespace fonts
