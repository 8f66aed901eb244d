#include "fonts/CharstringInterpreter.h"

#include <algorithm>

#include "fonts/CffFont.h"
#include "runtime/Scheduler.h"

namespace fonts {

namespace {

constexpr Fixed kWidthUnset = static_cast<Fixed>(0xFC180000u);

int32_t SubrBias(uint32_t count) { return count < 1240 ? 107 : (count < 33900 ? 1131 : 32768); }

Fixed AddFixed(Fixed a, Fixed b) { return runtime::WrapAdd(a, b); }

// Flex presence tables: dx1 dy1 ... dx5 dy5, dx6, dy6.
constexpr uint8_t kHFlex[12] = {1, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1, 0};
constexpr uint8_t kFlex[12] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
constexpr uint8_t kHFlex1[12] = {1, 1, 1, 1, 1, 0, 1, 0, 1, 1, 1, 0};
constexpr uint8_t kFlex1[12] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0};

}  // namespace

void CharstringInterpreter::Run(CffFont& font, runtime::ArenaVector<FixedPoint>& points,
                                CffBytes charstring, const PrivateRecord& record,
                                const Transform& transform, runtime::ArenaAllocator& work) {
  GlyphOutline outline(points, transform.a, transform.c, font.MultipleMasterOffset());
  Shared shared{font, outline, record, transform, work};
  CharstringInterpreter run(shared, false, 0, 0);
  run.Execute(charstring);
}

CharstringInterpreter::CharstringInterpreter(Shared& shared, bool insideSeac, Fixed x0, Fixed y0)
    : shared_(shared),
      hints_(shared.work, shared.record, shared.transform.d, y0, shared.font.Hinting()),
      insideSeac_(insideSeac),
      x0_(x0),
      y0_(y0) {
  x_ = x0;
  y_ = y0;
  if (shared.font.CharstringKind() == 2) {
    localBias_ = SubrBias(shared.font.LocalSubrCount(shared.record));
    globalBias_ = SubrBias(shared.font.GlobalSubrCount());
  }
}

void CharstringInterpreter::Execute(CffBytes charstring) {
  if (charstring.length == 0) return;
  CharstringHints* outerHints = shared_.outline.Hints();
  shared_.outline.SetHints(&hints_);
  const bool type1 = shared_.font.CharstringKind() == 1;
  const uint8_t* p = charstring.data;
  const uint8_t* end = p + charstring.length;
  for (;;) {
    if (p >= end) break;  // the end of a charstring ends the run
    const uint8_t b0 = *p++;
    if (b0 >= 32) {
      if (b0 <= 246) {
        stack_.Push(b0 - 139);
      } else if (b0 <= 250) {
        if (p >= end) ThrowMalformedFont();
        stack_.Push((b0 - 247) * 256 + *p++ + 108);
      } else if (b0 <= 254) {
        if (p >= end) ThrowMalformedFont();
        stack_.Push(-(b0 - 251) * 256 - *p++ - 108);
      } else {
        if (end - p < 4) ThrowMalformedFont();
        const int32_t v = static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) |
                                               (uint32_t{p[2]} << 8) | p[3]);
        p += 4;
        if (type1 && v >= -32000 && v <= 32000) {
          stack_.Push(v);
        } else {
          stack_.PushFixed(v);
        }
      }
      continue;
    }
    if (b0 == 28) {
      if (end - p < 2) ThrowMalformedFont();
      stack_.Push(static_cast<int16_t>((p[0] << 8) | p[1]));
      p += 2;
      continue;
    }
    if (++shared_.operators > kMaxOperators) ThrowMalformedFont();
    if ((shared_.operators & 1023) == 0) runtime::ChargeWork(shared_.font.Context(), runtime::kWorkCostStep);
    if (Operator(b0, p, end)) break;
  }
  shared_.outline.SetHints(outerHints);
}

void CharstringInterpreter::WidthCheck(bool oddMeansWidth) {
  if (oddMeansWidth && width_ == kWidthUnset) {
    width_ = AddFixed(shared_.record.nominalWidthX, stack_.OperandAt(0));
  } else if (width_ == kWidthUnset) {
    width_ = shared_.record.defaultWidthX;
  }
}

void CharstringInterpreter::MoveTo(Fixed x, Fixed y) {
  if (flexMode_) {
    flexPoints_.PushFixed(x);
    flexPoints_.PushFixed(y);
    return;
  }
  shared_.outline.MoveTo(x, y);
}

void CharstringInterpreter::Line(Fixed dx, Fixed dy) {
  x_ = AddFixed(x_, dx);
  y_ = AddFixed(y_, dy);
  shared_.outline.LineTo(x_, y_);
}

void CharstringInterpreter::Curve(Fixed dx1, Fixed dy1, Fixed dx2, Fixed dy2, Fixed dx3,
                                  Fixed dy3) {
  const Fixed x1 = AddFixed(x_, dx1), y1 = AddFixed(y_, dy1);
  const Fixed x2 = AddFixed(x1, dx2), y2 = AddFixed(y1, dy2);
  x_ = AddFixed(x2, dx3);
  y_ = AddFixed(y2, dy3);
  shared_.outline.CurveTo(x1, y1, x2, y2, x_, y_);
}

void CharstringInterpreter::CallSubr(bool global, const uint8_t*& p, const uint8_t*& end) {
  CffFont& font = shared_.font;
  if (global && font.CharstringKind() == 1) ThrowMalformedFont();
  if (depth_ >= kMaxSubrDepth) ThrowMalformedFont();
  const int64_t index = int64_t{stack_.PopInt()} + (global ? globalBias_ : localBias_);
  const uint32_t count = global ? font.GlobalSubrCount() : font.LocalSubrCount(shared_.record);
  if (index < 0 || index >= count) ThrowMalformedFont();
  const CffBytes subr = global ? font.GlobalSubr(static_cast<uint32_t>(index))
                               : font.LocalSubr(shared_.record, static_cast<uint32_t>(index));
  frames_[depth_++] = {p, end};
  p = subr.data;
  end = subr.data + subr.length;
}

bool CharstringInterpreter::Operator(int code, const uint8_t*& p, const uint8_t*& end) {
  GlyphOutline& outline = shared_.outline;
  CharstringStack& s = stack_;
  switch (code) {
    case 1:
    case 18:
    case 3:
    case 23: {
      const bool odd = (s.Count() & 1) != 0;
      WidthCheck(odd);
      hints_.AddStems(s, odd ? 1 : 0, code == 1 || code == 18);
      return false;
    }
    case 4:
    case 21:
    case 22:
    case 15: {
      if (code != 22) y_ = AddFixed(y_, s.PopFixed());
      if (code != 4) x_ = AddFixed(x_, s.PopFixed());
      if (code == 15) x_ = AddFixed(x_, sbwX_);
      if (width_ == kWidthUnset && shared_.font.CharstringKind() == 2) {
        width_ = s.Count() > 0 ? AddFixed(shared_.record.nominalWidthX, s.OperandAt(0))
                               : shared_.record.defaultWidthX;
      }
      MoveTo(x_, y_);
      break;
    }
    case 5:
      outline.EnsureStarted();
      for (uint32_t i = 0; i + 1 < s.Count(); i += 2) Line(s.OperandAt(i), s.OperandAt(i + 1));
      break;
    case 6:
    case 7: {
      outline.EnsureStarted();
      bool horizontal = code == 6;
      for (uint32_t i = 0; i < s.Count(); ++i) {
        if (horizontal) {
          Line(s.OperandAt(i), 0);
        } else {
          Line(0, s.OperandAt(i));
        }
        horizontal = !horizontal;
      }
      break;
    }
    case 8:
    case 24: {
      outline.EnsureStarted();
      uint32_t i = 0;
      for (; i + 6 <= s.Count(); i += 6) {
        Curve(s.OperandAt(i), s.OperandAt(i + 1), s.OperandAt(i + 2), s.OperandAt(i + 3),
              s.OperandAt(i + 4), s.OperandAt(i + 5));
      }
      if (code == 24 && i + 2 <= s.Count()) Line(s.OperandAt(i), s.OperandAt(i + 1));
      break;
    }
    case 9:
      outline.Close();
      break;
    case 10:
    case 29:
      CallSubr(code == 29, p, end);
      return false;  // the operands stay for the subroutine
    case 11:
      if (depth_ == 0) ThrowMalformedFont();
      --depth_;
      p = frames_[depth_].position;
      end = frames_[depth_].end;
      return false;
    case 12: {
      if (p >= end) ThrowMalformedFont();
      const int escape = *p++;
      if (Escape(escape)) return true;
      return false;
    }
    case 13: {
      // hsbw: the side bearing point starts the outline, unhinted.
      const Fixed wx = s.PopFixed();
      const Fixed sbx = s.PopFixed();
      width_ = wx;
      x_ = AddFixed(x0_, sbx);
      y_ = y0_;
      outline.StartAt(x_, y_);
      break;
    }
    case 14: {
      uint32_t first = 0;
      if (s.Count() == 1 || s.Count() == 5) {
        WidthCheck(true);
        first = 1;
      }
      outline.Close();
      if (shared_.font.CharstringKind() == 2 && s.Count() - first >= 4) {
        if (insideSeac_) ThrowMalformedFont();
        const Fixed adx = s.OperandAt(first);
        const Fixed ady = s.OperandAt(first + 1);
        const int32_t bchar = s.IntAt(first + 2);
        const int32_t achar = s.IntAt(first + 3);
        Seac(achar, bchar, adx, ady, 0);
      }
      s.Clear();
      return true;
    }
    case 16: {
      const int32_t n = s.PopInt();
      if (n < 0) ThrowMalformedFont();
      Blend(static_cast<uint32_t>(n), s, false);
      return false;
    }
    case 19:
    case 20: {
      if (s.Count() > 0) {
        const bool odd = (s.Count() & 1) != 0;
        WidthCheck(odd);
        hints_.AddStems(s, odd ? 1 : 0, false);
      } else {
        WidthCheck(false);
      }
      if (code == 19) {
        hints_.ReadMask(p, end);
      } else {
        HintMask skip;
        skip.Read(p, end, hints_.StemCount());
      }
      break;
    }
    case 25: {
      outline.EnsureStarted();
      uint32_t i = 0;
      for (; s.Count() - i > 6; i += 2) Line(s.OperandAt(i), s.OperandAt(i + 1));
      if (i + 6 <= s.Count()) {
        Curve(s.OperandAt(i), s.OperandAt(i + 1), s.OperandAt(i + 2), s.OperandAt(i + 3),
              s.OperandAt(i + 4), s.OperandAt(i + 5));
      }
      break;
    }
    case 26:
    case 27: {
      outline.EnsureStarted();
      uint32_t i = 0;
      Fixed d0 = 0;
      if ((s.Count() & 1) != 0) d0 = s.OperandAt(i++);
      for (; i + 4 <= s.Count(); i += 4) {
        if (code == 26) {
          Curve(d0, s.OperandAt(i), s.OperandAt(i + 1), s.OperandAt(i + 2), 0, s.OperandAt(i + 3));
        } else {
          Curve(s.OperandAt(i), d0, s.OperandAt(i + 1), s.OperandAt(i + 2), s.OperandAt(i + 3), 0);
        }
        d0 = 0;
      }
      break;
    }
    case 30:
    case 31: {
      outline.EnsureStarted();
      bool vertical = code == 30;
      uint32_t i = 0;
      while (i + 4 <= s.Count()) {
        const bool last = i + 4 >= s.Count() - 1;
        const Fixed extra = (last && i + 5 == s.Count()) ? s.OperandAt(i + 4) : 0;
        if (vertical) {
          Curve(0, s.OperandAt(i), s.OperandAt(i + 1), s.OperandAt(i + 2), s.OperandAt(i + 3), extra);
        } else {
          Curve(s.OperandAt(i), 0, s.OperandAt(i + 1), s.OperandAt(i + 2), extra, s.OperandAt(i + 3));
        }
        vertical = !vertical;
        i += 4;
      }
      break;
    }
    default:
      break;  // reserved
  }
  s.Clear();
  return false;
}

bool CharstringInterpreter::Escape(int code) {
  CharstringStack& s = stack_;
  switch (code) {
    case 1:
    case 2:
      hints_.Invalidate();
      break;
    case 6: {
      if (insideSeac_) ThrowMalformedFont();
      const int32_t achar = s.PopInt();
      const int32_t bchar = s.PopInt();
      const Fixed ady = s.PopFixed();
      const Fixed adx = s.PopFixed();
      const Fixed asb = s.PopFixed();
      shared_.outline.Close();
      Seac(achar, bchar, adx, ady, asb);
      s.Clear();
      return true;
    }
    case 7: {
      s.PopFixed();  // wy
      const Fixed wx = s.PopFixed();
      const Fixed sby = s.PopFixed();
      const Fixed sbx = s.PopFixed();
      sbwX_ = wx;
      width_ = wx;
      // The side bearing point starts the outline as hsbw's does.
      x_ = AddFixed(x0_, sbx);
      y_ = AddFixed(y0_, sby);
      shared_.outline.StartAt(x_, y_);
      break;
    }
    case 12: {
      const Fixed b = s.PopFixed();
      const Fixed a = s.PopFixed();
      s.PushFixed(runtime::FixedDiv(a, b));
      return false;
    }
    case 16:
      CallOtherSubr();
      return false;
    case 17:
      s.PushEntry(results_.PopEntry());
      return false;
    case 33: {
      y_ = s.PopFixed();
      x_ = s.PopFixed();
      break;
    }
    case 34:
    case 35:
    case 36:
    case 37: {
      const uint8_t* table = code == 34 ? kHFlex : code == 35 ? kFlex : code == 36 ? kHFlex1 : kFlex1;
      shared_.outline.Flex(s, table, code == 37, x_, y_);
      break;
    }
    default:
      break;
  }
  s.Clear();
  return false;
}

void CharstringInterpreter::Blend(uint32_t n, CharstringStack& into, bool toResults) {
  const Fixed* w = shared_.font.WeightVector();
  if (w == nullptr) ThrowMalformedFont();
  CharstringStack& s = stack_;
  if (uint64_t{n} * 4 > s.Count()) ThrowMalformedFont();
  const uint32_t base = s.Count() - 4 * n;
  Fixed results[CharstringStack::kCapacity];
  for (uint32_t i = 0; i < n; ++i) {
    int64_t v = s.OperandAt(base + i);
    for (uint32_t k = 0; k < 3; ++k) {
      v += (int64_t{s.OperandAt(base + n + 3 * i + k)} * w[k + 1]) >> 16;
    }
    results[i] = static_cast<Fixed>(std::clamp<int64_t>(v, runtime::kFixedMin, runtime::kFixedMax));
  }
  s.Drop(4 * n);
  if (toResults) {
    for (uint32_t i = n; i-- > 0;) into.PushFixed(results[i]);
  } else {
    for (uint32_t i = 0; i < n; ++i) into.PushFixed(results[i]);
  }
}

void CharstringInterpreter::CallOtherSubr() {
  CharstringStack& s = stack_;
  const int32_t number = s.PopInt();
  const int32_t n = s.PopInt();
  if (n < 0 || static_cast<uint32_t>(n) > s.Count()) ThrowMalformedFont();
  switch (number) {
    case 0: {
      s.Drop(std::min<uint32_t>(3, static_cast<uint32_t>(n)));
      if (flexPoints_.Count() < 14) ThrowMalformedFont();
      Fixed px[7], py[7];
      for (uint32_t i = 0; i < 7; ++i) {
        px[i] = flexPoints_.OperandAt(2 * i);
        py[i] = flexPoints_.OperandAt(2 * i + 1);
      }
      flexMode_ = false;
      flexPoints_.Clear();
      shared_.outline.EnsureStarted();
      shared_.outline.CurveTo(px[1], py[1], px[2], py[2], px[3], py[3]);
      shared_.outline.CurveTo(px[4], py[4], px[5], py[5], px[6], py[6]);
      x_ = px[6];
      y_ = py[6];
      results_.Clear();
      results_.PushFixed(y_);
      results_.PushFixed(x_);
      return;
    }
    case 1:
      flexPoints_.Clear();
      flexMode_ = true;
      s.Drop(static_cast<uint32_t>(n));
      return;
    case 3:
      hints_.ClearStems();
      results_.Clear();
      if (n >= 1) {
        results_.PushEntry(s.PopEntry());
        s.Drop(static_cast<uint32_t>(n - 1));
      }
      return;
    case 14:
    case 15:
    case 16:
    case 17:
    case 18: {
      const uint32_t results = number == 18 ? 6 : static_cast<uint32_t>(number - 13);
      if (static_cast<uint32_t>(n) != 4 * results) ThrowMalformedFont();
      results_.Clear();
      Blend(results, results_, true);
      return;
    }
    default: {
      // Other othersubrs do nothing; their arguments go to the results so
      // that the pops that follow find them, in order.
      results_.Clear();
      for (int32_t i = 0; i < n; ++i) results_.PushEntry(s.PopEntry());
      return;
    }
  }
}

void CharstringInterpreter::Seac(int32_t accentCode, int32_t baseCode, Fixed adx, Fixed ady,
                                 Fixed asb) {
  if (accentCode < 0 || accentCode > 255 || baseCode < 0 || baseCode > 255) ThrowMalformedFont();
  CffFont& font = shared_.font;
  const uint32_t accent = font.StandardCodeToGlyph(accentCode);
  const uint32_t base = font.StandardCodeToGlyph(baseCode);
  // The base glyph first, at the origin; then the accent, whose origin is
  // adx − asb from the base's (asb is 0 for Type 2).
  {
    CharstringInterpreter run(shared_, true, x0_, y0_);
    run.Execute(font.CharstringOf(base));
    shared_.outline.Close();
  }
  {
    const Fixed ax = runtime::WrapAdd(x0_, runtime::WrapSub(adx, asb));
    const Fixed ay = runtime::WrapAdd(y0_, ady);
    CharstringInterpreter run(shared_, true, ax, ay);
    run.Execute(font.CharstringOf(accent));
    shared_.outline.Close();
  }
}

}  // namespace fonts
