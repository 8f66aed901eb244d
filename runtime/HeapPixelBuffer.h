#pragma once
// A pixel buffer whose storage comes from a memory context instead of an
// arena (the splash picture, for one): one block, interleaved or planar,
// with the addressing its users walk it by.
#include <cstdint>

#include "runtime/Rect.h"

namespace runtime {

class LibraryContext;

struct HeapPixelLayout {
  int32_t firstComponent = 0;
  // Kept in the buffer for its users; not read here.
  uint32_t layoutWord = 0;
  int32_t componentCount = 0;
  bool reversed = false;
  bool planar = false;
  // One column (or row) stands for the whole width (or height).
  bool constantInX = false;
  bool constantInY = false;
  bool singleChannel = false;
};

class HeapPixelBuffer {
 public:
  // An empty buffer whose storage comes from `storageContext`, then
  // SetupAndAllocate.
  HeapPixelBuffer(LibraryContext* context, LibraryContext* storageContext, const IntRect& rect,
                  const HeapPixelLayout& layout, bool clear);
  ~HeapPixelBuffer();
  HeapPixelBuffer(const HeapPixelBuffer&) = delete;
  HeapPixelBuffer& operator=(const HeapPixelBuffer&) = delete;

  // Lays the buffer out over `rect` and gives it storage, zeroed when
  // `clear`. Every size is checked: a negative width or height, or a size
  // past 32 bits, raises (runtime, 1); no memory raises (runtime, 0). On
  // any error the buffer keeps its previous layout and storage.
  void SetupAndAllocate(LibraryContext* context, const IntRect& rect,
                        const HeapPixelLayout& layout, bool clear);

  uint8_t* Storage() const { return storage_; }
  uint32_t ByteSize() const { return byteSize_; }

  IntRect rect;
  int32_t firstOffset = 0;
  int32_t componentStep = 0;
  int32_t pixelStep = 0;
  int32_t rowStep = 0;
  uint32_t layoutWord = 0;
  bool ready = false;

 private:
  LibraryContext* storageContext_;
  uint8_t* storage_ = nullptr;
  uint32_t byteSize_ = 0;
};

}  // namespace runtime
