#pragma once
// A window of the host (a child window, a label, a button) as the library
// and the viewer place and label it. The host implements it; its
// operations may only run on the main thread's stack, so cooperative
// threads reach them through CallSetRectOnMain and CallSetTextOnMain.
#include "runtime/HostServices.h"

namespace runtime {

class HostBitmap;
class ViewSurface;

class HostWindow {
 public:
  virtual ~HostWindow() = default;
  // Places the window, in its parent's client coordinates.
  virtual void SetRect(const HostRect& rect) = 0;
  virtual void GetRect(HostRect* rect) const = 0;
  // The text of a label or a button; other windows ignore it.
  virtual void SetText(const char16_t* text) = 0;
  // Shows or hides the window.
  virtual void Show(bool) {}
  // Gives the window the keyboard focus.
  virtual void Focus() {}
  // The main container only: covers the whole screen (no title bar, no
  // soft-key bar) while on.
  virtual void SetFullScreen(bool) {}
  // Marks a rectangle of the window as needing a repaint.
  virtual void Invalidate(const HostRect&) {}
  // A surface to paint the window through, until CloseSurface; null when
  // the window cannot be painted by the viewer.
  virtual ViewSurface* OpenSurface() { return nullptr; }
  virtual void CloseSurface(ViewSurface*) {}
  // Copies the source rectangle of a host bitmap onto the destination
  // rectangle of the window (stretched when the sizes differ): while an
  // owner-drawn button draws itself, onto its drawing; otherwise as the
  // window's paint. False when the host cannot.
  virtual bool DrawBitmap(HostBitmap& /*source*/, const HostRect& /*sourceRect*/, const HostRect& /*destination*/) {
    return false;
  }
};

}  // namespace runtime
