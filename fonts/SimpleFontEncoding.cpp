#include "fonts/SimpleFontEncoding.h"

#include <cstring>

#include "fonts/FontError.h"
#include "fonts/StandardFonts.h"
#include "fonts/TrueTypeFont.h"
#include "resources/StandardFontTables.h"
#include "resources/TrueTypeTables.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Dictionary.h"
#include "runtime/NameMap.h"
#include "runtime/Scheduler.h"

namespace fonts {

namespace {

using runtime::ObjectHandle;
using runtime::ObjectTag;

// Differences arrays are walked with a charge per this many elements, so
// that a hostile array of millions of entries can be cancelled.
constexpr uint32_t kDifferencesChargeStride = 256;

// Walks a "Differences" array: an integer sets the current code, a name
// goes to the current code (when it is a code of the font) and moves on;
// anything else is malformed. `onName(code, name)` sees codes 0-255 only.
template <class OnName>
void WalkDifferences(const ObjectHandle& differences, OnName onName) {
  const uint32_t count = runtime::Array::Count(differences);
  int64_t code = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (i % kDifferencesChargeStride == 0) {
      runtime::ChargeWork(differences.Context(), runtime::kWorkCostLight);
    }
    const ObjectHandle element = runtime::Array::Get(differences, i);
    if (element.Tag() == ObjectTag::kInteger) {
      code = element->AsInteger();
    } else if (element.Tag() == ObjectTag::kName) {
      // Codes outside 0-255 belong to no glyph of a simple font.
      if (code >= 0 && code <= 255) onName(static_cast<uint32_t>(code), element->AsName().View());
      ++code;
    } else {
      ThrowMalformedFont();
    }
  }
}

// A zero-terminated copy of a Differences name in `arena`: an element's
// value need not outlive its handle.
const char* CopyName(runtime::ArenaAllocator& arena, std::string_view name) {
  char* copy = static_cast<char*>(arena.Alloc(name.size() + 1));
  std::memcpy(copy, name.data(), name.size());
  copy[name.size()] = '\0';
  return copy;
}

// The Unicode value of a "uniXXXX" glyph name (four upper-case hex
// digits), or 0.
uint32_t UnicodeOfUniName(std::string_view name) {
  if (name.size() != 7 || name.substr(0, 3) != "uni") return 0;
  uint32_t value = 0;
  for (const char ch : name.substr(3)) {
    uint32_t digit;
    if (ch >= '0' && ch <= '9') {
      digit = static_cast<uint32_t>(ch - '0');
    } else if (ch >= 'A' && ch <= 'F') {
      digit = static_cast<uint32_t>(ch - 'A' + 10);
    } else {
      return 0;
    }
    value = value * 16 + digit;
  }
  return value;
}

// The character a glyph name stands for: "uniXXXX", or a name of the
// WinAnsi or MacRoman table; 0 for others.
uint32_t UnicodeOfGlyphName(const char* name) {
  if (const uint32_t value = UnicodeOfUniName(name); value != 0) return value;
  const struct {
    const char* encoding;
    const uint16_t* unicode;
  } tables[] = {{"WinAnsiEncoding", resources::kWinAnsiUnicode}, {"MacRomanEncoding", resources::kMacRomanUnicode}};
  for (const auto& table : tables) {
    const NameTable codeNames = StandardEncodingTable(table.encoding);
    for (int code = 0; code < 256; ++code) {
      if (codeNames[code] != nullptr && std::strcmp(codeNames[code], name) == 0) return table.unicode[code];
    }
  }
  return 0;
}

ObjectHandle EncodingEntry(const ObjectHandle& dict) { return runtime::Dictionary::Get(dict, "Encoding"); }

// The code-to-name table a name-keyed font starts from before its
// Differences, written into `names`.
void BaseNames(const ObjectHandle& encoding, FontProgram* program, bool symbolic,
               const char* (&names)[256], bool& fromDictionary) {
  fromDictionary = false;
  const char* const* builtin = program != nullptr ? program->BuiltinEncoding() : nullptr;
  auto copy = [&](const char* const* table) {
    for (int c = 0; c < 256; ++c) names[c] = table != nullptr ? table[c] : nullptr;
  };
  if (encoding.Tag() == ObjectTag::kName && EncodingKindByName(encoding->AsName().View())) {
    copy(StandardEncodingTable(encoding->AsName().View()));
    return;
  }
  if (encoding.Tag() == ObjectTag::kDictionary) {
    fromDictionary = true;
    const ObjectHandle base = runtime::Dictionary::Get(encoding, "BaseEncoding");
    if (!base.IsNull()) {
      if (base.Tag() != ObjectTag::kName) ThrowMalformedFont();
      copy(StandardEncodingTable(base->AsName().View()));
    } else if (program != nullptr) {
      copy(builtin);
    } else {
      copy(symbolic ? nullptr : StandardEncodingNames());
    }
    return;
  }
  if (encoding.IsNull() || encoding.Tag() == ObjectTag::kName) {
    if (program != nullptr) {
      copy(builtin);
    } else if (symbolic) {
      ThrowMalformedFont();
    } else {
      copy(StandardEncodingNames());
    }
    return;
  }
  ThrowMalformedFont();
}

}  // namespace

void SimpleFontEncoding::ApplyDifferences(CodeGlyphTable& table, const char* const* glyphNames,
                                          uint32_t glyphCount, const ObjectHandle& dict,
                                          FontProgram* program, bool symbolic) {
  const ObjectHandle encoding = EncodingEntry(dict);
  const char* names[256];
  bool fromDictionary = false;
  BaseNames(encoding, program, symbolic, names, fromDictionary);
  runtime::ArenaAllocator arena(dict.Context(), 4096, 4096);
  if (fromDictionary) {
    const ObjectHandle differences = runtime::Dictionary::GetOptionalArray(encoding, "Differences");
    if (!differences.IsNull()) {
      WalkDifferences(differences, [&](uint32_t code, std::string_view name) {
        names[code] = CopyName(arena, name);
      });
    }
  }
  runtime::NameMap index(arena, glyphCount < 1024 ? glyphCount : 1024);
  for (uint32_t g = 0; g < glyphCount; ++g) {
    if (g % 1024 == 0) runtime::ChargeWork(dict.Context(), runtime::kWorkCostLight);
    index.Insert(glyphNames != nullptr ? glyphNames[g] : nullptr, g);
  }
  const uint32_t* notdef = index.Find(".notdef");
  const uint32_t fallback = notdef != nullptr ? *notdef : 0;
  for (int c = 0; c < 256; ++c) {
    const uint32_t* glyph = index.Find(names[c]);
    table.glyphs[c] = glyph != nullptr ? *glyph : fallback;
  }
}

void SimpleFontEncoding::ReadEncoding(CodeGlyphTable& table, const ObjectHandle& dict,
                                      FontProgram& program, bool symbolic) {
  if (program.KeyKind() != GlyphKeyKind::kCodes) {
    ApplyDifferences(table, program.GlyphNames(), program.GlyphCount(), dict, &program, symbolic);
    return;
  }
  const ObjectHandle encoding = EncodingEntry(dict);
  EncodingKind kind = EncodingKind::kNone;
  if (encoding.Tag() == ObjectTag::kName) kind = TrueTypeEncodingKind(encoding->AsName().View());
  uint16_t glyphs[256] = {};
  program.CodeToGlyphTable(static_cast<int>(kind), symbolic, glyphs);
  for (int c = 0; c < 256; ++c) table.glyphs[c] = glyphs[c];
  if (encoding.Tag() != ObjectTag::kDictionary) return;
  const ObjectHandle differences = runtime::Dictionary::GetOptionalArray(encoding, "Differences");
  if (differences.IsNull()) return;
  const char* const* names = program.GlyphNames();
  auto* trueType = dynamic_cast<TrueTypeFont*>(&program);
  if (names == nullptr && trueType == nullptr) return;
  if (runtime::Array::Count(differences) != 0 &&
      runtime::Array::Get(differences, 0).Tag() != ObjectTag::kInteger) {
    // Without "post" names the array is only read for the characters its
    // names stand for; one that cannot be read is passed over.
    if (names == nullptr) return;
    ThrowMalformedFont();
  }
  runtime::ArenaAllocator arena(dict.Context(), 4096, 4096);
  // The last name given to each code; each is resolved once, however long
  // the array.
  const char* named[256] = {};
  WalkDifferences(differences, [&](uint32_t code, std::string_view name) { named[code] = CopyName(arena, name); });
  runtime::NameMap index(arena, 256);
  const uint32_t count = names != nullptr ? program.GlyphCount() : 0;
  for (uint32_t g = 0; g < count; ++g) index.Insert(names[g], g);
  for (int code = 0; code < 256; ++code) {
    if (named[code] == nullptr) continue;
    if (const uint32_t* glyph = index.Find(named[code])) {
      table.glyphs[code] = *glyph;
      continue;
    }
    // A name the program's "post" lacks (subsets often carry none): the
    // character it stands for finds the glyph through the Unicode
    // subtable. Left as the code table set it, the code would show
    // another character.
    const uint32_t unicode = trueType != nullptr ? UnicodeOfGlyphName(named[code]) : 0;
    if (unicode == 0) continue;
    if (const uint32_t glyph = trueType->UnicodeToGlyph(unicode); glyph != 0) table.glyphs[code] = glyph;
  }
}

bool SimpleFontEncoding::CanSubstitute(const ObjectHandle& dict, bool symbolic) {
  if (!symbolic) return true;
  const ObjectHandle encoding = EncodingEntry(dict);
  if (encoding.Tag() == ObjectTag::kName) return EncodingKindByName(encoding->AsName().View());
  if (encoding.Tag() == ObjectTag::kDictionary) {
    return runtime::Dictionary::Get(encoding, "Differences").IsNull();
  }
  return false;
}

void SimpleFontEncoding::ReadWidths(CodeGlyphTable& table, const ObjectHandle& dict,
                                    runtime::Fixed missing, runtime::Fixed scale) {
  const ObjectHandle widths = runtime::Dictionary::GetArray(dict, "Widths");
  const int64_t first = runtime::Dictionary::GetInteger(dict, "FirstChar");
  int64_t last = runtime::Dictionary::GetInteger(dict, "LastChar");
  const int64_t count = runtime::Array::Count(widths);
  if (count < last - first + 1) last = first + count - 1;
  if (first < 0 || first > 255 || last > 255 || last < first) ThrowMalformedFont();
  for (int c = 0; c < 256; ++c) table.widths[c] = missing;
  for (int64_t c = first; c <= last; ++c) {
    const ObjectHandle element = runtime::Array::Get(widths, static_cast<uint32_t>(c - first));
    if (!element->IsNumber()) ThrowMalformedFont();
    const runtime::Fixed value = element->AsNumber();
    table.widths[c] = scale == 65 ? ThousandthsToFixed(value / runtime::kFixedOne)
                                  : runtime::FixedMul(value, scale);
  }
}

void SimpleFontEncoding::StandardWidthsByName(CodeGlyphTable& table, int index,
                                              FontProgram& program, runtime::Fixed missing) {
  const char* const* names = program.GlyphNames();
  const uint32_t count = program.GlyphCount();
  const uint16_t* widths = GetStandardFontWidths(index);
  const uint32_t tableCount = StandardFontWidthCount(index);
  const char* const* tableNames = index == kStandardSymbol ? resources::kSymbolGlyphNames
                                                           : resources::kStandardGlyphNames;
  runtime::ArenaAllocator arena(program.Context(), 4096, 4096);
  runtime::NameMap byName(arena, tableCount);
  for (uint32_t g = 0; g < tableCount; ++g) byName.Insert(tableNames[g], g);
  for (int c = 0; c < 256; ++c) {
    const uint32_t glyph = table.glyphs[c];
    const char* name = names != nullptr && glyph < count ? names[glyph] : nullptr;
    // A code that shows .notdef has no standard width of its own.
    const uint32_t* at = name != nullptr && std::strcmp(name, ".notdef") != 0 ? byName.Find(name) : nullptr;
    table.widths[c] = at != nullptr ? ThousandthsToFixed(widths[*at]) : missing;
  }
}

}  // namespace fonts
