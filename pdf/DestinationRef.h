#pragma once
// A destination as a link or an action writes it, before any lookup: a
// name or a string naming a destination (kept as written, to be looked up
// when followed), or an explicit destination array read at once.
//
//   DestinationRef ref = DestinationRef::Parse(action["D"], currentPage);
//   if (ref.kind == DestinationRef::kExplicit) GoTo(ref.target.pageIndex);
//   else GoTo(Destination::Resolve(document, ref.value, currentPage));
#include <cstdint>
#include <string_view>

#include "pdf/Destination.h"
#include "runtime/ObjectHandle.h"

namespace pdf {

struct DestinationRef {
  enum Kind : uint32_t { kName = 1, kString = 2, kExplicit = 3 };

  Kind kind = kExplicit;
  // The name or string (kinds 1 and 2), held so that its bytes stay.
  runtime::ObjectHandle value;
  // The destination read from the array (kind 3), its page taken by number.
  DestinationTarget target;

  // The name's text or the string's bytes; empty for an explicit one.
  std::string_view Text() const;

  // Kind 1 for a name, 2 for a string, 3 for anything else, which must be
  // an array and is read with Destination::ParseWithPageNumber;
  // (runtime, 2) otherwise.
  static DestinationRef Parse(const runtime::ObjectHandle& destination, int32_t defaultPage);
};

}  // namespace pdf
