#pragma once
// The last content operators a page ran, for diagnosing where a damaged
// page went wrong: each record is an operator code and the two operand
// ranges it read. The ring keeps the newest 220; older records are reused
// in place, so recording never allocates.
#include <cstdint>

namespace runtime {

class OperatorTrace {
 public:
  static constexpr uint32_t kSlots = 220;
  // Slot number meaning "no slot" in the age links.
  static constexpr uint8_t kNone = 255;

  // Two words each: where an operator's operands begin and end.
  struct Range {
    uint32_t first = 0;
    uint32_t second = 0;
  };
  struct Slot {
    uint8_t code = 0;
    Range range1;
    Range range2;
  };

  // Stores a record as the newest, reusing the oldest slot once all 220
  // are taken.
  void Record(uint8_t code, const Range& range1, const Range& range2);
  // Takes `slot` out of the age order and appends it as the newest.
  void Unlink(uint8_t slot);

  uint32_t Count() const { return count_; }
  uint8_t Oldest() const { return first_; }
  uint8_t Newest() const { return last_; }
  // The slot recorded after `slot`, or kNone.
  uint8_t Newer(uint8_t slot) const { return next_[slot]; }
  uint8_t Older(uint8_t slot) const { return previous_[slot]; }
  const Slot& At(uint8_t slot) const { return slots_[slot]; }

 private:
  void Append(uint8_t slot);

  uint32_t count_ = 0;
  Slot slots_[kSlots];
  uint8_t previous_[kSlots];
  uint8_t next_[kSlots];
  uint8_t first_ = kNone;
  uint8_t last_ = kNone;
};

}  // namespace runtime
