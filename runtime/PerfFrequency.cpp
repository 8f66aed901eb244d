#include "runtime/PerfFrequency.h"

#include "platform/Clock.h"

namespace runtime {
namespace {

// One kept answer per clock: tests switch between the real and the virtual
// clock, which tick at different rates, while a device's rate never changes.
struct KeptFrequency {
  bool asked = false;
  int64_t value = 1;
};
KeptFrequency g_kept[2];

}  // namespace

int64_t GetPerfFrequency() {
  KeptFrequency& kept = g_kept[platform::IsVirtualClock() ? 1 : 0];
  if (!kept.asked) {
    int64_t frequency = 0;
    if (platform::QueryPerformanceFrequency(&frequency) && frequency > 0) {
      kept.value = frequency;
      kept.asked = true;
    }
  }
  return kept.value;
}

int64_t ReadPerfCounter() {
  int64_t now = 0;
  if (!platform::QueryPerformanceCounter(&now)) return 0;
  return now;
}

}  // namespace runtime
