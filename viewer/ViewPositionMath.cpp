#include "viewer/ViewPositionMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "viewer/PageLayoutParams.h"

namespace viewer {

namespace {

int64_t SaturateWide(__int128 v) {
  if (v > std::numeric_limits<int64_t>::max()) return std::numeric_limits<int64_t>::max();
  if (v < std::numeric_limits<int64_t>::min()) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

runtime::Fixed ClampToFixed(__int128 v) {
  return static_cast<runtime::Fixed>(
      std::clamp<__int128>(v, 1, static_cast<__int128>(runtime::kFixedMax)));
}

}  // namespace

ThumbPosition ClampThumb(int64_t position, int64_t page, int64_t range) {
  ThumbPosition t;
  t.range = std::max<int64_t>(range, 1);
  // A page size of 0 would scale the position by a division by zero.
  t.page = std::clamp<int64_t>(page, 1, t.range);
  t.position = std::clamp<int64_t>(position, 0, t.range - t.page);
  return t;
}

ThumbAxis ThumbAxisFor(int32_t rotation, bool verticalBar) {
  switch (rotation) {
    case 90:
      return verticalBar ? ThumbAxis{false, false} : ThumbAxis{true, true};
    case 180:
      return verticalBar ? ThumbAxis{true, true} : ThumbAxis{false, true};
    case 270:
      return verticalBar ? ThumbAxis{false, true} : ThumbAxis{true, false};
    default:
      return verticalBar ? ThumbAxis{true, false} : ThumbAxis{false, false};
  }
}

int64_t ThumbToLayout(const ThumbPosition& thumb, bool fromFarEnd, int64_t window) {
  const ThumbPosition t = ClampThumb(thumb.position, thumb.page, thumb.range);
  const int64_t position = fromFarEnd ? t.range - t.position - t.page : t.position;
  // window / page in 16.16, then the position scaled and rounded.
  // A window is at most 32 bits wide, which keeps the product in 128 bits.
  const int64_t length = std::clamp<int64_t>(window, 0, std::numeric_limits<int32_t>::max());
  const __int128 ratio = (static_cast<__int128>(length) << 16) / t.page;
  return SaturateWide((static_cast<__int128>(position) * ratio + 0x8000) >> 16);
}

ScrollBarAxis ScrollBarFor(int64_t windowStart, int64_t windowLength, int64_t extent) {
  ScrollBarAxis bar;
  const __int128 wide = std::max<int64_t>(extent, 0);
  const __int128 s = std::max<__int128>((wide + 0x7FFFFFFF) / 0x7FFFFFFF, 1);
  auto scaled = [&](int64_t v) {
    return static_cast<int32_t>(std::clamp<__int128>(v / s, 0, 0x7FFFFFFF));
  };
  const int32_t page = scaled(windowLength);
  const int32_t range = scaled(extent);
  if (page >= range) return bar;
  bar.hidden = false;
  bar.position = scaled(windowStart);
  bar.page = page;
  bar.range = range;
  return bar;
}

int32_t TurnAlignment(int32_t code, int32_t rotation) {
  if (code < 0 || code > 3) return code;
  const int32_t r = ((rotation % 360) + 360) % 360;
  const int32_t q = ((360 - r) % 360) / 90;
  return (code + q) % 4;
}

bool PlaceOnAxis(int32_t code, bool vertical, int64_t low, int64_t high, int64_t length,
                 int64_t margin, int64_t& placedLow) {
  const int64_t size = SaturateWide(static_cast<__int128>(high) - low);
  const int64_t centred = SaturateWide((static_cast<__int128>(length) - size) / 2);
  const int64_t atMargin = margin;
  const int64_t atFarMargin = SaturateWide(static_cast<__int128>(length) - margin - size);
  // Otherwise the far edge goes to the far margin.
  bool nearEdge = false;
  switch (code) {
    case 0:
      nearEdge = true;
      break;
    case 1:
      nearEdge = !vertical;
      break;
    case 2:
      break;
    case 3:
      nearEdge = vertical;
      break;
    case kAlignCentre:
      placedLow = centred;
      return true;
    case kAlignIfHidden:
      if (static_cast<__int128>(size) + 2 * static_cast<__int128>(margin) > length) {
        placedLow = centred;
        return true;
      }
      if (static_cast<__int128>(low) - margin < 0) {
        placedLow = atMargin;
        return true;
      }
      if (static_cast<__int128>(high) + margin > length) {
        placedLow = atFarMargin;
        return true;
      }
      return false;
    default:
      return false;
  }
  placedLow = nearEdge ? atMargin : atFarMargin;
  return true;
}

bool StepZoom(runtime::Fixed effective, bool in, runtime::Fixed& out) {
  if (in ? effective >= kMaxZoom : effective <= kMinZoom) return false;
  const runtime::Fixed next =
      in ? runtime::FixedMul(effective, kZoomStep) : runtime::FixedDiv(effective, kZoomStep);
  out = std::clamp(next, kMinZoom, kMaxZoom);
  return true;
}

runtime::Fixed ZoomToRectFactor(runtime::Fixed effective, int64_t usableWidth,
                                int64_t usableHeight, int64_t rectWidth, int64_t rectHeight) {
  if (rectWidth <= 0 || rectHeight <= 0) {
    return ClampToFixed(static_cast<__int128>(effective) * kZoomStep >> 16);
  }
  const __int128 byWidth = static_cast<__int128>(std::max<int64_t>(usableWidth, 0)) * effective / rectWidth;
  const __int128 byHeight =
      static_cast<__int128>(std::max<int64_t>(usableHeight, 0)) * effective / rectHeight;
  return ClampToFixed(std::min(byWidth, byHeight));
}

runtime::Fixed ReflowEntryZoom(runtime::Fixed effective) {
  return std::max(effective, kReflowMinZoom);
}

bool ZoomFromFloat(double value, runtime::Fixed& out) {
  if (!std::isfinite(value) || value <= 0.0) return false;
  const double clamped = std::clamp(value, kMinZoom / 65536.0, kMaxZoom / 65536.0);
  out = static_cast<runtime::Fixed>(clamped * 65536.0);
  return true;
}

runtime::Fixed DeviceScale(int32_t dpi) {
  const int64_t d = dpi > 0 ? dpi : kDefaultDpi;
  return static_cast<runtime::Fixed>(std::min<int64_t>(d * 65536 / 72, runtime::kFixedMax));
}

int32_t LineLeadMargin(int32_t dpi) {
  return static_cast<int32_t>(static_cast<int64_t>(dpi > 0 ? dpi : kDefaultDpi) * 3 / 2);
}

int64_t HalfLineAmount(int32_t dpi) { return (dpi > 0 ? dpi : kDefaultDpi) / 2; }

int32_t AddViewRotation(int32_t rotation, int32_t degrees) {
  const int64_t sum = static_cast<int64_t>(rotation) + degrees;
  return static_cast<int32_t>(((sum % 360) + 360) % 360);
}

int32_t DestinationValue(bool given, int32_t value, int32_t current) {
  return given && value != kDestinationNull ? value : current;
}

}  // namespace viewer
