#include "runtime/Deadline.h"

#include <limits>

#include "platform/Clock.h"
#include "runtime/HostServices.h"

namespace runtime {
namespace {

int64_t Now() {
  int64_t now = 0;
  platform::QueryPerformanceCounter(&now);
  return now;
}

// Read on every use rather than cached: tests switch between the real and
// the virtual clock, which tick at different rates.
int64_t Frequency() {
  int64_t frequency = 0;
  platform::QueryPerformanceFrequency(&frequency);
  return frequency > 0 ? frequency : 1;
}

}  // namespace

Deadline::Deadline(LibraryContext* owner) : context(owner), target(Now()) {}

Deadline::Deadline(LibraryContext* owner, uint32_t milliseconds) : context(owner) {
  // A 32-bit count of milliseconds times a frequency of at most 2^32 per
  // second fits in 64 bits.
  SetFromNow(static_cast<int64_t>(milliseconds) * Frequency() / 1000);
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
