#pragma once
// Where the page view reports a settled view: the host's scroll bars, and
// the controller's page number and zoom.
#include <cstdint>

#include "runtime/Fixed.h"

namespace viewer {

struct ScrollBarRecord;

class ViewChangeSink {
 public:
  virtual void SetScrollBars(const ScrollBarRecord& bars) = 0;
  virtual void ShowPageAndZoom(int32_t page, runtime::Fixed effectiveZoom) = 0;

 protected:
  ~ViewChangeSink() = default;
};

}  // namespace viewer
