#pragma once
// Change counting for owners whose dependants cache derived state: every
// change moves a 64-bit stamp and a count, and a dependant that remembered
// the stamp knows whether to rebuild.
#include <cstdint>

namespace runtime {

struct ChangeStamp {
  uint64_t stamp = 0;
  uint32_t count = 0;

  // One change; answers `answer` for callers whose protocol wants a result.
  bool Bump(bool answer = true) {
    ++stamp;
    ++count;
    return answer;
  }
  // A change that also invalidates what was derived in between.
  void BumpTwice() {
    stamp += 2;
    count += 2;
  }
};

// A change marked now and counted later, once, when it is committed.
struct PendingChange {
  ChangeStamp* owner = nullptr;
  bool pending = false;

  void Mark() { pending = true; }
  void Commit() {
    if (!pending) return;
    pending = false;
    if (owner != nullptr) owner->Bump();
  }
};

}  // namespace runtime
