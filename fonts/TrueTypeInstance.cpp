// The instance of a TrueType font for one transform: interpreter storage
// sized from "maxp" (made once), "fpgm" run once, the control values
// scaled and "prep" run whenever the transform changes, then the glyph
// built hinted, retried unhinted, or left out.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "fonts/FontError.h"
#include "fonts/TrueTypeFont.h"
#include "fonts/TrueTypeGlyph.h"

namespace fonts {

namespace {

constexpr Fixed kHundred = 100 * runtime::kFixedOne;
constexpr Fixed kFourHundred = 400 * runtime::kFixedOne;

template <class T>
T* ArenaArrayOf(runtime::ArenaAllocator& arena, uint32_t count) {
  T* items = static_cast<T*>(arena.Alloc(sizeof(T) * std::max(count, 1u)));
  for (uint32_t i = 0; i < std::max(count, 1u); ++i) new (&items[i]) T();
  return items;
}

}  // namespace

void TrueTypeFont::SetUpInstance() {
  TtInstanceState& s = state_;
  const SfntTableEntry* fpgm = Find(Tag('f', 'p', 'g', 'm'));
  const SfntTableEntry* prep = Find(Tag('p', 'r', 'e', 'p'));
  const SfntTableEntry* cvt = Find(Tag('c', 'v', 't', ' '));
  if (fpgm != nullptr) {
    s.fpgm = Bytes(fpgm->offset, fpgm->length).data();
    s.fpgmLength = fpgm->length;
  }
  if (prep != nullptr) {
    s.prep = Bytes(prep->offset, prep->length).data();
    s.prepLength = prep->length;
  }
  s.cvtCount = cvt != nullptr ? cvt->length / 2 : 0;
  s.cvt = ArenaArrayOf<int32_t>(arena_, std::max(s.cvtCount, 256u));
  s.storageCount = maxp_.maxStorage;
  s.storage = ArenaArrayOf<int32_t>(arena_, s.storageCount);
  s.functionCount = maxp_.maxFunctionDefs;
  s.functions = ArenaArrayOf<TtFunctionDef>(arena_, s.functionCount);
  s.instructionDefCapacity = maxp_.maxInstructionDefs;
  s.instructionDefs = ArenaArrayOf<TtInstructionDef>(arena_, s.instructionDefCapacity);
  s.instructionDefCount = 0;
  // Fonts often claim a few stack elements too few.
  s.stackCapacity = uint32_t{maxp_.maxStackElements} + 32;
  s.stack = ArenaArrayOf<int32_t>(arena_, s.stackCapacity);
  s.twilightCount = std::max<uint32_t>(maxp_.maxTwilightPoints, 1);
  s.twilight = GlyphZone{};
  s.twilight.Reserve(arena_, s.twilightCount, 1);
  s.twilight.pointCount = s.twilightCount;
  s.twilight.contourCount = 1;
  s.twilight.contourEnds[0] = static_cast<uint16_t>(s.twilightCount - 1);
  s.twilight.unscaledUsable = false;
  instanceReady_ = true;
}

void TrueTypeFont::SetTransform(const Matrix& m) {
  TtInstanceState& s = state_;
  instanceTransform_ = m;
  instanceHasTransform_ = true;
  Fixed xPpem = std::max(runtime::AbsSat(m.a), runtime::AbsSat(m.b));
  Fixed yPpem = std::max(runtime::AbsSat(m.c), runtime::AbsSat(m.d));
  if ((headFlags_ & 8) != 0) {
    xPpem = std::max<Fixed>((xPpem + runtime::kFixedHalf) & ~0xFFFF, runtime::kFixedOne);
    yPpem = std::max<Fixed>((yPpem + runtime::kFixedHalf) & ~0xFFFF, runtime::kFixedOne);
  }
  const int32_t upem = int32_t{unitsPerEm_} << 16;
  TTScaler::ComputeScale(s.xScale, xPpem, upem);
  TTScaler::ComputeScale(s.yScale, yPpem, upem);
  const Fixed larger = std::max(xPpem, yPpem);
  s.ppem = std::min<int32_t>((larger + runtime::kFixedHalf) >> 16, 32768);
  s.xRatio = larger > 0 ? runtime::FixedDiv(xPpem, larger) : runtime::kFixedOne;
  s.yRatio = larger > 0 ? runtime::FixedDiv(yPpem, larger) : runtime::kFixedOne;
  s.squarePixels = xPpem == yPpem;
  s.rotated = m.b != 0 || m.c != 0;
  s.stretched = xPpem != yPpem;
}

bool TrueTypeFont::BuildOutline(uint32_t glyph, const Matrix& matrix, runtime::ArenaAllocator& work,
                                TtOutline& out) {
  lastBuildError_ = 0;
  if (outlinesUnusable_ || glyph == 0 || glyph >= numGlyphs_) return false;
  // Hint at four times the size, or at 400 pixels per em above 100.
  const Fixed largest = std::max({runtime::AbsSat(matrix.a), runtime::AbsSat(matrix.b),
                                  runtime::AbsSat(matrix.c), runtime::AbsSat(matrix.d)});
  if (largest == 0) return false;
  Matrix instance{};
  Fixed back;
  if (!hinting_) {
    // Without hinting nothing gains from the larger instance: the glyph
    // is scaled at its own size, each point rounded once to 1/64 pixel.
    instance = {matrix.a, matrix.b, matrix.c, matrix.d, 0, 0};
    back = runtime::kFixedOne;
  } else if (largest > kHundred) {
    const Fixed factor = runtime::FixedDiv(kFourHundred, largest);
    instance = {runtime::FixedMul(matrix.a, factor), runtime::FixedMul(matrix.b, factor),
                runtime::FixedMul(matrix.c, factor), runtime::FixedMul(matrix.d, factor), 0, 0};
    back = runtime::FixedDiv(largest, kFourHundred);
  } else {
    instance = {matrix.a * 4, matrix.b * 4, matrix.c * 4, matrix.d * 4, 0, 0};
    back = runtime::kFixedOne / 4;
  }
  if (!instanceReady_) {
    if (unitsPerEm_ < 16 || unitsPerEm_ > 16384) {
      outlinesUnusable_ = true;
      return false;
    }
    SetUpInstance();
  }
  bool changed = false;
  if (!instanceHasTransform_ || instance.a != instanceTransform_.a || instance.b != instanceTransform_.b ||
      instance.c != instanceTransform_.c || instance.d != instanceTransform_.d) {
    SetTransform(instance);
    changed = true;
    hintingUsable_ = true;
  }
  TtInstanceState& s = state_;
  if (firstRun_ && hinting_) {
    firstRun_ = false;
    fpgmError_ = TTInterp::RunFontProgram(s);
    if (fpgmError_ != 0) hintingUsable_ = false;
  }
  if (changed) prepDone_ = false;
  // The hinting request is taken before "prep" runs: a failing "prep"
  // turns hinting off from the next glyph on.
  const bool hint = hinting_ && hintingUsable_;
  if (hint && !prepDone_) {
    prepDone_ = true;
    const SfntTableEntry* cvt = Find(Tag('c', 'v', 't', ' '));
    const AxisScale& scale = s.xScale.scale >= s.yScale.scale ? s.xScale : s.yScale;
    for (uint32_t i = 0; i < s.cvtCount; ++i) s.cvt[i] = scale.Apply(I16(cvt->offset + 2 * uint64_t{i}));
    prepError_ = TTInterp::RunControlValueProgram(s);
    if (prepError_ != 0) hintingUsable_ = false;
  }

  GlyphZone& zone = glyphZone_;
  zone = GlyphZone{};
  glyphError_ = 0;
  uint32_t error = TrueTypeGlyph::Build(*this, glyph, hint, zone, work);
  bool hinted = hint;
  if (error != 0 && hint) {
    glyphError_ = error;
    zone = GlyphZone{};
    error = TrueTypeGlyph::Build(*this, glyph, false, zone, work);
    hinted = false;
  }
  lastBuildError_ = error != 0 ? error : glyphError_;
  if (error != 0) return false;

  // The origin is the first phantom point (the side bearing of "hmtx",
  // which may differ from the box's left edge).
  const int32_t origin = zone.curX[zone.pointCount];
  if (origin != 0) {
    for (uint32_t i = 0; i < zone.pointCount + GlyphZone::kPhantomPoints; ++i) zone.curX[i] -= origin;
  }
  // Outside a positive diagonal the glyph was scaled upright; now it
  // takes the transform's direction.
  if (instance.b != 0 || instance.c != 0 || instance.a < 0 || instance.d < 0) {
    const Fixed xPpem = std::max(runtime::AbsSat(instance.a), runtime::AbsSat(instance.b));
    const Fixed yPpem = std::max(runtime::AbsSat(instance.c), runtime::AbsSat(instance.d));
    const Fixed a = runtime::FixedDiv(instance.a, xPpem), b = runtime::FixedDiv(instance.b, xPpem);
    const Fixed c = yPpem != 0 ? runtime::FixedDiv(instance.c, yPpem) : 0;
    const Fixed d = yPpem != 0 ? runtime::FixedDiv(instance.d, yPpem) : 0;
    const uint32_t n = zone.pointCount + GlyphZone::kPhantomPoints;
    for (uint32_t i = 0; i < n; ++i) {
      const int32_t x = zone.curX[i], y = zone.curY[i];
      zone.curX[i] = runtime::FixedMul(x, a) + runtime::FixedMul(y, c);
      zone.curY[i] = runtime::FixedMul(x, b) + runtime::FixedMul(y, d);
    }
  }
  out.x = zone.curX;
  out.y = zone.curY;
  out.onCurve = zone.onCurve;
  out.contourEnds = zone.contourEnds;
  out.pointCount = zone.pointCount;
  out.contourCount = zone.contourCount;
  out.hinted = hinted;
  out.toDevice = {back, 0, 0, back, 0, 0};
  return true;
}

}  // namespace fonts
