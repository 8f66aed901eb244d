#include "shell/Timer.h"

#include <new>

#include "platform/Window.h"
#include "shell/AppState.h"

namespace shell {

Timer* Timer::Create(uint32_t milliseconds, void* context, runtime::HostTimerCallback callback) {
  if (callback == nullptr) return nullptr;
  auto* timer = new (std::nothrow) Timer(context, callback);
  if (timer == nullptr) return nullptr;
  timer->window_ = platform::CreateWindowExW(0, kTimerWindowClass, u"", 0, 0, 0, 0, 0, nullptr, nullptr,
                                             App().instance, nullptr);
  if (timer->window_ != nullptr) {
    platform::SetWindowLongW(timer->window_, platform::GWL_USERDATA, reinterpret_cast<platform::LONG_PTR>(timer));
    timer->timerResult_ = platform::SetTimer(timer->window_, timer->timerId_, milliseconds, &Timer::TimerProc);
  }
  if (timer->window_ == nullptr || timer->timerResult_ == 0) {
    delete timer;
    return nullptr;
  }
  return timer;
}

Timer::~Timer() {
  if (window_ == nullptr) return;
  if (timerResult_ != 0) platform::KillTimer(window_, timerId_);
  // The window forgets us first, so that nothing still queued for it can
  // reach a timer that is gone.
  platform::SetWindowLongW(window_, platform::GWL_USERDATA, 0);
  platform::DestroyWindow(window_);
}

void Timer::TimerProc(platform::HWND window, platform::UINT, platform::UINT_PTR, platform::DWORD) {
  auto* timer = reinterpret_cast<Timer*>(platform::GetWindowLongW(window, platform::GWL_USERDATA));
  if (timer == nullptr) return;
  // The callback may destroy the timer: nothing of it is touched afterwards.
  timer->callback_(timer->context_);
}

platform::LRESULT TimerWindowProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                  platform::LPARAM lParam) {
  if (message == platform::WM_CLOSE) return 0;
  return platform::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace shell
