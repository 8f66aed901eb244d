#pragma once
// What the scheduler tells the viewer: that cooperative work has appeared
// (the viewer starts its work timer, which drives the scheduler) or that no
// thread but the main one is left runnable (the viewer stops the timer).
// The viewer implements it; LibraryContext::viewer points at it.

namespace runtime {

class ViewerHooks {
 public:
  // A thread became runnable while only the main thread was running.
  virtual void StartWorkTimer() = 0;
  // The last thread other than the main one blocked or ended.
  virtual void StopWorkTimer() = 0;

 protected:
  ~ViewerHooks() = default;
};

}  // namespace runtime
