#pragma once
// Turns a PDF font dictionary into its font object, by Subtype; the
// document's font cache builds its fonts through DocumentFontFactory.
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
  static runtime::CountedRef<runtime::FontBase> Create(pdf::Document& document,
                                                       const runtime::ObjectHandle& dict);
};

class DocumentFontFactory final : public pdf::FontFactory {
 public:
  runtime::CountedRef<runtime::FontBase> CreateFont(pdf::Document& document,
                                                    const runtime::ObjectHandle& dict) override {
    return FontDict::Create(document, dict);
  }
};

}  // namespace fonts
