#pragma once
// "ICCBased" spaces: the profile in the array's stream, kept once per
// stream, or, when the profile cannot be used, the stream's "Alternate"
// space or the device space its "N" names.
#include "color/ColorSpaceRecord.h"
#include "runtime/ObjectHandle.h"

namespace content {
class ColorSpaceOperands;
}

namespace color {

class ColorContext;

struct IccBasedColorSpace {
  // The "ICCBased" factory of the resolution table. (runtime, 2) without an
  // array, for an element 1 that is no stream, and when the fall-back's
  // component count differs from "N". While a Default space is resolved
  // (ColorSpace::kResolvingDefault) a bad profile is an error, not a
  // fall-back.
  static ResolvedColorSpace Parse(ColorContext& colors, content::ColorSpaceOperands* array,
                                  const runtime::ObjectHandle& resources, uint32_t flags);
};

struct IccBasedStream {
  // The profile of the stream: "N" must equal its channel count, and
  // "Range", when given, sets its input ranges.
  static streams::Ref<ColorSpace> Parse(ColorContext& colors, const runtime::ObjectHandle& stream);
};

}  // namespace color
