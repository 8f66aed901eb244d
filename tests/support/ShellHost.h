#pragma once
// The shell's HostServices for any test that takes a runtime::HostServices:
// it readies the headless platform first (a fresh window system, an
// in-memory registry, the shell's window classes and resources) and puts
// the window system back afterwards. A test program that uses it links the
// shell library. Tests that need the virtual clock turn it on themselves.
//
//   testsupport::ShellHost shellHost;
//   viewer::Viewer viewer{&context, &shellHost.services};
#include <stdlib.h>

#include "platform/Registry.h"
#include "platform/Window.h"
#include "platform/WindowSystem.h"
#include "shell/AppState.h"
#include "shell/HostServices.h"
#include "shell/ShellResources.h"
#include "tests/platform/TempFolder.h"

namespace testsupport {

class ShellHost {
 public:
  // `viewer` (may be null) is what the shell's windows and dialogs report to.
  explicit ShellHost(shell::ShellViewer* viewer = nullptr) : ready_(Prepare(viewer)) {}
  ~ShellHost() {
    platform::ResetWindowSystem();
    shell::ResetAppState();
  }
  ShellHost(const ShellHost&) = delete;
  ShellHost& operator=(const ShellHost&) = delete;

 private:
  struct Ready {};
  static Ready Prepare(shell::ShellViewer* viewer) {
    // Lock files and sockets stay apart from a running application's.
    static platform::testing::TempFolder runtimeFolder;
    if (std::getenv("FOLVANE_RUNTIME_DIR") == nullptr) ::setenv("FOLVANE_RUNTIME_DIR", runtimeFolder.path().c_str(), 1);
    platform::UseInMemoryRegistry();
    platform::ResetWindowSystem();
    shell::ResetAppState();
    shell::App().viewer = viewer;
    shell::RegisterWindowClasses(nullptr);
    shell::RegisterShellResources();
    return Ready{};
  }

  Ready ready_;

 public:
  shell::HostServices services;
};

}  // namespace testsupport
