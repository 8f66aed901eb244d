#pragma once
// One step of a colour transform: rewrites a colour vector of up to four
// 16.16 values in place. Stages are counted and chained; a chain is run
// by the transform that holds its first stage.
#include <cstdint>

#include "runtime/Fixed.h"
#include "streams/CountedObject.h"

namespace color {

using runtime::Fixed;

// Every colour vector has room for this many values; unused ones are 0.
inline constexpr int kMaxColorChannels = 4;

class IccStage : public streams::CountedObject {
 public:
  enum StageKind : int32_t { kOrdinary = 0, kMatrix = 1, kLabToXyz = 2, kXyzToLab = 3, kClamp = 4 };

  using CountedObject::CountedObject;

  // The stage's own figure plus 24, plus what follows when this stage is
  // the only holder of its successor.
  uint32_t MemorySize() const {
    uint32_t size = OwnSize() + 24;
    if (next && next->RefCount() == 1) size += next->MemorySize();
    return size;
  }
  virtual bool IsIdentity() const = 0;
  virtual void Apply(Fixed* v) const = 0;
  // Applies the stage to `count` vectors of kMaxColorChannels values each;
  // stages on hot paths override this to keep the loop inside.
  virtual void ApplySpan(Fixed* vectors, uint32_t count) const {
    for (uint32_t i = 0; i < count; ++i) Apply(vectors + i * kMaxColorChannels);
  }
  virtual StageKind Kind() const { return kOrdinary; }
  // The one channel a one-channel stage (a curve) rewrites; -1 for stages
  // that read or write several.
  virtual int32_t Channel() const { return -1; }
  virtual uint32_t OwnSize() const = 0;

  streams::Ref<IccStage> next;
};

using IccStageRef = streams::Ref<IccStage>;

}  // namespace color
