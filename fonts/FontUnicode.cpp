#include "fonts/FontUnicode.h"

#include <cstring>

#include "fonts/CMapParser.h"
#include "fonts/CompositeFont.h"
#include "fonts/FontDict.h"
#include "fonts/GlyphList.h"
#include "fonts/PredefinedCMaps.h"
#include "fonts/ProgramFont.h"
#include "fonts/SimpleCodeMap.h"
#include "fonts/ToUnicodeMap.h"
#include "fonts/TrueTypeFont.h"
#include "fonts/Type0UnicodeMap.h"
#include "pdf/StreamObject.h"
#include "resources/UnicodeTables.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/TransientBlocks.h"

namespace fonts {
namespace {

using runtime::ObjectHandle;
using runtime::ObjectTag;

template <class Map>
UnicodeMapRef Own(runtime::LibraryContext* context, Map* map) {
  return UnicodeMapRef::Adopt(context, map);
}

// The ToUnicode stream's map over the encoding's, or an empty holder when
// the stream is malformed (the encoding then serves alone).
UnicodeMapRef ToUnicodeOf(pdf::Document& document, const ObjectHandle& stream, bool simple,
                          UnicodeMapRef encoding) {
  runtime::LibraryContext* context = stream.Context();
  CMapRef map;
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] {
        streams::DataStreamRef data = pdf::StreamObject::OpenDataStream(document, stream);
        map = CMapParser::Parse(context, *data, CMapDestination::kUnicode);
      })) {
    trap.SetHandled();
    if (!trap.Held().IsRuntime(runtime::kMalformed) &&
        !trap.Held().IsRuntime(runtime::kUnsupported)) {
      trap.Rethrow();
    }
    trap.Close();
    return UnicodeMapRef();
  }
  return Own(context,
             runtime::NewObject<ToUnicodeMap>(context, std::move(map), simple, std::move(encoding)));
}

// The map a simple font's program gives: its built-in encoding's glyph
// names, the identity for a symbolic code-keyed program, else the
// fallback.
UnicodeMapRef FromProgram(pdf::Document& document, const ObjectHandle& fontDict,
                          std::string_view subtype) {
  runtime::LibraryContext* context = fontDict.Context();
  SimpleCodeMap* built = nullptr;
  const bool programFont = subtype == "Type1" || subtype == "MMType1" || subtype == "TrueType";
  if (programFont) {
    runtime::CatchAllExceptCancel(context, [&] {
      DocumentFontFactory factory;
      runtime::CountedRef<runtime::FontBase> font =
          document.Fonts().GetOrCreate(document, fontDict, factory);
      if (!font || !font->isUsable || font->IsType3()) return;
      // Simple fonts of these Subtypes are program fonts.
      FontProgram* program = static_cast<ProgramFont*>(font.Get())->ProgramOrNull();
      if (program == nullptr) return;
      if (program->KeyKind() == GlyphKeyKind::kNames) {
        const char* const* names = program->BuiltinEncoding();
        if (names != nullptr) built = SimpleCodeMap::FromGlyphNames(context, names);
      } else if (program->KeyKind() == GlyphKeyKind::kCodes && font->isSymbolic) {
        built = SimpleCodeMap::Identity(context);
      }
    });
  }
  return Own(context, built != nullptr ? built : SimpleCodeMap::Fallback(context));
}

// Codes that `values` leaves without Unicode take it from the glyph names
// of the program's built-in encoding, for a name-keyed program. Fonts
// whose Differences rest on no named encoding often show such codes (TeX
// fonts keep their ligatures below 32, where the default table has none).
void FillFromProgramNames(pdf::Document& document, const ObjectHandle& fontDict, std::string_view subtype,
                          uint16_t* values) {
  if (subtype != "Type1" && subtype != "MMType1") return;
  runtime::CatchAllExceptCancel(fontDict.Context(), [&] {
    DocumentFontFactory factory;
    runtime::CountedRef<runtime::FontBase> font = document.Fonts().GetOrCreate(document, fontDict, factory);
    if (!font || !font->isUsable || font->IsType3()) return;
    FontProgram* program = static_cast<ProgramFont*>(font.Get())->ProgramOrNull();
    if (program == nullptr || program->KeyKind() != GlyphKeyKind::kNames) return;
    const char* const* names = program->BuiltinEncoding();
    if (names == nullptr) return;
    for (int code = 0; code < 256; ++code) {
      if (values[code] == 0 && names[code] != nullptr) values[code] = GlyphNameUnicode(names[code]);
    }
  });
}

UnicodeMapRef SimpleFontMap(pdf::Document& document, const ObjectHandle& fontDict,
                            std::string_view subtype) {
  runtime::LibraryContext* context = fontDict.Context();
  const ObjectHandle encoding = runtime::Dictionary::Get(fontDict, "Encoding");
  if (encoding.Tag() == ObjectTag::kName) {
    if (const uint16_t* table = StandardEncodingByName(encoding->AsName().View())) {
      return Own(context, SimpleCodeMap::New(context, table, true));
    }
  } else if (encoding.Tag() == ObjectTag::kDictionary) {
    const ObjectHandle base = runtime::Dictionary::Get(encoding, "BaseEncoding");
    const uint16_t* table =
        base.Tag() == ObjectTag::kName ? StandardEncodingByName(base->AsName().View()) : nullptr;
    const ObjectHandle differences = runtime::Dictionary::Get(encoding, "Differences");
    if (differences.Tag() == ObjectTag::kArray) {
      const bool namesAreKeys = subtype == "Type3";
      if (table != nullptr) {
        return Own(context, SimpleCodeMap::FromDifferences(context, table, differences, namesAreKeys));
      }
      uint16_t base[256];
      std::memcpy(base, resources::kWinAnsiEncodingUnicode, sizeof(base));
      FillFromProgramNames(document, fontDict, subtype, base);
      return Own(context, SimpleCodeMap::FromDifferences(context, base, differences, namesAreKeys));
    }
    if (table != nullptr) return Own(context, SimpleCodeMap::New(context, table, true));
  }
  return FromProgram(document, fontDict, subtype);
}

// A block from the context's memory, freed unless released.
struct OwnedTable {
  runtime::LibraryContext* context;
  uint16_t* values;
  OwnedTable(runtime::LibraryContext* c, uint16_t* taken) : context(c), values(taken) {}
  OwnedTable(runtime::LibraryContext* c, uint32_t count)
      : context(c), values(static_cast<uint16_t*>(runtime::AllocOrThrow(c, count * sizeof(uint16_t)))) {
    std::memset(values, 0, count * sizeof(uint16_t));
  }
  ~OwnedTable() {
    if (values != nullptr) context->memory.Free(values);
  }
  uint16_t* Release() {
    uint16_t* taken = values;
    values = nullptr;
    return taken;
  }
};

// Each CID's Unicode read back through the font's embedded TrueType
// program: the CID's glyph (through the CIDToGIDMap) and the lowest code
// point that the program's Unicode "cmap" maps to that glyph (private-use
// values, which say nothing of the text, left out). Null when the font has
// no such program, or nothing maps.
uint16_t* CidUnicodeFromProgram(pdf::Document& document, const ObjectHandle& fontDict, uint32_t* count) {
  runtime::LibraryContext* context = fontDict.Context();
  uint16_t* table = nullptr;
  *count = 0;
  runtime::CatchAllExceptCancel(context, [&] {
    DocumentFontFactory factory;
    runtime::CountedRef<runtime::FontBase> font = document.Fonts().GetOrCreate(document, fontDict, factory);
    auto* composite = font ? dynamic_cast<CompositeFont*>(font.Get()) : nullptr;
    if (composite == nullptr || !composite->isUsable || !composite->IsTrueTypeDescendant() ||
        composite->UsesDeviceFont()) {
      return;
    }
    auto* program = dynamic_cast<TrueTypeFont*>(composite->ProgramOrNull());
    const CidCodeDecoder* decoder = composite->Decoder();
    if (program == nullptr || decoder == nullptr || !program->HasCmap()) return;
    const uint32_t glyphs = program->GlyphCount();
    if (glyphs == 0 || glyphs > 0x10000) return;
    OwnedTable byGlyph(context, glyphs);
    bool any = false;
    for (uint32_t unicode = 0x20; unicode < 0xFFFF; ++unicode) {
      if (unicode == 0xD800) unicode = 0xF900;  // surrogates and the private-use area
      const uint32_t glyph = program->UnicodeToGlyph(unicode);
      if (glyph == 0 || glyph >= glyphs || byGlyph.values[glyph] != 0) continue;
      byGlyph.values[glyph] = static_cast<uint16_t>(unicode);
      any = true;
    }
    if (!any) return;
    // CIDs are two bytes; the table ends after the last CID with a value.
    constexpr uint32_t kCids = 0x10000;
    OwnedTable byCid(context, kCids);
    uint32_t used = 0;
    for (uint32_t cid = 0; cid < kCids; ++cid) {
      const uint32_t glyph = decoder->GlyphOfCid(cid);
      if (glyph == 0 || glyph >= glyphs || byGlyph.values[glyph] == 0) continue;
      byCid.values[cid] = byGlyph.values[glyph];
      used = cid + 1;
    }
    if (used == 0) return;
    *count = used;
    table = byCid.Release();
  });
  return table;
}

UnicodeMapRef CompositeFontMap(pdf::Document& document, const ObjectHandle& fontDict,
                               CMapCache& cmaps) {
  runtime::LibraryContext* context = fontDict.Context();
  const ObjectHandle encoding = runtime::Dictionary::GetRequired(fontDict, "Encoding");
  char buffer[96];
  Collection collection = Collection::kNone;
  const std::string_view ucs2Name =
      FontUnicode::UcsCMapName(fontDict, buffer, sizeof(buffer), &collection);
  const int selector = static_cast<int>(collection);
  bool unicode = collection != Collection::kNone && LookupPredefinedCMap(selector, ucs2Name);
  CMapRef codes;
  if (encoding.Tag() == ObjectTag::kName) {
    const std::string_view name = encoding->AsName().View();
    // An encoding outside the collection has no Unicode through it; its
    // codes are still split by it when it is built in.
    unicode = unicode && CMapPairAvailable(name, ucs2Name, selector);
    if (!IsIdentityCMapName(name)) codes = cmaps.Get(0, name, CMapDestination::kCid);
  } else if (pdf::StreamObject::IsStream(encoding.Value())) {
    streams::DataStreamRef data = pdf::StreamObject::OpenDataStream(document, encoding);
    codes = CMapParser::Parse(context, *data, CMapDestination::kCid);
  } else {
    runtime::ThrowMalformed();
  }
  CMapRef ucs2;
  if (unicode) ucs2 = cmaps.Get(selector, ucs2Name, CMapDestination::kUnicode);
  if (ucs2) {
    return Own(context, runtime::NewObject<Type0UnicodeMap>(context, std::move(codes), std::move(ucs2)));
  }
  // No collection to read the CIDs by (an Identity ordering, typically):
  // the embedded program's own map from Unicode to glyphs, read backwards.
  uint32_t count = 0;
  uint16_t* cidUnicode = CidUnicodeFromProgram(document, fontDict, &count);
  OwnedTable owned{context, cidUnicode};
  Type0UnicodeMap* map =
      runtime::NewObject<Type0UnicodeMap>(context, std::move(codes), CMapRef(), context, cidUnicode, count);
  owned.Release();
  return Own(context, map);
}

}  // namespace

std::string_view FontUnicode::UcsCMapName(const ObjectHandle& fontDict, char* buffer,
                                          uint32_t size, Collection* collection) {
  *collection = Collection::kNone;
  const ObjectHandle descendants = runtime::Dictionary::Get(fontDict, "DescendantFonts");
  if (descendants.Tag() != ObjectTag::kArray || runtime::Array::Count(descendants) == 0) return {};
  const ObjectHandle descendant = runtime::Array::Get(descendants, 0);
  if (descendant.Tag() != ObjectTag::kDictionary) return {};
  const ObjectHandle info = runtime::Dictionary::Get(descendant, "CIDSystemInfo");
  if (info.Tag() != ObjectTag::kDictionary) return {};
  const ObjectHandle registry = runtime::Dictionary::Get(info, "Registry");
  const ObjectHandle ordering = runtime::Dictionary::Get(info, "Ordering");
  if (registry.Tag() != ObjectTag::kString || ordering.Tag() != ObjectTag::kString) return {};
  const std::string_view r = registry->AsString().View();
  const std::string_view o = ordering->AsString().View();
  constexpr std::string_view kSuffix = "-UCS2";
  if (r.size() + 1 + o.size() + kSuffix.size() > size) return {};
  *collection = CharacterCollection::Ordering(r, o);
  uint32_t at = 0;
  for (char c : r) buffer[at++] = c;
  buffer[at++] = '-';
  for (char c : o) buffer[at++] = c;
  for (char c : kSuffix) buffer[at++] = c;
  return {buffer, at};
}

UnicodeMapRef FontUnicode::Parse(pdf::Document& document, const ObjectHandle& fontDict,
                                 CMapCache& cmaps) {
  const ObjectHandle subtypeValue = runtime::Dictionary::GetName(fontDict, "Subtype");
  const std::string_view subtype = subtypeValue->AsName().View();
  const bool composite = subtype == "Type0";
  auto encodingMap = [&] {
    return composite ? CompositeFontMap(document, fontDict, cmaps)
                     : SimpleFontMap(document, fontDict, subtype);
  };
  const ObjectHandle toUnicode = runtime::Dictionary::Get(fontDict, "ToUnicode");
  if (pdf::StreamObject::IsStream(toUnicode.Value())) {
    // The encoding's map fills the codes ToUnicode leaves out; a font whose
    // encoding is broken still has its ToUnicode.
    UnicodeMapRef encoding;
    runtime::CatchAllExceptCancel(fontDict.Context(), [&] { encoding = encodingMap(); });
    if (UnicodeMapRef map = ToUnicodeOf(document, toUnicode, !composite, encoding)) return map;
    if (encoding) return encoding;
  }
  return encodingMap();
}

UnicodeMapRef UnicodeMapCache::Get(pdf::Document& document, const ObjectHandle& fontDict) {
  const pdf::FontCache::Key key = pdf::FontCache::KeyOf(fontDict);
  return cache_.Get(key, [&] {
    UnicodeMapRef map = FontUnicode::Parse(document, fontDict, cmaps_);
    const uint32_t size = map->ByteSize();
    return runtime::ObjectCache<UnicodeMap, pdf::FontCache::Key>::Built{std::move(map), size};
  });
}

}  // namespace fonts
