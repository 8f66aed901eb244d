#pragma once
// A box measured along and across a baseline direction, so that text
// running in any direction can be compared with the text before it. Boxes
// are turned by quarter turns into each other's frames, united, and
// extended along a line.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/Rect.h"

namespace content {

using runtime::Fixed;

struct OrientedBox {
  static constexpr uint32_t kEmpty = 1;
  // The direction carries no information of its own (an upright rectangle,
  // or a string with fewer than two non-blank glyphs): the box may be
  // re-expressed in another box's frame.
  static constexpr uint32_t kTurnable = 2;

  uint32_t flags = kEmpty;
  Fixed cos = runtime::kFixedOne;  // unit direction of the baseline
  Fixed sin = 0;
  Fixed uMin = 0, uMax = 0;  // extent along the direction
  Fixed vMin = 0, vMax = 0;  // extent across it

  bool IsEmpty() const { return (flags & kEmpty) != 0; }
  bool IsTurnable() const { return (flags & kTurnable) != 0; }
  Fixed Length() const { return runtime::FixedSubSat(uMax, uMin); }
  Fixed Height() const { return runtime::FixedSubSat(vMax, vMin); }

  // {turnable, 1.0, 0, x0, x1, y0, y1}.
  static OrientedBox FromRect(const runtime::Rect& r);
  // One box holding both, in the frame of the box with a fixed direction;
  // empty when the two cannot be compared.
  static OrientedBox& Union(OrientedBox& out, const OrientedBox& a, const OrientedBox& b);
  // The line box grown by the new box; empty when the new box does not
  // continue the line (it reaches back before the line's start by more
  // than a tenth of its own length, or lies in another frame).
  static OrientedBox& ExtendLine(OrientedBox& out, const OrientedBox& line, const OrientedBox& added);
  // The same for CJK text, which may also run vertically: a single glyph
  // may be taken into the line's frame. On success `added` is replaced by
  // its turned form.
  static OrientedBox& ExtendLineCjk(OrientedBox& out, const OrientedBox& line, OrientedBox& added);
  // Whether the boxes overlap with positive area.
  static bool Meets(const OrientedBox& a, const OrientedBox& b);
};

struct Orientation {
  static constexpr uint32_t kSame = 1;
  static constexpr uint32_t kQuarter = 2;
  static constexpr uint32_t kHalf = 4;
  static constexpr uint32_t kThreeQuarters = 8;
  static constexpr uint32_t kOtherAngle = 16;
  static constexpr uint32_t kIncomparable = 32;

  // The turn of b's frame relative to a's.
  static uint32_t RelativeTurn(const OrientedBox& a, const OrientedBox& b);
  // The box re-expressed after a turn (1, 2, 4, 8; 32 gives an empty box).
  static OrientedBox& ApplyTurn(OrientedBox& out, const OrientedBox& box, uint32_t turn);
};

}  // namespace content
