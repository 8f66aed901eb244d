#include "pdf/DocInfo.h"

#include "pdf/Document.h"
#include "pdf/InfoSink.h"
#include "pdf/TextString.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {

void DocInfo::Read(Document& document, InfoSink& sink) {
  runtime::CatchAllExceptCancel(document.Context(), [&] {
    const runtime::ObjectHandle info = runtime::Dictionary::Get(document.GetTrailer(), "Info");
    if (info.Tag() != runtime::ObjectTag::kDictionary) return;
    struct Field {
      const char* key;
      uint32_t id;
    };
    static constexpr Field kFields[] = {{"Title", InfoSink::kTitle},
                                        {"Subject", InfoSink::kSubject},
                                        {"Author", InfoSink::kAuthor},
                                        {"Keywords", InfoSink::kKeywords},
                                        {"ModDate", InfoSink::kModDate}};
    for (const Field& field : kFields) {
      char16_t text[kFieldCapacity] = {};
      const runtime::ObjectHandle value = runtime::Dictionary::Get(info, field.key);
      if (value.Tag() == runtime::ObjectTag::kString) {
        uint32_t capacity = kFieldCapacity;
        PdfTextToUtf16(text, &capacity, value->AsString());
      }
      if (field.id == InfoSink::kModDate) FormatPdfDateInPlace(text, kFieldCapacity);
      sink.SetField(field.id, text);
    }
  });
}

}  // namespace pdf
