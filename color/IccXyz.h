#pragma once
// An ICC XYZ value (white point, colorant): three 16.16 numbers.
#include <cstdint>

#include "runtime/Fixed.h"
#include "streams/CountedObject.h"
#include "streams/DataStream.h"

namespace color {

using runtime::Fixed;

// The record of one XYZ number as read.
struct XyzNumber {
  uint32_t lead = 0;
  Fixed x = 0, y = 0, z = 0;
};

// Reads an XYZ tag at the stream's position: type signature and reserved
// word are skipped, the tag must be exactly 20 bytes (else runtime, 2), and
// values written on a 0..100 scale (X above 10.0) are divided by 100.
XyzNumber ReadXyzNumber(streams::DataStream& stream, uint32_t tagSize);

class IccXyz final : public streams::CountedObject {
 public:
  using CountedObject::CountedObject;

  static streams::Ref<IccXyz> Read(runtime::LibraryContext* context, streams::DataStream& stream, uint32_t tagSize);

  Fixed x = 0, y = 0, z = 0;
};

}  // namespace color
