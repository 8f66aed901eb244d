#pragma once
// The arithmetic of positioning the view: scroll-bar thumbs and their
// ranges, where a rectangle is brought into the window, the zoom steps and
// limits, and the page a paging command goes to. Pure functions, so that
// each rule can be checked apart from a page view.
#include <cstdint>

#include "runtime/Fixed.h"

namespace viewer {

// A zoom step: 1.25.
inline constexpr runtime::Fixed kZoomStep = 0x14000;
// The lowest zoom of the reflow modes: 0.8.
inline constexpr runtime::Fixed kReflowMinZoom = 52428;
// A destination parameter holding this keeps the current value.
inline constexpr int32_t kDestinationNull = INT32_MIN;
// The resolution taken when the host answers none.
inline constexpr int32_t kDefaultDpi = 96;

// A thumb position posted by a scroll bar.
struct ThumbPosition {
  int64_t position = 0, page = 1, range = 1;
};

// The range is at least 1, the page size 1..range and the position
// 0..range - page.
ThumbPosition ClampThumb(int64_t position, int64_t page, int64_t range);

// Which layout axis a bar drives under a view rotation, and whether its
// position counts from the far end.
struct ThumbAxis {
  bool layoutY = false;
  bool fromFarEnd = false;
};
ThumbAxis ThumbAxisFor(int32_t rotation, bool verticalBar);

// The thumb's position in layout pixels along its axis: the position, or
// range - position - page from the far end, scaled by window / page in
// 16.16 and rounded to the nearest pixel.
int64_t ThumbToLayout(const ThumbPosition& thumb, bool fromFarEnd, int64_t window);

// One scroll bar as the host shows it: values scaled down to 31 bits;
// all 0 and hidden when the window shows the whole extent.
struct ScrollBarAxis {
  int32_t position = 0, page = 0, range = 0;
  bool hidden = true;
};
ScrollBarAxis ScrollBarFor(int64_t windowStart, int64_t windowLength, int64_t extent);

// An alignment code turned against the view rotation: 4 and 5 stay, 0..3
// turn by the quarters that bring the view back upright.
int32_t TurnAlignment(int32_t code, int32_t rotation);

// Alignment codes of ScrollRectIntoView.
inline constexpr int32_t kAlignCentre = 4;
inline constexpr int32_t kAlignIfHidden = 5;

// Where a rectangle spanning [low, high) (relative to the window's start)
// is placed on one axis of a window of `length` pixels under an alignment
// code. True and `placedLow` (the rectangle's new start) when the axis
// moves; false when it stays.
bool PlaceOnAxis(int32_t code, bool vertical, int64_t low, int64_t high, int64_t length,
                 int64_t margin, int64_t& placedLow);

// Zoom in or out by one step from the effective zoom, within the limits.
// False (and `out` unchanged) when the zoom is already at the limit.
bool StepZoom(runtime::Fixed effective, bool in, runtime::Fixed& out);

// The zoom that fits a rectangle of view pixels into the usable window;
// 1.25 times the zoom for a rectangle without width or height.
runtime::Fixed ZoomToRectFactor(runtime::Fixed effective, int64_t usableWidth,
                                int64_t usableHeight, int64_t rectWidth, int64_t rectHeight);

// The zoom on entering a reflow mode: raised to 0.8 when lower.
runtime::Fixed ReflowEntryZoom(runtime::Fixed effective);

// A zoom factor from the settings or another program: false for a value
// that is not finite or not positive; otherwise the value clamped to the
// zoom limits, in 16.16.
bool ZoomFromFloat(double value, runtime::Fixed& out);

// Device pixels per point in 16.16 for a screen resolution; a resolution
// that is not positive counts as kDefaultDpi.
runtime::Fixed DeviceScale(int32_t dpi);

// The lead margin a line scroll sets and the half-line amount.
int32_t LineLeadMargin(int32_t dpi);
int64_t HalfLineAmount(int32_t dpi);

// A rotation turned by `degrees`, in 0..359.
int32_t AddViewRotation(int32_t rotation, int32_t degrees);

// A destination's parameter, or the current value when it is missing or
// holds the null marker.
int32_t DestinationValue(bool given, int32_t value, int32_t current);

// Paging: the page a next or previous command goes to, and whether it is
// skipped when it is the current page. `go` false: nothing happens.
struct PagingStep {
  bool go = false;
  int32_t page = 0;
  bool skipIfCurrent = true;
};

struct PagingInput {
  int32_t layoutMode = 0;
  int32_t first = 0;    // first page of the grid
  int32_t current = 0;  // most visible page
  int32_t top = 0;      // first page whose top lies in the window
  int32_t count = 0;
};

// `fits(page)` tells whether the page lies wholly in the view.
template <class Fits>
PagingStep NextPageStep(const PagingInput& in, Fits&& fits);
template <class Fits>
PagingStep PreviousPageStep(const PagingInput& in, Fits&& fits);

inline bool IsTwoUpMode(int32_t mode) { return mode == 1 || mode == 2; }
inline bool IsSinglePageMode(int32_t mode) { return mode == 0 || mode == 4 || mode == 6; }

template <class Fits>
PagingStep NextPageStep(const PagingInput& in, Fits&& fits) {
  if (in.count <= 0) return {};
  if (IsSinglePageMode(in.layoutMode)) {
    const int64_t next = static_cast<int64_t>(in.first) + 1;
    return {true, static_cast<int32_t>(next < in.count - 1 ? next : in.count - 1), true};
  }
  if (IsTwoUpMode(in.layoutMode)) {
    const int64_t p = static_cast<int64_t>(in.first) + 1;
    if (p < in.count && p != in.current && !fits(static_cast<int32_t>(p)))
      return {true, static_cast<int32_t>(p), true};
    if (in.first < in.count - 2) return {true, in.first + 2, true};
    return {};
  }
  const int64_t next = static_cast<int64_t>(in.top) + 1;
  return {true, static_cast<int32_t>(next < in.count - 1 ? next : in.count - 1), false};
}

template <class Fits>
PagingStep PreviousPageStep(const PagingInput& in, Fits&& fits) {
  if (in.count <= 0) return {};
  if (IsSinglePageMode(in.layoutMode)) {
    return {true, in.first > 0 ? in.first - 1 : 0, true};
  }
  if (IsTwoUpMode(in.layoutMode)) {
    const int32_t p = in.first;
    if (p >= 0 && p != in.current && !fits(p)) return {true, p, true};
    if (in.first >= 1) return {true, in.first - 1, true};
    return {};
  }
  int32_t p = in.current > 0 ? in.current - 1 : 0;
  while (p >= 1 && fits(p)) --p;
  return {true, p, false};
}

}  // namespace viewer
