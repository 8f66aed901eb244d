#include "raster/ImageRowSource.h"

#include "runtime/ErrorTrap.h"
#include "streams/ImageRowSource.h"

namespace raster {

uint32_t ImageRowBytes(int64_t pixels, int64_t bitsPerPixel) {
  if (pixels < 0 || bitsPerPixel <= 0) runtime::ThrowRuntime(runtime::kMalformed);
  // Both factors are 32-bit, so the 64-bit product cannot wrap.
  const uint64_t bytes = (static_cast<uint64_t>(pixels) * static_cast<uint64_t>(bitsPerPixel) + 7) / 8;
  if (bytes > streams::ImageRowSource::kMaxRowBytes) runtime::ThrowRuntime(runtime::kOverflow);
  return static_cast<uint32_t>(bytes);
}

uint8_t* AllocRowBuffer(runtime::ArenaAllocator& arena, uint64_t n) {
  const uint64_t rounded = (n + 7) & ~uint64_t{7};
  if (rounded > streams::ImageRowSource::kMaxRowBytes * 8) runtime::ThrowRuntime(runtime::kOverflow);
  return static_cast<uint8_t*>(arena.Alloc(rounded == 0 ? 8 : rounded));
}

StreamRowSource::StreamRowSource(streams::ImageRowSource* rows) : rows_(rows) {
  const streams::ImageRect rect = rows->Rect();
  bounds_ = IntRect{rect.x, rect.y, rect.x + rect.width, rect.y + rect.height};
  rowBytes_ = rows->RowBytes();
}

const uint8_t* StreamRowSource::NextRow() { return rows_->NextRow(); }

MemoryRowSource::MemoryRowSource(const uint8_t* data, uint64_t size, int32_t width, int32_t height,
                                 int32_t bitsPerComponent, int32_t components) {
  if (width <= 0 || height <= 0 || components <= 0) runtime::ThrowRuntime(runtime::kMalformed);
  rowBytes_ = ImageRowBytes(width, int64_t{bitsPerComponent} * components);
  if (uint64_t{rowBytes_} * static_cast<uint64_t>(height) > size) runtime::ThrowRuntime(runtime::kMalformed);
  bounds_ = IntRect{0, 0, width, height};
  // Rows are handed out in place.
  next_ = data;
  end_ = data + uint64_t{rowBytes_} * static_cast<uint64_t>(height);
}

const uint8_t* MemoryRowSource::NextRow() {
  // Rows past the last one are never asked for by the chain; a caller that
  // does gets the last row again rather than a read past the data.
  const uint8_t* row = next_;
  if (next_ + rowBytes_ <= end_) {
    next_ += rowBytes_;
  } else {
    row = end_ - rowBytes_;
  }
  return row;
}

}  // namespace raster
