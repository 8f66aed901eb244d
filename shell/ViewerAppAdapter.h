#pragma once
// The viewer application as the shell's windows see it: every call of the
// main window procedure and the dialogs goes to the ViewerApp here, inside
// an error trap, so that an error of one message ends that message only.
#include "shell/AppState.h"

namespace viewer {
class ViewerApp;
}  // namespace viewer

namespace shell {

class ViewerAppAdapter final : public ShellViewer {
 public:
  explicit ViewerAppAdapter(viewer::ViewerApp* app) : app_(app) {}
  ViewerAppAdapter(const ViewerAppAdapter&) = delete;
  ViewerAppAdapter& operator=(const ViewerAppAdapter&) = delete;

  viewer::ViewerApp* App() const { return app_; }

  HostWindow* ActiveViewWindow() override;
  void BeginModalUi() override;
  void EndModalUi() override;
  void OnBookmarkSelected() override;
  void GoToTypedPage() override;

  int32_t OnSize(HostWindow* window, int32_t width, int32_t height) override;
  bool OnPaint(HostWindow* window) override;
  void OnCommand(uint32_t id) override;
  int32_t DrawToolbarButton(HostWindow* button, bool pressed) override;
  void OnCopyData(const char16_t* path) override;
  void RestoreFocus() override;
  void SetBackgroundMode(bool background) override;
  void ReleaseCachedMemory() override;
  void OnToolbarButton(HostWindow* button) override;
  int32_t OnKeyCommand(char16_t code) override;
  void OnKeyLeft(HostWindow* window) override;
  void OnKeyRight(HostWindow* window) override;
  void OnKeyUp(HostWindow* window) override;
  void OnKeyDown(HostWindow* window) override;
  void OnKeyHome(HostWindow* window) override;
  void OnKeyEnd(HostWindow* window) override;
  void OnKeyNextLink(HostWindow* window) override;
  void OnKeyAction(HostWindow* window) override;
  void OnLineLeft(HostWindow* window) override;
  void OnLineRight(HostWindow* window) override;
  void OnPageLeft(HostWindow* window) override;
  void OnPageRight(HostWindow* window) override;
  void OnLineUp(HostWindow* window) override;
  void OnLineDown(HostWindow* window) override;
  void OnPageUp(HostWindow* window) override;
  void OnPageDown(HostWindow* window) override;
  void OnMouseMove(int32_t x, int32_t y, HostWindow* window) override;
  void OnMouseDown(int32_t x, int32_t y, HostWindow* window) override;
  void OnMouseDownAlt(int32_t x, int32_t y, HostWindow* window) override;
  void OnMouseUp(int32_t x, int32_t y, HostWindow* window) override;
  void OnCaptureLost() override;
  const runtime::MenuItemDesc* GetMenuForPopup(uint32_t id) override;
  float GetZoomFactor() override;
  void SetZoomFactor(float factor) override;

 private:
  template <class Body>
  void Guarded(Body&& body);

  viewer::ViewerApp* app_;
};

}  // namespace shell
