#pragma once
// The application's entry: one instance per user, the window classes, the
// viewer's option word from the registry and the platform, HostServices
// and the viewer, the file named on the command line, and the message loop
// until WM_QUIT.
#include <cstdint>

#include "platform/Types.h"

namespace runtime {
class HostServices;
}  // namespace runtime

namespace viewer {
class ViewerApp;
}  // namespace viewer

namespace shell {

// The failure ActivateRunningInstance reports (E_FAIL).
inline constexpr uint32_t kActivateFailed = 0x80004005;
// How often a second instance looks for the first one's window, and the
// wait between two looks.
inline constexpr int kActivateTries = 5;
inline constexpr uint32_t kActivateRetryMilliseconds = 500;
// The longest window title read from the string table.
inline constexpr int kTitleCapacity = 30;

// What WinMain returns when the viewer could not be made or started, after
// everything it made is gone again.
inline constexpr int kStartFailedExitCode = 1;

// Ways for the program around WinMain (and tests) to take part.
struct ApplicationHooks {
  // Makes the viewer; ViewerApp::Create when null.
  viewer::ViewerApp* (*createViewer)(runtime::HostServices* host, uint32_t options) = nullptr;
  // Runs once the viewer has started, just before the message loop.
  void (*started)(viewer::ViewerApp* viewer, void* user) = nullptr;
  void* user = nullptr;
};

// Runs the application. Returns WM_QUIT's wParam; 0 when start-up stops
// early (another instance took the command line, or the title, the mutex
// or a window class is missing); kStartFailedExitCode when the viewer
// could not be made or started.
int WinMain(platform::HINSTANCE instance, platform::HINSTANCE previous, const char16_t* commandLine,
            int showCommand, const ApplicationHooks* hooks = nullptr);

// Makes sure one instance runs: the first instance keeps the named mutex
// for the life of the process (found = false). A later one finds the first
// instance's window by its class, brings it forward and hands it the
// command line in WM_COPYDATA (found = true). Returns 0, or kActivateFailed
// when the mutex cannot be made or the first instance's window is not found
// after kActivateTries rounds of two looks.
uint32_t ActivateRunningInstance(const char16_t* className, const char16_t* title, const char16_t* commandLine,
                                 bool* found);


}  // namespace shell
