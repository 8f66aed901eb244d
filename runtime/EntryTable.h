#pragma once
// A counted table of pointers to entries where a missing entry is damage:
// AtNonNull turns both a bad index and a null entry into (runtime, 2).
#include <cstdint>
#include <span>

#include "runtime/ErrorTrap.h"

namespace runtime {

template <class T>
class EntryTable {
 public:
  EntryTable() = default;
  explicit EntryTable(std::span<T* const> entries) : entries_(entries) {}

  T& AtNonNull(uint32_t n) const {
    if (n >= entries_.size() || entries_[n] == nullptr) {
      ThrowError(nullptr, ErrorRecord{kRuntimeDomain, kMalformed, 0});
    }
    return *entries_[n];
  }
  uint32_t Count() const { return static_cast<uint32_t>(entries_.size()); }

 private:
  std::span<T* const> entries_;
};

}  // namespace runtime
