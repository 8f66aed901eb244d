#include "fonts/CffDictParser.h"

#include "fonts/DecimalText.h"

#include <algorithm>

namespace fonts {

namespace {

// A part above this before a further digit would overflow 32 bits.
constexpr uint32_t kDictRealPartLimit = 214748364;

// Decimal exponents past this saturate or vanish anyway: the loop stops
// there instead of spinning through a hostile exponent of 2·10^8.
constexpr uint32_t kDictExponentLimit = 40;

// An integer operand as the Fixed PopFixed makes of it (wrapping shift).
Fixed ShiftedInteger(int32_t v) { return static_cast<Fixed>(static_cast<uint32_t>(v) << 16); }

}  // namespace

void CffDictParser::ReadDictReal(CharstringStack& stack, const uint8_t*& position,
                                 const uint8_t* end) {
  enum Part { kInteger, kFraction, kExponent };
  Part part = kInteger;
  uint32_t integer = 0, fraction = 0, k = 0, exponent = 0;
  bool minus = false, negativeExponent = false, isReal = false, first = true;
  bool roundUp = false;
  for (;;) {
    if (position >= end) ThrowMalformedFont();
    const uint8_t byte = *position++;
    for (int half = 0; half < 2; ++half) {
      const int nibble = half == 0 ? byte >> 4 : byte & 15;
      const bool wasFirst = first;
      first = false;
      if (nibble <= 9) {
        if (part == kFraction) {
          if (k < 5) {
            fraction = fraction * 10 + static_cast<uint32_t>(nibble);
            ++k;
          } else if (k == 5) {
            roundUp = nibble >= 5;
            ++k;
          }
        } else {
          uint32_t& value = part == kInteger ? integer : exponent;
          if (value > kDictRealPartLimit) ThrowMalformedFont();
          value = value * 10 + static_cast<uint32_t>(nibble);
        }
      } else if (nibble == 0xa) {
        if (part != kInteger) ThrowMalformedFont();
        part = kFraction;
        isReal = true;
      } else if (nibble == 0xb || nibble == 0xc) {
        if (part == kExponent) ThrowMalformedFont();
        part = kExponent;
        isReal = true;
        negativeExponent = nibble == 0xc;
      } else if (nibble == 0xd) {
        ThrowMalformedFont();
      } else if (nibble == 0xe) {
        if (!wasFirst) ThrowMalformedFont();
        minus = true;
      } else {
        // 0xf: the end, past the byte that holds it.
        if (!isReal) {
          const int64_t v = minus ? -int64_t{integer} : int64_t{integer};
          if (v > INT32_MAX || v < INT32_MIN) ThrowMalformedFont();
          stack.Push(static_cast<int32_t>(v));
          return;
        }
        if (roundUp) fraction += 1;
        const uint32_t kk = k > 5 ? 5 : k;
        int64_t v = int64_t{integer} * 65536 +
                    (kk == 0 ? 0
                             : static_cast<int64_t>(
                                   (uint64_t{fraction} * kDecimalFractionTable[kk]) >> 16));
        // Scale by the exponent, stopping once the value saturates (an
        // operand past the Fixed range is malformed) or reaches 0.
        for (uint32_t i = 0; i < exponent && v != 0; ++i) {
          if (i >= kDictExponentLimit) {
            if (!negativeExponent) ThrowMalformedFont();
            v = 0;
            break;
          }
          if (negativeExponent) {
            v /= 10;
          } else {
            v *= 10;
            if (v > runtime::kFixedMax) ThrowMalformedFont();
          }
        }
        if (v > runtime::kFixedMax) ThrowMalformedFont();
        stack.PushFixed(static_cast<Fixed>(minus ? -v : v));
        return;
      }
    }
  }
}

Fixed CffDictParser::PreciseDictReal(const uint8_t* start, const uint8_t* end) {
  long double mantissa = 0;
  int fractionDigits = 0;
  int exponent = 0;
  bool inFraction = false, inExponent = false, negative = false, negativeExponent = false;
  for (const uint8_t* p = start; p < end; ++p) {
    for (int half = 0; half < 2; ++half) {
      const int nibble = half == 0 ? *p >> 4 : *p & 15;
      if (nibble <= 9) {
        if (inExponent) {
          exponent = std::min(exponent * 10 + nibble, 1000);
        } else if (mantissa < 1e18L) {
          mantissa = mantissa * 10 + nibble;
          if (inFraction) ++fractionDigits;
        }
      } else if (nibble == 0xa) {
        inFraction = true;
      } else if (nibble == 0xb || nibble == 0xc) {
        inExponent = true;
        negativeExponent = nibble == 0xc;
      } else if (nibble == 0xe) {
        negative = true;
      } else if (nibble == 0xf) {
        const int scale = (negativeExponent ? -exponent : exponent) - fractionDigits;
        long double v = mantissa;
        for (int i = 0; i < scale && v < 1e12L; ++i) v *= 10;
        for (int i = 0; i > scale && v != 0; --i) v /= 10;
        int64_t fixed;
        if (v > 0.00099L && v < 0.00101L) {
          fixed = 65;  // the standard 1/1000
        } else {
          const long double scaled = v * 65536.0L + 0.5L;
          fixed = scaled > 2147483647.0L ? INT32_MAX : static_cast<int64_t>(scaled);
        }
        return static_cast<Fixed>(negative ? -fixed : fixed);
      }
    }
  }
  return 0;
}

void CffDictParser::Parse(uint64_t start, uint64_t length, bool isTop) {
  if (length == 0) {
    record_.flags |= PrivateRecord::kHasBlueValues;
    return;
  }
  if (start > program_.size() || length > program_.size() - start) ThrowMalformedFont();
  CharstringStack stack;
  const uint8_t* p = program_.data() + start;
  const uint8_t* end = p + length;
  while (p < end) {
    const uint8_t b0 = *p++;
    if (b0 >= 32 && b0 <= 246) {
      stack.Push(b0 - 139);
    } else if (b0 >= 247 && b0 <= 250) {
      if (p >= end) ThrowMalformedFont();
      stack.Push((b0 - 247) * 256 + *p++ + 108);
    } else if (b0 >= 251 && b0 <= 254) {
      if (p >= end) ThrowMalformedFont();
      stack.Push(-(b0 - 251) * 256 - *p++ - 108);
    } else if (b0 == 28) {
      if (end - p < 2) ThrowMalformedFont();
      stack.Push(static_cast<int16_t>((p[0] << 8) | p[1]));
      p += 2;
    } else if (b0 == 29) {
      if (end - p < 4) ThrowMalformedFont();
      stack.Push(static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) |
                                      (uint32_t{p[2]} << 8) | p[3]));
      p += 4;
    } else if (b0 == 30) {
      const uint8_t* realStart = p;
      ReadDictReal(stack, p, end);
      const CharstringStack::Entry& e = stack.EntryAt(stack.Count() - 1);
      precise_[stack.Count() - 1] = e.isFixed != 0 ? PreciseDictReal(realStart, p) : ShiftedInteger(e.value);
      continue;
    } else if (b0 <= 21) {
      for (uint32_t i = 0; i < stack.Count(); ++i) {
        if (stack.EntryAt(i).isFixed == 0) precise_[i] = ShiftedInteger(stack.EntryAt(i).value);
      }
      int code = b0;
      if (b0 == 12) {
        if (p >= end) ThrowMalformedFont();
        code = 1200 + *p++;
      }
      Operator(code, stack, start, isTop);
      stack.Clear();
    } else {
      ThrowMalformedFont();  // 22..27, 31, 255
    }
  }
}

int64_t CffDictParser::PopPosition(CharstringStack& stack) {
  const int32_t offset = stack.PopInt();
  if (offset < 0) ThrowMalformedFont();
  return int64_t{base_} + offset;
}

template <uint32_t N>
void CffDictParser::ReadDeltaArray(CharstringStack& stack, FixedArray<N>& array) {
  if (stack.Count() > N) stack.Drop(stack.Count() - N);
  const uint32_t n = stack.Count();
  for (uint32_t i = n; i-- > 0;) array.values[i] = stack.PopFixed();
  array.count = n;
  for (uint32_t i = 1; i < n; ++i) {
    array.values[i] = runtime::WrapAdd(array.values[i], array.values[i - 1]);
  }
}

void CffDictParser::Operator(int code, CharstringStack& stack, uint64_t rangeStart, bool isTop) {
  switch (code) {
    case 0: top_.version = stack.PopInt(); break;
    case 1: top_.notice = stack.PopInt(); break;
    case 2: top_.fullName = stack.PopInt(); break;
    case 3: top_.familyName = stack.PopInt(); break;
    case 4: top_.weight = stack.PopInt(); break;
    case 1200: top_.copyright = stack.PopInt(); break;
    case 1201: top_.isFixedPitch = stack.PopInt(); break;
    case 1202: top_.italicAngle = stack.PopFixed(); break;
    case 1203: top_.underlinePosition = stack.PopFixed(); break;
    case 1204: top_.underlineThickness = stack.PopFixed(); break;
    case 1205: record_.paintType = stack.PopInt(); break;
    case 1206:
      if (stack.PopInt() != 2) ThrowMalformedFont();
      break;
    case 1207: {
      Fixed m[6];
      for (int i = 6; i-- > 0;) {
        const uint32_t slot = stack.Count() - 1;
        const bool isFixed = stack.EntryAt(slot).isFixed != 0;
        m[i] = stack.PopFixed();
        if (isFixed) m[i] = precise_[slot];
      }
      const runtime::Matrix matrix{m[0], m[1], m[2], m[3], m[4], m[5]};
      if (isTop && top_.hasRos) {
        top_.topMatrix = matrix;
      } else {
        record_.matrix = runtime::Matrix::Concat(top_.topMatrix, matrix);
      }
      break;
    }
    case 1208: top_.strokeWidth = stack.PopFixed(); break;
    case 13: top_.uniqueId = stack.PopInt(); break;
    case 14: break;  // XUID
    case 5:
      for (int i = 4; i-- > 0;) top_.fontBBox[i] = stack.PopFixed();
      break;
    case 15: {
      const int32_t v = stack.PopInt();
      if (v < 0) ThrowMalformedFont();
      top_.charset = v <= 2 ? v : int64_t{base_} + v;
      break;
    }
    case 16: {
      const int32_t v = stack.PopInt();
      if (v < 0) ThrowMalformedFont();
      top_.encoding = v <= 1 ? v : int64_t{base_} + v;
      break;
    }
    case 17: top_.charStrings = PopPosition(stack); break;
    case 18: {
      const int64_t start = PopPosition(stack);
      const int32_t size = stack.PopInt();
      if (size < 0) ThrowMalformedFont();
      record_.privateStart = start;
      record_.privateEnd = start + size;
      break;
    }
    case 1221: top_.postScript = stack.PopInt(); break;
    case 1222: top_.baseFontName = stack.PopInt(); break;
    case 1223: break;  // BaseFontBlend
    case 1230:
      top_.supplement = stack.PopInt();
      top_.ordering = stack.PopInt();
      top_.registry = stack.PopInt();
      top_.hasRos = true;
      break;
    case 1231: top_.cidFontVersion = stack.PopFixed(); break;
    case 1232: top_.cidFontRevision = stack.PopInt(); break;
    case 1233:
      if (stack.PopInt() != 0) ThrowMalformedFont();
      break;
    case 1234: top_.cidCount = stack.PopInt(); break;
    case 1235: top_.uidBase = stack.PopInt(); break;
    case 1236: top_.fdArray = PopPosition(stack); break;
    case 1237: top_.fdSelect = PopPosition(stack); break;
    case 1238: record_.fontName = stack.PopInt(); break;
    case 1240:
    case 1241: break;
    case 6:
      ReadDeltaArray(stack, record_.blueValues);
      record_.flags |= PrivateRecord::kHasBlueValues;
      break;
    case 7: ReadDeltaArray(stack, record_.otherBlues); break;
    case 8: ReadDeltaArray(stack, record_.familyBlues); break;
    case 9: ReadDeltaArray(stack, record_.familyOtherBlues); break;
    case 10: record_.stdHW = stack.PopFixed(); break;
    case 11: record_.stdVW = stack.PopFixed(); break;
    case 1209: record_.blueScale = stack.PopFixed(); break;
    case 1210: record_.blueShift = stack.PopFixed(); break;
    case 1211: record_.blueFuzz = stack.PopFixed(); break;
    case 1212: ReadDeltaArray(stack, record_.stemSnapH); break;
    case 1213: ReadDeltaArray(stack, record_.stemSnapV); break;
    case 1214: record_.forceBold = stack.PopInt(); break;
    case 1215: break;  // ForceBoldThreshold
    case 1216:
      if (stack.PopInt() != -1) ThrowMalformedFont();
      break;
    case 1217: record_.languageGroup = stack.PopInt(); break;
    case 1218: record_.expansionFactor = stack.PopFixed(); break;
    case 1219: record_.initialRandomSeed = stack.PopFixed(); break;
    case 19: {
      const int32_t v = stack.PopInt();
      if (v < 0) ThrowMalformedFont();
      record_.subrsPosition = static_cast<int64_t>(rangeStart) + v;
      break;
    }
    case 20: record_.defaultWidthX = stack.PopFixed(); break;
    case 21: record_.nominalWidthX = stack.PopFixed(); break;
    default:
      // Reserved one-byte operators are passed over; unknown escapes,
      // SyntheticBase, MultipleMaster and 12 39 are malformed.
      if (code >= 1200) ThrowMalformedFont();
      break;
  }
}

}  // namespace fonts
