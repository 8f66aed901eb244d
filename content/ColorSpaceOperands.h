#pragma once
// The elements of a colour-space array, read the same way whether the array
// is a value recorded in a content program (an inline image's colour space)
// or an array of the document. The colour-space parser reads through this
// interface only.
//
// Every access beyond the count or of the wrong type raises (runtime, 2),
// which the parser reports as a malformed colour space. Sources live in an
// arena and are never destroyed one by one.
#include <cstdint>
#include <string_view>
#include <utility>

#include "runtime/ObjectHandle.h"
#include "runtime/ObjectValue.h"

namespace content {

class ColorSpaceOperands {
 public:
  // The text of element i, which must be a name.
  virtual std::string_view NameAt(uint32_t i) = 0;
  // Element i as an integer.
  virtual int32_t IntAt(uint32_t i) = 0;
  // A new source over element i, which must be an array.
  virtual ColorSpaceOperands* SubArrayAt(uint32_t i) = 0;
  // The text of element j of the array at element i.
  virtual std::string_view NameInArrayAt(uint32_t i, uint32_t j) = 0;
  // The element count of the array at element i.
  virtual uint32_t CountOfArrayAt(uint32_t i) = 0;
  // The type of element i (references resolved where the source can).
  virtual runtime::ObjectTag TypeAt(uint32_t i) = 0;
  virtual uint32_t Count() = 0;
  // Element i as a dictionary.
  virtual runtime::ObjectHandle DictionaryAt(uint32_t i) = 0;
  // The source's own array.
  virtual runtime::ObjectHandle ArrayHandle() = 0;
  // The bytes of element i, which must be a string, as [first, end).
  virtual std::pair<const uint8_t*, const uint8_t*> StringAt(uint32_t i) = 0;
  // Element i as a stream (its dictionary).
  virtual runtime::ObjectHandle StreamAt(uint32_t i) = 0;

 protected:
  ColorSpaceOperands() = default;
  ~ColorSpaceOperands() = default;
  ColorSpaceOperands(const ColorSpaceOperands&) = delete;
  ColorSpaceOperands& operator=(const ColorSpaceOperands&) = delete;
};

// "Indexed", or "I" where abbreviations are allowed (inline images only);
// exact, case-sensitive.
bool IsIndexedColorSpaceName(std::string_view name, bool abbreviations);

// The number of colour components of the space `space` describes, for the
// families whose count follows from the array alone: Indexed 1, ICCBased
// its "N", CalRGB and Lab 3, CalGray and Separation 1, DeviceN the count of
// its names, and single-element arrays of a device space. (runtime, 2) for
// a malformed array, (runtime, 5) for a family this cannot count (Pattern,
// unknown names).
uint32_t ComponentCount(ColorSpaceOperands& space, bool abbreviations);

// The components of a device space named `name` (abbreviations allowed or
// not); 0 when the name is no device space.
uint32_t DeviceComponents(std::string_view name, bool abbreviations);

}  // namespace content
