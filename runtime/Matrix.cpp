#include "runtime/Matrix.h"

#include <algorithm>
#include <utility>

namespace runtime {

namespace {

Fixed Max2(Fixed p, Fixed q) { return std::max(p, q); }

// a·x + c·y + e with FixedMul products and wrapping sums.
Fixed Affine(Fixed a, Fixed x, Fixed c, Fixed y, Fixed e) {
  return WrapAdd(WrapAdd(FixedMul(a, x), FixedMul(c, y)), e);
}

}  // namespace

void Matrix::Swap(Matrix& m, Matrix& n) { std::swap(m, n); }

Matrix Matrix::Concat(const Matrix& m, const Matrix& n) {
  return {WrapAdd(FixedMul(m.a, n.a), FixedMul(m.b, n.c)),
          WrapAdd(FixedMul(m.a, n.b), FixedMul(m.b, n.d)),
          WrapAdd(FixedMul(m.c, n.a), FixedMul(m.d, n.c)),
          WrapAdd(FixedMul(m.c, n.b), FixedMul(m.d, n.d)),
          Affine(m.e, n.a, m.f, n.c, n.e),
          Affine(m.e, n.b, m.f, n.d, n.f)};
}

Matrix Matrix::ConcatChecked(const Matrix& m, const Matrix& n, int32_t& overflow) {
  auto dot = [&overflow](Fixed p, Fixed q, Fixed r, Fixed s) {
    Fixed sum = 0;
    FixedAddWithOverflow(sum, FixedMulChecked(p, q, overflow), FixedMulChecked(r, s, overflow), overflow);
    return sum;
  };
  auto affine = [&](Fixed p, Fixed q, Fixed r, Fixed s, Fixed t) {
    Fixed sum = 0;
    FixedAddWithOverflow(sum, dot(p, q, r, s), t, overflow);
    return sum;
  };
  return {dot(m.a, n.a, m.b, n.c), dot(m.a, n.b, m.b, n.d), dot(m.c, n.a, m.d, n.c),
          dot(m.c, n.b, m.d, n.d), affine(m.e, n.a, m.f, n.c, n.e), affine(m.e, n.b, m.f, n.d, n.f)};
}

void Matrix::TransformPointInPlace(const Matrix& m, Fixed& x, Fixed& y) {
  const Fixed nx = Affine(m.a, x, m.c, y, m.e);
  const Fixed ny = Affine(m.b, x, m.d, y, m.f);
  x = nx;
  y = ny;
}

Rect Matrix::TransformRectBounds(const Rect& r, const Matrix& m) {
  const Fixed xs[4] = {r.x0, r.x1, r.x0, r.x1};
  const Fixed ys[4] = {r.y0, r.y0, r.y1, r.y1};
  Rect out{kFixedMax, kFixedMax, kFixedLowest, kFixedLowest};
  for (int i = 0; i < 4; ++i) {
    Fixed x = xs[i], y = ys[i];
    TransformPointInPlace(m, x, y);
    out.x0 = std::min(out.x0, x);
    out.y0 = std::min(out.y0, y);
    out.x1 = std::max(out.x1, x);
    out.y1 = std::max(out.y1, y);
  }
  return out;
}

IntRect Matrix::TransformIntRect(const IntRect& ir, const Matrix& m) {
  const Rect r{FixedFromInt(ir.x0), FixedFromInt(ir.y0), FixedFromInt(ir.x1),
               FixedFromInt(ir.y1)};
  return Rect::ToPixelBounds(TransformRectBounds(r, m));
}

bool Matrix::CanTransformRect(const Matrix& m, const Rect& r) {
  int32_t overflow = 0;
  const int64_t p1 = FixedMulChecked(Max2(AbsSat(m.a), AbsSat(m.b)),
                                     Max2(AbsSat(r.x0), AbsSat(r.x1)), overflow);
  const int64_t p2 = FixedMulChecked(Max2(AbsSat(m.c), AbsSat(m.d)),
                                     Max2(AbsSat(r.y0), AbsSat(r.y1)), overflow);
  if (overflow != 0) return false;
  // Both products are non-negative: a 32-bit sum that wraps is one that
  // exceeds the positive limit.
  const int64_t sum = p1 + p2;
  if (sum > kFixedMax) return false;
  return sum + Max2(AbsSat(m.e), AbsSat(m.f)) <= kFixedMax;
}

bool Matrix::IsSafelyInvertible(Fixed a, Fixed b, Fixed c, Fixed d) {
  const Fixed det = AbsSat(FixedDeterminant(a, b, c, d));
  if (det >= kFixedOne) return true;
  const Fixed bound = FixedMul(kFixedMax, det);
  return AbsSat(a) < bound && AbsSat(b) < bound && AbsSat(c) < bound && AbsSat(d) < bound;
}

bool Matrix::Invert(Matrix& out, const Matrix& m) {
  constexpr Fixed kTiny = 4;  // 4/65536: below this in all four, singular
  if (AbsSat(m.a) < kTiny && AbsSat(m.b) < kTiny && AbsSat(m.c) < kTiny && AbsSat(m.d) < kTiny)
    return false;
  Fixed a = m.a, b = m.b, c = m.c, d = m.d, undo = kFixedOne;
  FixedNormalize4(a, b, c, d, undo, true);
  if (!IsSafelyInvertible(a, b, c, d)) return false;

  // The pre-scaling bounds the products but not their difference; a
  // determinant that wraps would give a wrong inverse, so it fails instead.
  const int64_t wideDet = static_cast<int64_t>(FixedMul(a, d)) - FixedMul(c, b);
  if (wideDet > kFixedMax || wideDet < kFixedLowest) return false;
  const Fixed det = static_cast<Fixed>(wideDet);
  // A quotient that saturates is no inverse either.
  if (FixedDivOverflows(d, det) || FixedDivOverflows(b, det) || FixedDivOverflows(c, det) ||
      FixedDivOverflows(a, det)) {
    return false;
  }
  Fixed ia = FixedDiv(d, det);
  Fixed ib = FixedDiv(NegateSat(b), det);
  Fixed ic = FixedDiv(NegateSat(c), det);
  Fixed id = FixedDiv(a, det);

  int32_t overflow = 0;
  Fixed ie = 0, iff = 0;
  FixedAddWithOverflow(ie, FixedMulChecked(-ia, m.e, overflow),
                       -FixedMulChecked(ic, m.f, overflow), overflow);
  FixedAddWithOverflow(iff, FixedMulChecked(-ib, m.e, overflow),
                       -FixedMulChecked(id, m.f, overflow), overflow);
  if (overflow != 0) return false;
  if (FixedDivOverflows(ie, undo) || FixedDivOverflows(iff, undo)) return false;
  ie = FixedDiv(ie, undo);
  iff = FixedDiv(iff, undo);
  // Scaling back multiplies by the pre-scale factor, which can leave the
  // range; FixedMul would wrap such an entry into a wrong (often
  // sign-flipped) value, so an inverse that does not fit fails instead.
  const Fixed factor = FixedDiv(kFixedOne, undo);
  bool fits = true;
  auto scaleBack = [&](Fixed& value) {
    const int64_t product = (static_cast<int64_t>(value) * factor) >> 16;
    if (product > kFixedMax || product < kFixedLowest) fits = false;
    value = static_cast<Fixed>(product);  // exactly FixedMul when it fits
  };
  scaleBack(ia);
  scaleBack(ib);
  scaleBack(ic);
  scaleBack(id);
  if (!fits) return false;
  out = {ia, ib, ic, id, ie, iff};
  return true;
}

void Matrix::ScaleExtremes(const Matrix& m, Fixed& big, Fixed& small) {
  if (m.b == 0 && m.c == 0) {
    big = AbsSat(m.a);
    small = AbsSat(m.d);
    if (small > big) std::swap(big, small);
    return;
  }
  Fixed a = m.a, b = m.b, c = m.c, d = m.d, undo = kFixedOne;
  const bool scaled = FixedNormalize4(a, b, c, d, undo, false);
  // Entries are now below 8.0, so E, G and F stay below 128.0.
  const Fixed e = FixedMul(a, a) + FixedMul(b, b);
  const Fixed g = FixedMul(c, c) + FixedMul(d, d);
  const Fixed f = FixedMul(a, c) + FixedMul(b, d);
  if (AbsSat(f) < 4) {
    big = FixedSqrt(e);
    small = FixedSqrt(g);
  } else {
    // (E - G)² + 4F² can reach 65536.0, twice what 16.16 holds; such a sum
    // takes its root at a quarter and doubles it.
    const int64_t sum =
        static_cast<int64_t>(FixedMul(e - g, e - g)) + 4 * static_cast<int64_t>(FixedMul(f, f));
    const Fixed root = sum <= kFixedMax ? FixedSqrt(static_cast<Fixed>(sum))
                                        : FixedSqrt(static_cast<Fixed>(sum >> 2)) * 2;
    big = FixedSqrt((e + g + root) >> 1);
    small = e + g > root ? FixedSqrt((e + g - root) >> 1) : 0;
  }
  if (scaled) {
    // Scaling back can leave the range (entries near the limits have
    // singular values above 32768.0): saturate rather than wrap. For these
    // non-negative values the checked product is FixedMul whenever it fits.
    int32_t overflow = 0;
    big = FixedMulChecked(big, undo, overflow);
    small = FixedMulChecked(small, undo, overflow);
  }
  if (small > big) std::swap(big, small);
}

Fixed Matrix::NominalScale(const Matrix& m) {
  Fixed big = 0, small = 0;
  ScaleExtremes(m, big, small);
  if (big < kFixedOne && small < kFixedOne) return std::min(big, small);
  return static_cast<Fixed>((static_cast<int64_t>(big) + small) / 2);
}

Matrix Matrix::RotateByViewRotation(int32_t rotation, const Matrix& m) {
  switch (rotation) {
    case 0:
      return m;
    case 90:
      return {NegateSat(m.b), m.a, NegateSat(m.d), m.c, NegateSat(m.f), m.e};
    case 180:
      return {NegateSat(m.a), NegateSat(m.b), NegateSat(m.c),
              NegateSat(m.d), NegateSat(m.e), NegateSat(m.f)};
    default:
      return {m.b, NegateSat(m.a), m.d, NegateSat(m.c), m.f, NegateSat(m.e)};
  }
}

bool OptionalMatrix::Equals(OptionalMatrix p, OptionalMatrix q) {
  if (p.matrix == nullptr || q.matrix == nullptr) return p.matrix == q.matrix;
  return *p.matrix == *q.matrix;
}

bool MatrixRectKey::Equals(const MatrixRectKey& p, const MatrixRectKey& q) {
  return OptionalMatrix::Equals(p.optional, q.optional) && p.matrix == q.matrix &&
         p.rect == q.rect;
}

bool MatrixSignKey::Equals(const MatrixSignKey& p, const MatrixSignKey& q) {
  if (!OptionalMatrix::Equals(p.optional, q.optional)) return false;
  for (int i = 0; i < 4; ++i)
    if (SignOf(p.values[i]) != SignOf(q.values[i])) return false;
  return true;
}

}  // namespace runtime
