#pragma once
// The surface the viewer paints a shell window through: a window draw
// target (BeginPaint while the window paints, else GetDC) with the viewer's
// two drawing steps, solid fills and copies from off-screen bitmaps.
#include "runtime/ViewSurface.h"
#include "shell/DrawTarget.h"

namespace shell {

class WindowSurface final : public runtime::ViewSurface {
 public:
  // Takes over `target` (null draws nothing); the surface ends its
  // painting step when destroyed.
  explicit WindowSurface(DrawTarget* target) : target_(target) {}
  ~WindowSurface();
  WindowSurface(const WindowSurface&) = delete;
  WindowSurface& operator=(const WindowSurface&) = delete;

  void Fill(const runtime::HostRect& rect, uint8_t red, uint8_t green, uint8_t blue) override;
  void DrawBitmap(runtime::HostBitmap& bitmap, const runtime::HostRect& source,
                  const runtime::HostRect& destination) override {
    CopyBitmap(bitmap, source, destination);
  }
  // Copies `source` of an off-screen bitmap onto `destination`, scaled when
  // the sizes differ; false for any other bitmap or when the copy failed.
  bool CopyBitmap(runtime::HostBitmap& bitmap, const runtime::HostRect& source, const runtime::HostRect& destination);

 private:
  DrawTarget* target_;
};

}  // namespace shell
