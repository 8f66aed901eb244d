#include "shell/ViewerAppAdapter.h"

#include <utility>

#include "runtime/ErrorTrap.h"
#include "shell/HostWindow.h"
#include "viewer/PageLayoutParams.h"
#include "viewer/ViewerApp.h"

namespace shell {

namespace {

HostWindow* OwnWindow(runtime::HostWindow* window) { return dynamic_cast<HostWindow*>(window); }

}  // namespace

template <class Body>
void ViewerAppAdapter::Guarded(Body&& body) {
  runtime::ErrorTrap trap(&app_->context);
  if (!trap.Run(std::forward<Body>(body))) {
    trap.SetHandled();
    trap.Close();
  }
}

HostWindow* ViewerAppAdapter::ActiveViewWindow() { return OwnWindow(app_->viewer.mainContainer); }

void ViewerAppAdapter::BeginModalUi() { app_->BeginModalUi(); }
void ViewerAppAdapter::EndModalUi() { app_->EndModalUi(); }
void ViewerAppAdapter::OnBookmarkSelected() { app_->OnBookmarkSelected(); }

int32_t ViewerAppAdapter::OnSize(HostWindow* window, int32_t, int32_t) {
  if (window == nullptr || window != OwnWindow(app_->viewer.mainContainer)) return 0;
  Guarded([&] { app_->viewer.LayOutChildWindows(); });
  return 1;
}

bool ViewerAppAdapter::OnPaint(HostWindow* window) {
  // The bars show their picture across their whole width.
  viewer::Viewer& viewer = app_->viewer;
  if (window == nullptr || (window != OwnWindow(viewer.toolbar) && window != OwnWindow(viewer.buttonBar))) {
    return false;
  }
  const viewer::ButtonImageHolder* images = viewer.PictureOf(window);
  if (images == nullptr || images->Normal() == nullptr) return false;
  runtime::HostRect bounds{};
  window->GetBounds(&bounds);
  const runtime::HostRect source{0, 0, images->Width(), images->Height()};
  const runtime::HostRect destination{0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top};
  return window->DrawBitmap(*images->Normal(), source, destination);
}

void ViewerAppAdapter::OnCommand(uint32_t id) { app_->OnCommand(id); }

int32_t ViewerAppAdapter::DrawToolbarButton(HostWindow* button, bool pressed) {
  int32_t result = 0;
  Guarded([&] { result = app_->DrawToolbarButton(button, pressed); });
  return result;
}

void ViewerAppAdapter::OnCopyData(const char16_t* path) {
  Guarded([&] { app_->viewer.ChooseAndOpenDocument(false, path); });
}

void ViewerAppAdapter::RestoreFocus() {
  if (app_->viewer.focusTarget != nullptr) app_->viewer.focusTarget->Focus();
}

void ViewerAppAdapter::SetBackgroundMode(bool background) {
  Guarded([&] { app_->viewer.SetBackgroundMode(background); });
}

void ViewerAppAdapter::ReleaseCachedMemory() { app_->ReleaseCachedMemory(); }

void ViewerAppAdapter::OnToolbarButton(HostWindow* button) { app_->OnToolbarButton(button); }

int32_t ViewerAppAdapter::OnKeyCommand(char16_t code) { return app_->OnKeyCommand(code); }

// The arrows scroll the view by a line.
void ViewerAppAdapter::OnKeyLeft(HostWindow* window) { app_->OnLineLeft(window); }
void ViewerAppAdapter::OnKeyRight(HostWindow* window) { app_->OnLineRight(window); }
void ViewerAppAdapter::OnKeyUp(HostWindow* window) { app_->OnLineUp(window); }
void ViewerAppAdapter::OnKeyDown(HostWindow* window) { app_->OnLineDown(window); }

void ViewerAppAdapter::OnLineLeft(HostWindow* window) { app_->OnLineLeft(window); }
void ViewerAppAdapter::OnLineRight(HostWindow* window) { app_->OnLineRight(window); }
void ViewerAppAdapter::OnPageLeft(HostWindow* window) { app_->OnPageLeft(window); }
void ViewerAppAdapter::OnPageRight(HostWindow* window) { app_->OnPageRight(window); }
void ViewerAppAdapter::OnLineUp(HostWindow* window) { app_->OnLineUp(window); }
void ViewerAppAdapter::OnLineDown(HostWindow* window) { app_->OnLineDown(window); }
void ViewerAppAdapter::OnPageUp(HostWindow* window) { app_->OnPageUp(window); }
void ViewerAppAdapter::OnPageDown(HostWindow* window) { app_->OnPageDown(window); }

const runtime::MenuItemDesc* ViewerAppAdapter::GetMenuForPopup(uint32_t id) {
  const runtime::MenuItemDesc* items = nullptr;
  Guarded([&] { items = app_->viewer.GetMenuForPopup(id); });
  return items;
}

float ViewerAppAdapter::GetZoomFactor() {
  const viewer::Viewer& viewer = app_->viewer;
  if (viewer.pageView == nullptr || viewer.currentZoom < 0) return 0.0f;
  return static_cast<float>(viewer.currentZoom) / static_cast<float>(runtime::kFixedOne);
}

void ViewerAppAdapter::SetZoomFactor(float factor) {
  viewer::Viewer& viewer = app_->viewer;
  if (viewer.pageView == nullptr) return;
  // The factor is already in the layout's range, so it fits 16.16.
  const auto zoom = static_cast<runtime::Fixed>(factor * static_cast<float>(runtime::kFixedOne));
  Guarded([&] { viewer.RunPageViewRequest([&] { viewer.pageView->SetZoom(viewer::kZoomExplicit, zoom); }); });
}

}  // namespace shell
