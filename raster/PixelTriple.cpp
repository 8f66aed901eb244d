#include "raster/PixelTriple.h"

#include <algorithm>
#include <cstring>

namespace raster {
namespace {

uint8_t gZeroCell = 0;

PixelPlane ConstantPlane(uint8_t* cell) {
  PixelPlane plane;
  plane.row = plane.base = cell;
  plane.rect = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  plane.format = {-1, 0, 0, 0, 0, 0, 0};
  return plane;
}

}  // namespace

PixelPlane PixelPlane::FromView(const runtime::PlaneView& view) {
  PixelPlane plane;
  if (view.storage == nullptr) return plane;
  plane.base = plane.row = view.storage;
  plane.rect = view.rect;
  plane.format = view.format;
  return plane;
}

PixelPlane* PixelPlane::Opaque() {
  // The buffers' own opaque constant, so that a buffer whose layout makes a
  // plane opaque is recognised as such.
  static PixelPlane plane = ConstantPlane(runtime::PixelBuffer::OpaquePlane().storage);
  return &plane;
}

PixelPlane* PixelPlane::Zero() {
  static PixelPlane plane = ConstantPlane(&gZeroCell);
  return &plane;
}

PixelPlane* PixelPlane::MakeMask(runtime::ArenaAllocator& arena, const IntRect& area) {
  const int64_t width = std::max<int64_t>(int64_t{area.x1} - area.x0, 0);
  const int64_t height = std::max<int64_t>(int64_t{area.y1} - area.y0, 0);
  const size_t bytes = static_cast<size_t>(std::max<int64_t>(width * height, 1));
  auto* storage = static_cast<uint8_t*>(arena.Alloc(bytes));
  std::memset(storage, 0, bytes);
  auto* mask = runtime::NewInArena<PixelPlane>(arena);
  mask->row = mask->base = storage;
  mask->rect = area;
  mask->format = runtime::PixelFormatDesc{1, 0, 0, 1, static_cast<int32_t>(width), 1, 0};
  return mask;
}

PixelPlane* PixelPlane::MakeConstant(runtime::ArenaAllocator& arena, uint8_t value) {
  auto* cell = static_cast<uint8_t*>(arena.Alloc(1));
  *cell = value;
  auto* plane = static_cast<PixelPlane*>(arena.Alloc(sizeof(PixelPlane)));
  *plane = ConstantPlane(cell);
  return plane;
}

PixelTriple PixelTriple::CopyOf(runtime::ArenaAllocator& arena, const PixelTriple& planes) {
  PixelTriple copy;
  for (int k = 0; k < 3; ++k) {
    PixelPlane* source = planes.Plane(k);
    PixelPlane* target = source;
    if (source != nullptr && !source->IsSharedConstant()) {
      target = static_cast<PixelPlane*>(arena.Alloc(sizeof(PixelPlane)));
      *target = *source;
    }
    (k == 0 ? copy.shape : k == 1 ? copy.alpha : copy.colour) = target;
  }
  return copy;
}

PixelTriple PixelTriple::OfBuffer(runtime::ArenaAllocator& arena, const runtime::PixelBuffer& buffer) {
  PixelTriple planes;
  const runtime::PlaneView* views[3] = {&buffer.shape, &buffer.alpha, &buffer.colour};
  PixelPlane** slots[3] = {&planes.shape, &planes.alpha, &planes.colour};
  for (int k = 0; k < 3; ++k) {
    if (!views[k]->IsPresent()) continue;
    if (views[k]->storage == PixelPlane::Opaque()->base) {
      *slots[k] = PixelPlane::Opaque();
      continue;
    }
    auto* plane = static_cast<PixelPlane*>(arena.Alloc(sizeof(PixelPlane)));
    *plane = PixelPlane::FromView(*views[k]);
    *slots[k] = plane;
  }
  return planes;
}

PixelTriple PixelTriple::CreateScratch(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                       const PixelLayout& layout, const IntRect& area) {
  PixelLayout oneRow = layout;
  oneRow.constantInY = true;
  const IntRect columns{area.x0, 0, area.x1 > area.x0 ? area.x1 : area.x0 + 1, 1};
  auto* buffer = runtime::NewInArena<runtime::PixelBuffer>(arena, context, &arena, columns, oneRow, true);
  return OfBuffer(arena, *buffer);
}

bool PixelTriple::SameBuffers(const PixelTriple& a, const PixelTriple& b) {
  for (int k = 0; k < 3; ++k) {
    const PixelPlane* p = a.Plane(k);
    if (p == nullptr) continue;
    const PixelPlane* q = b.Plane(k);
    if (q == nullptr || q->base != p->base) return false;
  }
  return true;
}

bool PixelTriple::IsInterleavedBgra() const {
  return alpha != nullptr && colour != nullptr && FormatIs(alpha->format, 1, 3, 0, 4) &&
         colour->format.Is3x2Tag4() && alpha->base == colour->base;
}
bool PixelTriple::IsZeroAlphaBgrx() const {
  return PixelPlane::IsAbsentOrZero(shape) && PixelPlane::IsAbsentOrZero(alpha) && colour != nullptr &&
         colour->format.Is3x2Tag4();
}
bool PixelTriple::IsZeroAlphaConstBgr() const {
  return PixelPlane::IsAbsentOrZero(shape) && PixelPlane::IsAbsentOrZero(alpha) && colour != nullptr &&
         colour->format.Is3x2Tag0();
}
bool PixelTriple::IsOpaqueConstBgr() const {
  return PixelPlane::IsAbsentOrOpaque(shape) && PixelPlane::IsAbsentOrOpaque(alpha) && colour != nullptr &&
         colour->format.Is3x2Tag0();
}
bool PixelTriple::IsOpaquePackedRgb() const {
  return PixelPlane::IsAbsentOrOpaque(shape) && PixelPlane::IsAbsentOrOpaque(alpha) && colour != nullptr &&
         colour->format.IsPackedRgb();
}

}  // namespace raster
