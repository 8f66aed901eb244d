#pragma once
// Bounds a walk along links a file may make circular ("Parent" chains,
// nested "Kids"): each step takes one unit; taking the last of the 1000
// raises (runtime, 2) through the given context, so at most 999 steps run.
#include <cstdint>

#include "runtime/ErrorTrap.h"

namespace pdf {

class DepthBudget {
 public:
  static constexpr int32_t kSteps = 1000;

  explicit DepthBudget(runtime::LibraryContext* context) : context_(context) {}

  void Step() {
    if (--remaining_ <= 0) {
      runtime::ThrowError(context_, runtime::ErrorRecord{runtime::kRuntimeDomain,
                                                         runtime::kMalformed, 0});
    }
  }
  // Gives a step back when a nested walk returns.
  void Return() { ++remaining_; }
  int32_t Remaining() const { return remaining_; }

 private:
  runtime::LibraryContext* context_;
  int32_t remaining_ = kSteps;
};

}  // namespace pdf
