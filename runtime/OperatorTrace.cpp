#include "runtime/OperatorTrace.h"

namespace runtime {

void OperatorTrace::Record(uint8_t code, const Range& range1, const Range& range2) {
  uint8_t slot;
  if (count_ < kSlots) {
    slot = static_cast<uint8_t>(count_);
    ++count_;
    Append(slot);
  } else {
    slot = first_;
    Unlink(slot);
  }
  slots_[slot] = Slot{code, range1, range2};
}

void OperatorTrace::Unlink(uint8_t slot) {
  // A slot never taken is in no order yet.
  if (slot >= count_) return;
  const uint8_t before = previous_[slot];
  const uint8_t after = next_[slot];
  if (before != kNone) {
    next_[before] = after;
  } else {
    first_ = after;
  }
  if (after != kNone) {
    previous_[after] = before;
  } else {
    last_ = before;
  }
  Append(slot);
}

void OperatorTrace::Append(uint8_t slot) {
  previous_[slot] = last_;
  next_[slot] = kNone;
  if (last_ != kNone) {
    next_[last_] = slot;
  } else {
    first_ = slot;
  }
  last_ = slot;
}

}  // namespace runtime
