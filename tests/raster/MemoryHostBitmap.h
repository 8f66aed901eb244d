#pragma once
// A host bitmap in memory for tests: rows of the kind's pixel size, padded
// to 4 bytes as host bitmaps are, and a count of Begin and End calls.
#include <cstdint>
#include <vector>

#include "runtime/HostBitmap.h"

namespace testsupport {

class MemoryHostBitmap final : public runtime::HostBitmap {
 public:
  MemoryHostBitmap(int32_t kind, int32_t width, int32_t height, uint8_t fill = 0)
      : bytesPerPixel_(kind <= 2 ? 2 : (kind == 3 ? 3 : 4)),
        stride_((width * bytesPerPixel_ + 3) & ~3),
        pixels_(static_cast<size_t>(stride_) * static_cast<size_t>(height), fill) {
    layout_.kind = kind;
    layout_.width = width;
    layout_.height = height;
    layout_.firstRow = pixels_.data();
    layout_.rowStride = stride_;
  }
  const runtime::HostPixelLayout* Begin(uintptr_t) override {
    ++begun;
    return &layout_;
  }
  void End() override { ++ended; }
  const runtime::HostPixelLayout* Layout() override { return &layout_; }

  const uint8_t* Pixel(int32_t x, int32_t y) const {
    return pixels_.data() + static_cast<size_t>(y) * stride_ + static_cast<size_t>(x) * bytesPerPixel_;
  }
  uint16_t Word(int32_t x, int32_t y) const { return static_cast<uint16_t>(Pixel(x, y)[0] | (Pixel(x, y)[1] << 8)); }
  const std::vector<uint8_t>& Bytes() const { return pixels_; }
  int begun = 0;
  int ended = 0;

 private:
  int32_t bytesPerPixel_;
  int32_t stride_;
  std::vector<uint8_t> pixels_;
  runtime::HostPixelLayout layout_;
};

}  // namespace testsupport
