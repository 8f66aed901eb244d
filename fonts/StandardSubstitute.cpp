#include "fonts/StandardSubstitute.h"

#include <algorithm>

#include "fonts/CffFont.h"
#include "fonts/MultipleMasterFont.h"
#include "fonts/SimpleFontEncoding.h"
#include "fonts/StandardFonts.h"
#include "resources/StandardFontTables.h"
#include "runtime/Dictionary.h"
#include "runtime/TransientBlocks.h"

namespace fonts {

namespace {

// The integer part of a descriptor number, held to [low, high].
int32_t DescriptorInteger(const runtime::ObjectHandle& descriptor, const char* key, int32_t fallback,
                          int32_t low, int32_t high) {
  const runtime::Fixed value =
      runtime::Dictionary::GetNumberOr(descriptor, key, fallback * runtime::kFixedOne);
  return std::clamp<int32_t>(value / runtime::kFixedOne, low, high);
}

}  // namespace

runtime::CountedRef<FontProgram> StandardSubstitute::ForIndex(runtime::LibraryContext* context,
                                                              int index) {
  if (index == kStandardSymbol) {
    return runtime::CountedRef<FontProgram>::Adopt(
        context, runtime::NewObject<CffFont>(
                     context, context,
                     std::span<const uint8_t>(resources::kSymbolProgram, resources::kSymbolProgramSize),
                     true));
  }
  if (index < 0 || index >= kStandardSymbol) return {};
  MultipleMasterFont::TargetWidths widths;
  std::copy(GetStandardFontWidths(index), GetStandardFontWidths(index) + resources::kStandardGlyphCount,
            widths);
  return runtime::CountedRef<FontProgram>::Adopt(
      context, runtime::NewObject<MultipleMasterFont>(context, context, StandardDescriptor(index), widths));
}

bool StandardSubstitute::ReadDescriptor(ProgramFont& font, const runtime::ObjectHandle& descriptor) {
  if (descriptor.IsNull()) return false;
  CodeGlyphTable& table = font.InstallCodeTable();
  SimpleFontEncoding::ApplyDifferences(table, resources::kStandardGlyphNames,
                                       resources::kStandardGlyphCount, font.Dict(), nullptr, false);
  const int32_t missing = DescriptorInteger(descriptor, "MissingWidth", 0, -32768, 32767);
  SimpleFontEncoding::ReadWidths(table, font.Dict(), ThousandthsToFixed(missing), 65);

  // Each glyph's advance: the widest of the codes that show it.
  MultipleMasterFont::TargetWidths widths = {};
  for (int c = 0; c < 256; ++c) {
    // Rounded: the exact thousandths of the widths read above (truncating
    // would turn 500 into 499).
    const int64_t thousandths = (int64_t{table.widths[c]} * 1000 + 0x8000) >> 16;
    const uint16_t width = static_cast<uint16_t>(std::clamp<int64_t>(thousandths, 0, 0xFFFF));
    const uint32_t glyph = table.glyphs[c];
    if (glyph < resources::kStandardGlyphCount && width > widths[glyph]) widths[glyph] = width;
  }

  DescriptorRecord record;
  record.flags = static_cast<uint32_t>(runtime::Dictionary::GetInteger(descriptor, "Flags"));
  record.capHeight = static_cast<uint16_t>(DescriptorInteger(descriptor, "CapHeight", 680, 0, 0xFFFF));
  record.stemV = static_cast<uint16_t>(DescriptorInteger(descriptor, "StemV", 130, 0, 0xFFFF));
  record.xHeight = static_cast<uint16_t>(DescriptorInteger(descriptor, "XHeight", 0, 0, 0xFFFF));
  // An angle leaning back (positive) is drawn upright.
  record.italicAngle = static_cast<int16_t>(DescriptorInteger(descriptor, "ItalicAngle", 0, -32768, 0));
  runtime::LibraryContext* context = font.Context();
  font.Program() = runtime::CountedRef<FontProgram>::Adopt(
      context, runtime::NewObject<MultipleMasterFont>(context, context, record, widths));
  return true;
}

}  // namespace fonts
