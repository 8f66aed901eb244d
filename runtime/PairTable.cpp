#include "runtime/PairTable.h"

#include <cstring>

#include "runtime/ErrorTrap.h"

namespace runtime {

void PairTable::Set(const Fixed* words, uint32_t n) {
  if (static_cast<uint64_t>(n) != 2 * static_cast<uint64_t>(pairCount_)) {
    ThrowRuntime(kMalformed);
  }
  words_.Resize(n);  // raises before anything changes
  if (n != 0) std::memcpy(words_.Data(), words, n * sizeof(Fixed));
}

}  // namespace runtime
