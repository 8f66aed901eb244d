// Document opening and object resolution on hostile bytes: the input is a
// whole file. Opening, the security set-up with the empty password, every
// object the trailer's "Size" covers, the decoded data of every stream and
// the font of every font dictionary (through the document's font cache)
// must end in values or an error record.
#include <cstddef>
#include <cstdint>

#include "fonts/DocumentFontSource.h"
#include "pdf/Document.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "fuzz/FuzzDocument.h"

namespace {

// Bounds per input, so that one run stays short.
constexpr uint32_t kMaxObjects = 2000;
constexpr uint64_t kMaxDecoded = 1 << 22;

bool IsFontDictionary(const runtime::ObjectHandle& object) {
  const runtime::ObjectHandle type = runtime::Dictionary::Get(object, "Type");
  return type.Tag() == runtime::ObjectTag::kName && type->AsName().Equals("Font");
}


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::WithDocument(data, size, [&](runtime::LibraryContext* contextPointer, pdf::Document& document) {
    runtime::LibraryContext& context = *contextPointer;
    // Encrypted inputs go through the security handler with the empty
    // password, as the open job does first.
    runtime::CatchAllExceptCancel(&context, [&] { document.SetupSecurity("Standard", nullptr, 0); });
    const uint32_t count = document.ObjectCountHint() < kMaxObjects ? document.ObjectCountHint()
                                                                    : kMaxObjects;
    for (uint32_t number = 1; number < count; ++number) {
      runtime::CatchAllExceptCancel(&context, [&] {
        uint32_t generation = 0;
        runtime::ObjectHandle object = document.GetObjectAnyGeneration(number, &generation);
        if (object.Tag() == runtime::ObjectTag::kDictionary && IsFontDictionary(object)) {
          fonts::DocumentFontSource fonts(document);
          runtime::CountedRef<runtime::FontBase> font = fonts.FindFont(object);
          (void)font;
        }
        if (!pdf::StreamObject::IsStream(object.Value())) return;
        streams::StreamRef stream = pdf::StreamObject::OpenData(document, object);
        uint64_t total = 0;
        while (total < kMaxDecoded) {
          streams::BlockRef block = stream->FetchBlock();
          if (streams::CountOf(block) == 0) break;
          total += block->Count();
        }
      });
    }
  });
  return 0;
}
