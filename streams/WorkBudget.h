#pragma once
// Long stream work (decoding image rows) charges the cooperative thread's
// work budget and yields when it is spent, so that other threads run.
#include <cstdint>

#include "runtime/LibraryContext.h"

namespace streams {

// Called when the budget is spent; it must leave the budget refilled. The
// scheduler installs its thread yield; without one the budget is only
// refilled, as there is no other thread to run.
using YieldHandler = void (*)(runtime::LibraryContext* context);
void SetYieldHandler(YieldHandler handler);
void SpendWork(runtime::LibraryContext* context, int32_t units);

}  // namespace streams
