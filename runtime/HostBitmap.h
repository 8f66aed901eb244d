#pragma once
// A bitmap of the host that finished pixels are written into: HostServices
// hands them out (the shell's off-screen bitmaps implement it), the raster
// transfers write them, tests use one in memory.
//
// A writer brackets its work with Begin and End (which may lock the pixels)
// and reads the pixel layout in between.
#include <cstdint>

namespace runtime {

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

 protected:
  ~HostBitmap() = default;
};

}  // namespace runtime
