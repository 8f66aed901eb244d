#include "fonts/TrueTypeGlyph.h"

#include <algorithm>
#include <cstdlib>

#include "fonts/FontError.h"
#include "fonts/TrueTypeFont.h"
#include "fonts/TtFixedMath.h"
#include "runtime/Scheduler.h"

namespace fonts {

namespace {

constexpr uint32_t kMaxGlyphPoints = 65535 - GlyphZone::kPhantomPoints;

// What one loaded element leaves for its parent.
struct ElementResult {
  uint32_t points = 0;
  uint32_t contours = 0;
  uint32_t scanControl = 65535;
};

struct GlyphMetrics {
  int32_t advance = 0, lsb = 0, advanceHeight = 0, tsb = 0;
};

class GlyphLoader {
 public:
  GlyphLoader(TrueTypeFont& font, bool hinting, GlyphZone& zone, runtime::ArenaAllocator& work)
      : font_(font), state_(FontState(font)), hinting_(hinting), zone_(zone), work_(work) {}

  uint32_t Load(uint32_t glyph, int depth, uint32_t firstPoint, uint32_t firstContour,
                bool hintable, ElementResult& result);

 private:
  static TtInstanceState& FontState(TrueTypeFont& font);
  GlyphMetrics Metrics(uint32_t glyph, int32_t yMax);
  uint32_t LoadSimple(uint32_t offset, uint32_t length, int32_t contours, uint32_t firstPoint,
                      uint32_t firstContour, ElementResult& result, uint32_t& instructionsAt,
                      uint32_t& instructionLength);
  void SetPhantoms(uint32_t at, const GlyphMetrics& m, int32_t xMin, int32_t yMax);
  uint32_t HintElement(uint32_t firstPoint, uint32_t firstContour, uint32_t points, uint32_t contours,
                       uint32_t instructionsAt, uint32_t instructionLength, bool composite,
                       uint32_t& scanControl);

  TrueTypeFont& font_;
  TtInstanceState& state_;
  bool hinting_;
  GlyphZone& zone_;
  runtime::ArenaAllocator& work_;
  uint32_t elements_ = 0;
};

TtInstanceState& GlyphLoader::FontState(TrueTypeFont& font) { return font.State(); }

GlyphMetrics GlyphLoader::Metrics(uint32_t glyph, int32_t yMax) {
  GlyphMetrics m;
  const SfntTableEntry* hmtx = font_.Find(TrueTypeFont::Tag('h', 'm', 't', 'x'));
  const uint32_t longCount = font_.NumberOfHMetrics();
  auto tableValue = [&](const SfntTableEntry* table, uint64_t at, bool isSigned) -> int32_t {
    if (table == nullptr || at + 2 > table->length) return 0;
    return isSigned ? font_.I16(table->offset + at) : static_cast<int32_t>(font_.U16(table->offset + at));
  };
  if (longCount != 0) {
    if (glyph < longCount) {
      m.advance = tableValue(hmtx, 4 * uint64_t{glyph}, false);
      m.lsb = tableValue(hmtx, 4 * uint64_t{glyph} + 2, true);
    } else {
      m.advance = tableValue(hmtx, 4 * uint64_t{longCount - 1}, false);
      m.lsb = tableValue(hmtx, 4 * uint64_t{longCount} + 2 * uint64_t{glyph - longCount}, true);
    }
  }
  if (font_.HasVerticalMetrics()) {
    const SfntTableEntry* vmtx = font_.Find(TrueTypeFont::Tag('v', 'm', 't', 'x'));
    const uint32_t vCount = font_.NumOfLongVerMetrics();
    if (glyph < vCount) {
      m.advanceHeight = tableValue(vmtx, 4 * uint64_t{glyph}, false);
      m.tsb = tableValue(vmtx, 4 * uint64_t{glyph} + 2, true);
    } else {
      m.advanceHeight = tableValue(vmtx, 4 * uint64_t{vCount - 1}, false);
      m.tsb = tableValue(vmtx, 4 * uint64_t{vCount} + 2 * uint64_t{glyph - vCount}, true);
    }
  } else {
    m.advanceHeight = font_.Ascent() - font_.Descent();
    m.tsb = font_.Ascent() - yMax;
  }
  return m;
}

void GlyphLoader::SetPhantoms(uint32_t at, const GlyphMetrics& m, int32_t xMin, int32_t yMax) {
  const int32_t x1 = xMin - m.lsb;
  const int32_t top = yMax + m.tsb;
  const int32_t xs[8] = {x1, x1 + m.advance, 0, 0, x1, xMin, 0, 0};
  const int32_t ys[8] = {0, 0, top, top - m.advanceHeight, 0, 0, top, yMax};
  for (uint32_t i = 0; i < GlyphZone::kPhantomPoints; ++i) {
    zone_.unscaledX[at + i] = xs[i];
    zone_.unscaledY[at + i] = ys[i];
    zone_.onCurve[at + i] = 0;
    zone_.curX[at + i] = zone_.refX[at + i] = state_.xScale.Apply(xs[i]);
    zone_.curY[at + i] = zone_.refY[at + i] = state_.yScale.Apply(ys[i]);
  }
}

uint32_t GlyphLoader::LoadSimple(uint32_t offset, uint32_t length, int32_t contours, uint32_t firstPoint,
                                 uint32_t firstContour, ElementResult& result, uint32_t& instructionsAt,
                                 uint32_t& instructionLength) {
  const uint64_t end = uint64_t{offset} + length;
  uint64_t p = uint64_t{offset} + 10;
  auto need = [&](uint64_t n) {
    if (p + n > end) ThrowMalformedFont();
  };
  if (contours < 1) return kTtBadContourCount;
  zone_.Reserve(work_, firstPoint, firstContour + static_cast<uint32_t>(contours));
  need(2 * uint64_t(contours));
  int32_t previous = -1;
  for (int32_t i = 0; i < contours; ++i) {
    const int32_t e = static_cast<int32_t>(font_.U16(p + 2 * uint64_t(i)));
    if (e <= previous) return kTtBadContourEnds;
    zone_.contourEnds[firstContour + static_cast<uint32_t>(i)] = static_cast<uint16_t>(e);
    previous = e;
  }
  p += 2 * uint64_t(contours);
  const uint32_t points = static_cast<uint32_t>(previous) + 1;
  if (firstPoint + points > kMaxGlyphPoints) return kTtBadContourEnds;
  need(2);
  instructionLength = font_.U16(p);
  p += 2;
  need(instructionLength);
  instructionsAt = static_cast<uint32_t>(p);
  p += instructionLength;
  zone_.Reserve(work_, firstPoint + points, firstContour + static_cast<uint32_t>(contours));
  runtime::ChargeWork(font_.Context(), static_cast<int32_t>(points / 32 + 1));
  uint8_t* flags = zone_.touch + firstPoint;  // flags are kept here until the coordinates are read
  for (uint32_t i = 0; i < points;) {
    need(1);
    const uint8_t flag = static_cast<uint8_t>(font_.U8(p++));
    flags[i++] = flag;
    if ((flag & 8) != 0) {
      need(1);
      uint32_t repeat = font_.U8(p++);
      if (repeat > points - i) ThrowMalformedFont();
      while (repeat-- > 0) flags[i++] = flag;
    }
  }
  int32_t value = 0;
  for (uint32_t i = 0; i < points; ++i) {
    const uint8_t flag = flags[i];
    if ((flag & 2) != 0) {
      need(1);
      const int32_t d = static_cast<int32_t>(font_.U8(p++));
      value += (flag & 16) != 0 ? d : -d;
    } else if ((flag & 16) == 0) {
      need(2);
      value += font_.I16(p);
      p += 2;
    }
    zone_.unscaledX[firstPoint + i] = value;
  }
  value = 0;
  for (uint32_t i = 0; i < points; ++i) {
    const uint8_t flag = flags[i];
    if ((flag & 4) != 0) {
      need(1);
      const int32_t d = static_cast<int32_t>(font_.U8(p++));
      value += (flag & 32) != 0 ? d : -d;
    } else if ((flag & 32) == 0) {
      need(2);
      value += font_.I16(p);
      p += 2;
    }
    zone_.unscaledY[firstPoint + i] = value;
  }
  for (uint32_t i = 0; i < points; ++i) {
    zone_.onCurve[firstPoint + i] = flags[i] & 1;
    flags[i] = 0;
  }
  result.points = points;
  result.contours = static_cast<uint32_t>(contours);
  return 0;
}

uint32_t GlyphLoader::HintElement(uint32_t firstPoint, uint32_t firstContour, uint32_t points,
                                  uint32_t contours, uint32_t instructionsAt, uint32_t instructionLength,
                                  bool composite, uint32_t& scanControl) {
  GlyphZone view = zone_.Tail(firstPoint, firstContour);
  view.pointCount = points;
  view.contourCount = contours;
  const uint32_t pp = points;
  // Put the origin phantom on the grid, moving the outline with it.
  const int32_t shift = ((view.curX[pp] + 32) & -64) - view.curX[pp];
  if (shift != 0) {
    for (uint32_t i = 0; i < points + GlyphZone::kPhantomPoints; ++i) view.curX[i] += shift;
  }
  const int32_t advance = view.curX[pp + 1] - view.curX[pp];
  view.curX[pp + 1] = view.curX[pp] + ((advance + 32) & -64);
  const int32_t height = view.curY[pp + 3] - view.curY[pp + 2];
  view.curY[pp + 2] = (view.curY[pp + 2] + 32) & -64;
  view.curY[pp + 3] = view.curY[pp + 2] + (height >= 0 ? (height + 32) & -64 : -((-height + 32) & -64));
  for (uint32_t i = 0; i < points + GlyphZone::kPhantomPoints; ++i) {
    view.refX[i] = view.curX[i];
    view.refY[i] = view.curY[i];
    view.touch[i] = 0;
  }
  const std::span<const uint8_t> program = font_.Bytes(instructionsAt, instructionLength);
  state_.scanControlChanged = false;
  const uint32_t before = state_.scanControl;
  uint32_t error = 0;
  if (instructionLength > 0 && (state_.instructionControl & 1) == 0) {
    error = TTInterp::RunGlyphProgram(state_, view, program.data(), instructionLength, !composite);
  }
  if (error != 0) return error;
  // Dropout control for this size, or 2 when none is asked for.
  if (!composite || state_.scanControl != before || state_.scanControlChanged) {
    const uint32_t control = state_.scanControl & 0xFFFF;
    const uint32_t low = control & 0xFF;
    const bool asks = ((control & 0x100) != 0 && (low == 255 || static_cast<uint32_t>(state_.ppem) <= low)) ||
                      ((control & 0x200) != 0 && state_.rotated) || ((control & 0x400) != 0 && state_.stretched);
    scanControl = asks ? (state_.scanControl >> 16) : 2;
  }
  return 0;
}

uint32_t GlyphLoader::Load(uint32_t glyph, int depth, uint32_t firstPoint, uint32_t firstContour,
                           bool hintable, ElementResult& result) {
  if (++elements_ > TrueTypeGlyph::kMaxElements) return kTtCompositeTooDeep;
  uint32_t offset = 0, length = 0;
  const bool hasData = font_.LocateGlyph(glyph, offset, length);
  int32_t contours = 0;
  int32_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  if (hasData) {
    if (length < 10) ThrowMalformedFont();
    contours = font_.I16(offset);
    if (contours < -1) return kTtBadContourNumber;
    xMin = font_.I16(offset + 2);
    yMin = font_.I16(offset + 4);
    xMax = font_.I16(offset + 6);
    yMax = font_.I16(offset + 8);
    if (xMin > xMax || yMin > yMax) return kTtBadGlyphBox;
  }
  const GlyphMetrics metrics = Metrics(glyph, yMax);
  const bool hint = hinting_ && hintable;
  uint32_t instructionsAt = 0, instructionLength = 0;

  if (!hasData || (contours == 0 && length == 10)) {
    // No outline data: one contour of one on-curve point at the origin.
    zone_.Reserve(work_, firstPoint + 1, firstContour + 1);
    zone_.unscaledX[firstPoint] = zone_.unscaledY[firstPoint] = 0;
    zone_.onCurve[firstPoint] = 1;
    zone_.touch[firstPoint] = 0;
    zone_.contourEnds[firstContour] = 0;
    result.points = 1;
    result.contours = 1;
  } else if (contours >= 0) {
    const uint32_t error =
        LoadSimple(offset, length, contours, firstPoint, firstContour, result, instructionsAt, instructionLength);
    if (error != 0) return error;
  }

  if (contours >= 0 || !hasData) {
    const uint32_t n = result.points;
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t at = firstPoint + i;
      zone_.curX[at] = zone_.refX[at] = state_.xScale.Apply(zone_.unscaledX[at]);
      zone_.curY[at] = zone_.refY[at] = state_.yScale.Apply(zone_.unscaledY[at]);
    }
    SetPhantoms(firstPoint + n, metrics, xMin, yMax);
    if (hint) {
      return HintElement(firstPoint, firstContour, n, result.contours, instructionsAt, instructionLength,
                         false, result.scanControl);
    }
    return 0;
  }

  // A composite: its components, one after the other.
  if (depth + 1 > std::min<int>(font_.Limits().maxComponentDepth, TrueTypeGlyph::kMaxDepth)) {
    return kTtCompositeTooDeep;
  }
  const uint64_t end = uint64_t{offset} + length;
  uint64_t p = uint64_t{offset} + 10;
  auto need = [&](uint64_t n) {
    if (p + n > end) ThrowMalformedFont();
  };
  uint32_t points = 0, contourTotal = 0, count = 0;
  bool haveInstructions = false;
  bool savedMetrics = false;
  int32_t savedX[2] = {0, 0}, savedY[2] = {0, 0};
  uint32_t flags = 0;
  do {
    if (++count > font_.Limits().maxComponentElements) return kTtCompositeTooDeep;
    need(4);
    flags = font_.U16(p);
    const uint32_t child = font_.U16(p + 2);
    p += 4;
    int32_t arg1, arg2;
    if ((flags & 1) != 0) {
      need(4);
      arg1 = (flags & 2) != 0 ? font_.I16(p) : static_cast<int32_t>(font_.U16(p));
      arg2 = (flags & 2) != 0 ? font_.I16(p + 2) : static_cast<int32_t>(font_.U16(p + 2));
      p += 4;
    } else {
      need(2);
      arg1 = (flags & 2) != 0 ? static_cast<int8_t>(font_.U8(p)) : static_cast<int32_t>(font_.U8(p));
      arg2 = (flags & 2) != 0 ? static_cast<int8_t>(font_.U8(p + 1)) : static_cast<int32_t>(font_.U8(p + 1));
      p += 2;
    }
    Fixed a = runtime::kFixedOne, b = 0, c = 0, d = runtime::kFixedOne;
    bool scaled = false;
    if ((flags & 8) != 0) {
      need(2);
      a = d = font_.I16(p) * 4;
      p += 2;
      scaled = true;
    } else if ((flags & 0x40) != 0) {
      need(4);
      a = font_.I16(p) * 4;
      d = font_.I16(p + 2) * 4;
      p += 4;
      scaled = true;
    } else if ((flags & 0x80) != 0) {
      need(8);
      a = font_.I16(p) * 4;
      b = font_.I16(p + 2) * 4;
      c = font_.I16(p + 4) * 4;
      d = font_.I16(p + 6) * 4;
      p += 8;
      scaled = true;
    }
    if ((flags & 0x100) != 0) haveInstructions = true;
    const bool unitDiagonal = b == 0 && c == 0 && std::abs(a) == runtime::kFixedOne && std::abs(d) == runtime::kFixedOne;
    const uint32_t childPoint = firstPoint + points;
    const uint32_t childContour = firstContour + contourTotal;
    ElementResult sub;
    const uint32_t error = Load(child, depth + 1, childPoint, childContour, hintable && unitDiagonal, sub);
    if (error != 0) return error;
    // The component's own matrix, applied to its placed points.
    if (scaled && !(a == runtime::kFixedOne && b == 0 && c == 0 && d == runtime::kFixedOne)) {
      for (uint32_t i = 0; i < sub.points; ++i) {
        const uint32_t at = childPoint + i;
        const int32_t x = zone_.curX[at], y = zone_.curY[at];
        zone_.curX[at] = runtime::FixedMul(x, a) + runtime::FixedMul(y, c);
        zone_.curY[at] = runtime::FixedMul(x, b) + runtime::FixedMul(y, d);
        const int32_t rx = zone_.refX[at], ry = zone_.refY[at];
        zone_.refX[at] = runtime::FixedMul(rx, a) + runtime::FixedMul(ry, c);
        zone_.refY[at] = runtime::FixedMul(rx, b) + runtime::FixedMul(ry, d);
      }
      // A mirroring matrix reverses the component's contours.
      if (int64_t{a} * d - int64_t{b} * c < 0) {
        uint32_t start = 0;
        for (uint32_t k = 0; k < sub.contours; ++k) {
          const uint32_t last = zone_.contourEnds[childContour + k];
          if (last >= sub.points) break;
          std::reverse(zone_.curX + childPoint + start, zone_.curX + childPoint + last + 1);
          std::reverse(zone_.curY + childPoint + start, zone_.curY + childPoint + last + 1);
          std::reverse(zone_.refX + childPoint + start, zone_.refX + childPoint + last + 1);
          std::reverse(zone_.refY + childPoint + start, zone_.refY + childPoint + last + 1);
          std::reverse(zone_.unscaledX + childPoint + start, zone_.unscaledX + childPoint + last + 1);
          std::reverse(zone_.unscaledY + childPoint + start, zone_.unscaledY + childPoint + last + 1);
          std::reverse(zone_.onCurve + childPoint + start, zone_.onCurve + childPoint + last + 1);
          start = last + 1;
        }
      }
    }
    int32_t dx, dy;
    if ((flags & 2) != 0) {
      int64_t ox = arg1, oy = arg2;
      if ((flags & 0x800) != 0 && (flags & 0x1000) == 0) {
        ox = runtime::FixedMul(static_cast<Fixed>(ox), std::max(std::abs(a), std::abs(b)));
        oy = runtime::FixedMul(static_cast<Fixed>(oy), std::max(std::abs(c), std::abs(d)));
      }
      dx = state_.xScale.ApplySymmetric(static_cast<int32_t>(ox));
      dy = state_.yScale.ApplySymmetric(static_cast<int32_t>(oy));
      if ((flags & 4) != 0 && hinting_) {
        dx = (dx + 32) & -64;
        dy = (dy + 32) & -64;
      }
    } else {
      // Point numbers: the parent's point (already placed) meets the
      // component's point.
      const uint32_t parentPoint = static_cast<uint32_t>(arg1);
      const uint32_t ownPoint = static_cast<uint32_t>(arg2);
      if (parentPoint >= points || ownPoint >= sub.points) return kTtBadContourEnds;
      dx = zone_.curX[firstPoint + parentPoint] - zone_.curX[childPoint + ownPoint];
      dy = zone_.curY[firstPoint + parentPoint] - zone_.curY[childPoint + ownPoint];
    }
    if (dx != 0 || dy != 0) {
      for (uint32_t i = 0; i < sub.points; ++i) {
        zone_.curX[childPoint + i] += dx;
        zone_.curY[childPoint + i] += dy;
        zone_.refX[childPoint + i] += dx;
        zone_.refY[childPoint + i] += dy;
      }
    }
    if ((flags & 0x200) != 0) {
      savedMetrics = true;
      for (int k = 0; k < 2; ++k) {
        savedX[k] = zone_.curX[childPoint + sub.points + static_cast<uint32_t>(k)];
        savedY[k] = zone_.curY[childPoint + sub.points + static_cast<uint32_t>(k)];
      }
    }
    if (result.scanControl == 65535) {
      result.scanControl = sub.scanControl;
    } else if (sub.scanControl != 65535) {
      result.scanControl &= (sub.scanControl & 3) | 4;
    }
    for (uint32_t k = 0; k < sub.contours; ++k) {
      zone_.contourEnds[childContour + k] = static_cast<uint16_t>(zone_.contourEnds[childContour + k] + points);
    }
    points += sub.points;
    contourTotal += sub.contours;
  } while ((flags & 0x20) != 0);
  if (haveInstructions) {
    need(2);
    instructionLength = font_.U16(p);
    p += 2;
    need(instructionLength);
    instructionsAt = static_cast<uint32_t>(p);
  }
  result.points = points;
  result.contours = contourTotal;
  zone_.Reserve(work_, firstPoint + points, firstContour + contourTotal);
  const uint32_t pp = firstPoint + points;
  SetPhantoms(pp, metrics, xMin, yMax);
  if (savedMetrics) {
    for (uint32_t k = 0; k < 2; ++k) {
      zone_.curX[pp + k] = zone_.refX[pp + k] = savedX[k];
      zone_.curY[pp + k] = zone_.refY[pp + k] = savedY[k];
    }
  }
  if (hint && instructionLength > 0) {
    uint32_t scan = result.scanControl;
    const uint32_t error = HintElement(firstPoint, firstContour, points, contourTotal, instructionsAt,
                                       instructionLength, true, scan);
    if (error != 0) return error;
    result.scanControl = scan;
  }
  return 0;
}

}  // namespace

uint32_t TrueTypeGlyph::Build(TrueTypeFont& font, uint32_t glyph, bool hinting, GlyphZone& zone,
                              runtime::ArenaAllocator& work) {
  GlyphLoader loader(font, hinting, zone, work);
  ElementResult result;
  zone.pointCount = 0;
  zone.contourCount = 0;
  zone.Reserve(work, 0, 1);
  const uint32_t error = loader.Load(glyph, 0, 0, 0, true, result);
  if (error != 0) return error;
  zone.pointCount = result.points;
  zone.contourCount = result.contours;
  return 0;
}

}  // namespace fonts
