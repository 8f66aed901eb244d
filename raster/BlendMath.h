#pragma once
// Byte arithmetic of compositing. Every channel is a byte standing for
// 0.0..1.0, colour is premultiplied by its alpha, and products are rounded
// the one way every stage shares, so that a result never depends on which
// stage computed it. Everything here fits in 32-bit integers.
#include <algorithm>
#include <cstdint>

#include "runtime/Fixed.h"

namespace raster {

// x·y/255 rounded.
inline constexpr int32_t Mul255(int32_t x, int32_t y) {
  const int32_t t = x * y + 128;
  return (t + (t >> 8)) >> 8;
}

// u/255 rounded, kept in a byte.
inline constexpr int32_t Div255(int32_t u) {
  const int32_t t = u + 128;
  return ((t + (t >> 8)) >> 8) & 255;
}

// The union of two coverages: 1 - (1 - x)(1 - y).
inline constexpr int32_t Union255(int32_t x, int32_t y) { return 255 - Mul255(255 - x, 255 - y); }

// p + (q - p)·m, rounded.
inline constexpr int32_t Lerp255(int32_t p, int32_t q, int32_t m) { return Div255(p * 255 + (q - p) * m); }

// The hard-light term of a premultiplied pair: q over p is the colour and
// alpha that selects multiply or screen, s over r the other operand.
inline constexpr int32_t HardLightTerm(int32_t p, int32_t q, int32_t r, int32_t s) {
  if (2 * q <= p) return Mul255((2 * q) & 255, s) & 255;
  return Div255(((2 * q - p) & 255) * (r - s) + s * p);
}

// The soft-light term: backdrop alpha a and colour b, source alpha p and
// colour s.
inline int32_t SoftLightTerm(int32_t a, int32_t b, int32_t p, int32_t s) {
  const int32_t unmultiplied = a != 0 ? ((b * 255 + a / 2) / a) & 255 : 0;
  if (2 * s <= p) return Mul255((p - Mul255(255 - unmultiplied, (p - 2 * s) & 255)) & 255, b);
  int32_t w;
  if (4 * b > a) {
    const runtime::Fixed v = runtime::FixedSqrt(unmultiplied * 257 + (unmultiplied >= 128 ? 1 : 0));
    const int32_t g = ((v - (v >= 32768 ? 1 : 0)) >> 8) & 255;
    w = Mul255(g, a);
  } else {
    // 255 - 3b + 4b²/255 for the un-premultiplied backdrop.
    const int32_t twice = (2 * unmultiplied) & 255;
    const int32_t g = (253 * unmultiplied + Mul255(twice, twice) + 255) & 255;
    w = Mul255(g, (4 * b) & 255);
  }
  return (Mul255((w - b) & 255, (2 * s - p) & 255) + Mul255(b, p)) & 255;
}

// ---- Blend terms: one per stage class ----
// Each computes the stored colour byte D from backdrop alpha and colour
// (ab, cb) and source alpha and colour (as, cs): the source blended with the
// backdrop and premultiplied by the source alpha, ready to be composited
// over the destination.

// D from a mode term T (the backdrop-weighted blend, premultiplied by both
// alphas).
inline constexpr int32_t FromTerm(int32_t term, int32_t ab, int32_t cs) {
  return Div255(term * 255 + (255 - ab) * cs);
}

struct MultiplyTerm {
  static int32_t Colour(int32_t ab, int32_t cb, int32_t, int32_t cs) {
    return Div255(((cb - ab + 255) & 255) * cs);
  }
};
struct ScreenTerm {
  static int32_t Colour(int32_t, int32_t cb, int32_t as, int32_t cs) {
    return Div255(cs * 255 + (as - cs) * cb);
  }
};
struct OverlayTerm {
  static int32_t Term(int32_t ab, int32_t cb, int32_t as, int32_t cs) { return HardLightTerm(ab, cb, as, cs); }
};
struct DarkenTerm {
  static int32_t Term(int32_t ab, int32_t cb, int32_t as, int32_t cs) {
    return std::min(Mul255(cb, as), Mul255(cs, ab));
  }
};
struct LightenTerm {
  static int32_t Term(int32_t ab, int32_t cb, int32_t as, int32_t cs) {
    return std::max(Mul255(cb, as), Mul255(cs, ab));
  }
};
struct HardLightTermOp {
  static int32_t Term(int32_t ab, int32_t cb, int32_t as, int32_t cs) { return HardLightTerm(as, cs, ab, cb); }
};
struct SoftLightTermOp {
  static int32_t Term(int32_t ab, int32_t cb, int32_t as, int32_t cs) { return SoftLightTerm(ab, cb, as, cs); }
};
struct DifferenceTerm {
  static int32_t Term(int32_t ab, int32_t cb, int32_t as, int32_t cs) {
    const int32_t d = Mul255(cb, as) - Mul255(cs, ab);
    return d < 0 ? -d : d;
  }
};
struct ExclusionTerm {
  static int32_t Term(int32_t ab, int32_t cb, int32_t as, int32_t cs) {
    return (Mul255((as - cs) & 255, cb) + Mul255((ab - cb) & 255, cs)) & 255;
  }
};

// A mode given by its term on raw (additive) values.
template <class Mode>
struct AdditiveTerm {
  static int32_t Colour(int32_t ab, int32_t cb, int32_t as, int32_t cs) {
    return FromTerm(Mode::Term(ab, cb, as, cs), ab, cs);
  }
};

// The same mode on complemented values, for subtractive spaces: the term of
// the complements, complemented back within both alphas.
template <class Mode>
struct ComplementTerm {
  static int32_t Colour(int32_t ab, int32_t cb, int32_t as, int32_t cs) {
    // The complement's term can pass both alphas' product by a rounding
    // step; that is a term of 0, not one that wraps round to full colour.
    const int32_t term = std::max(Mul255(as, ab) - Mode::Term(ab, (ab - cb) & 255, as, (as - cs) & 255), 0);
    return FromTerm(term, ab, cs);
  }
};

struct ColorDodgeTerm {
  static int32_t Colour(int32_t ab, int32_t cb, int32_t as, int32_t cs) {
    if (as == cs) return cs;
    const int32_t t = Mul255(cb, as);
    const int32_t d = (as - cs) & 255;
    // The quotient is the backdrop alpha times the dodged colour; it is
    // capped at that alpha, not scaled by it a second time, and not wrapped.
    const int32_t r = t < d ? std::min(ab, (t * 255 + d / 2) / d) : ab;
    return Div255(Mul255(r, as) * 255 + (255 - ab) * cs);
  }
};

struct ColorBurnTerm {
  static int32_t Colour(int32_t ab, int32_t cb, int32_t as, int32_t cs) {
    if (cs == 0) return 0;
    const int32_t t = Mul255((ab - cb) & 255, as);
    const int32_t r = t > cs ? ab : std::min(ab, ((t * 255 + cs / 2) / cs) & 255);
    return Div255(Mul255((ab - r) & 255, as) * 255 + (255 - ab) * cs);
  }
};

}  // namespace raster
