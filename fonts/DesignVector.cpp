#include "fonts/DesignVector.h"

#include <cmath>

namespace fonts {

namespace {

// Roots inside the square may sit a rounding step outside it.
constexpr double kSquareSlack = 1e-9;
constexpr double kTiny = 1e-12;

// The bilinear form a + b u + c v + d uv of four master values.
struct Bilinear {
  double a, b, c, d;
  explicit Bilinear(const double (&q)[4])
      : a(q[0]), b(q[1] - q[0]), c(q[2] - q[0]), d(q[0] - q[1] - q[2] + q[3]) {}
  double At(double u, double v) const { return a + b * u + c * v + d * u * v; }
};

bool InSquare(double u, double v) {
  return u >= -kSquareSlack && u <= 1 + kSquareSlack && v >= -kSquareSlack && v <= 1 + kSquareSlack;
}

double Clamp01(double x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }

}  // namespace

void MasterWeights(double u, double v, runtime::Fixed (&weights)[4]) {
  const double one = runtime::kFixedOne;
  weights[1] = static_cast<runtime::Fixed>(std::lround(u * (1 - v) * one));
  weights[2] = static_cast<runtime::Fixed>(std::lround((1 - u) * v * one));
  weights[3] = static_cast<runtime::Fixed>(std::lround(u * v * one));
  weights[0] = runtime::kFixedOne - weights[1] - weights[2] - weights[3];
}

DesignSolution SolveDesignVector(double stem, const double (&masterStems)[4], double width,
                                 const double (&masterWidths)[4]) {
  const Bilinear s(masterStems);
  const Bilinear w(masterWidths);
  DesignSolution out;
  // S(u, v) = stem gives u = (stem - a_s - c_s v) / (b_s + d_s v); put into
  // W(u, v) = width and clear the denominator: A v^2 + B v + C = 0.
  const double e = stem - s.a;
  const double f = w.a - width;
  const double A = w.c * s.d - w.d * s.c;
  const double B = f * s.d + w.c * s.b + w.d * e - w.b * s.c;
  const double C = f * s.b + w.b * e;
  double roots[2];
  int rootCount = 0;
  if (std::fabs(A) < kTiny) {
    if (std::fabs(B) >= kTiny) roots[rootCount++] = -C / B;
  } else {
    const double discriminant = B * B - 4 * A * C;
    if (discriminant >= 0) {
      const double root = std::sqrt(discriminant);
      const double r1 = (-B + root) / (2 * A);
      const double r2 = (-B - root) / (2 * A);
      roots[rootCount++] = r1 > r2 ? r1 : r2;
      if (discriminant > 0) roots[rootCount++] = r1 > r2 ? r2 : r1;
    }
  }
  for (int i = 0; i < rootCount; ++i) {
    const double v = roots[i];
    const double stemSlope = s.b + s.d * v;
    const double widthSlope = w.b + w.d * v;
    double u;
    if (std::fabs(stemSlope) >= kTiny) {
      u = (e - s.c * v) / stemSlope;
    } else if (std::fabs(widthSlope) >= kTiny) {
      u = (width - w.a - w.c * v) / widthSlope;
    } else {
      continue;
    }
    if (!InSquare(u, v)) continue;
    out.u = Clamp01(u);
    out.v = Clamp01(v);
    out.status = 0;
    MasterWeights(out.u, out.v, out.weights);
    out.blendedWidth = w.At(out.u, out.v);
    return out;
  }

  // No exact point: where the asked stem's curve cuts the square's edges.
  struct Point {
    double u, v;
  };
  Point cuts[4];
  int cutCount = 0;
  auto addCut = [&](double u, double v) {
    if (InSquare(u, v)) cuts[cutCount++] = Point{Clamp01(u), Clamp01(v)};
  };
  if (std::fabs(s.c) >= kTiny) addCut(0, e / s.c);                          // u = 0
  if (std::fabs(s.c + s.d) >= kTiny) addCut(1, (e - s.b) / (s.c + s.d));    // u = 1
  if (std::fabs(s.b) >= kTiny) addCut(e / s.b, 0);                          // v = 0
  if (std::fabs(s.b + s.d) >= kTiny) addCut((e - s.c) / (s.b + s.d), 1);    // v = 1
  Point best{0, 0};
  double bestCost = INFINITY;
  if (cutCount != 0) {
    for (int i = cutCount; i-- > 0;) {
      const double cost = 5 * std::fabs(w.At(cuts[i].u, cuts[i].v) - width);
      if (cost < bestCost) {
        bestCost = cost;
        best = cuts[i];
      }
    }
  } else {
    const Point corners[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 4; i-- > 0;) {
      const Point& p = corners[i];
      const double cost = 5 * std::fabs(s.At(p.u, p.v) - stem) + std::fabs(w.At(p.u, p.v) - width);
      if (cost < bestCost) {
        bestCost = cost;
        best = p;
      }
    }
  }
  out.u = best.u;
  out.v = best.v;
  MasterWeights(out.u, out.v, out.weights);
  out.blendedWidth = w.At(out.u, out.v);
  out.status = out.blendedWidth < width ? 2 : 1;
  return out;
}

}  // namespace fonts
