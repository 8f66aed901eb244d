#include "viewer/RenderRequestCounts.h"

namespace viewer {
namespace {

uint32_t* CounterOfState(RenderRequestCounts& counts, int32_t state) {
  switch (state) {
    case 1:
      return &counts.waiting;
    case 2:
      return &counts.drawing;
    case 3:
    case 4:
      return &counts.finished;
    default:
      return nullptr;
  }
}

}  // namespace

void RenderRequestCounts::CountStateChange(RenderRequestCounts& counts,
                                           RenderRequestListener* listener, void* request,
                                           int32_t from, int32_t to) {
  uint32_t* before = CounterOfState(counts, from);
  uint32_t* after = CounterOfState(counts, to);
  if (before == after) return;
  // A counter never wraps below zero: a request counted nowhere before
  // leaves nothing to take away.
  if (before != nullptr && *before > 0) --*before;
  if (after != nullptr) ++*after;
  if (listener != nullptr && (before == &counts.finished || after == &counts.finished)) {
    listener->OnFinishedCountChanged(request, counts.finished);
  }
}

}  // namespace viewer
