#include "fonts/StandardFonts.h"

#include <cstring>

#include "resources/StandardFontTables.h"

namespace fonts {

namespace {

struct StandardAlias {
  const char* name;
  int index;
};

constexpr StandardAlias kStandardAliases[] = {
    {"Courier", 0},
    {"CourierNew", 0},
    {"Courier-Bold", 1},
    {"CourierNew,Bold", 1},
    {"Courier-Oblique", 2},
    {"CourierNew,Italic", 2},
    {"Courier-BoldOblique", 3},
    {"CourierNew,BoldItalic", 3},
    {"Helvetica", 4},
    {"Arial", 4},
    {"Helvetica-Bold", 5},
    {"Arial,Bold", 5},
    {"Helvetica-Oblique", 6},
    {"Arial,Italic", 6},
    {"Helvetica-BoldOblique", 7},
    {"Arial,BoldItalic", 7},
    {"Times-Roman", 8},
    {"TimesNewRoman", 8},
    {"TimesNewRomanPSMT", 8},
    {"Times-Bold", 9},
    {"TimesNewRoman,Bold", 9},
    {"Times-Italic", 10},
    {"TimesNewRoman,Italic", 10},
    {"Times-BoldItalic", 11},
    {"TimesNewRoman,BoldItalic", 11},
    {"Symbol", 12},
    {"ZapfDingbats", 13},
};

constexpr DescriptorRecord kStandardDescriptors[12] = {
    {0x23, 55, 572, 434, 0},       {0x40023, 93, 572, 434, 0},
    {0x63, 55, 572, 434, -11},     {0x40063, 93, 572, 434, -11},
    {0x20, 88, 718, 532, 0},       {0x40020, 140, 718, 532, 0},
    {0x60, 88, 718, 532, -12},     {0x40060, 140, 718, 532, -12},
    {0x22, 84, 662, 450, 0},       {0x40022, 139, 676, 461, 0},
    {0x62, 76, 653, 441, -15},     {0x40062, 121, 669, 462, -15},
};

}  // namespace

int StandardFontAlias(const char* name) {
  if (name == nullptr) return kNotStandard;
  for (const StandardAlias& alias : kStandardAliases) {
    if (std::strcmp(alias.name, name) == 0) return alias.index;
  }
  return kNotStandard;
}

const uint16_t* GetStandardFontWidths(int index) {
  switch (index) {
    case 0: case 1: case 2: case 3: return resources::kCourierWidths;
    case 5: case 7: return resources::kHelveticaBoldWidths;
    case 8: return resources::kTimesRomanWidths;
    case 9: return resources::kTimesBoldWidths;
    case 10: return resources::kTimesItalicWidths;
    case 11: return resources::kTimesBoldItalicWidths;
    case kStandardSymbol: return resources::kSymbolWidths;
    default: return resources::kHelveticaWidths;
  }
}

uint32_t StandardFontWidthCount(int index) {
  return index == kStandardSymbol ? resources::kSymbolGlyphCount : resources::kStandardGlyphCount;
}

void FillStandardWidths(const uint32_t (&glyphs)[256], int index, runtime::Fixed (&widths)[256]) {
  const uint16_t* table = GetStandardFontWidths(index);
  const uint32_t count = StandardFontWidthCount(index);
  for (int code = 0; code < 256; ++code) {
    widths[code] = glyphs[code] < count ? ThousandthsToFixed(table[glyphs[code]]) : 0;
  }
}

const DescriptorRecord& StandardDescriptor(int index) {
  return kStandardDescriptors[index >= 0 && index < 12 ? index : 4];
}

runtime::Fixed ThousandthsToFixed(int32_t thousandths) {
  // 2^32 / 1000 = 4294967.296: the integer part times it, then >> 16.
  return static_cast<runtime::Fixed>((int64_t{thousandths} * 4294967) >> 16);
}

}  // namespace fonts
