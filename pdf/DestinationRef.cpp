#include "pdf/DestinationRef.h"

#include "runtime/ErrorTrap.h"

namespace pdf {

std::string_view DestinationRef::Text() const {
  switch (kind) {
    case kName: return value->AsName().View();
    case kString: return value->AsString().View();
    case kExplicit: break;
  }
  return {};
}

DestinationRef DestinationRef::Parse(const runtime::ObjectHandle& destination,
                                     int32_t defaultPage) {
  const runtime::ObjectHandle value = destination.Resolved();
  DestinationRef ref;
  switch (value.Tag()) {
    case runtime::ObjectTag::kName:
      ref.kind = kName;
      ref.value = value;
      break;
    case runtime::ObjectTag::kString:
      ref.kind = kString;
      ref.value = value;
      break;
    default:
      ref.kind = kExplicit;
      ref.target = Destination::ParseWithPageNumber(value, defaultPage);
      break;
  }
  return ref;
}

}  // namespace pdf
