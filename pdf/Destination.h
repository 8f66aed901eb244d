#pragma once
// Destinations: where a link, an outline item or a named destination
// leads. A destination array names its page by reference or by number,
// then how to fit it ("/XYZ", "/Fit", ...).
#include <cstdint>
#include <string_view>

#include "runtime/ObjectHandle.h"

namespace pdf {

class Document;

struct DestinationTarget {
  // Zero-based page index; -1 when the destination names no page we found.
  int32_t pageIndex = -1;
  // The page object's number when the page was named by reference.
  uint32_t pageObject = 0;
  // The fit type's name ("XYZ", "Fit", ...); empty when the array has none.
  char fit[16] = {};
};

class Destination {
 public:
  // Named destinations are looked through at most this many times (a name
  // whose value is again a name); beyond, the destination is (runtime, 2).
  static constexpr uint32_t kMaxIndirections = 8;
  // Reads a destination array. Element 0 null gives `defaultPage`, an
  // integer gives that index, a reference the referenced page's index.
  // (runtime, 2) for any other first element or a page outside the tree.
  static DestinationTarget Parse(Document& document, const runtime::ObjectHandle& array,
                                 int32_t defaultPage);

  // As Parse for a destination in another document (a remote go-to), whose
  // page can only be given by number: element 0 must be an integer (null
  // or missing gives `defaultPage`); (runtime, 2) otherwise.
  static DestinationTarget ParseWithPageNumber(const runtime::ObjectHandle& array,
                                               int32_t defaultPage);

  // The index of the page `page` refers to: from the hint tables of a
  // linearised file, else through the page tree.
  // (runtime, 2) when its "Parent" chain is broken or does not list it.
  static int32_t PageIndex(Document& document, const runtime::ObjectReference& page);

  // The destination value of a name: the catalog's "Dests" dictionary
  // first, then the catalog's "Names" "Dests" tree. The null value when
  // neither holds it.
  static runtime::ObjectHandle FindNamed(Document& document, std::string_view name);

  // Any destination as written: an array, a name or string naming a
  // destination, or a dictionary holding one under "D". The target's page
  // is -1 when a named destination is missing.
  static DestinationTarget Resolve(Document& document, const runtime::ObjectHandle& value,
                                   int32_t defaultPage);
};

}  // namespace pdf
