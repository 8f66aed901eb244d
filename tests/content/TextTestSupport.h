#pragma once
// Test support for text extraction: a stub font (one byte a code, every
// glyph half an em wide, code 32 a word space) whose Unicode is the code
// itself, except for a few codes that stand for the awkward cases, and a
// source that gives it for every font dictionary.
#include <cstdint>
#include <string>

#include "content/ContentHandler.h"
#include "content/TextFontSource.h"
#include "runtime/Dictionary.h"
#include "runtime/FontBase.h"
#include "runtime/FontResource.h"
#include "platform/WideText.h"

namespace texttest {

// Codes whose Unicode is not the code itself.
inline constexpr uint8_t kSurrogatePairCode = 0x01;  // D835 DC00 (U+1D400)
inline constexpr uint8_t kLigatureCode = 0x02;       // U+FB03 (ffi)
inline constexpr uint8_t kBulletCode = 0x03;         // U+2022
inline constexpr uint8_t kKanaCode = 0x04;           // U+30A2 (katakana a)
inline constexpr uint8_t kNoUnicodeCode = 0x05;      // nothing

class HalfEmFont : public runtime::FontBase {
 public:
  bool DrawsAsGraphics() const override { return false; }
  uint32_t MemorySize() const override { return 0; }
  const uint8_t* NextGlyph(const uint8_t* cursor, const uint8_t*, runtime::GlyphInfo& out) override {
    out = runtime::GlyphInfo{};
    out.glyph = out.code = *cursor;
    out.advance = runtime::kFixedOne / 2;
    out.wordSpace = *cursor == 0x20;
    return cursor + 1;
  }
};

class IdentityUnicode : public runtime::FontResource {
 public:
  const uint8_t* NextChar(runtime::DecodedChar* out, const uint8_t* cursor, const uint8_t*) override {
    static const char16_t kPair[] = {0xD835, 0xDC00};
    *out = runtime::DecodedChar{};
    switch (*cursor) {
      case kSurrogatePairCode:
        out->unitsBegin = kPair;
        out->unitsEnd = kPair + 2;
        break;
      case kLigatureCode: out->codePoint = 0xFB03; break;
      case kBulletCode: out->codePoint = 0x2022; break;
      case kKanaCode: out->codePoint = 0x30A2; break;
      case kNoUnicodeCode: break;
      default: out->codePoint = *cursor; break;
    }
    return cursor + 1;
  }
  bool HasUnicode(const uint8_t*, const uint8_t*, uint32_t) override { return hasUnicode; }

  bool hasUnicode = true;
};

// Gives the stub for every dictionary whose /Type is /Font.
class StubTextFonts : public content::FontSource, public content::TextFontSource {
 public:
  runtime::CountedRef<runtime::FontBase> FindFont(const runtime::ObjectHandle& dictionary) override {
    runtime::ObjectHandle type = runtime::Dictionary::Get(dictionary, "Type");
    if (type.Tag() == runtime::ObjectTag::kName && type->AsName().Equals("Font")) {
      return runtime::CountedRef<runtime::FontBase>::Share(nullptr, &font);
    }
    return {};
  }
  runtime::FontResource* ResourceFor(runtime::FontBase&) override { return &unicode; }

  HalfEmFont font;
  IdentityUnicode unicode;
};

inline void AppendUtf8(std::string& out, uint32_t c) {
  std::u16string units;
  if (c >= 0x10000) {
    units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    units += static_cast<char16_t>(c);
  }
  out += platform::Utf8FromWide(units);
}

}  // namespace texttest

#include <memory>
#include <optional>
#include <vector>

#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "content/Page.h"
#include "content/TextHandler.h"
#include "pdf/Document.h"
#include "pdf/Page.h"
#include "pdf/PageTree.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/RaisedCode.h"

namespace texttest {

// A document whose pages hold the given contents; every page's resources
// name the stub font F1 (object 10) and a parameter set G1 that selects it
// at size 10.
class TextDocument {
 public:
  TextDocument(runtime::LibraryContext* context, const std::vector<std::string>& contents,
               const std::string& pageEntries = "")
      : context_(context) {
    pdftest::PdfWriter writer;
    std::string kids;
    for (size_t i = 0; i < contents.size(); ++i) kids += std::to_string(20 + 2 * i) + " 0 R ";
    writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(contents.size()) + " >>")
        .Object(10, "<< /Type /Font /Subtype /Type1 /BaseFont /Stub >>");
    for (size_t i = 0; i < contents.size(); ++i) {
      const uint32_t page = static_cast<uint32_t>(20 + 2 * i);
      writer.Object(page, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] " + pageEntries +
                              " /Resources << /Font << /F1 10 0 R >> /ExtGState << /G1 << /Font [10 0 R 10] >> >> >>"
                              " /Contents " + std::to_string(page + 1) + " 0 R >>")
          .Object(page + 1, "<< /Length " + std::to_string(contents[i].size()) + " >>\nstream\n" + contents[i] +
                                "\nendstream");
    }
    writer.ClassicTable("/Root 1 0 R");
    text_ = writer.Text();
    document_.emplace(context, text_);
  }

  pdf::Document& Document() { return **document_; }

  // The page set-up a handler is built with, over the stub fonts.
  content::TextPage Page(int32_t index, StubTextFonts& fonts) {
    return content::TextPage::Load(context_, Document(), index, &fonts, &fonts);
  }

  // Plays page `index` into `handler` as the text drivers do; the runtime
  // code of an error that passes, if any.
  std::optional<uint32_t> Play(int32_t index, content::TextHandler& handler) {
    return testsupport::RaisedCode([&] {
      content::TextPage page = content::TextPage::Load(context_, Document(), index, handler.Page().info.fonts,
                                                       handler.Page().fonts);
      page.Play(handler);
    });
  }

 private:
  runtime::LibraryContext* context_;
  std::string text_;
  std::optional<pdftest::OpenDocument> document_;
};

}  // namespace texttest
