#include "raster/Dasher.h"

#include <algorithm>
#include <cmath>

#include "raster/Bezier.h"
#include "runtime/Dasher.h"
#include "runtime/Scheduler.h"

namespace raster {

namespace {

using runtime::FixedMul;
using runtime::kFixedOne;

constexpr Fixed kMinimumDashPeriod = 5;
constexpr Fixed kMinimumDashProgress = 4;
constexpr int32_t kDashWork = 500;  // as one edge line: dashes can be many

// 13565/65536 of the width: where a projecting cap's gap test changes.
constexpr Fixed kSquareCapFactor = 13565;

// A rough length of a sub-path: its control polygon.
double DashPolygonLength(const SegmentPath& path) {
  double total = 0;
  for (const StrokeSegment& s : path.Segments())
    for (int i = 0; i + 1 < s.kind; ++i)
      total += std::hypot(static_cast<double>(s.points[i + 1].x) - s.points[i].x,
                          static_cast<double>(s.points[i + 1].y) - s.points[i].y);
  return total;
}

}  // namespace

Dasher::Dasher(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, const StrokeParameters& params,
               SubpathConsumer& next)
    : context_(context), params_(params), next_(next), output_(arena, params), kept_(arena, params) {
  const std::span<const Fixed> dashes = params.dashes;
  Fixed sum = 0;
  for (const Fixed d : dashes) {
    if (d < 0) bypass_ = true;
    sum = runtime::FixedAddSat(sum, std::max<Fixed>(d, 0));
  }
  period_ = dashes.size() % 2 == 0 ? sum : runtime::FixedAddSat(sum, sum);
  if (period_ < kMinimumDashPeriod) bypass_ = true;
  if (bypass_) return;

  // The phase within one period; a negative phase counts back from the
  // start of the pattern.
  phase_ = params.dashPhase % period_;
  if (phase_ < 0) phase_ += period_;

  const Fixed p = params.tolerance, w = params.width;
  switch (params.cap) {
    case runtime::StrokeStyle::kButtCap:
      thresholdA_ = p;
      thresholdB_ = (w >> 1) > p ? 0 : p - w;
      break;
    case runtime::StrokeStyle::kRoundCap: {
      Fixed t;
      if (p < (w >> 1)) {
        t = 2 * runtime::FixedSqrt(FixedMul(p, w - p));
      } else {
        t = runtime::FixedAddSat(p, w);
      }
      thresholdA_ = thresholdB_ = t;
      break;
    }
    case runtime::StrokeStyle::kSquareCap:
      thresholdA_ = runtime::FixedAddSat(p, w);
      thresholdB_ = FixedMul(kSquareCapFactor, w) <= p ? thresholdA_ : 0;
      break;
    default:
      thresholdA_ = thresholdB_ = p;
      break;
  }
  if (params.specialDash) {
    thresholdA_ = thresholdB_ = p;
    bypass_ = GapsWithin(thresholdB_);
  }
}

bool Dasher::GapsWithin(Fixed threshold) const {
  runtime::Dasher test;
  test.dashes = params_.dashes;
  test.tolerance = threshold;
  test.secondTolerance = threshold;
  return test.GapsWithin(false);
}

bool Dasher::InvisibleOutside(const SegmentPath& source, PathPosition from, PathPosition to) const {
  if (params_.clip.clippingOff || from.segment != to.segment) return false;
  const StrokeSegment& s = source.Segments()[from.segment];
  if (!s.IsCurve()) return ClipZone::SameOutside(params_.clip, s.points[0], s.points[1]);
  if (ClipZone::AllSameOutside(params_.clip, s.points[0], s.points[1], s.points[2], s.points[3])) return true;
  FixedPoint part[4];
  Bezier::SubCurve(s.points, from.t, to.t, part);
  return ClipZone::AllSameOutside(params_.clip, part[0], part[1], part[2], part[3]);
}

void Dasher::Emit(const SegmentPath& dash, uint32_t flags) {
  runtime::ChargeWork(context_, kDashWork);
  next_.ProcessPath(dash, flags);
}

void Dasher::ProcessPath(const SegmentPath& path, uint32_t flags) {
  if (path.IsEmpty()) return;
  if (bypass_) return next_.ProcessPath(path, flags);
  if ((params_.specialDash || path.Count() == 1) && GapsWithin(path.lastIsCurve ? thresholdB_ : thresholdA_))
    return next_.ProcessPath(path, flags);
  if (DashPolygonLength(path) / period_ > static_cast<double>(kMaxDashesPerSubpath))
    return next_.ProcessPath(path, flags);

  const std::span<const Fixed> dashes = params_.dashes;
  const uint32_t count = static_cast<uint32_t>(dashes.size());
  uint32_t index = 0;
  bool on = true;
  Fixed phase = phase_;
  // A zero entry at the very start is a dash of its own (a dot with round
  // caps), so a phase of 0 consumes nothing.
  while (phase > 0 && phase >= dashes[index]) {
    phase -= dashes[index];
    index = index + 1 == count ? 0 : index + 1;
    on = !on;
  }
  Fixed length = dashes[index] - phase;

  PathPosition position{0, path.Segments()[0].t0};
  PathPosition periodStart = position;
  bool first = true;
  bool keptFirst = false;
  bool endedOn = false;
  bool wholePath = false;
  PathPosition lastStart{};
  kept_.Clear();
  for (;;) {
    const PathPosition start = position;
    Fixed left = 0;
    const bool ended = path.Advance(position, length, left);
    // An interval that starts where the path ends draws nothing.
    const bool atEnd = start.segment + 1 == path.Count() && start.t >= path.Segments()[start.segment].t1;
    if (on && !atEnd) {
      if (ended) {
        endedOn = true;
        lastStart = start;
        wholePath = first;
      } else if (path.closed && first) {
        kept_.ExtractRange(path, start, position);
        keptFirst = true;
      } else if (!InvisibleOutside(path, start, position)) {
        output_.Clear();
        output_.ExtractRange(path, start, position);
        Emit(output_, flags);
      }
    }
    if (ended) break;
    first = false;
    index = index + 1 == count ? 0 : index + 1;
    on = !on;
    length = dashes[index];
    if (index == 0) {
      // A whole period that got nowhere (dashes too short to move the
      // parameter): stroke the sub-path solid rather than loop.
      if (position.segment == periodStart.segment && position.t - periodStart.t < kMinimumDashProgress) {
        return next_.ProcessPath(path, flags);
      }
      periodStart = position;
      runtime::ChargeWork(context_, kDashWork);
    }
  }

  const PathPosition end{path.Count() - 1, path.Segments()[path.Count() - 1].t1};
  output_.Clear();
  if (keptFirst) {
    if (endedOn) output_.ExtractRange(path, lastStart, end);
    if (!kept_.IsEmpty())
      output_.ExtractRange(kept_, {0, kept_.Segments()[0].t0},
                           {kept_.Count() - 1, kept_.Segments()[kept_.Count() - 1].t1});
    Emit(output_, flags);
    return;
  }
  if (!endedOn) return;
  output_.ExtractRange(path, lastStart, end);
  if (wholePath && path.closed) output_.closed = true;
  Emit(output_, flags);
}

}  // namespace raster
