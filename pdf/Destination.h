#pragma once
// Destinations: where a link, an outline item or a named destination
// leads. A destination array names its page by reference or by number,
// then how to fit it ("/XYZ", "/Fit", ...).
#include <cstdint>
#include <string_view>

#include "runtime/Fixed.h"
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

// What reading a destination's view needs of the viewer's page view,
// which implements it.
class DestinationViewer {
 public:
  virtual ~DestinationViewer() = default;
  // Whether the page layout holds page `page`.
  virtual bool IsPageInRange(int32_t page) const = 0;
  // The page the view itself shows.
  virtual int32_t CurrentPage() const = 0;
  // The page's rectangle mapped to the device and rotated by the page
  // rotation: x0, y0, x1, y1.
  virtual void PageRectOnDevice(int32_t page, int32_t rect[4]) const = 0;
};

// The view part of an explicit destination: its kind and up to four
// numbers, each with a flag saying whether the array gave it.
struct DestinationView {
  // PDF names are at most this long; longer kinds are cut.
  static constexpr uint32_t kMaxKind = 127;

  int32_t page = -1;  // set by the caller
  char kind[kMaxKind + 1] = {};
  uint8_t present[4] = {};
  runtime::Fixed parameters[4] = {};
  int32_t pageRect[4] = {};
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

  // Fills `record`'s view from the destination `array` (page, kind name,
  // up to four numbers): the rectangle of `page` (of the view's own page
  // when the layout does not hold `page`), the kind, and each number with
  // its present flag; a null number leaves its flag 0 and its parameter as
  // it was. (runtime, 2) when element 1 is missing or no name, or a number
  // is of another type; the page rectangle is stored by then.
  static void ReadView(const DestinationViewer& view, const runtime::ObjectHandle& array, int32_t page,
                       DestinationView& record);

  // Any destination as written: an array, a name or string naming a
  // destination, or a dictionary holding one under "D". The target's page
  // is -1 when a named destination is missing.
  static DestinationTarget Resolve(Document& document, const runtime::ObjectHandle& value,
                                   int32_t defaultPage);
};

}  // namespace pdf
