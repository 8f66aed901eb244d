#include "content/CharClass.h"

#include <iterator>

#include "resources/UnicodeCharTables.h"

namespace content {

namespace {

// Dashes from U+058A up (below it only the hyphen-minus counts).
constexpr uint16_t kDashList[] = {0x058A, 0x1806, 0x2010, 0x2011, 0x2012, 0x2013, 0x2014, 0x2015,
                                  0x301C, 0x3030, 0x30A0, 0xFE31, 0xFE32, 0xFE58, 0xFE63, 0xFF0D};

// The Unicode spaces above U+0020 that are not control characters.
constexpr uint16_t kSpaceList[] = {0x00A0, 0x1680, 0x180E, 0x2000, 0x2001, 0x2002,
                                   0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
                                   0x2009, 0x200A, 0x202F, 0x205F, 0x3000};

constexpr uint32_t kCjkRanges[][2] = {
    {0x1100, 0x11FF},   {0x2E80, 0x2FDF},   {0x2FF0, 0x4DBF},   {0x4E00, 0x9FBF},
    {0xA000, 0xA4CF},   {0xAC00, 0xD7AF},   {0xF900, 0xFAFF},   {0xFE10, 0xFE1F},
    {0xFF00, 0xFFEF},   {0x20000, 0x2A6DF}, {0x2F800, 0x2FA1F},
};

constexpr uint32_t kBulletRanges[][2] = {
    {0x2022, 0x2023}, {0x2219, 0x2219}, {0x2460, 0x24FF}, {0x25A0, 0x25A1},
    {0x25AA, 0x25AB}, {0x25B6, 0x25BB}, {0x25C6, 0x25CF}, {0x25E6, 0x25E6},
    {0x25FB, 0x25FE}, {0x2662, 0x2662}, {0x2666, 0x2666}, {0x26AA, 0x26AC},
};

// The interval halving the three searches share: `compare` gives < 0 when
// the code lies before element i, > 0 after it, 0 on a match.
template <class Compare>
bool HalvingSearch(std::ptrdiff_t count, Compare compare) {
  std::ptrdiff_t low = 0;
  std::ptrdiff_t high = count;
  while (low < high) {
    const std::ptrdiff_t middle = low + (high - low) / 2;
    const int order = compare(middle);
    if (order == 0) return true;
    if (order < 0) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return false;
}

}  // namespace

bool RangeTable::Contains(const uint32_t (*begin)[2], const uint32_t (*end)[2], uint32_t code) {
  return HalvingSearch(end - begin, [&](std::ptrdiff_t i) {
    return code < begin[i][0] ? -1 : (code > begin[i][1] ? 1 : 0);
  });
}

bool RangeTable16::Contains(const uint16_t (*begin)[2], const uint16_t (*end)[2], uint32_t code) {
  return HalvingSearch(end - begin, [&](std::ptrdiff_t i) {
    return code < begin[i][0] ? -1 : (code > begin[i][1] ? 1 : 0);
  });
}

bool SortedList16::Contains(const uint16_t* begin, const uint16_t* end, uint32_t code) {
  return HalvingSearch(end - begin, [&](std::ptrdiff_t i) {
    return code < begin[i] ? -1 : (code > begin[i] ? 1 : 0);
  });
}

void KanaFold(FoldedChars& out, uint32_t code, bool caseFold, bool quoteFold, bool kanaFold) {
  if (caseFold && ((code >= 0x41 && code <= 0x5A) || (code >= 0xC0 && code <= 0xDD && code != 0xD7))) {
    code += 0x20;
  }
  if (quoteFold) {
    if (code == 0x2018 || code == 0x2019) {
      out.Append(0x27);
      return;
    }
    if (code == 0x201C || code == 0x201D) code = 0x22;
  }
  switch (code) {
    case 0xFB00: out.Append('f'); out.Append('f'); return;
    case 0xFB01: out.Append('f'); out.Append('i'); return;
    case 0xFB02: out.Append('f'); out.Append('l'); return;
    case 0xFB03: out.Append('f'); out.Append('f'); out.Append('i'); return;
    case 0xFB04: out.Append('f'); out.Append('f'); out.Append('l'); return;
    case 0xFB05:
    case 0xFB06: out.Append('s'); out.Append('t'); return;
    // The digraph keeps its case even when case folding is on.
    case 0x0132: out.Append('I'); out.Append('J'); return;
    case 0x0133: out.Append('i'); out.Append('j'); return;
    case 0x00AD: return;  // a soft hyphen is no character of the text
    default: break;
  }
  if (kanaFold) {
    if (code >= 0xFF66 && code <= 0xFF6F) {
      out.Append(resources::kHalfwidthKanaFold[code - 0xFF66]);
      return;
    }
    if (code >= 0xFF71 && code <= 0xFF9D) {
      out.Append(resources::kHalfwidthKanaFold[10 + code - 0xFF71]);
      return;
    }
  }
  out.Append(code);
}

bool CharClass::IsNonWordChar(uint32_t code) {
  const uint16_t (*table)[2] = resources::kWordCharRanges;
  return !RangeTable16::Contains(table, table + resources::kWordCharRangeCount, code);
}

bool CharClass::IsDash(uint32_t code) {
  if (code < 0x058A) return code == 0x2D;
  return SortedList16::Contains(std::begin(kDashList), std::end(kDashList), code);
}

bool CharClass::IsNonBlank(uint32_t code) {
  if (code < 0x21 || (code >= 0x7F && code <= 0x9F)) return false;
  return !SortedList16::Contains(std::begin(kSpaceList), std::end(kSpaceList), code);
}

bool CharClass::IsCjk(uint32_t code) {
  return RangeTable::Contains(std::begin(kCjkRanges), std::end(kCjkRanges), code);
}

bool CharClass::IsBullet(uint32_t code) {
  return RangeTable::Contains(std::begin(kBulletRanges), std::end(kBulletRanges), code);
}

}  // namespace content
