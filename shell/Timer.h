#pragma once
// A timer of HostServices: a hidden window of the timer class that owns one
// platform timer and calls the creator's callback on every tick.
#include <cstdint>

#include "platform/Messages.h"
#include "runtime/HostControls.h"
#include "runtime/HostServices.h"

namespace shell {

class Timer final : public runtime::HostTimer {
 public:
  // A running timer, or null when its window or its platform timer could
  // not be made. The timer class must be registered.
  static Timer* Create(uint32_t milliseconds, void* context, runtime::HostTimerCallback callback);
  // Stops the timer at once: no tick reaches the callback afterwards, also
  // when the timer is destroyed from inside its own callback.
  ~Timer() override;

  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  platform::HWND Window() const { return window_; }

  static void TimerProc(platform::HWND window, platform::UINT message, platform::UINT_PTR id, platform::DWORD time);

 private:
  Timer(void* context, runtime::HostTimerCallback callback) : callback_(callback), context_(context) {}

  platform::UINT_PTR timerResult_ = 0;
  platform::UINT_PTR timerId_ = 1;
  platform::HWND window_ = nullptr;
  runtime::HostTimerCallback callback_;
  void* context_;
};

// The timer class's procedure: the hidden window cannot be closed from
// outside; everything else is the default.
platform::LRESULT TimerWindowProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                  platform::LPARAM lParam);

}  // namespace shell
