#include "runtime/HeapPixelBuffer.h"

#include <cstring>

#include "runtime/CheckedSize.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace runtime {

HeapPixelBuffer::HeapPixelBuffer(LibraryContext* context, LibraryContext* storageContext,
                                 const IntRect& area, const HeapPixelLayout& layout, bool clear)
    : storageContext_(storageContext != nullptr ? storageContext : context) {
  SetupAndAllocate(context, area, layout, clear);
}

HeapPixelBuffer::~HeapPixelBuffer() {
  if (storage_ != nullptr) storageContext_->memory.Free(storage_);
  storage_ = nullptr;
}

void HeapPixelBuffer::SetupAndAllocate(LibraryContext* context, const IntRect& area,
                                       const HeapPixelLayout& layout, bool clear) {
  // Widths in 64 bits: the corners of a hostile rectangle may lie a whole
  // 32-bit range apart.
  const int64_t width = layout.constantInX ? 1 : int64_t{area.x1} - area.x0;
  const int64_t height = layout.constantInY ? 1 : int64_t{area.y1} - area.y0;
  if (width < 0 || height < 0 || width > UINT32_MAX || height > UINT32_MAX) {
    ThrowRuntime(kOverflow);
  }
  const int32_t components = layout.singleChannel ? 1 : layout.componentCount;
  if (components < 0) ThrowRuntime(kOverflow);
  const auto c = static_cast<uint32_t>(components);

  const uint32_t rowBytes = layout.planar
                                ? static_cast<uint32_t>(width)
                                : MultiplySizeChecked(context, static_cast<uint32_t>(width), c);
  const uint32_t row = RoundUpSize4Checked(context, rowBytes);
  const uint32_t plane = MultiplySizeChecked(context, row, static_cast<uint32_t>(height));
  // Steps are signed 32-bit: a plane beyond that range cannot be stepped over.
  if (row > INT32_MAX || (layout.planar && plane > INT32_MAX)) ThrowRuntime(kOverflow);

  int64_t step = 0;
  uint32_t total = plane;
  if (layout.planar) {
    step = layout.singleChannel ? 0 : plane;
    total = MultiplySizeChecked(context, plane, c);
  } else {
    step = layout.singleChannel ? 0 : 1;
  }
  int64_t first = layout.firstComponent;
  if (layout.reversed) {
    first = (int64_t{components} - layout.firstComponent - 1) * step;
    step = -step;
  }
  if (first < INT32_MIN || first > INT32_MAX) ThrowRuntime(kOverflow);

  // The new storage first: a failure leaves the old buffer whole.
  uint8_t* fresh = nullptr;
  if (total != 0) {
    fresh = static_cast<uint8_t*>(storageContext_->memory.Allocate(total));
    if (fresh == nullptr) ThrowRuntime(kOutOfMemory);
    if (clear) std::memset(fresh, 0, total);
  }
  if (storage_ != nullptr) storageContext_->memory.Free(storage_);
  storage_ = fresh;
  byteSize_ = total;

  rect = area;
  rowStep = layout.constantInY ? 0 : static_cast<int32_t>(row);
  componentStep = static_cast<int32_t>(step);
  firstOffset = static_cast<int32_t>(first);
  pixelStep = layout.constantInX ? 0 : (layout.planar ? 1 : components);
  layoutWord = layout.layoutWord;
  ready = true;
}

}  // namespace runtime
