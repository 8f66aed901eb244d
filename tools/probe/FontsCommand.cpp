#include "tools/probe/FontsCommand.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "content/LoggingHandler.h"
#include "fonts/CffFont.h"
#include "fonts/CompositeFont.h"
#include "fonts/DocumentFontSource.h"
#include "fonts/FontUnicode.h"
#include "fonts/MultipleMasterFont.h"
#include "fonts/SimpleFont.h"
#include "pdf/Document.h"
#include "pdf/PageTree.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "tools/probe/OpsCommand.h"

namespace probe {

namespace {

using runtime::ObjectHandle;
using runtime::ObjectTag;

constexpr int kMaxFormDepth = 8;

std::string ObjectId(const ObjectHandle& dict) {
  const runtime::ContainerRecord* record = dict->AsDictionary().Record();
  if (record == nullptr) return "direct";
  return std::to_string(record->objectNumber) + " " + std::to_string(record->generation);
}

std::string NameOr(const ObjectHandle& dict, const char* key, const char* fallback) {
  const ObjectHandle value = runtime::Dictionary::Get(dict, key);
  return value.Tag() == ObjectTag::kName ? std::string(value->AsName().View()) : fallback;
}

// The font dictionaries of a resource dictionary and of its forms, each
// once, in the order found.
void CollectFonts(const ObjectHandle& resources, int depth, std::vector<ObjectHandle>& out,
                  std::set<std::string>& seen) {
  if (resources.Tag() != ObjectTag::kDictionary || depth > kMaxFormDepth) return;
  const ObjectHandle fonts = runtime::Dictionary::Get(resources, "Font");
  if (fonts.Tag() == ObjectTag::kDictionary) {
    for (runtime::DictionaryIterator it(fonts); !it.AtEnd(); it.Next()) {
      const ObjectHandle font = it.GetEntry().value;
      if (font.Tag() != ObjectTag::kDictionary) continue;
      const runtime::ContainerRecord* record = font->AsDictionary().Record();
      const std::string key = record != nullptr ? ObjectId(font) + "@" + std::to_string(record->startPosition)
                                                : "direct" + std::to_string(out.size());
      if (seen.insert(key).second) out.push_back(font);
    }
  }
  const ObjectHandle xobjects = runtime::Dictionary::Get(resources, "XObject");
  if (xobjects.Tag() != ObjectTag::kDictionary) return;
  for (runtime::DictionaryIterator it(xobjects); !it.AtEnd(); it.Next()) {
    const ObjectHandle form = it.GetEntry().value;
    if (form.Tag() != ObjectTag::kDictionary || NameOr(form, "Subtype", "") != "Form") continue;
    CollectFonts(runtime::Dictionary::Get(form, "Resources"), depth + 1, out, seen);
  }
}

const char* SourceName(fonts::SimpleFont::Source source) {
  switch (source) {
    case fonts::SimpleFont::Source::kEmbedded: return "embedded";
    case fonts::SimpleFont::Source::kBuiltin: return "builtin";
    case fonts::SimpleFont::Source::kMultipleMaster: return "substitute";
    default: return "none";
  }
}

// Which program key the descriptor fills, if any ("-" for none).
std::string EmbeddedKey(const ObjectHandle& font) {
  const ObjectHandle descriptor = runtime::Dictionary::Get(font, "FontDescriptor");
  if (descriptor.Tag() != ObjectTag::kDictionary) return "-";
  for (const char* key : {"FontFile", "FontFile2", "FontFile3"}) {
    if (pdf::StreamObject::IsStream(runtime::Dictionary::Get(descriptor, key).Value())) return key;
  }
  return "-";
}

void PrintFontLine(pdf::Document& document, fonts::DocumentFontSource& source, const ObjectHandle& font) {
  runtime::LibraryContext* context = document.Context();
  std::string line = ObjectId(font) + " " + NameOr(font, "BaseFont", "-") + " " +
                     NameOr(font, "Subtype", "-") + " file=" + EmbeddedKey(font);
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] {
        runtime::CountedRef<runtime::FontBase> loaded = source.FindFont(font);
        if (auto* composite = dynamic_cast<fonts::CompositeFont*>(loaded.Get())) {
          line += std::string(" drawn=") +
                  (!composite->isUsable ? "none" : composite->UsesDeviceFont() ? "device" : "embedded");
          if (composite->programRejected) line += " rejected";
          line += std::string(" collection=") + std::to_string(static_cast<int>(composite->CharacterCollectionOf()));
          if (composite->WritesVertically()) line += " vertical";
          return;
        }
        auto* simple = dynamic_cast<fonts::SimpleFont*>(loaded.Get());
        if (simple == nullptr) {
          line += " drawn=other";
          return;
        }
        line += std::string(" drawn=") + (simple->isUsable ? SourceName(simple->DrawnBy()) : "none");
        if (simple->programRejected) line += " rejected";
        if (auto* mm = dynamic_cast<fonts::MultipleMasterFont*>(simple->ProgramOrNull())) {
          line += std::string(" face=") + (mm->IsSerif() ? "serif" : "sans") +
                  " stemV=" + std::to_string(mm->Record().stemV);
        }
      })) {
    trap.SetHandled();
    if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
    line += std::string(" error ") + trap.Held().domain + " " + std::to_string(trap.Held().code);
    trap.Close();
  }
  std::printf("%s\n", line.c_str());
}

bool ParsePage(pdf::Document& document, const char* page, int32_t* index) {
  const int32_t count = pdf::PageTree::CountPages(document);
  char* stop = nullptr;
  const long number = std::strtol(page, &stop, 10);
  if (stop == page || *stop != '\0' || number < 1 || number > count) {
    std::fprintf(stderr, "probe: no page %s (the document has %d)\n", page, count);
    return false;
  }
  *index = static_cast<int32_t>(number - 1);
  return true;
}

// The Unicode of one decoded code as "U+XXXX" items joined by commas; "-"
// for none.
std::string UnicodeText(const runtime::DecodedChar& decoded) {
  char item[16];
  std::string text;
  if (decoded.HasUnits()) {
    for (const char16_t* u = decoded.unitsBegin; u != decoded.unitsEnd; ++u) {
      std::snprintf(item, sizeof(item), "U+%04X", unsigned{*u});
      text += (text.empty() ? "" : ",") + std::string(item);
    }
    return text;
  }
  if (decoded.codePoint == 0) return "-";
  std::snprintf(item, sizeof(item), "U+%04X", decoded.codePoint);
  return item;
}

// Logs every shown code instead of the operations, with its glyph, its
// advance and its Unicode.
class GlyphListing final : public content::LoggingHandler {
 public:
  GlyphListing(runtime::LibraryContext* context, const content::PageInfo& info,
               const ObjectHandle* resources)
      : LoggingHandler(context, info, resources), document_(*info.document), maps_(context) {}

  void ShowText(const uint8_t* bytes, uint32_t count, runtime::Rect& box) override {
    (void)box;
    ListCodes(bytes, count);
  }
  void ShowTextArray(const content::TextArrayElement* elements, uint32_t count,
                     runtime::Rect& box) override {
    (void)box;
    for (uint32_t i = 0; i < count; ++i) {
      if (elements[i].IsString()) {
        ListCodes(elements[i].payload.string->Bytes(), elements[i].payload.string->length);
      }
    }
  }
  const std::string& Lines() const { return lines_; }

 private:
  void ListCodes(const uint8_t* bytes, uint32_t count) {
    runtime::FontBase* font = State().font.Get();
    auto* program = dynamic_cast<fonts::ProgramFont*>(font);
    if (program == nullptr) {
      lines_ += "nofont " + std::to_string(count) + "\n";
      return;
    }
    const std::string prefix = ObjectId(program->Dict()) + " " + NameOr(program->Dict(), "BaseFont", "-") + " ";
    fonts::FontProgram* glyphs = program->ProgramOrNull();
    const char* const* names = glyphs != nullptr && program->isUsable ? glyphs->GlyphNames() : nullptr;
    const uint32_t nameCount = names != nullptr ? glyphs->GlyphCount() : 0;
    const uint8_t* end = bytes + count;
    // A font whose map cannot be built shows no Unicode.
    fonts::UnicodeMapRef map;
    runtime::CatchAllExceptCancel(document_.Context(),
                                  [&] { map = maps_.Get(document_, program->Dict()); });
    for (const uint8_t* at = bytes; at < end;) {
      runtime::DecodedChar decoded;
      if (map) map->NextChar(&decoded, at, end);
      runtime::GlyphInfo record;
      const uint8_t* start = at;
      at = font->NextGlyph(at, end, record);
      std::string glyph = record.glyph < nameCount && names[record.glyph] != nullptr
                              ? std::string(names[record.glyph])
                              : "#" + std::to_string(record.glyph);
      // CID-keyed programs are listed by CID, as mutool numbers them.
      auto* composite = dynamic_cast<fonts::CompositeFont*>(font);
      auto* cff = dynamic_cast<fonts::CffFont*>(glyphs);
      if (composite != nullptr && composite->Decoder() != nullptr && cff != nullptr && cff->IsCidKeyed()) {
        fonts::CidGlyph cid;
        composite->Decoder()->NextCode(start, end, &cid);
        glyph = "#" + std::to_string(cid.cid);
      }
      const long advance = std::lround(record.advance * 1000.0 / 65536.0);
      lines_ += prefix + std::to_string(record.code) + " " + glyph + " " + std::to_string(advance) + " " +
                UnicodeText(decoded) + "\n";
    }
  }

  pdf::Document& document_;
  fonts::UnicodeMapCache maps_;
  std::string lines_;
};

}  // namespace

int PrintFonts(pdf::Document& document, const char* page) {
  int32_t first = 0;
  int32_t end = pdf::PageTree::CountPages(document);
  if (page != nullptr) {
    if (!ParsePage(document, page, &first)) return 1;
    end = first + 1;
  }
  std::vector<ObjectHandle> found;
  std::set<std::string> seen;
  for (int32_t i = first; i < end; ++i) CollectFonts(LoadPage(document, i).resources, 0, found, seen);
  fonts::DocumentFontSource source(document);
  for (const ObjectHandle& font : found) PrintFontLine(document, source, font);
  return 0;
}

int PrintGlyphs(pdf::Document& document, const char* page) {
  int32_t index = 0;
  if (!ParsePage(document, page, &index)) return 1;
  runtime::LibraryContext* context = document.Context();
  const PageEntry entry = LoadPage(document, index);
  fonts::DocumentFontSource source(document);
  content::PageInfo info;
  info.document = &document;
  info.fonts = &source;
  GlyphListing handler(context, info, &entry.resources);
  std::string error;
  PlayPageInto(document, entry, handler, error);
  std::fputs(handler.Lines().c_str(), stdout);
  if (!error.empty()) std::printf("error %s\n", error.c_str());
  return 0;
}

}  // namespace probe
