#pragma once
// The standard 14 fonts: their names and common aliases, their built-in
// widths and the descriptor records their substitutes are made from.
#include <cstdint>

#include "runtime/Fixed.h"

namespace fonts {

// Standard-font indices: 0-3 Courier, 4-7 Helvetica, 8-11 Times (regular,
// bold, oblique or italic, bold oblique or bold italic), 12 Symbol,
// 13 ZapfDingbats; kNotStandard for every other name.
inline constexpr int kStandardSymbol = 12;
inline constexpr int kStandardDingbats = 13;
inline constexpr int kNotStandard = 14;

// The standard index of a BaseFont name, matched exactly (a subset prefix
// makes a name non-standard).
int StandardFontAlias(const char* name);

// The width table (1/1000 em) of a standard index, by standard glyph index
// (the Symbol table by the built-in Symbol program's glyph order); indices
// 13 and above share the Helvetica table.
const uint16_t* GetStandardFontWidths(int index);
// Entries in that table.
uint32_t StandardFontWidthCount(int index);

// Fills `widths` for the 256 codes whose glyph indices are `glyphs`: a
// glyph inside the table gets its width / 1000, any other 0.
void FillStandardWidths(const uint32_t (&glyphs)[256], int index, runtime::Fixed (&widths)[256]);

// What a font descriptor says about a face, as the substitutes use it
// (1/1000 text-space units, the angle in degrees).
struct DescriptorRecord {
  uint32_t flags = 0;
  uint16_t stemV = 0;
  uint16_t capHeight = 0;
  uint16_t xHeight = 0;
  int16_t italicAngle = 0;
};

// Descriptor flag bits.
inline constexpr uint32_t kFlagFixedPitch = 1;
inline constexpr uint32_t kFlagSerif = 2;
inline constexpr uint32_t kFlagNonsymbolic = 32;
inline constexpr uint32_t kFlagItalic = 64;
inline constexpr uint32_t kFlagAllCap = 0x10000;
inline constexpr uint32_t kFlagSmallCap = 0x20000;
inline constexpr uint32_t kFlagForceBold = 0x40000;

// The built-in record of standard indices 0-11.
const DescriptorRecord& StandardDescriptor(int index);

// A width in 1/1000 units as a Fixed fraction of the em, divided exactly:
// the integer times 2^32/1000, shifted down by 16.
runtime::Fixed ThousandthsToFixed(int32_t thousandths);

}  // namespace fonts
