#pragma once
// The inputs of a page-layout computation; a layout is recomputed only when
// they change.
#include <cstdint>

#include "runtime/Fixed.h"

namespace viewer {

// Scroll-bar policies.
inline constexpr int32_t kBarAlways = 0;
inline constexpr int32_t kBarWhenNeeded = 1;
inline constexpr int32_t kBarNever = 2;

// Zoom modes.
inline constexpr int32_t kZoomExplicit = 0;
inline constexpr int32_t kZoomFitWidth = 1;
inline constexpr int32_t kZoomFitHeight = 2;
inline constexpr int32_t kZoomFitPage = 3;

// Layout modes: 0 single page, 1 and 2 two pages side by side (2 with the
// first page alone on the right), 3 continuous; 4-7 the reflowed twins of
// single-page and continuous.
inline constexpr int32_t kLayoutSinglePage = 0;
inline constexpr int32_t kLayoutTwoUp = 1;
inline constexpr int32_t kLayoutTwoUpCover = 2;
inline constexpr int32_t kLayoutContinuous = 3;
inline constexpr int32_t kLayoutReflowSingle = 4;
inline constexpr int32_t kLayoutReflow = 5;
inline constexpr int32_t kLayoutReflowSingleAlt = 6;
inline constexpr int32_t kLayoutReflowContinuousAlt = 7;

// Zoom limits: about 8% and 1000%.
inline constexpr runtime::Fixed kMinZoom = 5242;
inline constexpr runtime::Fixed kMaxZoom = 0xA0000;

// The view: its size in pixels and how its scroll bars behave.
struct MarginPoint {
  int32_t width = 0, height = 0;
  int32_t horizontalPolicy = kBarWhenNeeded, horizontalBarHeight = 0;
  int32_t verticalPolicy = kBarWhenNeeded, verticalBarWidth = 0;
  friend bool operator==(const MarginPoint&, const MarginPoint&) = default;
};

struct PageLayoutParams {
  MarginPoint view;
  bool horizontalBarShown = false;
  bool verticalBarShown = false;
  int32_t layoutMode = kLayoutContinuous;
  int32_t requestedPage = 0;
  int32_t zoomMode = kZoomFitWidth;
  runtime::Fixed zoom = runtime::kFixedOne;
  // Device pixels per point (dpi / 72).
  runtime::Fixed scaleX = runtime::kFixedOne, scaleY = runtime::kFixedOne;
  // The grid range of the mode.
  int32_t pageCount = 0, firstPage = 0, columns = 1, rows = 1;

  friend bool operator==(const PageLayoutParams&, const PageLayoutParams&) = default;
  static bool Equals(const PageLayoutParams& p, const PageLayoutParams& q) { return p == q; }
  // Sets the grid range from the layout mode, the page count and the
  // requested page.
  void DeriveGridRange();
};

// Modes 4 to 7 reflow the page's text.
constexpr bool IsReflowMode(int32_t mode) { return mode >= 4 && mode <= 7; }
// Modes that show the whole document as one column.
constexpr bool IsContinuousMode(int32_t mode) {
  return mode == kLayoutContinuous || mode == kLayoutReflow || mode == kLayoutReflowContinuousAlt;
}

}  // namespace viewer
