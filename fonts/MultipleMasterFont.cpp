#include "fonts/MultipleMasterFont.h"

#include <algorithm>
#include <cstring>

#include "resources/MultipleMasterFaces.h"

namespace fonts {

namespace {

// tan(d) for whole degrees d = 0..45, in 16.16 (45 degrees exactly 1.0).
constexpr Fixed kTangents[46] = {
    0,     1143,  2287,  3434,  4582,  5733,  6888,  8047,  9210,  10380, 11556, 12739,
    13930, 15130, 16340, 17560, 18792, 20036, 21294, 22566, 23853, 25157, 26478, 27818,
    29179, 30560, 31964, 33392, 34846, 36327, 37837, 39378, 40951, 42560, 44205, 45889,
    47615, 49385, 51202, 53070, 54991, 56970, 59009, 61113, 63287, 65536,
};

std::span<const uint8_t> FaceData(bool serif) {
  return serif ? std::span<const uint8_t>(resources::kMultipleMasterSerifProgram,
                                          resources::kMultipleMasterSerifProgramSize)
               : std::span<const uint8_t>(resources::kMultipleMasterSansProgram,
                                          resources::kMultipleMasterSansProgramSize);
}

// value / master as 16.16, truncated toward zero, at most 1.0.
Fixed ScaleOf(int32_t value, int32_t master) {
  if (master <= 0) return runtime::kFixedOne;
  const int64_t q = (int64_t{value} * runtime::kFixedOne) / master;
  return static_cast<Fixed>(std::min<int64_t>(q, runtime::kFixedOne));
}

// Lowercase standard glyphs and their capitals, by standard glyph index:
// a-z, then ae, lslash, oslash, oe, thorn, eth and the accented lowercase
// letters.
struct CasePair {
  uint16_t lower;
  uint16_t upper;
};

const char* const kCasePairs[][2] = {
    {"ae", "AE"}, {"lslash", "Lslash"}, {"oslash", "Oslash"}, {"oe", "OE"}, {"thorn", "Thorn"},
    {"eth", "Eth"}, {"aacute", "Aacute"}, {"acircumflex", "Acircumflex"},
    {"adieresis", "Adieresis"}, {"agrave", "Agrave"}, {"aring", "Aring"}, {"atilde", "Atilde"},
    {"ccedilla", "Ccedilla"}, {"eacute", "Eacute"}, {"ecircumflex", "Ecircumflex"},
    {"edieresis", "Edieresis"}, {"egrave", "Egrave"}, {"iacute", "Iacute"},
    {"icircumflex", "Icircumflex"}, {"idieresis", "Idieresis"}, {"igrave", "Igrave"},
    {"ntilde", "Ntilde"}, {"oacute", "Oacute"}, {"ocircumflex", "Ocircumflex"},
    {"odieresis", "Odieresis"}, {"ograve", "Ograve"}, {"otilde", "Otilde"}, {"scaron", "Scaron"},
    {"uacute", "Uacute"}, {"ucircumflex", "Ucircumflex"}, {"udieresis", "Udieresis"},
    {"ugrave", "Ugrave"}, {"yacute", "Yacute"}, {"ydieresis", "Ydieresis"}, {"zcaron", "Zcaron"},
};

int StandardIndexOf(const char* name) {
  for (uint32_t g = 0; g < resources::kStandardGlyphCount; ++g) {
    if (std::strcmp(resources::kStandardGlyphNames[g], name) == 0) return static_cast<int>(g);
  }
  return -1;
}

// The 230-entry case table, built once from the names above.
struct CaseTable {
  uint16_t capital[resources::kStandardGlyphCount];
  CaseTable() {
    for (uint32_t g = 0; g < resources::kStandardGlyphCount; ++g) capital[g] = static_cast<uint16_t>(g);
    const int a = StandardIndexOf("a");
    const int upperA = StandardIndexOf("A");
    for (int i = 0; i < 26; ++i) capital[a + i] = static_cast<uint16_t>(upperA + i);
    for (const auto& pair : kCasePairs) {
      const int lower = StandardIndexOf(pair[0]);
      const int upper = StandardIndexOf(pair[1]);
      if (lower >= 0 && upper >= 0) capital[lower] = static_cast<uint16_t>(upper);
    }
  }
};

const CaseTable& Cases() {
  static const CaseTable table;
  return table;
}

}  // namespace

uint32_t MultipleMasterFont::CapitalOf(uint32_t glyph) {
  return glyph < resources::kStandardGlyphCount ? Cases().capital[glyph] : glyph;
}

MultipleMasterFont::MultipleMasterFont(runtime::LibraryContext* context,
                                       const DescriptorRecord& record, const TargetWidths& widths)
    : CffFont(context, FaceData((record.flags & kFlagSerif) != 0), true),
      record_(record),
      metrics_((record.flags & kFlagSerif) != 0 ? resources::kMultipleMasterSerifMetrics
                                                : resources::kMultipleMasterSansMetrics),
      serif_((record.flags & kFlagSerif) != 0) {
  std::memcpy(widths_, widths, sizeof(widths_));
  record_.stemV = record_.stemV == 0 ? static_cast<uint16_t>(metrics_[20])
                                     : std::clamp<uint16_t>(record_.stemV, 20, 300);
  record_.capHeight = serif_ ? 662 : 718;
  const uint16_t xMax = serif_ ? 480 : 532;
  record_.xHeight = record_.xHeight == 0 ? xMax : std::clamp<uint16_t>(record_.xHeight, 300, xMax);
  record_.italicAngle = std::clamp<int16_t>(record_.italicAngle, -45, 45);
  const int angle = record_.italicAngle;
  slant_ = angle < 0 ? kTangents[-angle] : -kTangents[angle];

  capScale_ = ScaleOf(record_.capHeight, metrics_[16]);
  if ((record_.flags & kFlagSmallCap) != 0) {
    xScale_ = ScaleOf(record_.xHeight, metrics_[16]);
  } else if ((record_.flags & kFlagAllCap) != 0) {
    xScale_ = capScale_;
  } else {
    xScale_ = ScaleOf(record_.xHeight, metrics_[17]);
  }
  for (int m = 0; m < 4; ++m) {
    xStems_[m] = metrics_[8 + m] * (xScale_ / 65536.0);
    capStems_[m] = metrics_[8 + m] * (capScale_ / 65536.0);
  }

  // The box must hold the widest target advance and the slant.
  const uint16_t widest = *std::max_element(widths_, widths_ + resources::kStandardGlyphCount);
  const Fixed m = static_cast<Fixed>((int64_t{widest} * 256 * 16777) >> 16);
  runtime::Rect& box = textBox_;
  if (m > box.x1 && box.x1 > 0) {
    box.x0 = static_cast<Fixed>(int64_t{box.x0} * m / box.x1);
    box.x1 = m;
  }
  if (slant_ > 0) {
    box.x1 += runtime::FixedMul(slant_, box.y1);
    box.x0 += runtime::FixedMul(slant_, box.y0);
  } else if (slant_ < 0) {
    box.x1 += runtime::FixedMul(slant_, box.y0);
    box.x0 += runtime::FixedMul(slant_, box.y1);
  }
}

uint32_t MultipleMasterFont::ByteSize() const {
  return CffFont::ByteSize() + sizeof(widths_) + 64;
}

uint32_t MultipleMasterFont::DrawnGlyph(uint32_t glyph) const {
  return (record_.flags & (kFlagAllCap | kFlagSmallCap)) != 0 ? CapitalOf(glyph) : glyph;
}

DesignSolution MultipleMasterFont::Solve(uint32_t glyph, Fixed* scale) const {
  const uint32_t drawn = DrawnGlyph(glyph);
  const bool lowercase = CapitalOf(glyph) != glyph;
  *scale = lowercase ? xScale_ : capScale_;
  const double* stems = lowercase ? xStems_ : capStems_;
  const double factor = *scale / 65536.0;
  double masterWidths[4];
  double masterStems[4];
  for (int m = 0; m < 4; ++m) {
    masterWidths[m] = metrics_[26 + 4 * drawn + m] * factor;
    masterStems[m] = stems[m];
  }
  return SolveDesignVector(record_.stemV, masterStems, TargetWidth(glyph), masterWidths);
}

void MultipleMasterFont::Glyph(uint32_t glyph, const Matrix& matrix,
                               runtime::ArenaVector<FixedPoint>& points,
                               runtime::ArenaAllocator& work, Matrix& orientation) {
  orientation = Matrix{runtime::kFixedOne, 0, 0, runtime::kFixedOne, 0, 0};
  const uint16_t target = TargetWidth(glyph);
  if (target == 0) return;
  Fixed scale = 0;
  const DesignSolution solution = Solve(glyph, &scale);
  Fixed a = scale;
  mmOffset_ = 0;
  if (solution.status == 1 && solution.blendedWidth > 0) {
    a = static_cast<Fixed>(scale * (target / solution.blendedWidth));
  } else if (solution.status == 2) {
    // The offset is added before the glyph matrix scales x.
    const double factor = scale / 65536.0;
    if (factor > 0) {
      mmOffset_ = static_cast<Fixed>((target - solution.blendedWidth) / 2 / factor * runtime::kFixedOne);
    }
  }
  std::copy(solution.weights, solution.weights + 4, weights_);
  hasWeights_ = true;
  const Matrix glyphMatrix{a, 0, runtime::FixedMul(slant_, scale), scale, 0, 0};
  CffFont::Glyph(DrawnGlyph(glyph), Matrix::Concat(glyphMatrix, matrix), points, work, orientation);
}

}  // namespace fonts
