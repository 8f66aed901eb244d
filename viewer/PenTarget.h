#pragma once
// Where the viewer sends the pen events of the page-view window: the page
// view's pen of the open document.
#include <cstdint>

namespace viewer {

class PenTarget {
 public:
  // Pen down with the page view's current pen tool.
  virtual void PenDown(int64_t x, int64_t y) = 0;
  virtual void PenMoveTo(int64_t x, int64_t y) = 0;
  virtual void PenUpAt(int64_t x, int64_t y) = 0;
  virtual void PenCaptureLost() = 0;

 protected:
  ~PenTarget() = default;
};

// The client point of a pen message's point word: x from the low 16 bits
// and y from the high 16 bits, each sign-extended.
inline void DecodePenPoint(uint32_t word, int32_t& x, int32_t& y) {
  x = static_cast<int16_t>(word & 0xFFFF);
  y = static_cast<int16_t>(word >> 16);
}

}  // namespace viewer
