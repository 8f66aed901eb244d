#pragma once
// Where the focused link is, for a page view that keeps it in sight when
// the view is zoomed, turned or laid out anew.
#include <cstdint>

#include "runtime/Rect.h"

namespace viewer {

class FocusedLinkSource {
 public:
  // The focused link's page and rectangle (page space); false without a
  // focused link or when its rectangle cannot be read.
  virtual bool FocusedLinkRect(int32_t& page, runtime::Rect& rect) = 0;

 protected:
  ~FocusedLinkSource() = default;
};

}  // namespace viewer
