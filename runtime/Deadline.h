#pragma once
// A point in time on the performance counter, and the stop test of the
// scheduler's interactive run loop.
#include <cstdint>

namespace runtime {

class LibraryContext;
class HostServices;

class Deadline {
 public:
  // Already passed as soon as the clock moves.
  explicit Deadline(LibraryContext* context);
  // `milliseconds` from now.
  Deadline(LibraryContext* context, uint32_t milliseconds);

  // Sets the target `ticks` counter ticks from now.
  void SetFromNow(int64_t ticks);
  // True once the clock is later than the target.
  bool Passed() const;

  LibraryContext* context;
  int64_t target = 0;
};

// Stop when the user gives input or the deadline passes.
struct InputStop {
  HostServices* host;
  Deadline deadline;
};

bool ShouldYieldForInput(const InputStop& stop);

}  // namespace runtime
