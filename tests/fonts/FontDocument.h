#pragma once
// Font dictionaries in small generated documents for the font-loading
// tests, and a small TrueType program to embed in them.
#include <string>
#include <vector>

#include "fonts/FontDict.h"
#include "fonts/SimpleFont.h"
#include "pdf/Document.h"
#include "tests/fonts/TrueTypeBuilder.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"
#include "tests/support/SmallPdfFile.h"

namespace fonts {

// A document whose object 1 is the font dictionary under test and whose
// later objects are what it refers to.
class FontDocument {
 public:
  explicit FontDocument(const std::vector<std::string>& objects)
      : bytes_(testsupport::SmallPdfFile(objects)), document_(&context, bytes_) {}
  runtime::ObjectHandle Object(uint32_t n) { return document_->GetObject(n, 0); }
  pdf::Document& Doc() { return *document_; }
  runtime::CountedRef<runtime::FontBase> Load(uint32_t n = 1) {
    return FontDict::Create(*document_, Object(n));
  }
  SimpleFont& Simple(runtime::CountedRef<runtime::FontBase>& ref) {
    return *static_cast<SimpleFont*>(ref.Get());
  }
  long CodeOf(uint32_t n = 1) {
    return testsupport::RuntimeCodeOf(&context, [&] { runtime::CountedRef<runtime::FontBase> f = Load(n); });
  }
  runtime::LibraryContext context;

 private:
  std::string bytes_;
  pdftest::OpenDocument document_;
};

// A four-glyph TrueType program (.notdef, then three squares) with the
// given "cmap" and "post" names A, B and "Cee".
inline std::string SquaresTrueType(const std::vector<uint8_t>& cmap) {
  fonttest::TestFontSpec spec;
  spec.glyphs.push_back({});
  for (int16_t size : {100, 200, 300}) spec.glyphs.push_back(fonttest::SimpleGlyph({{0, 0}, {size, 0}, {size, size}}));
  spec.cmap = cmap;
  spec.post = fonttest::Version2Post({{0, ""}, {36, ""}, {37, ""}, {0, "Cee"}});
  const std::vector<uint8_t> bytes = fonttest::BuildTestFont(spec);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace fonts
