#pragma once
// How many of the viewer's render requests are in each state: waiting (1),
// drawing (2) and finished or shown (3 and 4, counted together).
#include <cstdint>

namespace viewer {

class RenderRequestListener {
 public:
  virtual ~RenderRequestListener() = default;
  // The number of finished requests changed; `request` is the one that
  // moved.
  virtual void OnFinishedCountChanged(void* request, uint32_t finished) = 0;
};

struct RenderRequestCounts {
  uint32_t waiting = 0;
  uint32_t drawing = 0;
  uint32_t finished = 0;

  // Moves one request from the counter of `from` to that of `to`, and
  // tells the listener when the finished count changed. States outside
  // 1..4 are counted nowhere.
  static void CountStateChange(RenderRequestCounts& counts, RenderRequestListener* listener,
                               void* request, int32_t from, int32_t to);
};

}  // namespace viewer
