#include "streams/jbig2/Jbig2Bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "runtime/ErrorTrap.h"
#include "runtime/Jbig2Heap.h"

namespace streams {
namespace {

// Zeroed rows above row 0, so that the two rows above the first read white.
constexpr uint32_t kGuardRows = 2;

uint8_t Combine(uint8_t destination, uint8_t source, int op) {
  switch (op) {
    case kJbig2Or: return destination | source;
    case kJbig2And: return destination & source;
    case kJbig2Xor: return destination ^ source;
    case kJbig2Xnor: return static_cast<uint8_t>(~(destination ^ source));
    case kJbig2Replace: return source;
    default: return destination;
  }
}

}  // namespace

Jbig2Bitmap* Jbig2Bitmap::Create(uint32_t width, uint32_t height, uint8_t fill, int* result) {
  const uint64_t rowBytes = (uint64_t{width} + 7) / 8;
  const uint64_t slack = rowBytes < 5 ? 8 - rowBytes : 4;
  const uint64_t stride = (rowBytes + slack + 3) & ~uint64_t{3};
  if (width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) {
    *result = 13;
    return nullptr;
  }
  // A bitmap must fit what is left of the decode's memory limit, counted
  // as stored: a bitmap of width 0 or 1 and a huge height holds no pixels
  // to speak of, yet would claim gigabytes of row padding. Refusing it here
  // is a result code, not a thrown error, so that what was decoded stays.
  const uint64_t total = (uint64_t{height} + kGuardRows) * stride + 3;
  if (total + 2 * sizeof(Jbig2Bitmap) + 64 > runtime::Jbig2Heap::Remaining()) {
    *result = 13;
    return nullptr;
  }
  if (stride > 0xFFFFFFFFu || total > 0xFFFFFFFFu) runtime::ThrowRuntime(runtime::kMalformed);

  auto* bitmap = new (runtime::Jbig2Heap::Alloc(sizeof(Jbig2Bitmap))) Jbig2Bitmap();
  bitmap->block = static_cast<uint8_t*>(runtime::Jbig2Heap::Alloc(static_cast<size_t>(total)));
  auto* base = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(bitmap->block) + 3) &
                                          ~uintptr_t{3});
  bitmap->width = width;
  bitmap->height = height;
  bitmap->stride = static_cast<uint32_t>(stride);
  bitmap->rowBytes = static_cast<uint32_t>(rowBytes);
  bitmap->fill = fill;
  bitmap->data = base + kGuardRows * stride;
  std::memset(base, 0, static_cast<size_t>((uint64_t{height} + kGuardRows) * stride));
  if (fill != 0) Fill(bitmap, 1);
  *result = 0;
  return bitmap;
}

void Jbig2Bitmap::Fill(Jbig2Bitmap* bitmap, int value) {
  if (bitmap->width == 0) return;
  const uint8_t last = value ? static_cast<uint8_t>(0xFF << ((8 - bitmap->width % 8) % 8)) : 0;
  for (uint32_t y = 0; y < bitmap->height; ++y) {
    uint8_t* row = bitmap->Row(y);
    std::memset(row, value ? 0xFF : 0x00, bitmap->rowBytes);
    row[bitmap->rowBytes - 1] = last;
  }
}

void Jbig2Bitmap::Free(Jbig2Bitmap* bitmap) {
  if (bitmap == nullptr) return;
  runtime::Jbig2Heap::Free(bitmap->block);
  runtime::Jbig2Heap::Free(bitmap);
}

int Jbig2Bitmap::GetPixel(const Jbig2Bitmap* bitmap, int64_t row, int64_t column) {
  if (row < 0 || column < 0 || row >= bitmap->height || column >= bitmap->width) return 0;
  return bitmap->Pixel(static_cast<uint32_t>(column), static_cast<uint32_t>(row));
}

void Jbig2Bitmap::SetPixel(Jbig2Bitmap* bitmap, int64_t row, int64_t column, int value) {
  if (row < 0 || column < 0 || row >= bitmap->height || column >= bitmap->width) return;
  uint8_t* byte = bitmap->Row(static_cast<uint32_t>(row)) + (column >> 3);
  const uint8_t mask = static_cast<uint8_t>(0x80 >> (column & 7));
  *byte = value ? (*byte | mask) : (*byte & ~mask);
}

uint64_t Jbig2Bitmap::ComposeClipped(Jbig2Bitmap* destination, const Jbig2Bitmap* source, int64_t x,
                                 int64_t y, int op) {
  if (source == nullptr || source->data == nullptr || destination == nullptr) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  if (op < kJbig2Or || op > kJbig2Replace) return 0;
  const int64_t x0 = std::max<int64_t>(0, x);
  const int64_t y0 = std::max<int64_t>(0, y);
  const int64_t x1 = std::min<int64_t>(destination->width, x + source->width);
  const int64_t y1 = std::min<int64_t>(destination->height, y + source->height);
  if (x0 >= x1 || y0 >= y1) return 0;
  for (int64_t dy = y0; dy < y1; ++dy) {
    const uint8_t* sourceRow = source->Row(static_cast<uint32_t>(dy - y));
    uint8_t* row = destination->Row(static_cast<uint32_t>(dy));
    if (((x0 - x) & 7) == 0 && (x0 & 7) == 0) {
      // Whole bytes line up: combine a byte at a time, masking the last.
      const int64_t count = x1 - x0;
      const int64_t sourceByte = (x0 - x) >> 3;
      const int64_t destinationByte = x0 >> 3;
      const int64_t full = count >> 3;
      for (int64_t i = 0; i < full; ++i) {
        row[destinationByte + i] = Combine(row[destinationByte + i], sourceRow[sourceByte + i], op);
      }
      if (count & 7) {
        const uint8_t mask = static_cast<uint8_t>(0xFF << (8 - (count & 7)));
        uint8_t& d = row[destinationByte + full];
        const uint8_t combined = Combine(d, sourceRow[sourceByte + full], op);
        d = static_cast<uint8_t>((d & ~mask) | (combined & mask));
      }
      continue;
    }
    for (int64_t dx = x0; dx < x1; ++dx) {
      const int64_t sx = dx - x;
      const uint8_t s = static_cast<uint8_t>(((sourceRow[sx >> 3] >> (7 - (sx & 7))) & 1) ? 0xFF : 0);
      uint8_t& d = row[dx >> 3];
      const uint8_t mask = static_cast<uint8_t>(0x80 >> (dx & 7));
      const uint8_t combined = Combine(d, s, op);
      d = static_cast<uint8_t>((d & ~mask) | (combined & mask));
    }
  }
  return static_cast<uint64_t>(x1 - x0) * static_cast<uint64_t>(y1 - y0);
}

void Jbig2Bitmap::Compose(Jbig2Bitmap* page, const Jbig2Bitmap* region, uint32_t x, uint32_t y,
                          int op) {
  if (region == nullptr || region->data == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  if (uint64_t{x} + region->width > 0xFFFFFFFFu || uint64_t{y} + region->height > 0xFFFFFFFFu) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  ComposeClipped(page, region, x, y, op);
}

Jbig2Bitmap* Jbig2Bitmap::Extract(const Jbig2Bitmap* bitmap, uint32_t x, uint32_t y,
                                  uint32_t width, uint32_t height) {
  if (uint64_t{x} + width > bitmap->width || uint64_t{y} + height > bitmap->height) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  int result = 0;
  Jbig2Bitmap* copy = Create(width, height, 0, &result);
  if (copy == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  ComposeClipped(copy, bitmap, -int64_t{x}, -int64_t{y}, kJbig2Replace);
  return copy;
}

}  // namespace streams
