#pragma once
// The document information dictionary ("Info") read into the fields of the
// properties dialog.
#include <cstdint>

namespace pdf {

class Document;
class InfoSink;

class DocInfo {
 public:
  // Each field is cut to this many units, terminator included.
  static constexpr uint32_t kFieldCapacity = 256;

  // Hands title, subject, author, keywords and modification date to `sink`
  // in that order; a value that is not a string gives an empty field. An
  // "Info" that is not a dictionary sets nothing. Errors end the reading
  // quietly (fields already set stay set), except cancellation, which is
  // passed on.
  static void Read(Document& document, InfoSink& sink);
};

}  // namespace pdf
