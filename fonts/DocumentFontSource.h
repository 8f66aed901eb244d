#pragma once
// The font source of a page: every font dictionary goes through the
// document's font cache, so that the fonts are built once per document.
//
//   fonts::DocumentFontSource fonts(document);
//   content::PageInfo page;
//   page.fonts = &fonts;
#include "content/ContentHandler.h"
#include "fonts/FontDict.h"
#include "pdf/Document.h"

namespace fonts {

class DocumentFontSource final : public content::FontSource {
 public:
  explicit DocumentFontSource(pdf::Document& document)
      : document_(document), external_(document.Context()), factory_(&external_) {}
  runtime::CountedRef<runtime::FontBase> FindFont(const runtime::ObjectHandle& fontDictionary) override {
    return document_.Fonts().GetOrCreate(document_, fontDictionary, factory_);
  }

 private:
  pdf::Document& document_;
  ExternalCidFonts external_;
  DocumentFontFactory factory_;
};

}  // namespace fonts
