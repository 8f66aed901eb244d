#pragma once
// A stand-in for the viewer in the shell's tests: it names the active view
// window and counts what the shell asks of it.
#include "shell/AppState.h"
#include "shell/HostWindow.h"

namespace shell::testing {

class TestViewer : public ShellViewer {
 public:
  HostWindow* active = nullptr;
  int modalBegins = 0;
  int modalEnds = 0;
  int typedPageRequests = 0;
  int bookmarkSelections = 0;

  HostWindow* ActiveViewWindow() override { return active; }
  void BeginModalUi() override { ++modalBegins; }
  void EndModalUi() override { ++modalEnds; }
  void GoToTypedPage() override { ++typedPageRequests; }
  void OnBookmarkSelected() override { ++bookmarkSelections; }
};

}  // namespace shell::testing
