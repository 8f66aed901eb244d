#pragma once
// A table of number pairs: the [min max] ranges of a colour space's
// components (2 x components numbers).
#include <cstdint>
#include <span>

#include "runtime/Fixed.h"
#include "runtime/OwnedArray.h"

namespace runtime {

class PairTable {
 public:
  PairTable(LibraryContext* context, uint32_t pairCount)
      : words_(context, context, 0), pairCount_(pairCount) {}
  virtual ~PairTable() = default;

  // Takes n words, which must be exactly two per pair: any other count
  // raises (runtime, 2) and leaves the table as it was.
  void Set(const Fixed* words, uint32_t n);

  uint32_t PairCount() const { return pairCount_; }
  std::span<const Fixed> Words() const { return words_.Elements(); }
  Fixed Low(uint32_t pair) const { return words_[2 * pair]; }
  Fixed High(uint32_t pair) const { return words_[2 * pair + 1]; }

 private:
  OwnedArray<Fixed> words_;
  uint32_t pairCount_;
};

}  // namespace runtime
