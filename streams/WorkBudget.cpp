#include "streams/WorkBudget.h"

namespace streams {
namespace {

void RefillOnly(runtime::LibraryContext* context) { context->workBudget = runtime::kWorkBudget; }

YieldHandler g_yield = &RefillOnly;

}  // namespace

void SetYieldHandler(YieldHandler handler) { g_yield = handler != nullptr ? handler : &RefillOnly; }

void SpendWork(runtime::LibraryContext* context, int32_t units) {
  if (context == nullptr) return;
  context->workBudget -= units;
  if (context->workBudget <= 0) g_yield(context);
}

}  // namespace streams
