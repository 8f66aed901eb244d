#include "fonts/SimpleFont.h"

#include <string>

#include "fonts/EmbeddedProgram.h"
#include "fonts/FontError.h"
#include "fonts/SimpleFontEncoding.h"
#include "fonts/StandardFonts.h"
#include "fonts/StandardSubstitute.h"
#include "runtime/Dictionary.h"

namespace fonts {

void SimpleFont::LoadFromDict(pdf::Document& document) {
  const runtime::ObjectHandle descriptor = runtime::Dictionary::GetOptionalDict(dict_, "FontDescriptor");
  if (!descriptor.IsNull()) {
    const int32_t flags = runtime::Dictionary::GetInteger(descriptor, "Flags");
    isSymbolic = (static_cast<uint32_t>(flags) & kFlagNonsymbolic) == 0 ? 1 : 0;
  }
  const runtime::ObjectHandle baseFont = runtime::Dictionary::GetName(dict_, "BaseFont");
  // Names are stored zero-terminated; one with a zero byte inside matches
  // no standard name by its full length either.
  const std::string_view baseName = baseFont->AsName().View();
  standardIndex_ = baseName.find('\0') == std::string_view::npos
                       ? StandardFontAlias(baseName.data())
                       : kNotStandard;

  if (!descriptor.IsNull() &&
      EmbeddedProgram::FindEmbeddedProgram(document, *this, descriptor, true)) {
    source_ = Source::kEmbedded;
  }
  if (program_.Get() == nullptr) {
    program_ = StandardSubstitute::ForIndex(context_, standardIndex_);
    if (program_.Get() != nullptr) source_ = Source::kBuiltin;
  }
  if (program_.Get() == nullptr) {
    if (!descriptor.IsNull() && SimpleFontEncoding::CanSubstitute(dict_, isSymbolic != 0) &&
        StandardSubstitute::ReadDescriptor(*this, descriptor)) {
      source_ = Source::kMultipleMaster;
    } else {
      isUsable = 0;
    }
    return;
  }
  FontProgram& program = *program_;
  if (program.KeyKind() != GlyphKeyKind::kNames && program.KeyKind() != GlyphKeyKind::kCodes) {
    isUsable = 0;
    return;
  }
  CodeGlyphTable& table = InstallCodeTable();
  SimpleFontEncoding::ReadEncoding(table, dict_, program, isSymbolic != 0);

  const runtime::Fixed missing =
      descriptor.IsNull()
          ? 0
          : ThousandthsToFixed(runtime::Dictionary::GetNumberOr(descriptor, "MissingWidth", 0) /
                               runtime::kFixedOne);
  if (!descriptor.IsNull() && !runtime::Dictionary::Get(dict_, "Widths").IsNull()) {
    SimpleFontEncoding::ReadWidths(table, dict_, missing, 65);
  } else if (standardIndex_ == kNotStandard) {
    ThrowMalformedFont();
  } else {
    // A standard font's own widths, matched by glyph name: an embedded
    // program numbers its glyphs its own way.
    SimpleFontEncoding::StandardWidthsByName(table, standardIndex_, program, missing);
  }
}

}  // namespace fonts
