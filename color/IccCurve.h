#pragma once
// An ICC curve tag ("curv" or "para"): a gamma, a parametric function of
// types 1 to 4, the identity, or a sampled table.
#include <cstdint>

#include "color/ContextArray.h"
#include "runtime/Fixed.h"
#include "streams/CountedObject.h"
#include "streams/DataStream.h"

namespace color {

using runtime::Fixed;
class IccStage;

class IccCurve final : public streams::CountedObject {
 public:
  enum Kind : int32_t {
    kGamma = 0,  // Y = X^g
    kParametric1 = 1,
    kParametric2 = 2,
    kParametric3 = 3,
    kParametric4 = 4,
    kIdentity = 5,
    kSampled = 6,
  };
  static constexpr uint32_t kMaxEntries = 4096;

  using CountedObject::CountedObject;

  static streams::Ref<IccCurve> Read(runtime::LibraryContext* context, streams::DataStream& stream);
  // The stage evaluating the curve (direction 1) or its inverse (0).
  static streams::Ref<IccStage> MakeStage(runtime::LibraryContext* context, int32_t direction, const IccCurve& curve,
                                          int32_t channel);

  uint32_t MemorySize() const { return 48 + table.ByteSize(); }

  int32_t kind = kIdentity;
  Fixed gamma = 0;
  Fixed a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
  ContextArray<Fixed> table;  // kSampled only
};

}  // namespace color
