#pragma once
// A bitmap of the host that finished pixels are written into: HostServices
// hands them out (the shell's off-screen bitmaps implement it), the raster
// transfers write them, tests use one in memory.
//
// A writer brackets its work with Begin and End (which may lock the pixels)
// and reads the pixel layout in between.
#include <cstdint>

namespace runtime {

struct HostRect;

// Pixel layouts of host bitmaps.
enum HostPixelKind : int32_t {
  kHostRgb565 = 1,         // 16-bit RGB565, low byte first
  kHostRgb565Swapped = 2,  // 16-bit RGB565, high byte first
  kHostBgr24 = 3,          // 3 bytes: blue, green, red
  kHostBgrx32 = 4,         // 4 bytes: blue, green, red, unused
  kHostXrgb32 = 5,         // 4 bytes: unused, red, green, blue
};

struct HostPixelLayout {
  int32_t kind = 0;  // a HostPixelKind; anything else is written by no one
  int32_t width = 0;
  int32_t height = 0;
  uint8_t* firstRow = nullptr;
  int64_t rowStride = 0;  // bytes from one row to the next
};

class HostBitmap {
 public:
  // Makes the pixels writable (with the caller's argument) and returns the
  // layout; End releases them.
  virtual const HostPixelLayout* Begin(uintptr_t argument) = 0;
  virtual void End() = 0;
  // The layout while begun.
  virtual const HostPixelLayout* Layout() = 0;

  // Drawing that a host may do itself, through its device. A host without
  // it answers false (or, for the scroll, prefers none), and the caller
  // moves the pixels through the layout instead. Rectangles are left, top,
  // right, bottom with right and bottom exclusive.
  //
  // Scales the source rectangle of `source` onto the destination rectangle.
  virtual bool StretchFrom(HostBitmap& /*source*/, const HostRect& /*sourceRect*/,
                           const HostRect& /*destination*/) {
    return false;
  }
  // Copies the destination rectangle's size from (sourceX, sourceY).
  virtual bool BlitFrom(HostBitmap& /*source*/, int32_t /*sourceX*/, int32_t /*sourceY*/,
                        const HostRect& /*destination*/) {
    return false;
  }
  virtual bool FillRect(const HostRect& /*rect*/, uint8_t /*red*/, uint8_t /*green*/, uint8_t /*blue*/) {
    return false;
  }
  // True when Scroll moves the contents through the device.
  virtual bool PrefersDeviceScroll() { return false; }
  // Moves the contents by (dx, dy); what is uncovered keeps stale pixels.
  virtual void Scroll(int32_t /*dx*/, int32_t /*dy*/) {}

 protected:
  ~HostBitmap() = default;
};

}  // namespace runtime
