#pragma once
// The render threads of a render region: at most three cooperative
// threads, each drawing pending requests one after another and waiting on
// the pool's event when none is left.
#include <cstdint>

#include "runtime/CoThread.h"
#include "runtime/Event.h"
#include "runtime/LibraryContext.h"
#include "runtime/ThreadHandle.h"

namespace viewer {

class RenderRegion;

inline constexpr uint32_t kMaxRenderThreads = 3;
inline constexpr uint32_t kRenderThreadStack = 16384;

class RenderThread final : public runtime::CoThread {
 public:
  RenderThread(runtime::LibraryContext* context, RenderRegion* region);
  void Run(runtime::LibraryContext* context) override;

 private:
  RenderRegion* region_;
};

class RenderThreadPool {
 public:
  explicit RenderThreadPool(runtime::LibraryContext* context);
  // Kills and frees every thread.
  ~RenderThreadPool();
  RenderThreadPool(const RenderThreadPool&) = delete;
  RenderThreadPool& operator=(const RenderThreadPool&) = delete;

  // Frees ended threads, starts threads until `target` live (at most
  // three), and wakes the waiting ones.
  void SetTarget(RenderRegion* region, uint32_t target);
  // True while the thread may go on: the live threads are within the
  // target.
  bool MayContinue();
  uint32_t LiveCount() const;
  // The event a thread without work waits on.
  runtime::Event& WorkEvent() { return event_; }
  void Stop();

 private:
  void Prune();

  runtime::LibraryContext* context_;
  runtime::Event event_;
  runtime::ThreadHandle* threads_[kMaxRenderThreads] = {};
  uint32_t target_ = 0;
};

}  // namespace viewer
