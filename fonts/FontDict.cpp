#include "fonts/FontDict.h"

#include "fonts/CompositeFont.h"
#include "fonts/SimpleFont.h"
#include "fonts/Type3Font.h"
#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/TransientBlocks.h"

namespace fonts {

runtime::CountedRef<runtime::FontBase> FontDict::Create(pdf::Document& document,
                                                        const runtime::ObjectHandle& dict,
                                                        ExternalCidFonts* external) {
  runtime::LibraryContext* context = document.Context();
  const runtime::ObjectHandle fontDict = dict.AsDictionary();
  const std::string_view subtype = runtime::Dictionary::GetName(fontDict, "Subtype")->AsName().View();
  if (subtype == "Type1" || subtype == "MMType1" || subtype == "TrueType") {
    SimpleFont* font = runtime::NewObject<SimpleFont>(context, context, fontDict);
    // Held from here on, so that an error while loading frees the font.
    runtime::CountedRef<runtime::FontBase> ref =
        runtime::CountedRef<runtime::FontBase>::Adopt(context, font);
    font->LoadFromDict(document);
    return ref;
  }
  if (subtype == "Type0") {
    CompositeFont* font = runtime::NewObject<CompositeFont>(context, context, fontDict);
    runtime::CountedRef<runtime::FontBase> ref =
        runtime::CountedRef<runtime::FontBase>::Adopt(context, font);
    font->LoadFromDict(document, external);
    return ref;
  }
  if (subtype == "Type3") {
    Type3Font* font = runtime::NewObject<Type3Font>(context, context, fontDict);
    runtime::CountedRef<runtime::FontBase> ref =
        runtime::CountedRef<runtime::FontBase>::Adopt(context, font);
    font->LoadFromDict(document);
    return ref;
  }
  runtime::ThrowRuntime(runtime::kUnsupported);
}

}  // namespace fonts
