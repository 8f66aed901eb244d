#pragma once
// Compositing stages: the per-pixel loops of transparency. A stage combines
// the planes of its inputs' variants, fixed when it was built, into its
// destination triple over one span of the current row. B is the first input
// (backdrop or mask), S the second (source); for a colour channel c, ab and
// cb are B's alpha and colour, as and cs S's. An absent input plane reads as
// opaque; an absent or shared constant destination plane is not written.
#include <cstdint>

#include "raster/BlendMath.h"
#include "raster/PipelineNode.h"

namespace raster {

// Stored state of every stage: the planes of the combination it serves.
class BlendStage : public StageEntry {
 public:
  explicit BlendStage(StageContext& stage);

 protected:
  ~BlendStage() = default;
  // Destination plane k (null when it is not to be written) and input planes
  // (never null).
  PixelPlane* destination_[3];
  PixelPlane* first_[3];
  PixelPlane* second_[3];
  PixelPlane* third_[3];
};

// A two-input stage whose arithmetic is `Op`:
//   Shape(b0, s0), Alpha(b0, ab, as), Colour(b0, ab, cb, as, cs)
// with b0 the first input's shape byte of the same channel (its only byte when
// the shape has one channel).
template <class Op>
class BinaryStage final : public BlendStage {
 public:
  explicit BinaryStage(StageContext& stage) : BlendStage(stage), interleaved_(IsInterleavedCase()) {}
  int32_t RunSpan(int32_t x, int32_t xEnd) override;

 private:
  // Every plane is one alpha byte or three colour bytes stored from the
  // highest down (buffers of 4-byte pixels or constants), the destination
  // has no shape and the first input's shape is opaque: the case of nearly
  // every page, which gets a loop with fixed channel addressing.
  bool IsInterleavedCase() const;
  void RunInterleaved(int32_t x, int32_t n);

  bool interleaved_;
};

// One alpha byte, or three colour bytes at offset, offset - 1, offset - 2.
inline bool IsOneAlphaByte(const PixelPlane* plane) {
  return plane != nullptr && plane->format.Count() == 1 && plane->format.channelStep == 0;
}
inline bool IsThreeColourBytesDown(const PixelPlane* plane) {
  return plane != nullptr && plane->format.Count() == 3 && plane->format.channelStep == -1;
}

// Pixel x of a plane that is read for every channel of another: a plane of
// one channel serves them all, so its cursor stays on that channel rather
// than stepping into the bytes of the pixels that follow.
inline SpanCursor SharedChannelCursorAt(const PixelPlane* plane, int32_t x) {
  SpanCursor cursor = CursorAt(plane, x);
  if (cursor.count == 1) cursor.channelStep = 0;
  return cursor;
}

// Blend modes: shape and alpha come from the source; colour is the source
// blended with the backdrop.
template <class Term>
struct BlendOp {
  static int32_t Shape(int32_t, int32_t s0) { return s0; }
  static int32_t Alpha(int32_t, int32_t, int32_t as) { return as; }
  static int32_t Colour(int32_t, int32_t ab, int32_t cb, int32_t as, int32_t cs) {
    return Term::Colour(ab, cb, as, cs);
  }
};

struct NormalOp {
  static int32_t Shape(int32_t b0, int32_t s0) { return Union255(b0, s0); }
  static int32_t Alpha(int32_t, int32_t ab, int32_t as) { return Union255(ab, as); }
  static int32_t Colour(int32_t, int32_t, int32_t cb, int32_t as, int32_t cs) {
    return Div255(cs * 255 + (255 - as) * cb);
  }
};
struct ColourOverOp {
  static int32_t Shape(int32_t, int32_t s0) { return s0; }
  static int32_t Alpha(int32_t, int32_t, int32_t as) { return as; }
  static int32_t Colour(int32_t, int32_t, int32_t cb, int32_t as, int32_t cs) {
    return Div255(cs * 255 + (255 - as) * cb);
  }
};
struct ShapeAlphaUnionOp {
  static int32_t Shape(int32_t b0, int32_t s0) { return Union255(b0, s0); }
  static int32_t Alpha(int32_t, int32_t ab, int32_t as) { return Union255(ab, as); }
  static int32_t Colour(int32_t, int32_t, int32_t, int32_t, int32_t cs) { return cs; }
};
// Shape and colour of the second input, alpha the union of both alphas.
struct AlphaUnionOp {
  static int32_t Shape(int32_t, int32_t s0) { return s0; }
  static int32_t Alpha(int32_t, int32_t ab, int32_t as) { return Union255(ab, as); }
  static int32_t Colour(int32_t, int32_t, int32_t, int32_t, int32_t cs) { return cs; }
};
// The first input's shape united with every plane of the second.
struct ShapeUnionOp {
  static int32_t Shape(int32_t b0, int32_t s0) { return Union255(b0, s0); }
  static int32_t Alpha(int32_t b0, int32_t, int32_t as) { return Union255(b0, as); }
  static int32_t Colour(int32_t b0, int32_t, int32_t, int32_t, int32_t cs) { return Union255(b0, cs); }
};
// Takes the backdrop's contribution out of a group result, leaving only the
// group's own colour.
struct BackdropRemovalOp {
  static int32_t Shape(int32_t, int32_t s0) { return s0; }
  static int32_t Alpha(int32_t, int32_t ab, int32_t as) { return Union255(as, ab); }
  static int32_t Colour(int32_t, int32_t ab, int32_t cb, int32_t as, int32_t cs) {
    const int32_t a = Union255(as, ab);
    const int32_t k = Mul255(255 - a, cb);
    return k <= cs ? std::min(a, cs - k) : 0;
  }
};
// Every plane of the source multiplied by the mask's shape.
struct MaskOp {
  static int32_t Shape(int32_t m, int32_t s0) { return Mul255(m, s0); }
  static int32_t Alpha(int32_t m, int32_t, int32_t as) { return Mul255(m, as); }
  static int32_t Colour(int32_t m, int32_t, int32_t, int32_t, int32_t cs) { return Mul255(m, cs); }
};

using NormalStage = BinaryStage<NormalOp>;
using ColourOverStage = BinaryStage<ColourOverOp>;
using ShapeAlphaUnionStage = BinaryStage<ShapeAlphaUnionOp>;
using AlphaUnionStage = BinaryStage<AlphaUnionOp>;
using ShapeUnionStage = BinaryStage<ShapeUnionOp>;
using BackdropRemovalStage = BinaryStage<BackdropRemovalOp>;
using MaskStage = BinaryStage<MaskOp>;

using MultiplyStage = BinaryStage<BlendOp<MultiplyTerm>>;
using ScreenStage = BinaryStage<BlendOp<ScreenTerm>>;
using DarkenStage = BinaryStage<BlendOp<AdditiveTerm<DarkenTerm>>>;
using LightenStage = BinaryStage<BlendOp<AdditiveTerm<LightenTerm>>>;
using ColorDodgeStage = BinaryStage<BlendOp<ColorDodgeTerm>>;
using ColorBurnStage = BinaryStage<BlendOp<ColorBurnTerm>>;
using OverlayStage = BinaryStage<BlendOp<AdditiveTerm<OverlayTerm>>>;
using HardLightStage = BinaryStage<BlendOp<AdditiveTerm<HardLightTermOp>>>;
using SoftLightStage = BinaryStage<BlendOp<AdditiveTerm<SoftLightTermOp>>>;
using DifferenceStage = BinaryStage<BlendOp<AdditiveTerm<DifferenceTerm>>>;
using ExclusionStage = BinaryStage<BlendOp<AdditiveTerm<ExclusionTerm>>>;
using OverlayComplementStage = BinaryStage<BlendOp<ComplementTerm<OverlayTerm>>>;
using HardLightComplementStage = BinaryStage<BlendOp<ComplementTerm<HardLightTermOp>>>;
using SoftLightComplementStage = BinaryStage<BlendOp<ComplementTerm<SoftLightTermOp>>>;
using DifferenceComplementStage = BinaryStage<BlendOp<ComplementTerm<DifferenceTerm>>>;
using ExclusionComplementStage = BinaryStage<BlendOp<ComplementTerm<ExclusionTerm>>>;

// Single-byte planes (one channel, one byte per pixel): the destination's
// shape is the mask times the source's one constant byte.
class ConstantMaskStage final : public BlendStage {
 public:
  using BlendStage::BlendStage;
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  // Destination and mask shape one byte per pixel and nothing else written;
  // the source's shape one byte for the whole row.
  static bool Applies(const StageContext& stage);
};

// Single-byte planes: the union of both inputs' shapes.
class ShapeUnion1Stage final : public BlendStage {
 public:
  using BlendStage::BlendStage;
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  static bool Applies(const StageContext& stage);
};

// Three inputs (mask M, first P, second Q): each output byte is
// P + (Q - P)·M. The general stage takes plane k of M as the mask of plane
// k; the single-mask one takes M's shape plane for every plane.
template <bool SingleMask>
class LerpStageOf final : public BlendStage {
 public:
  using BlendStage::BlendStage;
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
};
using LerpStage = LerpStageOf<false>;
using LerpSingleMaskStage = LerpStageOf<true>;

// 4-byte pixels (colour bytes 0-2, alpha byte 3) interpolated by a
// one-byte-per-pixel mask: the common case of a device over a coverage.
class LerpInterleavedStage final : public BlendStage {
 public:
  using BlendStage::BlendStage;
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  // Mask shape {1, 0, 0, 1}, P and Q interleaved, the destination
  // interleaved without shape.
  static bool CanUseInterleaved(const StageContext& stage);
};

// 4-byte pixels interpolated towards one opaque constant colour by a
// one-byte-per-pixel mask (or, with ConstMask, one mask byte for the whole
// row): an opaque fill through a soft clip.
template <bool ConstMask>
class LerpToColourStageOf final : public BlendStage {
 public:
  LerpToColourStageOf(StageContext& stage);
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  // Mask shape {1, 0, 0, 1} ({1, 0, 0, 0} with ConstMask), P interleaved,
  // Q an opaque constant colour, the destination interleaved without shape.
  static bool CanUse(const StageContext& stage);

 private:
  // The colour with alpha 255 as two pairs of 16-bit lanes: blue and red,
  // green and alpha.
  uint32_t blueRed_ = 0;
  uint32_t greenAlpha_ = 0;
};
using LerpToColourStage = LerpToColourStageOf<false>;
using LerpToColourConstMaskStage = LerpToColourStageOf<true>;

// Source over a 4-byte-pixel backdrop into 4-byte pixels without shape,
// the source's alpha and colour read with their own steps (4 for a buffer, 0
// for a constant): the common translucent fill of a page.
class NormalInterleavedStage final : public BlendStage {
 public:
  using BlendStage::BlendStage;
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  // Destination without shape and backdrop interleaved; the source's alpha
  // one channel and its colour three channels at bytes 2, 1, 0.
  static bool CanUse(const StageContext& stage);
};

template <class Stage>
StageEntry* MakeStage(StageContext& stage) {
  return runtime::NewInArena<Stage>(stage.arena, stage);
}

// ---- Loops ----

// One span of a two-input stage. The channel counts are template arguments
// for the common layouts (-1 means: as many as the cursor counts), so that
// the compiler unrolls the channel loops of the hot cases.
template <class Op, int32_t ShapeCount, int32_t AlphaCount, int32_t ColourCount>
void BinaryLoop(int32_t n, SpanCursor d0, SpanCursor d1, SpanCursor d2, SpanCursor b0, SpanCursor b1,
                SpanCursor b2, SpanCursor s0, SpanCursor s1, SpanCursor s2) {
  const int32_t shapeCount = ShapeCount >= 0 ? ShapeCount : d0.count;
  const int32_t alphaCount = AlphaCount >= 0 ? AlphaCount : d1.count;
  const int32_t colourCount = ColourCount >= 0 ? ColourCount : d2.count;
  for (; n > 0; --n) {
    // Colour first, then alpha, then shape: a destination plane may be the
    // input plane of the same kind, and each is read before it is written.
    for (int32_t c = 0; c < colourCount; ++c)
      *d2.Channel(c) = static_cast<uint8_t>(
          Op::Colour(*b0.Channel(c), *b1.Channel(c), *b2.Channel(c), *s1.Channel(c), *s2.Channel(c)));
    for (int32_t c = 0; c < alphaCount; ++c)
      *d1.Channel(c) = static_cast<uint8_t>(Op::Alpha(*b0.Channel(c), *b1.Channel(c), *s1.Channel(c)));
    for (int32_t c = 0; c < shapeCount; ++c)
      *d0.Channel(c) = static_cast<uint8_t>(Op::Shape(*b0.Channel(c), *s0.Channel(c)));
    d0.Next(), d1.Next(), d2.Next(), b0.Next(), b1.Next(), b2.Next(), s0.Next(), s1.Next(), s2.Next();
  }
}

template <class Op>
bool BinaryStage<Op>::IsInterleavedCase() const {
  return destination_[0] == nullptr && IsOneAlphaByte(destination_[1]) && IsThreeColourBytesDown(destination_[2]) &&
         first_[0]->IsOpaqueConstant() && IsOneAlphaByte(first_[1]) && IsThreeColourBytesDown(first_[2]) &&
         IsOneAlphaByte(second_[1]) && IsThreeColourBytesDown(second_[2]);
}

template <class Op>
void BinaryStage<Op>::RunInterleaved(int32_t x, int32_t n) {
  const SpanCursor d1 = CursorAt(destination_[1], x), d2 = CursorAt(destination_[2], x);
  const SpanCursor b1 = CursorAt(first_[1], x), b2 = CursorAt(first_[2], x);
  const SpanCursor s1 = CursorAt(second_[1], x), s2 = CursorAt(second_[2], x);
  uint8_t* da = d1.pixel + d1.firstOffset;
  uint8_t* dc = d2.pixel + d2.firstOffset;
  const uint8_t* ba = b1.pixel + b1.firstOffset;
  const uint8_t* bc = b2.pixel + b2.firstOffset;
  const uint8_t* sa = s1.pixel + s1.firstOffset;
  const uint8_t* sc = s2.pixel + s2.firstOffset;
  for (; n > 0; --n) {
    const int32_t ab = *ba, as = *sa;
    for (int c = 0; c < 3; ++c) dc[-c] = static_cast<uint8_t>(Op::Colour(255, ab, bc[-c], as, sc[-c]));
    *da = static_cast<uint8_t>(Op::Alpha(255, ab, as));
    da += d1.columnStep, dc += d2.columnStep, ba += b1.columnStep, bc += b2.columnStep;
    sa += s1.columnStep, sc += s2.columnStep;
  }
}

template <class Op>
int32_t BinaryStage<Op>::RunSpan(int32_t x, int32_t xEnd) {
  if (x >= xEnd) return xEnd;
  if (interleaved_) {
    RunInterleaved(x, xEnd - x);
    return xEnd;
  }
  const SpanCursor d0 = CursorAt(destination_[0], x), d1 = CursorAt(destination_[1], x),
                   d2 = CursorAt(destination_[2], x);
  const SpanCursor b0 = SharedChannelCursorAt(first_[0], x), b1 = CursorAt(first_[1], x), b2 = CursorAt(first_[2], x);
  const SpanCursor s0 = CursorAt(second_[0], x), s1 = CursorAt(second_[1], x), s2 = CursorAt(second_[2], x);
  const int32_t n = xEnd - x;
  if (d0.count == 0 && d1.count == 1 && d2.count == 3)
    BinaryLoop<Op, 0, 1, 3>(n, d0, d1, d2, b0, b1, b2, s0, s1, s2);
  else if (d0.count == 0 && d1.count == 1 && d2.count == 1)
    BinaryLoop<Op, 0, 1, 1>(n, d0, d1, d2, b0, b1, b2, s0, s1, s2);
  else
    BinaryLoop<Op, -1, -1, -1>(n, d0, d1, d2, b0, b1, b2, s0, s1, s2);
  return xEnd;
}

template <bool SingleMask>
int32_t LerpStageOf<SingleMask>::RunSpan(int32_t x, int32_t xEnd) {
  if (x >= xEnd) return xEnd;
  for (int k = 2; k >= 0; --k) {
    SpanCursor d = CursorAt(destination_[k], x);
    if (d.count == 0) continue;
    SpanCursor m = SharedChannelCursorAt(SingleMask ? first_[0] : first_[k], x);
    SpanCursor p = CursorAt(second_[k], x), q = CursorAt(third_[k], x);
    for (int32_t n = xEnd - x; n > 0; --n) {
      for (int32_t c = 0; c < d.count; ++c)
        *d.Channel(c) = static_cast<uint8_t>(Lerp255(*p.Channel(c), *q.Channel(c), *m.Channel(c)));
      d.Next(), m.Next(), p.Next(), q.Next();
    }
  }
  return xEnd;
}

}  // namespace raster
