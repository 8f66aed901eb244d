#pragma once
// The border a link without a usable appearance shows: its colour from
// "C", its width, style and dashes from "BS" or "Border", or a solid black
// line of width 1. What is drawn is described here; the page's painter
// strokes it in device RGB.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/ObjectHandle.h"
#include "runtime/Rect.h"

namespace viewer {

struct LinkBorderStroke {
  // Longer dash arrays keep their first entries (an even count).
  static constexpr uint32_t kMaxDashes = 16;

  bool draw = false;
  runtime::Fixed r = 0, g = 0, b = 0;
  runtime::Fixed width = runtime::kFixedOne;
  // The rectangle stroked: the link's shrunk by half the width. An
  // underline runs along its bottom edge only.
  runtime::Rect rect;
  bool underline = false;
  uint32_t dashCount = 0;
  runtime::Fixed dashes[kMaxDashes] = {};
};

class LinkBorder {
 public:
  // The border of `annotation` around `rect` (page space). A "C" with
  // fewer than three entries, a zero or negative width, or a "Border"
  // whose fourth entry is no array draws nothing. A dash array of zeros
  // only, or with a negative entry, gives a solid line. (runtime, 2) for a
  // non-number in "C", a width or a dash array.
  static LinkBorderStroke Describe(const runtime::ObjectHandle& annotation, const runtime::Rect& rect);
  // A colour component brought into 0..1 by dropping its whole part
  // (1.25 gives 0.25, -0.25 gives 0.75).
  static runtime::Fixed WrapComponent(runtime::Fixed value);
};

}  // namespace viewer
