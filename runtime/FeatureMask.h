#pragma once
// Which kinds of feature an object has met: each (kind, variant) pair has
// a code, and noting a pair sets the code's bit in the seen mask.
#include <cstdint>

namespace runtime {

struct FeatureMask {
  uint32_t seen = 0;

  // The code of (kind, variant); 0 for a set flag or a pair outside the
  // table.
  static uint32_t CodeFor(uint32_t flag, uint32_t kind, uint32_t variant);
  // CodeFor, with the code's bit set in `seen`.
  uint32_t Note(uint32_t flag, uint32_t kind, uint32_t variant);
};

}  // namespace runtime
