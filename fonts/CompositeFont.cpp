#include "fonts/CompositeFont.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "fonts/CMapParser.h"
#include "fonts/CffFont.h"
#include "fonts/EmbeddedProgram.h"
#include "fonts/FontError.h"
#include "fonts/PredefinedCMaps.h"
#include "pdf/Document.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/TransientBlocks.h"

namespace fonts {

namespace {

using runtime::ObjectHandle;
using runtime::ObjectTag;

void CopySystemInfoText(char (&to)[64], std::string_view from) {
  const size_t n = std::min(from.size(), sizeof(to) - 1);
  std::memcpy(to, from.data(), n);
  to[n] = '\0';
}

// The decoder of the font's "Encoding": the identity, a predefined CMap of
// the collection, or an embedded CMap stream. Null for a name no table
// has.
CidCodeDecoderRef BuildCidDecoder(pdf::Document& document, const ObjectHandle& encoding, Collection collection,
                               bool& identity) {
  runtime::LibraryContext* context = document.Context();
  identity = false;
  if (encoding.Tag() == ObjectTag::kName) {
    const std::string_view name = encoding->AsName().View();
    if (IsIdentityCMapName(name)) {
      identity = true;
      return CidCodeDecoderRef::Adopt(context, CidCodeDecoder::Identity(context, name == "Identity-V" ? 1 : 0));
    }
    // A collection of 0 (a registry of its own) searches every table.
    const PredefinedCMap table = LookupPredefinedCMap(static_cast<int>(collection), name);
    if (!table) return CidCodeDecoderRef();
    CMapRef map = CMapParser::ParseBuiltin(context, table.data, table.length, CMapDestination::kCid);
    return CidCodeDecoderRef::Adopt(context, CidCodeDecoder::FromCMap(context, std::move(map)));
  }
  if (pdf::StreamObject::IsStream(encoding.Value())) {
    streams::DataStreamRef data = pdf::StreamObject::OpenDataStream(document, encoding);
    CMapRef map = CMapParser::Parse(context, *data, CMapDestination::kCid);
    return CidCodeDecoderRef::Adopt(context, CidCodeDecoder::FromCMap(context, std::move(map)));
  }
  ThrowMalformedFont();
}

}  // namespace

CidCodeDecoder* CompositeFont::Decoder() const {
  auto* encoding = dynamic_cast<CidEncoding*>(encoding_);
  return encoding != nullptr ? &encoding->Decoder() : nullptr;
}

void CompositeFont::LoadFromDict(pdf::Document& document, ExternalCidFonts* external) {
  const ObjectHandle descendants = runtime::Dictionary::GetArray(dict_, "DescendantFonts");
  if (runtime::Array::Count(descendants) == 0) ThrowMalformedFont();
  const ObjectHandle descendant = runtime::Array::Get(descendants, 0);
  if (descendant.Tag() != ObjectTag::kDictionary) ThrowMalformedFont();

  const ObjectHandle descriptor = runtime::Dictionary::GetDict(descendant, "FontDescriptor");
  const bool embedded = EmbeddedProgram::FindEmbeddedProgram(document, *this, descriptor, false);

  const ObjectHandle systemInfo = runtime::Dictionary::GetDict(descendant, "CIDSystemInfo");
  const std::string_view registry = runtime::Dictionary::GetString(systemInfo, "Registry")->AsString().View();
  const std::string_view ordering = runtime::Dictionary::GetString(systemInfo, "Ordering")->AsString().View();
  supplement_ = runtime::Dictionary::GetInteger(systemInfo, "Supplement");
  collection_ = CharacterCollection::Ordering(registry, ordering);

  trueTypeDescendant_ = runtime::Dictionary::GetName(descendant, "Subtype")->AsName().View() == "CIDFontType2";

  const ObjectHandle encodingEntry = runtime::Dictionary::Get(dict_, "Encoding");
  if (encodingEntry.IsNull()) ThrowMalformedFont();
  CidCodeDecoderRef decoder = BuildCidDecoder(document, encodingEntry, collection_, identity_);
  if (decoder.Get() == nullptr) {
    isUsable = 0;
    return;
  }
  decoder->Metrics().Read(descendant);
  CidCodeDecoder& codes = *decoder;
  CidEncoding* encoding = runtime::NewObject<CidEncoding>(context_, std::move(decoder));
  SetEncoding(encoding);
  CopySystemInfoText(encoding->registry, registry);
  CopySystemInfoText(encoding->ordering, ordering);

  // Without an embedded program: an external file of the font's own
  // name, else a device font of the collection, else the collection's
  // standard external file.
  if (!embedded) {
    const ObjectHandle baseFont = runtime::Dictionary::Get(descendant, "BaseFont");
    if (external != nullptr && baseFont.Tag() == ObjectTag::kName) {
      program_ = external->Get(baseFont->AsName().View());
    }
    if (program_.Get() == nullptr) {
      const ObjectHandle flags = runtime::Dictionary::Get(descriptor, "Flags");
      const int32_t flagBits = flags.Tag() == ObjectTag::kInteger ? flags->AsInteger() : 32;
      const bool sans = (static_cast<uint32_t>(flagBits) & 2u) == 0;
      const platform::HDC dc = platform::CreateCompatibleDC(nullptr);
      const bool available = DeviceFontFace::Choose(dc, collection_, sans);
      if (dc != nullptr) platform::DeleteDC(dc);
      if (available) {
        UseDeviceFont(registry, ordering, sans, encoding->IsVertical());
        return;
      }
      const char* first = StandardExternalFont(collection_, sans, false);
      const char* second = StandardExternalFont(collection_, sans, true);
      if (first != nullptr && external != nullptr) {
        program_ = external->Get(first);
        if (program_.Get() == nullptr && std::strcmp(first, second) != 0) program_ = external->Get(second);
      }
    }
    if (program_.Get() == nullptr) {
      isUsable = 0;
      return;
    }
    // Shared through the file cache: not counted in this font's size.
    programIsShared = true;
  }
  if (auto* cff = dynamic_cast<CffFont*>(program_.Get())) cidKeyedProgram_ = cff->IsCidKeyed();

  const ObjectHandle map = runtime::Dictionary::Get(descendant, "CIDToGIDMap");
  if (trueTypeDescendant_) {
    bool mapStream = false;
    if (embedded && pdf::StreamObject::IsStream(map.Value())) {
      streams::DataStreamRef data = pdf::StreamObject::OpenDataStream(document, map);
      codes.SetCidToGidMap(*data);
      mapStream = true;
    } else if (!map.IsNull() && map.Tag() != ObjectTag::kName) {
      ThrowMalformedFont();
    }
    if (programRejectedCopy != 0 && identity_ && !mapStream) isUsable = 0;
  } else if (embedded && !cidKeyedProgram_ && pdf::StreamObject::IsStream(map.Value())) {
    // A CIDFontType0 whose program numbers its glyphs by index (a plain
    // CFF or Type 1 program, or TrueType) reaches them only through its
    // map: taking CIDs as indices would show other glyphs.
    streams::DataStreamRef data = pdf::StreamObject::OpenDataStream(document, map);
    codes.SetCidToGidMap(*data);
  }
}

const char* CompositeFont::StandardExternalFont(Collection collection, bool sans, bool alternative) {
  switch (collection) {
    case Collection::kJapan1: return sans != alternative ? "VantrelCidJa-Medium" : "VantrelCidJb-Regular";
    case Collection::kGB1: return "VantrelCidS-Light";
    case Collection::kCNS1: return "VantrelCidT-Light";
    case Collection::kKorea1: return "VantrelCidK-Medium";
    default: return nullptr;
  }
}

void CompositeFont::UseDeviceFont(std::string_view registry, std::string_view ordering, bool sans, bool vertical) {
  // The device draws Unicode characters: the collection's UCS2 map turns
  // CIDs into them.
  char name[160];
  const size_t length = registry.size() + ordering.size() + 6;
  if (length > sizeof(name)) {
    isUsable = 0;
    return;
  }
  std::memcpy(name, registry.data(), registry.size());
  name[registry.size()] = '-';
  std::memcpy(name + registry.size() + 1, ordering.data(), ordering.size());
  std::memcpy(name + registry.size() + 1 + ordering.size(), "-UCS2", 5);
  const PredefinedCMap table = LookupPredefinedCMap(static_cast<int>(collection_), std::string_view(name, length));
  if (!table) {
    isUsable = 0;
    return;
  }
  unicode_ = CMapParser::ParseBuiltin(context_, table.data, table.length, CMapDestination::kUnicode);
  program_ = runtime::CountedRef<FontProgram>::Adopt(context_, DeviceFont::Create(context_, collection_, sans, vertical));
  deviceFont_ = true;
}

CompositeFont::~CompositeFont() {
  if (rasterizer_ != nullptr) runtime::DestroyAndFree(context_, rasterizer_);
}

const runtime::GlyphBitmapRecord* CompositeFont::GlyphBitmap(uint32_t glyph, const runtime::Matrix& glyphMatrix,
                                                             uint32_t phase, const runtime::IntRect& clip,
                                                             bool cached, runtime::ArenaAllocator& arena) {
  (void)phase;
  (void)cached;
  auto* device = deviceFont_ ? static_cast<DeviceFont*>(program_.Get()) : nullptr;
  if (device == nullptr || glyph > 0xFFFF) return nullptr;
  const runtime::Matrix linear{glyphMatrix.a, glyphMatrix.b, glyphMatrix.c, glyphMatrix.d, 0, 0};
  if (rasterizer_ == nullptr || !(rasterizerMatrix_ == linear)) {
    if (rasterizer_ != nullptr) runtime::DestroyAndFree(context_, rasterizer_);
    rasterizer_ = nullptr;
    rasterizer_ = runtime::NewObject<DeviceGlyphRasterizer>(context_, *device, linear);
    rasterizerMatrix_ = linear;
  }
  return rasterizer_->DrawGlyph(static_cast<uint16_t>(glyph), arena, &clip);
}

const uint8_t* CompositeFont::NextGlyph(const uint8_t* cursor, const uint8_t* end, runtime::GlyphInfo& out) {
  const CidCodeDecoder* decoder = Decoder();
  if (decoder == nullptr) return FontBase::NextGlyph(cursor, end, out);
  CidGlyph glyph;
  const uint8_t* next = decoder->NextCode(cursor, end, &glyph);
  out = runtime::GlyphInfo{};
  out.code = glyph.code;
  out.codeLength = static_cast<uint32_t>(next - cursor);
  out.glyph = glyph.glyph;
  if (cidKeyedProgram_) out.glyph = static_cast<CffFont*>(program_.Get())->CidToGlyph(glyph.cid);
  if (deviceFont_) {
    // The CID's Unicode: its two bytes looked up in the UCS2 map; a pair
    // or a longer string draws its first unit.
    const uint8_t bytes[2] = {static_cast<uint8_t>(glyph.cid >> 8), static_cast<uint8_t>(glyph.cid)};
    const uint8_t* at = bytes;
    const CodeMapping mapping = unicode_->Lookup(&at, bytes + 2);
    out.glyph = mapping.HasUnits() ? static_cast<uint32_t>(*mapping.unitsBegin)
                                   : static_cast<uint32_t>(mapping.value) & 0xFFFFu;
  }
  out.wordSpace = glyph.wordSpace != 0;
  if (decoder->GetWMode() == 1) {
    out.advance = glyph.verticalAdvance;
    out.verticalOriginX = -glyph.positionX;
    out.verticalOriginY = -glyph.positionY;
  } else {
    out.advance = glyph.width;
  }
  return next;
}

}  // namespace fonts
