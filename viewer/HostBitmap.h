#pragma once
// The viewer's handle of a bitmap the host supplies: pages are rendered
// into it and windows are painted from it. The host makes, draws and
// destroys the bitmap itself, always on the main thread's stack, because
// the platform's drawing calls need that stack even when the viewer asks
// from one of its cooperative threads; an error raised there is raised
// again in the asking thread.
#include <cstdint>

#include "runtime/HostBitmap.h"
#include "runtime/HostServices.h"
#include "runtime/LibraryContext.h"

namespace viewer {

class HostBitmap {
 public:
  // Asks the host for a bitmap of the given size; a host that gives none
  // (also for a width or height below 1) raises (runtime, 0).
  HostBitmap(runtime::LibraryContext* context, runtime::HostServices* host, int32_t width,
             int32_t height);
  // Gives the bitmap back to the host.
  ~HostBitmap();
  HostBitmap(const HostBitmap&) = delete;
  HostBitmap& operator=(const HostBitmap&) = delete;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  runtime::HostBitmap& Handle() const { return *handle_; }

  // Moves the contents by (dx, dy); what is uncovered keeps its old
  // pixels. The host's device does it when it prefers to, otherwise the
  // pixels are moved in place.
  void Scroll(int32_t dx, int32_t dy);
  // Copies `sourceRect` of `source` onto `destination` of this bitmap,
  // scaled as needed. False when the host cannot draw between the two.
  bool StretchFrom(const HostBitmap& source, const runtime::HostRect& sourceRect,
                   const runtime::HostRect& destination);

  // Moves the pixels of `layout` by (dx, dy) in place. Rows go bottom-up
  // when they move down, so that none is overwritten before it moved; an
  // offset as large as the bitmap moves nothing. Unknown kinds are left.
  static void MovePixels(const runtime::HostPixelLayout& layout, int32_t dx, int32_t dy);

 private:
  int32_t width_;
  int32_t height_;
  runtime::HostServices* host_;
  runtime::HostBitmap* handle_ = nullptr;
  runtime::LibraryContext* context_;
};

// Bytes of one pixel of a host pixel kind; 0 for a kind no one writes.
int32_t HostPixelBytes(int32_t kind);

}  // namespace viewer
