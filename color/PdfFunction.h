#pragma once
// The base of every PDF function (sampled, exponential, stitching,
// calculator and the identity tint transform): m inputs, n outputs, the
// Domain and Range pairs and the arena every array of the object lives in.
// Functions are shared by counted references and immutable after
// construction, except for the scratch state their evaluation uses, so one
// function is evaluated by one cooperative thread at a time.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/Fixed.h"
#include "runtime/ObjectHandle.h"
#include "streams/CountedObject.h"

namespace streams {
class StreamOpener;
}

namespace color {

using runtime::Fixed;

class PdfFunction : public streams::CountedObject {
 public:
  enum Type : int32_t {
    kSampled = 0,
    kExponential = 2,
    kStitching = 3,
    kCalculator = 4,
    // The "Identity" tint transform, built by the colour-space code.
    kIdentity = -3787,
  };
  // A colour has at most this many components (DeviceN's limit), so no
  // function needs more inputs or outputs; longer Domain or Range arrays
  // are refused as malformed.
  static constexpr uint32_t kMaxArity = 32;

  ~PdfFunction() override = default;

  int32_t TypeCode() const { return type_; }
  uint32_t Inputs() const { return inputs_; }
  uint32_t Outputs() const { return outputs_; }
  // m pairs (minimum, maximum).
  const Fixed* Domain() const { return domain_; }
  // n pairs, or null when the function has no Range.
  const Fixed* Range() const { return range_; }
  // The bytes the object holds: its arena and itself (its cache cost).
  virtual uint32_t ByteSize() const { return arena_.totalBytes + SelfSize(); }

 protected:
  // `blockSize` and `largeThreshold` configure the object's arena.
  PdfFunction(runtime::LibraryContext* context, int32_t type, uint32_t blockSize,
              uint32_t largeThreshold);

  // Reads Domain (required, even length, numbers) and Range (pairs with
  // minimum <= maximum; required when `rangeRequired`), and sets m and n
  // from them. (runtime, 2) for anything malformed.
  void ReadDomainAndRange(const runtime::ObjectHandle& domain, const runtime::ObjectHandle& range,
                          bool rangeRequired);
  // `count` numbers of `array` from element 0 into a new arena array;
  // (runtime, 2) when the array is shorter or an element is no number.
  Fixed* ReadNumbers(const runtime::ObjectHandle& array, uint32_t count);
  Fixed* AllocateFixed(uint32_t count);
  virtual uint32_t SelfSize() const = 0;

  runtime::ArenaAllocator arena_;
  uint32_t inputs_ = 0;
  uint32_t outputs_ = 0;
  int32_t type_;
  Fixed* domain_ = nullptr;
  Fixed* range_ = nullptr;
};

using PdfFunctionRef = streams::Ref<PdfFunction>;

// Builds functions from their PDF objects.
struct Function {
  // Stitching functions nest at most this deep below the function built by
  // an outside caller.
  static constexpr uint32_t kMaxDepth = 10;

  // The function `object` describes: a dictionary (types 2 and 3) or a
  // stream (types 0 and 4), whose data `opener` (the document) decodes.
  // Outside callers pass depth 0. (runtime, 2) for a malformed function.
  static PdfFunctionRef Create(runtime::LibraryContext* context, const runtime::ObjectHandle& object,
                               streams::StreamOpener* opener, uint32_t depth = 0);
};

// x limited to [low, high]; for a reversed pair the result is still one of
// the two bounds or x, never undefined.
constexpr Fixed ClipToPair(Fixed x, Fixed low, Fixed high) {
  return x < low ? low : (x > high ? high : x);
}

// a + (x - x0) (b - a) / (x1 - x0) in 64 bits, saturated to the Fixed
// range: the interpolation of Encode and stitching, whose operands come
// from the file and may be far apart.
Fixed InterpolateFixed(Fixed x, Fixed x0, Fixed x1, Fixed a, Fixed b);
// a + FixedMul(v, b - a), the difference and the sum in 64 bits and the
// result saturated: Decode, C0/C1 and Range pairs come from the file.
Fixed LerpFixed(Fixed v, Fixed a, Fixed b);
// A 64-bit value saturated to the Fixed limits.
Fixed SaturateFixed(int64_t value);

}  // namespace color
