#pragma once
// Turns a PDF font dictionary into its font object, by Subtype; the
// document's font cache builds its fonts through DocumentFontFactory.
#include "fonts/ResourceFiles.h"
#include "pdf/FontCache.h"
#include "runtime/CountedRef.h"
#include "runtime/FontBase.h"
#include "runtime/ObjectHandle.h"

namespace fonts {

class FontDict {
 public:
  // A new font of `dict`: simple fonts for "Type1", "MMType1" and
  // "TrueType", composite fonts for "Type0"; (runtime, 2) when "Subtype" is no name, (runtime, 5) for
  // Subtypes not handled here. Errors of the build pass on.
  // Composite fonts without a program of their own look for external CID
  // font files through `external` (none: no files are read).
  static runtime::CountedRef<runtime::FontBase> Create(pdf::Document& document,
                                                       const runtime::ObjectHandle& dict,
                                                       ExternalCidFonts* external = nullptr);
};

class DocumentFontFactory final : public pdf::FontFactory {
 public:
  DocumentFontFactory() = default;
  // With the external CID font files shared through `external`.
  explicit DocumentFontFactory(ExternalCidFonts* external) : external_(external) {}
  runtime::CountedRef<runtime::FontBase> CreateFont(pdf::Document& document,
                                                    const runtime::ObjectHandle& dict) override {
    return FontDict::Create(document, dict, external_);
  }

 private:
  ExternalCidFonts* external_ = nullptr;
};

}  // namespace fonts
