#pragma once
// A runner that stands in for whatever its owner currently holds: the
// owner may swap the target between runs, and the runner forwards every
// run to the target of the moment.
#include <cstdint>

namespace raster {

class Runnable {
 public:
  virtual ~Runnable() = default;
  virtual int64_t Run(uint32_t a, uint32_t b, uint32_t c) = 0;
};

class ForwardingRunner final : public Runnable {
 public:
  // `ownerTarget`: where the owner keeps its current target.
  explicit ForwardingRunner(Runnable* const* ownerTarget) : ownerTarget_(ownerTarget) {}

  // The target's answer; 0 while the owner holds none (or the runner
  // itself, which would only call itself again).
  int64_t Run(uint32_t a, uint32_t b, uint32_t c) override {
    Runnable* target = ownerTarget_ != nullptr ? *ownerTarget_ : nullptr;
    if (target == nullptr || target == this) return 0;
    return target->Run(a, b, c);
  }

 private:
  Runnable* const* ownerTarget_;
};

}  // namespace raster
