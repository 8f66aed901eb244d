#include "shell/AppState.h"

#include "platform/Gdi.h"
#include "platform/Resources.h"
#include "platform/Window.h"
#include "shell/Timer.h"

namespace shell {

AppState& App() {
  static AppState state;
  return state;
}

void ResetAppState() { App() = AppState{}; }

HostWindow* ActiveViewWindow() {
  ShellViewer* viewer = App().viewer;
  return viewer != nullptr ? viewer->ActiveViewWindow() : nullptr;
}

namespace {

bool RegisterOneClass(platform::WNDPROC procedure, const char16_t* name) {
  platform::WNDCLASSW existing{};
  if (platform::GetClassInfoW(App().instance, name, &existing)) return true;
  platform::WNDCLASSW windowClass{};
  windowClass.style = platform::CS_DBLCLKS;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = App().instance;
  windowClass.hCursor = platform::LoadCursorW(nullptr, platform::IDC_ARROW);
  windowClass.hbrBackground = platform::GetSysColorBrush(platform::COLOR_WINDOW + 1);
  windowClass.lpszClassName = name;
  return platform::RegisterClassW(&windowClass) != 0;
}

}  // namespace

bool RegisterWindowClasses(platform::WNDPROC mainProcedure) {
  return RegisterOneClass(mainProcedure != nullptr ? mainProcedure : platform::DefWindowProcW, kMainWindowClass) &&
         RegisterOneClass(TimerWindowProc, kTimerWindowClass);
}

}  // namespace shell
