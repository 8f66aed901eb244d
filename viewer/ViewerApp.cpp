#include "viewer/ViewerApp.h"

#include <new>

#include "runtime/ErrorTrap.h"
#include "runtime/HostServices.h"

namespace viewer {
namespace {

// The library context as the application sets it up before the viewer
// reads the host's budget.
runtime::LibraryContext* PrepareContext(runtime::LibraryContext* context,
                                        runtime::HostServices* host) {
  runtime::MemoryContext& memory = context->memory;
  memory.softLimit = kAppSoftPurgeBytes;
  memory.hardLimit = runtime::kNoLimit;
  memory.largestCountedBlock = kAppLargeBlockBytes;
  memory.minimumPurge = kAppMinimumPurgeBytes;
  context->workBudget = runtime::kWorkBudget;
  context->threadingEnabled = true;
  context->host = host;
  return context;
}

}  // namespace

ViewerApp* ViewerApp::Create(runtime::HostServices* host, uint32_t options) {
  return new (std::nothrow) ViewerApp(host, options);
}

void ViewerApp::Destroy(ViewerApp* app) { delete app; }

ViewerApp::ViewerApp(runtime::HostServices* host, uint32_t options)
    : viewer(PrepareContext(&context, host), host, options) {
  // The scheduler tells the viewer when cooperative work appears and goes;
  // the work timer follows (at construction only the main thread exists).
  context.viewer = &viewer;
  viewer.layoutRecords = &layoutRecords;
}

ViewerApp::~ViewerApp() { context.viewer = nullptr; }

template <class Body>
void ViewerApp::Guarded(Body&& body) {
  // A window message has no caller to report an error to: the request
  // that failed ends, the application goes on.
  runtime::ErrorTrap trap(&context);
  if (!trap.Run(std::forward<Body>(body))) {
    trap.SetHandled();
    trap.Close();
  }
}

void ViewerApp::OpenInitialDocument(const char16_t* path) { viewer.Start(path); }

int32_t ViewerApp::OnCopyData(const char16_t* path) {
  int32_t opened = 0;
  Guarded([&] { opened = viewer.OpenDocument(path); });
  return opened;
}

void ViewerApp::ReleaseCachedMemory() { context.cacheManager.PurgeTo(0, true); }

void ViewerApp::BeginModalUi() { viewer.SuspendBusyCursor(); }
void ViewerApp::EndModalUi() { viewer.ResumeBusyCursor(); }

void ViewerApp::OnCommand(uint32_t id) {
  Guarded([&] { viewer.ExecuteCommand(id); });
}

int32_t ViewerApp::OnKeyCommand(char16_t character) {
  int32_t handled = 0;
  Guarded([&] { handled = viewer.OnKeyCommand(character); });
  return handled;
}

void ViewerApp::OnToolbarButton(const runtime::HostWindow* control) {
  Guarded([&] { viewer.OnToolbarButton(control); });
}

void ViewerApp::OnLineLeft(const runtime::HostWindow* source) {
  Guarded([&] { viewer.OnScroll(source, ScrollDirection::kLeft, false); });
}
void ViewerApp::OnLineRight(const runtime::HostWindow* source) {
  Guarded([&] { viewer.OnScroll(source, ScrollDirection::kRight, false); });
}
void ViewerApp::OnPageLeft(const runtime::HostWindow* source) {
  Guarded([&] { viewer.OnScroll(source, ScrollDirection::kLeft, true); });
}
void ViewerApp::OnPageRight(const runtime::HostWindow* source) {
  Guarded([&] { viewer.OnScroll(source, ScrollDirection::kRight, true); });
}
void ViewerApp::OnLineUp(const runtime::HostWindow* source) {
  Guarded([&] { viewer.OnScroll(source, ScrollDirection::kUp, false); });
}
void ViewerApp::OnLineDown(const runtime::HostWindow* source) {
  Guarded([&] { viewer.OnScroll(source, ScrollDirection::kDown, false); });
}
void ViewerApp::OnPageUp(const runtime::HostWindow* source) {
  Guarded([&] { viewer.OnScroll(source, ScrollDirection::kUp, true); });
}
void ViewerApp::OnPageDown(const runtime::HostWindow* source) {
  Guarded([&] { viewer.OnScroll(source, ScrollDirection::kDown, true); });
}

void ViewerApp::OnBookmarkSelected() {
  Guarded([&] { viewer.OnBookmarkSelected(); });
}

int32_t ViewerApp::OnSize(const runtime::HostWindow* window, int32_t width, int32_t height) {
  if (window == nullptr || window != viewer.mainContainer) return 0;
  Guarded([&] { viewer.Relayout(width, height); });
  return 1;
}

void ViewerApp::SetZoomFactor(uint32_t floatBits) {
  Guarded([&] { viewer.SetZoomFactor(floatBits); });
}

void ViewerApp::OnKeyLeft(const runtime::HostWindow* window) {
  Guarded([&] { viewer.OnArrowKey(window, ScrollDirection::kLeft); });
}
void ViewerApp::OnKeyUp(const runtime::HostWindow* window) {
  Guarded([&] { viewer.OnArrowKey(window, ScrollDirection::kUp); });
}
void ViewerApp::OnKeyRight(const runtime::HostWindow* window) {
  Guarded([&] { viewer.OnArrowKey(window, ScrollDirection::kRight); });
}
void ViewerApp::OnKeyDown(const runtime::HostWindow* window) {
  Guarded([&] { viewer.OnArrowKey(window, ScrollDirection::kDown); });
}
void ViewerApp::OnKeyHome(const runtime::HostWindow* window) {
  Guarded([&] { viewer.OnHomeOrEnd(window, false); });
}
void ViewerApp::OnKeyEnd(const runtime::HostWindow* window) {
  Guarded([&] { viewer.OnHomeOrEnd(window, true); });
}
void ViewerApp::OnKeyNextLink(const runtime::HostWindow* window) {
  Guarded([&] { viewer.OnLinkKey(window, false); });
}
void ViewerApp::OnKeyAction(const runtime::HostWindow* window) {
  Guarded([&] { viewer.OnLinkKey(window, true); });
}

void ViewerApp::GoToTypedPage(const runtime::HostWindow* control) {
  Guarded([&] { viewer.GoToTypedPage(control); });
}

void ViewerApp::OnMouseDown(int32_t x, int32_t y, runtime::HostWindow* window) {
  Guarded([&] { viewer.OnMouseDown(x, y, window, false); });
}

void ViewerApp::OnMouseDownAlt(int32_t x, int32_t y, runtime::HostWindow* window) {
  Guarded([&] { viewer.OnMouseDown(x, y, window, true); });
}

void ViewerApp::OnMouseMove(int32_t x, int32_t y, runtime::HostWindow* window) {
  Guarded([&] { viewer.OnMouseMove(x, y, window); });
}

void ViewerApp::OnMouseUp(int32_t x, int32_t y, runtime::HostWindow* window) {
  Guarded([&] { viewer.OnMouseUp(x, y, window); });
}

void ViewerApp::OnCaptureLost() {
  Guarded([&] { viewer.OnCaptureLost(); });
}

}  // namespace viewer
