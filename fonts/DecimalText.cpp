#include "fonts/DecimalText.h"

#include <algorithm>
#include <cstdint>

#include "fonts/FontError.h"

namespace fonts {

namespace {

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }
bool IsArrayBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\0';
}

constexpr int64_t kDecimalIntegerCap = int64_t{1} << 40;

// Walks one number as font texts write it: characters before a sign or a
// digit are skipped, each digit (and, when `point`, the first '.') goes to
// `digit(value, inFraction)`, and the first other character ends the number
// and is consumed. Answers where the walk stopped.
template <class OnDigit>
const char* ScanDecimal(const char* p, bool point, bool* negative, OnDigit digit) {
  bool begun = false;
  bool inFraction = false;
  *negative = false;
  while (*p != '\0') {
    const char c = *p++;
    if (IsDecimalDigit(c)) {
      begun = true;
      digit(c - '0', inFraction);
    } else if (point && c == '.' && !inFraction) {
      inFraction = true;
    } else if (!begun) {
      if (c == '-' || c == '+') {
        *negative = c == '-';
        begun = true;
      }
    } else {
      break;
    }
  }
  return p;
}

}  // namespace

Fixed DecimalFixed(int64_t integerPart, uint32_t fraction, uint32_t k, bool negative) {
  const int64_t fractionBits =
      k == 0 ? 0 : static_cast<int64_t>((uint64_t{fraction} * kDecimalFractionTable[k]) >> 16);
  int64_t v = integerPart * 65536 + fractionBits;
  if (negative) v = -v;
  return static_cast<Fixed>(std::clamp<int64_t>(v, runtime::kFixedMin, runtime::kFixedMax));
}

int32_t DecimalToInt(const char* text, const char** end) {
  bool negative = false;
  int64_t value = 0;
  const char* p = ScanDecimal(text, false, &negative, [&](int d, bool) {
    value = std::min(value * 10 + d, kDecimalIntegerCap);
  });
  if (end != nullptr) *end = p;
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

Fixed DecimalToFixed(const char* text, const char** end) {
  bool negative = false;
  int64_t integerPart = 0;
  uint32_t fraction = 0;
  uint32_t k = 0;
  const char* p = ScanDecimal(text, true, &negative, [&](int d, bool inFraction) {
    if (!inFraction) {
      integerPart = std::min(integerPart * 10 + d, kDecimalIntegerCap);
    } else if (k < 5) {
      fraction = fraction * 10 + static_cast<uint32_t>(d);
      ++k;
    }
  });
  if (end != nullptr) *end = p;
  return DecimalFixed(integerPart, fraction, k, negative);
}

Fixed DecimalToFixedPrecise(const char* text, const char** end) {
  bool negative = false;
  uint64_t mantissa = 0;
  int scale = 0;  // mantissa / 10^scale
  const char* p = ScanDecimal(text, true, &negative, [&](int d, bool inFraction) {
    if (mantissa < 100000000000000000ull) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(d);
      if (inFraction) ++scale;
    } else if (!inFraction) {
      --scale;  // an integer part too long to keep: saturates below
    }
  });
  if (end != nullptr) *end = p;
  long double v = static_cast<long double>(mantissa);
  for (int i = 0; i < scale; ++i) v /= 10;
  for (int i = 0; i > scale; --i) v *= 10;
  int64_t fixed;
  if (v > 0.00099L && v < 0.00101L) {  // 0.001 as written with rounding noise
    fixed = 65;
  } else {
    const long double scaled = v * 65536.0L + 0.5L;
    fixed = scaled > 2147483647.0L ? INT64_MAX : static_cast<int64_t>(scaled);
  }
  if (negative) fixed = -fixed;
  return static_cast<Fixed>(std::clamp<int64_t>(fixed, runtime::kFixedMin, runtime::kFixedMax));
}

uint32_t ReadNumberArray(const char* text, Fixed* out, uint32_t n) {
  char close;
  if (text[0] == '[') {
    close = ']';
  } else if (text[0] == '{') {
    close = '}';
  } else {
    ThrowMalformedFont();
  }
  const char* p = text + 1;
  while (*p != '\0' && IsArrayBlank(*p)) ++p;
  uint32_t count = 0;
  while (count < n && *p != '\0' && *p != close) {
    const char* next = p;
    out[count++] = DecimalToFixed(p, &next);
    // The scanner consumed the character that ended the number; a closing
    // bracket ends the array there.
    if (next > p && next[-1] == close) break;
    p = next;
    while (*p != '\0' && IsArrayBlank(*p)) ++p;
  }
  return count;
}

}  // namespace fonts
