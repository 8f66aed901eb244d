#pragma once
// The operand stack of charstrings and CFF DICT data: 48 entries, each a
// 32-bit value with a flag telling an integer from a 16.16 Fixed. Every
// misuse (overflow, underflow, an index past the count, a Fixed where an
// integer is required) is malformed font data, (runtime, 2).
#include <cstdint>

#include "fonts/FontError.h"
#include "runtime/Fixed.h"

namespace fonts {

using runtime::Fixed;

class CharstringStack {
 public:
  static constexpr uint32_t kCapacity = 48;

  struct Entry {
    int32_t value;
    uint8_t isFixed;
  };

  void Push(int32_t value) { PushEntry({value, 0}); }
  void PushFixed(Fixed value) { PushEntry({value, 1}); }
  void PushEntry(Entry entry) {
    if (count_ >= kCapacity) ThrowMalformedFont();
    entries_[count_++] = entry;
  }
  Entry PopEntry() {
    if (count_ == 0) ThrowMalformedFont();
    return entries_[--count_];
  }
  int32_t PopInt() {
    const Entry e = PopEntry();
    if (e.isFixed != 0) ThrowMalformedFont();
    return e.value;
  }
  Fixed PopFixed() { return AsFixed(PopEntry()); }
  // Entry i from the bottom, as a Fixed.
  Fixed OperandAt(uint32_t i) const {
    if (i >= count_) ThrowMalformedFont();
    return AsFixed(entries_[i]);
  }
  // Entry i from the bottom; it must be an integer.
  int32_t IntAt(uint32_t i) const {
    if (i >= count_ || entries_[i].isFixed != 0) ThrowMalformedFont();
    return entries_[i].value;
  }
  const Entry& EntryAt(uint32_t i) const {
    if (i >= count_) ThrowMalformedFont();
    return entries_[i];
  }
  // Replaces entry i (i < count).
  void SetFixedAt(uint32_t i, Fixed value) {
    if (i >= count_) ThrowMalformedFont();
    entries_[i] = {value, 1};
  }
  // Drops the top n entries.
  void Drop(uint32_t n) {
    if (n > count_) ThrowMalformedFont();
    count_ -= n;
  }
  void Clear() { count_ = 0; }
  uint32_t Count() const { return count_; }

 private:
  // An integer becomes a Fixed by a shift (wrapping, as the 32-bit word does).
  static Fixed AsFixed(Entry e) {
    return e.isFixed != 0 ? e.value : static_cast<Fixed>(static_cast<uint32_t>(e.value) << 16);
  }

  Entry entries_[kCapacity];
  uint32_t count_ = 0;
};

}  // namespace fonts
