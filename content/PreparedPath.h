#pragma once
// Paths the viewer prepares in device space and paints over a page: link
// borders, rules and highlight rectangles. Each is painted in one colour
// through the paint context's clip, and everything built for it is freed
// when the call returns, by return or by error.
#include <cstdint>
#include <span>

#include "content/Renderer.h"
#include "runtime/Fixed.h"
#include "runtime/Rect.h"

namespace content {

// The colour (RGB, 0..1.0) a prepared path paints in and its opacity.
struct PreparedPaint {
  runtime::Fixed red = 0;
  runtime::Fixed green = 0;
  runtime::Fixed blue = 0;
  runtime::Fixed alpha = runtime::kFixedOne;
};

// Options of a prepared path.
enum PreparedPathOption : uint32_t {
  kPreparedEvenOdd = 1,  // a fill uses the even-odd rule
};

// Paints a device-space path (the points of a raster::StoredPath) on an
// RGB layer: stroked `penWidth` pixels wide with butt caps and mitred
// joins, or filled when the width is 0.
void PaintPreparedPath(PaintContext& paint, std::span<const runtime::FixedPoint> path, runtime::Fixed penWidth,
                       const PreparedPaint& colour, uint32_t options);
// A line from a to b.
void PaintLinePath(PaintContext& paint, runtime::FixedPoint a, runtime::FixedPoint b, runtime::Fixed penWidth,
                   const PreparedPaint& colour, uint32_t options);
// A rectangle: its outline stroked `penWidth` wide, or filled for 0.
void FillRectPath(PaintContext& paint, const runtime::Rect& rect, runtime::Fixed penWidth, const PreparedPaint& colour,
                  uint32_t options);

}  // namespace content
