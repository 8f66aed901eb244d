#include "fonts/BlueZones.h"

#include <algorithm>

namespace fonts {

namespace {

Fixed ScaleToDevice(Fixed v, Fixed scale) {
  const int64_t p = (int64_t{v} * scale) >> 16;
  return static_cast<Fixed>(std::clamp<int64_t>(p, runtime::kFixedMin, runtime::kFixedMax));
}

}  // namespace

BlueZones::BlueZones(const PrivateRecord& record, Fixed scale)
    : blueScale_(record.blueScale), blueShift_(record.blueShift), blueFuzz_(record.blueFuzz) {
  int64_t maxHeight = 0;
  auto add = [&](Fixed bottom, Fixed top, bool isBottom) {
    if (top < bottom || count_ >= 12) return;
    zones_[count_++] = {bottom, top, 0, isBottom};
    maxHeight = std::max<int64_t>(maxHeight, int64_t{top} - bottom);
  };
  const uint32_t bluePairs = std::min<uint32_t>(record.blueValues.count / 2, 7);
  for (uint32_t i = 0; i < bluePairs; ++i) {
    add(record.blueValues.values[2 * i], record.blueValues.values[2 * i + 1], i == 0);
  }
  const uint32_t otherPairs = std::min<uint32_t>(record.otherBlues.count / 2, 5);
  for (uint32_t i = 0; i < otherPairs; ++i) {
    add(record.otherBlues.values[2 * i], record.otherBlues.values[2 * i + 1], true);
  }
  if (maxHeight > 0) {
    const int64_t limit = (int64_t{1} << 32) / maxHeight;  // 1 / h in 16.16
    if (blueScale_ > limit) blueScale_ = static_cast<Fixed>(limit);
    if (blueScale_ == 0) blueScale_ = static_cast<Fixed>((int64_t{26214} << 16) / maxHeight);
  }
  if (blueScale_ > 0 && scale < blueScale_) {
    suppress_ = true;
    const int64_t ratio = (int64_t{scale} << 16) / blueScale_;
    offset_ = static_cast<Fixed>((65536 - ratio) / 2);
  }
  for (uint32_t i = 0; i < count_; ++i) {
    Zone& z = zones_[i];
    z.device = z.isBottom ? RoundFixed(ScaleToDevice(z.top, scale) - offset_)
                          : RoundFixed(ScaleToDevice(z.bottom, scale) + offset_);
  }
}

bool BlueZones::AlignStem(StemEdge& bottom, StemEdge& top) const {
  for (int pass = 0; pass < 2; ++pass) {
    StemEdge& edge = pass == 0 ? bottom : top;
    const bool wantBottom = pass == 0;
    if (wantBottom ? !edge.IsBottom() : !edge.IsTop()) continue;
    for (uint32_t i = 0; i < count_; ++i) {
      const Zone& z = zones_[i];
      if (z.isBottom != wantBottom) continue;
      if (int64_t{edge.coordinate} < int64_t{z.bottom} - blueFuzz_ ||
          int64_t{edge.coordinate} > int64_t{z.top} + blueFuzz_) {
        continue;
      }
      Fixed target;
      if (suppress_) {
        target = z.device;
      } else if (!wantBottom) {
        target = RoundFixed(edge.device);
        if (int64_t{edge.coordinate} - z.bottom >= blueShift_) {
          target = std::max(target, runtime::WrapAdd(z.device, runtime::kFixedOne));
        }
      } else {
        target = RoundFixed(edge.device);
        if (int64_t{z.top} - edge.coordinate >= blueShift_) {
          target = std::min(target, runtime::WrapSub(z.device, runtime::kFixedOne));
        }
      }
      const Fixed shift = runtime::WrapSub(target, edge.device);
      if (bottom.flags != 0) {
        bottom.device = runtime::WrapAdd(bottom.device, shift);
        bottom.flags |= StemEdge::kLocked;
      }
      if (top.flags != 0) {
        top.device = runtime::WrapAdd(top.device, shift);
        top.flags |= StemEdge::kLocked;
      }
      return true;
    }
  }
  return false;
}

}  // namespace fonts
