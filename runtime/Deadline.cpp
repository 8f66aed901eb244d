#include "runtime/Deadline.h"

#include <limits>

#include "platform/Clock.h"
#include "runtime/HostServices.h"
#include "runtime/PerfFrequency.h"

namespace runtime {
namespace {

int64_t Now() {
  int64_t now = 0;
  platform::QueryPerformanceCounter(&now);
  return now;
}

}  // namespace

Deadline::Deadline(LibraryContext* owner) : context(owner), target(Now()) {}

Deadline::Deadline(LibraryContext* owner, uint32_t milliseconds) : context(owner) {
  // A 32-bit count of milliseconds times a frequency of at most 2^32 per
  // second fits in 64 bits.
  SetFromNow(static_cast<int64_t>(milliseconds) * GetPerfFrequency() / 1000);
}

void Deadline::SetFromNow(int64_t ticks) {
  const int64_t now = Now();
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  if (ticks > 0 && now > kMax - ticks) {
    target = kMax;
  } else {
    target = now + ticks;
  }
}

bool Deadline::Passed() const { return Now() > target; }

bool ShouldYieldForInput(const InputStop& stop) {
  if (stop.host != nullptr && stop.host->IsInputPending()) return true;
  return stop.deadline.Passed();
}

}  // namespace runtime
