#pragma once
// The page view's busy state (its count of pages being drawn) as the viewer
// sees it: going from idle to busy begins the viewer's busy state for the
// page view, going back to idle ends it. A change reported while an error
// unwinds is only recorded; the page view's thread applies it with its
// other deferred updates.
#include <cstdint>

namespace viewer {

class Viewer;

class PageViewBusy {
 public:
  explicit PageViewBusy(Viewer* owner) : viewer_(owner) {}

  // With `deferred` the value waits for ApplyPending, and the answer is
  // true: the caller wakes the page view's thread. Otherwise any waiting
  // value is dropped and `value` takes effect now (false).
  bool Set(bool deferred, uint32_t value);
  // Applies a waiting value, if any.
  void ApplyPending();

  uint32_t Value() const { return value_; }
  bool HasPending() const { return pendingPresent_; }

 private:
  Viewer* viewer_;
  uint32_t value_ = 0;
  uint32_t pending_ = 0;
  bool pendingPresent_ = false;
};

}  // namespace viewer
