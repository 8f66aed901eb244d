#pragma once
// Where the document information fields go (the properties dialog).
#include <cstdint>

namespace pdf {

class InfoSink {
 public:
  // Field ids: title, subject, author, keywords, modification date.
  static constexpr uint32_t kTitle = 1402;
  static constexpr uint32_t kSubject = 1404;
  static constexpr uint32_t kAuthor = 1406;
  static constexpr uint32_t kKeywords = 1408;
  static constexpr uint32_t kModDate = 1410;

  virtual ~InfoSink() = default;
  // `text` is zero-terminated UTF-16, empty when the field is absent.
  virtual void SetField(uint32_t id, const char16_t* text) = 0;
};

}  // namespace pdf
