#include "shell/ViewerAppAdapter.h"

#include <bit>
#include <utility>

#include "runtime/ErrorTrap.h"
#include "runtime/HostControls.h"
#include "shell/HostWindow.h"
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

int32_t ViewerAppAdapter::OnSize(HostWindow* window, int32_t width, int32_t height) {
  return app_->OnSize(window, width, height);
}

bool ViewerAppAdapter::OnPaint(HostWindow* window) {
  viewer::Viewer& viewer = app_->viewer;
  // The page view paints its rendered cells (grey where none are ready);
  // the viewer opens and closes the window's surface, which validates it.
  if (window != nullptr && window == OwnWindow(viewer.pageViewWindow)) {
    Guarded([&] { viewer.PaintWindow(viewer.pageViewWindow); });
    window->FinishPaint();
    return true;
  }
  // The bars show their picture across their whole width.
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

void ViewerAppAdapter::OnCopyData(const char16_t* path) { app_->OnCopyData(path); }

void ViewerAppAdapter::RestoreFocus() {
  if (app_->viewer.focusTarget != nullptr) app_->viewer.focusTarget->Focus();
}

void ViewerAppAdapter::SetBackgroundMode(bool background) {
  Guarded([&] { app_->viewer.SetBackgroundMode(background); });
}

void ViewerAppAdapter::ReleaseCachedMemory() { app_->ReleaseCachedMemory(); }

void ViewerAppAdapter::OnToolbarButton(HostWindow* button) { app_->OnToolbarButton(button); }

int32_t ViewerAppAdapter::OnKeyCommand(char16_t code) { return app_->OnKeyCommand(code); }

void ViewerAppAdapter::GoToTypedPage() { app_->GoToTypedPage(app_->viewer.pageNumberEdit); }

void ViewerAppAdapter::OnKeyLeft(HostWindow* window) { app_->OnKeyLeft(window); }
void ViewerAppAdapter::OnKeyRight(HostWindow* window) { app_->OnKeyRight(window); }
void ViewerAppAdapter::OnKeyUp(HostWindow* window) { app_->OnKeyUp(window); }
void ViewerAppAdapter::OnKeyDown(HostWindow* window) { app_->OnKeyDown(window); }
void ViewerAppAdapter::OnKeyHome(HostWindow* window) { app_->OnKeyHome(window); }
void ViewerAppAdapter::OnKeyNextLink(HostWindow* window) { app_->OnKeyNextLink(window); }
void ViewerAppAdapter::OnKeyAction(HostWindow* window) { app_->OnKeyAction(window); }
void ViewerAppAdapter::OnKeyEnd(HostWindow* window) { app_->OnKeyEnd(window); }

void ViewerAppAdapter::OnMouseMove(int32_t x, int32_t y, HostWindow* window) { app_->OnMouseMove(x, y, window); }
void ViewerAppAdapter::OnMouseDown(int32_t x, int32_t y, HostWindow* window) { app_->OnMouseDown(x, y, window); }
void ViewerAppAdapter::OnMouseDownAlt(int32_t x, int32_t y, HostWindow* window) {
  app_->OnMouseDownAlt(x, y, window);
}
void ViewerAppAdapter::OnMouseUp(int32_t x, int32_t y, HostWindow* window) { app_->OnMouseUp(x, y, window); }
void ViewerAppAdapter::OnCaptureLost() { app_->OnCaptureLost(); }

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
  // Before any page view the answer is 0, not the viewer's "none yet".
  if (app_->viewer.pageView == nullptr) return 0.0f;
  return std::bit_cast<float>(app_->GetZoomFactor());
}

void ViewerAppAdapter::SetZoomFactor(float factor) { app_->SetZoomFactor(std::bit_cast<uint32_t>(factor)); }

}  // namespace shell
