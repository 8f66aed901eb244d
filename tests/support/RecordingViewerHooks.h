#pragma once
// Viewer hooks for tests: counts the work-timer calls in order.
#include <string>

#include "runtime/ViewerHooks.h"

namespace testsupport {

class RecordingViewerHooks : public runtime::ViewerHooks {
 public:
  void StartWorkTimer() override {
    ++starts;
    calls += '+';
  }
  void StopWorkTimer() override {
    ++stops;
    calls += '-';
  }

  int starts = 0;
  int stops = 0;
  // '+' per start, '-' per stop, in call order.
  std::string calls;
};

}  // namespace testsupport
