// Every stage kind against the same mapping computed in double precision.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "color/BasicStages.h"
#include "color/ClutStage.h"
#include "color/IccCurve.h"
#include "color/IccSignature.h"
#include "color/IccTransform.h"
#include "color/LabStages.h"
#include "color/ParametricStage.h"
#include "color/SampledCurveStage.h"
#include "tests/support/CaughtError.h"

namespace color {
namespace {

using runtime::kFixedOne;

Fixed ToFixed(double v) { return static_cast<Fixed>(std::lround(v * 65536)); }
double ToDouble(Fixed v) { return v / 65536.0; }
double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

struct StageCase {
  const char* name;
  std::function<IccStageRef(runtime::LibraryContext*)> make;
  std::function<void(double*)> reference;
  double tolerance = 2.0 / 65536;
};

// Inputs spread over [0, 1] plus a few out-of-range values.
std::vector<std::array<double, 4>> Inputs() {
  std::vector<std::array<double, 4>> inputs;
  std::mt19937 random(29);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double edges[] = {0.0, 1.0 / 65536, 0.03, 0.25, 0.5, 0.75, 0.999, 1.0};
  for (double e : edges) inputs.push_back({e, 1.0 - e, e * 0.5, 0.3});
  for (int i = 0; i < 200; ++i) inputs.push_back({unit(random), unit(random), unit(random), unit(random)});
  return inputs;
}

double Parametric(int type, const double* p, double x) {
  const double g = p[0], a = p[1], b = p[2], c = p[3], d = p[4], e = p[5], f = p[6];
  switch (type) {
    case 1:
      return x < -b / a ? 0 : Clamp01(std::pow(a * x + b, g));
    case 2:
      return x < -b / a ? c : Clamp01(std::pow(a * x + b, g) + c);
    case 3:
      return x < d ? c * x : Clamp01(std::pow(a * x + b, g));
    default:
      return x < d ? c * x + f : Clamp01(std::pow(a * x + b, g) + e);
  }
}

double ParametricInverse(int type, const double* p, double y) {
  const double g = p[0], a = p[1], b = p[2], c = p[3], d = p[4], e = p[5], f = p[6];
  const double breakValue = type == 1 ? 0 : type == 2 ? c : c * d + (type == 4 ? f : 0);
  if (y > breakValue) {
    const double offset = type == 2 ? c : type == 4 ? e : 0;
    return Clamp01((std::pow(y - offset, 1 / g) - b) / a);
  }
  if (type <= 2) return Clamp01(-b / a);
  return c == 0 ? 0 : Clamp01((y - (type == 4 ? f : 0)) / c);
}

// The stage's Lab companding in real numbers, with the same constants.
double LabInverseReal(double t) {
  if (t < 0) return -LabInverseReal(-t);
  return t > 8 ? std::pow((t + 16) / 116, 3) : t * 72 / 65536;
}
double LabForwardReal(double t) {
  if (t < 0) return -LabForwardReal(-t);
  return t >= 580.0 / 65536 ? 116 * std::cbrt(t) - 16 : t * 59198426.0 / 65536;
}

const double kWhite[3] = {0.9642, 1.0, 0.8249};
const Fixed kWhiteFixed[3] = {63190, 65536, 54061};

// A 3-input table of the given grid with values from a smooth function.
std::vector<Fixed> MakeTable(uint32_t inputs, uint32_t outputs, const std::vector<uint32_t>& grid) {
  uint64_t points = 1;
  for (uint32_t g : grid) points *= g;
  std::vector<Fixed> table(points * outputs);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> value(0, 65536);
  for (Fixed& v : table) v = value(random);
  (void)inputs;
  return table;
}

// Double-precision interpolation of the same table.
struct RealClut {
  std::vector<Fixed> table;
  std::vector<uint32_t> grid;
  uint32_t outputs;
  ClutStage::Variant variant;

  double At(const std::vector<uint32_t>& cell, uint32_t o) const {
    uint64_t index = 0;
    for (size_t i = 0; i < grid.size(); ++i) index = index * grid[i] + cell[i];
    return ToDouble(table[index * outputs + o]);
  }
  void Eval(double* v) const {
    const size_t n = grid.size();
    std::vector<uint32_t> base(n);
    std::vector<double> f(n);
    for (size_t i = 0; i < n; ++i) {
      double p = (grid[i] - 1) * std::clamp(v[i], 0.0, 1.0);
      base[i] = std::min<uint32_t>(grid[i] - 2, static_cast<uint32_t>(p));
      f[i] = p - base[i];
    }
    double out[4] = {};
    if (variant == ClutStage::kTetrahedralLinear) {
      // The simplex walk over inputs 1 to 3 on both planes of input 0,
      // then linear between the planes.
      std::vector<size_t> order{1, 2, 3};
      std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return f[a] > f[b]; });
      double plane[2][4] = {};
      for (uint32_t k = 0; k < 2; ++k) {
        std::vector<uint32_t> cell = base;
        cell[0] += k;
        for (uint32_t o = 0; o < outputs; ++o) plane[k][o] = At(cell, o);
        for (size_t i : order) {
          std::vector<uint32_t> next = cell;
          ++next[i];
          for (uint32_t o = 0; o < outputs; ++o) plane[k][o] += f[i] * (At(next, o) - At(cell, o));
          cell = next;
        }
      }
      for (uint32_t o = 0; o < outputs; ++o) out[o] = plane[0][o] + f[0] * (plane[1][o] - plane[0][o]);
    } else {
      // Tetrahedral interpolation is the simplex walk over three inputs.
      std::vector<size_t> order(n);
      for (size_t i = 0; i < n; ++i) order[i] = i;
      std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return f[a] > f[b]; });
      std::vector<uint32_t> cell = base;
      for (uint32_t o = 0; o < outputs; ++o) out[o] = At(cell, o);
      for (size_t i : order) {
        std::vector<uint32_t> next = cell;
        ++next[i];
        for (uint32_t o = 0; o < outputs; ++o) out[o] += f[i] * (At(next, o) - At(cell, o));
        cell = next;
      }
    }
    for (uint32_t o = 0; o < outputs; ++o) v[o] = out[o];
  }
};

RealClut Clut(uint32_t inputs, uint32_t outputs, std::vector<uint32_t> grid, ClutStage::Variant variant) {
  return {MakeTable(inputs, outputs, grid), grid, outputs, variant};
}

IccStageRef MakeClut(runtime::LibraryContext* context, const RealClut& clut, uint32_t source, uint32_t target) {
  return ClutStage::Create(context, clut.table.data(), static_cast<uint32_t>(clut.table.size()),
                           static_cast<uint32_t>(clut.grid.size()), clut.outputs, clut.grid.data(), source, target);
}

std::vector<double> Curve(uint32_t n, double gamma, bool decreasing = false) {
  std::vector<double> t(n);
  for (uint32_t i = 0; i < n; ++i) {
    double x = static_cast<double>(i) / (n - 1);
    t[i] = std::round(std::pow(decreasing ? 1 - x : x, gamma) * 65535) / 65536.0;
  }
  return t;
}
std::vector<Fixed> Fixeds(const std::vector<double>& t) {
  std::vector<Fixed> out;
  for (double v : t) out.push_back(ToFixed(v));
  return out;
}
double InterpolateReal(const std::vector<double>& t, double v) {
  const size_t n = t.size();
  double p = std::clamp(v, 0.0, 1.0) * (n - 1);
  size_t k = std::min(n - 2, static_cast<size_t>(p));
  return t[k] + (t[k + 1] - t[k]) * (p - k);
}
// The inversion recipe in real numbers (with its n x r divisor).
std::vector<double> InvertReal(std::vector<double> t) {
  const size_t n = t.size();
  if (t[n - 1] < t[0]) std::reverse(t.begin(), t.end());
  for (size_t i = 1; i < n; ++i) t[i] = std::max(t[i], t[i - 1]);
  std::vector<double> inv(n);
  size_t j = 0;
  const double s = 1.0 / (n - 1);
  for (size_t i = 0; i < n; ++i) {
    double y = i * s;
    while (j + 2 < n && y >= t[j + 1]) ++j;
    double r = std::max(t[j + 1] - t[j], 1.0 / 65536);
    inv[i] = Clamp01(j * s + (y - t[j]) / (n * r));
  }
  return inv;
}

const double kPara[7] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045, 0.02, 0.01};

TEST(IccStageTest, EveryStageKindMatchesDoublePrecision) {
  const RealClut tetra = Clut(3, 3, {17, 17, 17}, ClutStage::kTetrahedral);
  const RealClut quad = Clut(4, 3, {5, 4, 3, 6}, ClutStage::kTetrahedralLinear);
  const RealClut simplex3 = Clut(3, 4, {9, 9, 9}, ClutStage::kSimplex);
  const RealClut simplex2 = Clut(2, 2, {4, 7}, ClutStage::kSimplex);
  const std::vector<double> curve = Curve(1024, 2.2), curve256 = Curve(256, 0.45), falling = Curve(64, 1.8, true);
  const Matrix3x4 matrix = [] {
    Matrix3x4 m;
    const double v[3][4] = {{0.4361, 0.3851, 0.1431, 0.01}, {0.2225, 0.7169, 0.0606, -0.1}, {0.0139, 0.0971, 0.7141, 0}};
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 4; ++c) m.m[r][c] = ToFixed(v[r][c]);
    }
    return m;
  }();
  auto para = [](int type, int direction) {
    return [=](runtime::LibraryContext* context) {
      ParametricParameters p{ToFixed(kPara[0]), ToFixed(kPara[1]), ToFixed(kPara[2]), ToFixed(kPara[3]),
                             ToFixed(kPara[4]), ToFixed(kPara[5]), ToFixed(kPara[6])};
      if (type == 1 || type == 2) p.c = ToFixed(0.02);
      return IccParametricCurve::Create(context, direction, type, p, 1);
    };
  };
  auto paraReal = [](int type, int direction) {
    return [=](double* v) {
      double p[7];
      std::copy(kPara, kPara + 7, p);
      if (type == 1 || type == 2) p[3] = 0.02;
      v[1] = direction ? Parametric(type, p, v[1]) : ParametricInverse(type, p, v[1]);
    };
  };
  // FixedPow is a short polynomial: power stages carry its error (a few
  // units of 1/65536) on top of the rounding of the inputs.
  const double powerTolerance = 16.0 / 65536;
  // An inverted table is rounded once when built and once when read.
  const double inverseTolerance = 5.0 / 65536;
  const StageCase cases[] = {
      {"clamp", [](auto* c) { return IccStageRef(streams::MakeRef<ClampStage>(c, 3)); },
       [](double* v) { for (int i = 0; i < 3; ++i) v[i] = Clamp01(v[i]); }},
      {"gamma", [](auto* c) { return IccStageRef(streams::MakeRef<GammaStage>(c, ToFixed(2.2), 0)); },
       [](double* v) { v[0] = std::pow(v[0], 2.2); }, powerTolerance},
      {"parametric 1", para(1, 1), paraReal(1, 1), powerTolerance},
      {"parametric 2", para(2, 1), paraReal(2, 1), powerTolerance},
      {"parametric 3", para(3, 1), paraReal(3, 1), powerTolerance},
      {"parametric 4", para(4, 1), paraReal(4, 1), powerTolerance},
      {"parametric 1 inverse", para(1, 0), paraReal(1, 0), powerTolerance},
      {"parametric 2 inverse", para(2, 0), paraReal(2, 0), powerTolerance},
      {"parametric 3 inverse", para(3, 0), paraReal(3, 0), powerTolerance},
      {"parametric 4 inverse", para(4, 0), paraReal(4, 0), powerTolerance},
      {"matrix", [&](auto* c) { return IccStageRef(streams::MakeRef<MatrixStage>(c, matrix)); },
       [&](double* v) {
         double o[3];
         for (int r = 0; r < 3; ++r) {
           o[r] = ToDouble(matrix.m[r][3]);
           for (int k = 0; k < 3; ++k) o[r] += ToDouble(matrix.m[r][k]) * v[k];
         }
         for (int r = 0; r < 3; ++r) v[r] = std::max(0.0, o[r]);
       },
       4.0 / 65536},
      {"white scaling",
       [](auto* c) {
         const Fixed to[3] = {62289, 65536, 71372};
         return WhiteScalingStage(c, kWhiteFixed, to);
       },
       [](double* v) {
         const double to[3] = {62289 / 65536.0, 1.0, 71372 / 65536.0};
         for (int i = 0; i < 3; ++i) v[i] *= to[i] / (kWhiteFixed[i] / 65536.0);
       }},
      {"Lab to XYZ", [](auto* c) { return IccStageRef(streams::MakeRef<LabToXyzStage>(c, kWhiteFixed)); },
       [](double* v) {
         double l = 100 * v[0], a = std::clamp(255 * v[1] - 128, -128.0, 127.0),
                b = std::clamp(255 * v[2] - 128, -128.0, 127.0);
         double x = LabInverseReal(std::max(0.0, l + a * 15204 / 65536));
         double y = LabInverseReal(l);
         double z = LabInverseReal(std::max(0.0, l - b * 38010 / 65536));
         v[0] = x * kWhite[0], v[1] = y, v[2] = z * kWhite[2];
       },
       8.0 / 65536},
      {"XYZ to Lab", [](auto* c) { return IccStageRef(streams::MakeRef<XyzToLabStage>(c, kWhiteFixed)); },
       [](double* v) {
         double gx = LabForwardReal(v[0] / kWhite[0]), gy = LabForwardReal(v[1]), gz = LabForwardReal(v[2] / kWhite[2]);
         v[0] = gy / 100;
         v[1] = ((gx - gy) * 282482 / 65536 + 128) / 255;
         v[2] = ((gy - gz) * 112993 / 65536 + 128) / 255;
       },
       powerTolerance},
      {"CLUT tetrahedral", [&](auto* c) { return MakeClut(c, tetra, IccSig("RGB "), IccSig("RGB ")); },
       [&](double* v) { tetra.Eval(v); }, 2.0 / 65536},
      {"CLUT quadrilinear", [&](auto* c) { return MakeClut(c, quad, IccSig("CMYK"), IccSig("RGB ")); },
       [&](double* v) { quad.Eval(v); }, 2.0 / 65536},
      {"CLUT simplex 3 to 4", [&](auto* c) { return MakeClut(c, simplex3, IccSig("RGB "), IccSig("CMYK")); },
       [&](double* v) { simplex3.Eval(v); }, 2.0 / 65536},
      {"CLUT simplex 2 to 2", [&](auto* c) { return MakeClut(c, simplex2, IccSig("2CLR"), IccSig("2CLR")); },
       [&](double* v) { simplex2.Eval(v); }, 2.0 / 65536},
      {"sampled curve", [&](auto* c) { return SampledCurveStage::Create(c, 1, Fixeds(curve).data(), 1024, 2); },
       [&](double* v) { v[2] = InterpolateReal(curve, v[2]); }},
      {"sampled curve inverse",
       [&](auto* c) { return SampledCurveStage::Create(c, 0, Fixeds(curve256).data(), 256, 0); },
       [&](double* v) { v[0] = InterpolateReal(InvertReal(curve256), v[0]); }, inverseTolerance},
      {"decreasing curve inverse",
       [&](auto* c) { return SampledCurveStage::Create(c, 0, Fixeds(falling).data(), 64, 1); },
       [&](double* v) { v[1] = InterpolateReal(InvertReal(falling), v[1]); }, inverseTolerance},
  };
  runtime::LibraryContext context;
  for (const StageCase& c : cases) {
    IccStageRef stage = c.make(&context);
    EXPECT_FALSE(stage->IsIdentity()) << c.name;
    int failures = 0;
    for (const auto& input : Inputs()) {
      Fixed v[4];
      double want[4];
      for (int i = 0; i < 4; ++i) {
        v[i] = ToFixed(input[i]);
        want[i] = ToDouble(v[i]);
      }
      stage->Apply(v);
      c.reference(want);
      for (int i = 0; i < 4 && failures < 5; ++i) {
        if (std::fabs(ToDouble(v[i]) - want[i]) > c.tolerance) {
          ++failures;
          ADD_FAILURE() << c.name << " input (" << input[0] << ", " << input[1] << ", " << input[2] << ", "
                        << input[3] << ") channel " << i << ": " << ToDouble(v[i]) << " want " << want[i];
        }
      }
    }
  }
}

TEST(IccStageTest, ClutEdgesAndVariants) {
  runtime::LibraryContext context;
  const RealClut cube = Clut(3, 3, {2, 2, 2}, ClutStage::kTetrahedral);
  IccStageRef stage = MakeClut(&context, cube, IccSig("RGB "), IccSig("RGB "));
  // 1.0 on every input gives the far corner exactly.
  Fixed v[4] = {kFixedOne, kFixedOne, kFixedOne, 0};
  stage->Apply(v);
  for (int o = 0; o < 3; ++o) EXPECT_EQ(v[o], cube.table[7 * 3 + o]);
  // Inputs far outside [0, 1.0] (negative Lab from wide-gamut blues) stay
  // inside the table.
  Fixed low[4] = {-0x30000, -1, 0x7FFFFFFF, 0};
  stage->Apply(low);
  EXPECT_EQ(low[0], cube.table[1 * 3 + 0]);
  // Three inputs in a CMYK-to-RGB transform: simplex; four inputs into
  // any space: tetrahedral over three, linear over the first.
  EXPECT_EQ(ClutStage::ChooseVariant(3, IccSig("CMYK"), IccSig("RGB ")), ClutStage::kSimplex);
  EXPECT_EQ(ClutStage::ChooseVariant(4, IccSig("CMYK"), IccSig("RGB ")), ClutStage::kTetrahedralLinear);
  EXPECT_EQ(ClutStage::ChooseVariant(4, IccSig("CMYK"), IccSig("Lab ")), ClutStage::kTetrahedralLinear);
  EXPECT_EQ(ClutStage::ChooseVariant(3, IccSig("RGB "), IccSig("RGB ")), ClutStage::kTetrahedral);
  // The unit cube's corners are the identity; a count that does not add up
  // is malformed.
  const Fixed corners[24] = {0, 0, 0, 0, 0, kFixedOne, 0, kFixedOne, 0, 0, kFixedOne, kFixedOne,
                             kFixedOne, 0, 0, kFixedOne, 0, kFixedOne, kFixedOne, kFixedOne, 0, kFixedOne, kFixedOne, kFixedOne};
  const uint32_t grid[3] = {2, 2, 2};
  EXPECT_TRUE(ClutStage::Create(&context, corners, 24, 3, 3, grid, 0, 0)->IsIdentity());
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { ClutStage::Create(&context, corners, 23, 3, 3, grid, 0, 0); }), 2);
}

TEST(IccStageTest, IdentityAndConstructionRules) {
  runtime::LibraryContext context;
  std::vector<Fixed> ramp(256), shortRamp(255);
  for (int i = 0; i < 256; ++i) ramp[i] = 257 * i;
  for (int i = 0; i < 255; ++i) shortRamp[i] = 257 * i;
  EXPECT_TRUE(SampledCurveStage::Create(&context, 1, ramp.data(), 256, 0)->IsIdentity());
  EXPECT_FALSE(SampledCurveStage::Create(&context, 1, shortRamp.data(), 255, 0)->IsIdentity());
  // Negative inputs (and huge ones) stay inside the table.
  IccStageRef curve = SampledCurveStage::Create(&context, 1, shortRamp.data(), 255, 0);
  Fixed v[4] = {-0x8000, 0, 0, 0};
  curve->Apply(v);
  EXPECT_EQ(v[0], 0);
  v[0] = 0x7FFFFFFF;
  curve->Apply(v);
  EXPECT_EQ(v[0], shortRamp[254]);
  // A decreasing curve is reversed before inversion: its inverse rises.
  std::vector<Fixed> falling = Fixeds(Curve(32, 1.0, true));
  IccStageRef inverse = SampledCurveStage::Create(&context, 0, falling.data(), 32, 0);
  const auto& table = static_cast<SampledCurveStage*>(inverse.Get())->Table();
  EXPECT_LT(table[0], table[31]);

  Fixed black[3] = {0, 0, 0};
  Fixed white[3] = {63190, 65536, 54061};
  Fixed lab[4] = {0, runtime::FixedDiv(128 << 16, 255 << 16), runtime::FixedDiv(128 << 16, 255 << 16), 0};
  LabToXyzStage toXyz(&context, white);
  toXyz.Apply(lab);
  EXPECT_EQ(lab[0], 0);
  EXPECT_EQ(lab[1], 0);
  EXPECT_EQ(lab[2], 0);
  Fixed lab2[4] = {kFixedOne, runtime::FixedDiv(128 << 16, 255 << 16), runtime::FixedDiv(128 << 16, 255 << 16), 0};
  toXyz.Apply(lab2);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(lab2[i], white[i], 4);

  // A matrix stage never outputs a negative component.
  Matrix3x4 negative = Matrix3x4::Identity();
  negative.m[0][0] = -kFixedOne;
  negative.m[1][3] = -0x8000;
  MatrixStage matrixStage(&context, negative);
  Fixed m[4] = {0x8000, 0x4000, 0x4000, 0};
  matrixStage.Apply(m);
  EXPECT_EQ(m[0], 0);
  EXPECT_EQ(m[1], 0);

  IccCurve gammaZero(&context);
  gammaZero.kind = IccCurve::kGamma;
  gammaZero.gamma = 0;
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { IccCurve::MakeStage(&context, 1, gammaZero, 0); }), -1);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { IccCurve::MakeStage(&context, 0, gammaZero, 0); }), 2);
  ParametricParameters noSlope{kFixedOne, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { IccParametricCurve::Create(&context, 1, 1, noSlope, 0); }), 2);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { LabToXyzStage bad(&context, black); }), 2);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { WhiteScalingStage(&context, black, white); }), 2);
  ParametricParameters unit{kFixedOne, kFixedOne, 0, kFixedOne, 0, 0, 0};
  for (int type = 1; type <= 4; ++type) {
    ParametricParameters p = unit;
    if (type == 2) p.c = 0;
    EXPECT_TRUE(IccParametricCurve::Create(&context, 1, type, p, 0)->IsIdentity()) << type;
  }
}

TEST(IccStageTest, TransformChainAndResultCache) {
  runtime::LibraryContext context;
  auto transform = streams::MakeRef<IccTransform>(&context, 3, 3);
  transform->AppendStage(IccStageRef(streams::MakeRef<GammaStage>(&context, ToFixed(2.2), 0)));
  transform->AppendStage(IccStageRef(streams::MakeRef<GammaStage>(&context, ToFixed(1.0 / 2.2), 0)));
  transform->AppendStage(IccStageRef(streams::MakeRef<ClampStage>(&context, 3)));
  // 132 for the transform, then its first and last stages less 24 each.
  EXPECT_EQ(transform->MemorySize(), 132u + ((16 + 24) * 2 + 12 + 24 - 24) + (12 + 24 - 24));
  Fixed plain[4] = {0x8000, 0x12000, -5, 0};
  transform->Evaluate(plain);
  EXPECT_NEAR(plain[0], 0x8000, 24);
  EXPECT_EQ(plain[1], kFixedOne);
  EXPECT_EQ(plain[2], 0);
  // With the cache: the same answers, from the cache the second time, and
  // the empty-row marker never counts as a hit.
  transform->EnableCache();
  std::mt19937 random(3);
  for (int round = 0; round < 2; ++round) {
    std::mt19937 again(3);
    for (int i = 0; i < 500; ++i) {
      Fixed v[4] = {static_cast<Fixed>(again() % 65537), static_cast<Fixed>(again() % 65537), 0, 0};
      Fixed w[4] = {v[0], v[1], v[2], 0};
      transform->Evaluate(v);
      for (const IccStage* s = transform->FirstStage().Get(); s != nullptr; s = s->next.Get()) s->Apply(w);
      ASSERT_EQ(v[0], w[0]);
      ASSERT_EQ(v[1], w[1]);
    }
  }
  Fixed marker[4] = {runtime::kFixedMax, 0x4000, 0, 0};
  transform->Evaluate(marker);
  EXPECT_EQ(marker[0], kFixedOne);
  EXPECT_EQ(marker[1], 0x4000);
}

}  // namespace
}  // namespace color
