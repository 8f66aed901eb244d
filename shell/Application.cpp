#include "shell/Application.h"

#include "platform/Clock.h"
#include "platform/Controls.h"
#include "platform/Kernel.h"
#include "platform/Resources.h"
#include "platform/Window.h"
#include "runtime/ErrorTrap.h"
#include "shell/AppState.h"
#include "shell/CommandLine.h"
#include "shell/HostServices.h"
#include "shell/Localization.h"
#include "shell/MainWindowProc.h"
#include "shell/Settings.h"
#include "shell/ShellResources.h"
#include "shell/ViewerAppAdapter.h"
#include "shell/WString.h"
#include "viewer/ViewerApp.h"

namespace shell {

namespace {

// InitCommonControlsEx: the record's size and the class mask the
// application asks for.
constexpr platform::DWORD kCommonControlsSize = 8;
constexpr platform::DWORD kCommonControlsClasses = 0x400;

// The viewer starts inside a trap: a control the host cannot make ends the
// start with an error instead of the process.
bool StartViewer(viewer::ViewerApp* app, const char16_t* path) {
  runtime::ErrorTrap trap(&app->context);
  if (trap.Run([&] { app->OpenInitialDocument(path); })) return true;
  trap.SetHandled();
  trap.Close();
  return false;
}

}  // namespace

uint32_t ActivateRunningInstance(const char16_t* className, const char16_t* title, const char16_t* commandLine,
                                 bool* found) {
  (void)title;
  *found = false;
  for (int tries = kActivateTries; tries > 0; --tries) {
    const platform::HANDLE mutex = platform::CreateMutexW(nullptr, platform::FALSE, className);
    if (mutex == nullptr) return kActivateFailed;
    if (platform::GetLastError() != platform::ERROR_ALREADY_EXISTS) {
      // The first instance: the mutex stays open until the process ends.
      return 0;
    }
    platform::CloseHandle(mutex);
    // The first instance's window is found by its class: its title is the
    // viewer's, which need not be the one this instance read.
    platform::HWND window = platform::FindWindowW(className, nullptr);
    if (window == nullptr) {
      platform::Sleep(kActivateRetryMilliseconds);
      window = platform::FindWindowW(className, nullptr);
    }
    if (window == nullptr) continue;
    platform::SetForegroundWindow(reinterpret_cast<platform::HWND>(reinterpret_cast<uintptr_t>(window) | 1));
    WString text;
    text.AssignCString(commandLine);
    platform::COPYDATASTRUCT data{};
    data.cbData = (text.Length() + 1) * sizeof(char16_t);
    data.lpData = const_cast<char16_t*>(text.Chars());
    platform::SendMessageW(window, platform::WM_COPYDATA, 0, reinterpret_cast<platform::LPARAM>(&data));
    *found = true;
    return 0;
  }
  return kActivateFailed;
}

int WinMain(platform::HINSTANCE instance, platform::HINSTANCE, const char16_t* commandLine, int,
            const ApplicationHooks* hooks) {
  AppState& app = App();
  app.instance = instance;
  RegisterShellResources();
  char16_t title[kTitleCapacity + 1] = {};
  if (platform::LoadStringW(instance, kWindowTitleString, title, kTitleCapacity + 1) <= 0) return 0;

  bool found = false;
  if (ActivateRunningInstance(kMainWindowClass, title, commandLine, &found) != 0 || found) return 0;

  const platform::INITCOMMONCONTROLSEX controls{kCommonControlsSize, kCommonControlsClasses};
  platform::InitCommonControlsEx(&controls);
  if (!RegisterWindowClasses(MainWindowProc)) return 0;

  app.optionBits = ReadOptionBits(GetPlatformType());

  HostServices host;
  auto* create = hooks != nullptr && hooks->createViewer != nullptr ? hooks->createViewer : &viewer::ViewerApp::Create;
  viewer::ViewerApp* viewerApp = create(&host, app.optionBits);
  // Without a viewer there is nothing to run: HostServices goes with this
  // frame, and the start is reported as failed.
  if (viewerApp == nullptr) return kStartFailedExitCode;
  ViewerAppAdapter adapter(viewerApp);
  app.viewer = &adapter;

  WString file;
  GetCommandLineFile(commandLine, file);
  if (!StartViewer(viewerApp, file.IsEmpty() ? nullptr : file.Chars())) {
    app.viewer = nullptr;
    viewer::ViewerApp::Destroy(viewerApp);
    return kStartFailedExitCode;
  }
  if (hooks != nullptr && hooks->started != nullptr) hooks->started(viewerApp, hooks->user);

  platform::MSG message{};
  while (platform::GetMessageW(&message, nullptr, 0, 0)) {
    platform::TranslateMessage(&message);
    platform::DispatchMessageW(&message);
  }
  // The windows the viewer still destroys must not call back into it.
  app.viewer = nullptr;
  viewer::ViewerApp::Destroy(viewerApp);
  return static_cast<int>(message.wParam);
}

}  // namespace shell
