#include "runtime/PixelBuffer.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "runtime/CheckedSize.h"
#include "runtime/ErrorTrap.h"

namespace runtime {
namespace {

// Read by every constant plane; writers that meet a constant plane only
// ever store 255 into it.
uint8_t gOpaqueCell = 0xFF;

}  // namespace

// What becomes of one plane: absent, the opaque constant, the shape plane's
// view, or bytes of its own at `offset` in the storage.
struct PixelBuffer::PlanePlan {
  enum Kind : uint8_t { kAbsent, kConstant, kSameAsShape, kOwn } kind = kAbsent;
  uint32_t offset = 0;
  PixelFormatDesc format;
};

namespace {

using PlanePlan = PixelBuffer::PlanePlan;

[[noreturn]] void Throw(LibraryContext* context, uint32_t code) {
  ThrowError(context, ErrorRecord{kRuntimeDomain, code, 0});
}

// A byte count or offset that addressing keeps in a signed 32-bit word.
int32_t AsStep(LibraryContext* context, int64_t value) {
  if (value > INT32_MAX || value < -INT32_MAX) Throw(context, kOverflow);
  return static_cast<int32_t>(value);
}

struct Dimensions {
  uint32_t width;
  uint32_t height;
};

// Width and height as stored: 1 along a constant direction. A rectangle
// turned inside out is an overflow, like a size that does not fit.
Dimensions StoredDimensions(LibraryContext* context, const IntRect& rect, const PixelLayout& layout) {
  const int64_t width = layout.constantInX ? 1 : int64_t{rect.x1} - rect.x0;
  const int64_t height = layout.constantInY ? 1 : int64_t{rect.y1} - rect.y0;
  if (width < 0 || height < 0) Throw(context, kOverflow);
  return {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
}

// The channel count of an n-channel plane.
int32_t GroupChannels(const PixelLayout& layout) { return layout.channels == -1 ? 1 : layout.channels; }

// A layout whose planes do not fit in its pixel would address bytes of the
// neighbouring pixel, or outside the buffer at the row ends.
void CheckPixel(LibraryContext* context, const PixelLayout& layout) {
  if (layout.channels < -1 || layout.firstOffset < 0 || layout.bytesPerPixel < 0) {
    Throw(context, kMalformed);
  }
  const int64_t used = int64_t{layout.ShapeBytes()} + layout.AlphaBytes() + layout.ColourBytes();
  if (layout.firstOffset + used > layout.bytesPerPixel) Throw(context, kMalformed);
}

PlaneView ViewOf(const PlanePlan& plan, uint8_t* storage, const IntRect& rect,
                 const PlaneView& shape) {
  switch (plan.kind) {
    case PlanePlan::kAbsent: return {};
    case PlanePlan::kConstant: return PixelBuffer::OpaquePlane();
    case PlanePlan::kSameAsShape: return shape;
    case PlanePlan::kOwn: return {storage + plan.offset, rect, plan.format};
  }
  return {};
}

// Plane kinds as the three arrangements read them.
PlanePlan::Kind ShapePlanKind(uint8_t kind) {
  return kind == 0 ? PlanePlan::kAbsent : kind == 1 ? PlanePlan::kConstant : PlanePlan::kOwn;
}
PlanePlan::Kind AlphaPlanKind(uint8_t kind) {
  switch (kind) {
    case 0: return PlanePlan::kAbsent;
    case 1: return PlanePlan::kConstant;
    case 2: return PlanePlan::kSameAsShape;
    default: return PlanePlan::kOwn;
  }
}
bool AlphaIsSingle(uint8_t kind) { return kind == 3; }
bool ShapeIsSingle(uint8_t kind) { return kind == 2; }

// Plans shape, alpha and colour in that order; `place` gives an own plane
// its bytes (single: one channel).
template <class Place>
void PlanPlanes(const PixelLayout& layout, PlanePlan (&plans)[3], Place&& place) {
  plans[0].kind = ShapePlanKind(layout.shapeKind);
  if (plans[0].kind == PlanePlan::kOwn) place(plans[0], ShapeIsSingle(layout.shapeKind), true);
  plans[1].kind = AlphaPlanKind(layout.alphaKind);
  if (plans[1].kind == PlanePlan::kOwn) place(plans[1], AlphaIsSingle(layout.alphaKind), false);
  if (layout.hasColour) {
    plans[2].kind = PlanePlan::kOwn;
    place(plans[2], false, false);
  }
}

void MarkOneGroup(PlanePlan (&plans)[3]) {
  int present = 0;
  for (const PlanePlan& plan : plans) present += plan.kind != PlanePlan::kAbsent;
  if (present != 1) return;
  for (PlanePlan& plan : plans) plan.format.oneGroup = 1;
}

}  // namespace

// ---- SpanCursor ----

SpanCursor SpanCursor::At(const PlaneView* plane, int32_t x, int32_t y) {
  if (plane == nullptr || !plane->IsPresent()) return {};
  const PixelFormatDesc& f = plane->format;
  return {f.firstOffset, f.channelStep, f.columnStep, f.Count(),
          plane->Row(y) + (static_cast<ptrdiff_t>(x) - plane->rect.x0) * f.columnStep};
}

// ---- PixelLayout ----

PixelLayout PixelLayout::Make(int32_t c, bool constantInX, bool constantInY) {
  PixelLayout layout;
  if (c == 3) {
    layout.firstOffset = 1;
    layout.channels = 3;
    layout.bytesPerPixel = 4;
  } else {
    layout.firstOffset = 0;
    layout.channels = c == -1 ? 1 : c;
    layout.bytesPerPixel = layout.channels;
  }
  layout.reverse = true;
  layout.planar = false;
  layout.constantInX = constantInX;
  layout.constantInY = constantInY;
  layout.singleChannel = c == -1;
  layout.hasColour = true;
  return layout;
}

PixelLayout PixelLayout::ForPlanes(int32_t n, uint8_t shapeKind, uint8_t alphaKind,
                                   bool hasColour) {
  PixelLayout layout;
  layout.channels = n;
  layout.shapeKind = shapeKind;
  layout.alphaKind = alphaKind;
  layout.hasColour = hasColour;
  layout.reverse = true;
  const int32_t total = layout.ShapeBytes() + layout.AlphaBytes() + layout.ColourBytes();
  layout.bytesPerPixel = hasColour ? std::max(4, total) : std::max(1, total);
  layout.firstOffset = layout.bytesPerPixel - total;
  return layout;
}

int32_t PixelLayout::ShapeBytes() const {
  return shapeKind <= 1 ? 0 : ShapeIsSingle(shapeKind) ? 1 : GroupChannels(*this);
}
int32_t PixelLayout::AlphaBytes() const {
  return alphaKind <= 2 ? 0 : AlphaIsSingle(alphaKind) ? 1 : GroupChannels(*this);
}
int32_t PixelLayout::ColourBytes() const { return hasColour ? GroupChannels(*this) : 0; }

// ---- PixelBuffer ----

PixelBuffer::PixelBuffer(LibraryContext* context, ArenaAllocator* arena)
    : context_(context), arena_(arena) {}

PixelBuffer::PixelBuffer(LibraryContext* context, ArenaAllocator* arena, const IntRect& r,
                         const PixelLayout& layout, bool clear)
    : context_(context), arena_(arena) {
  Layout(r, layout, clear);
}

PlaneView PixelBuffer::OpaquePlane() {
  PlaneView plane;
  plane.storage = &gOpaqueCell;
  plane.rect = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  plane.format = {-1, 0, 0, 0, 0, 0, 0};
  return plane;
}

void PixelBuffer::Reserve(uint32_t bytes) {
  if (bytes <= capacity && storage != nullptr) return;
  const uint32_t rounded = RoundUpSize8Checked(context_, bytes);
  // The old storage stays with the arena.
  storage = static_cast<uint8_t*>(arena_->Alloc(rounded == 0 ? 8 : rounded));
  capacity = bytes;
}

void PixelBuffer::Commit(const IntRect& r, const PixelLayout& layout, uint32_t bytes, bool clear) {
  rect = r;
  sampleFormat = layout.sampleFormat;
  usedBytes = bytes;
  if (clear && bytes != 0) std::memset(storage, 0, bytes);
  // The buffer-wide fields describe its main plane: colour, else alpha,
  // else shape.
  const PlaneView& main = colour.IsPresent() ? colour : alpha.IsPresent() ? alpha : shape;
  firstOffset = main.format.firstOffset;
  channelStep = main.format.channelStep;
  columnStep = main.format.columnStep;
  rowStep = main.format.rowStep;
}

void PixelBuffer::Adopt(const PlanePlan* plans, const IntRect& r, const PixelLayout& layout,
                        uint32_t total, const Surface* surfaces, int count) {
  Reserve(total);
  shape = ViewOf(plans[0], storage, r, {});
  alpha = ViewOf(plans[1], storage, r, shape);
  colour = ViewOf(plans[2], storage, r, shape);
  usedBytes = total;
  surfaceCount_ = 0;
  if (layout.constantInX || layout.constantInY) return;
  for (int i = 0; i < count && i < kMaxSurfaces; ++i) surfaces_[surfaceCount_++] = surfaces[i];
}

void PixelBuffer::Layout(const IntRect& r, const PixelLayout& layout, bool clear) {
  switch (layout.storageKind) {
    case 0: LayoutInterleaved(r, layout); break;
    case 1: LayoutSeparateAreas(r, layout); break;
    default: LayoutPlanar(r, layout); break;
  }
  Commit(r, layout, usedBytes, clear);
}

void PixelBuffer::LayoutInterleaved(const IntRect& r, const PixelLayout& layout) {
  CheckPixel(context_, layout);
  const Dimensions size = StoredDimensions(context_, r, layout);
  const int32_t p = layout.bytesPerPixel;
  const int32_t n = GroupChannels(layout);
  const uint32_t rowBytes =
      RoundUpSize4Checked(context_, MultiplySizeChecked(context_, size.width, static_cast<uint32_t>(p)));
  const uint32_t total = MultiplySizeChecked(context_, size.height, rowBytes);
  const int32_t storedRow = layout.constantInY ? 0 : AsStep(context_, rowBytes);
  const int32_t column = layout.constantInX ? 0 : p;
  const int32_t d = layout.reverse ? -1 : 1;
  int32_t running = layout.reverse ? p - layout.firstOffset - 1 : layout.firstOffset;

  PlanePlan plans[3];  // shape, alpha, colour
  auto place = [&](PlanePlan& plan, bool single, bool) {
    const int32_t count = single ? 1 : n;
    plan.format = {single ? -1 : layout.channels, running, single ? 0 : d, column, storedRow, 0, 0};
    running += count * d;
  };
  PlanPlanes(layout, plans, place);
  MarkOneGroup(plans);

  const Surface surface{0, 1, 0, static_cast<uint32_t>(p), rowBytes};
  Adopt(plans, r, layout, total, &surface, p != 0 ? 1 : 0);
}

void PixelBuffer::LayoutSeparateAreas(const IntRect& r, const PixelLayout& layout) {
  CheckPixel(context_, layout);
  const Dimensions size = StoredDimensions(context_, r, layout);
  const int32_t p = layout.bytesPerPixel;

  // Each own plane is a one-plane interleaved area; every product and the
  // running sum are checked, so no area can wrap onto another.
  PlanePlan plans[3];
  Surface areas[3];
  int areaCount = 0;
  uint32_t total = 0;
  auto place = [&](PlanePlan& plan, bool single, bool) {
    const uint32_t pixelBytes = single ? 1u : static_cast<uint32_t>(p);
    const uint32_t rowBytes =
        RoundUpSize4Checked(context_, MultiplySizeChecked(context_, size.width, pixelBytes));
    const int32_t storedRow = layout.constantInY ? 0 : AsStep(context_, rowBytes);
    if (single) {
      plan.format = {-1, 0, 0, layout.constantInX ? 0 : 1, storedRow, 1, 0};
    } else {
      plan.format = {layout.channels, layout.reverse ? p - layout.firstOffset - 1 : layout.firstOffset,
                     layout.reverse ? -1 : 1, layout.constantInX ? 0 : p, storedRow, 1, 0};
    }
    plan.offset = total;
    areas[areaCount++] = {total, 1, 0, pixelBytes, rowBytes};
    total = AddSizeChecked(context_, total, MultiplySizeChecked(context_, size.height, rowBytes));
  };
  PlanPlanes(layout, plans, place);
  // Offsets inside an area are addressed with signed words.
  AsStep(context_, total);

  Adopt(plans, r, layout, total, areas, areaCount);
}

void PixelBuffer::LayoutPlanar(const IntRect& r, const PixelLayout& layout) {
  CheckPixel(context_, layout);
  const Dimensions size = StoredDimensions(context_, r, layout);
  const int32_t p = layout.bytesPerPixel;
  const int32_t n = GroupChannels(layout);
  const uint32_t rowBytes = RoundUpSize4Checked(context_, size.width);
  const uint32_t planeSize = MultiplySizeChecked(context_, size.height, rowBytes);
  const int32_t storedRow = layout.constantInY ? 0 : AsStep(context_, rowBytes);
  // One byte per pixel and plane: pixels are one byte apart.
  const int32_t column = layout.constantInX ? 0 : 1;
  const int32_t d = layout.reverse ? -1 : 1;

  // Plane slots are counted like bytes of the interleaved pixel: the used
  // planes run down from p - o - 1 when reversed, up from o otherwise, so
  // the storage spans every slot either can reach.
  const int64_t used = int64_t{layout.ShapeBytes()} + layout.AlphaBytes() + layout.ColourBytes();
  const uint32_t slots = static_cast<uint32_t>(layout.reverse ? p - layout.firstOffset
                                                               : layout.firstOffset + used);
  const uint32_t total = MultiplySizeChecked(context_, slots, planeSize);
  const int32_t planeStep = AsStep(context_, int64_t{planeSize} * d);
  int64_t running = int64_t{layout.reverse ? p - layout.firstOffset - 1 : layout.firstOffset} * planeSize;

  PlanePlan plans[3];
  auto place = [&](PlanePlan& plan, bool single, bool isShape) {
    // The shape plane's single channel owns its plane.
    const int32_t marker = single && isShape ? 1 : 0;
    const int32_t count = single ? 1 : n;
    plan.format = {single ? -1 : layout.channels, AsStep(context_, running), single ? 0 : planeStep,
                   column, storedRow, marker, 0};
    running += int64_t{count} * planeStep;
  };
  PlanPlanes(layout, plans, place);
  MarkOneGroup(plans);

  const Surface surface{0, slots, planeSize, 1, rowBytes};
  Adopt(plans, r, layout, total, &surface, 1);
}

void PixelBuffer::SetupAndAllocate(const IntRect& r, const PixelLayout& layout, bool clear) {
  const Dimensions size = StoredDimensions(context_, r, layout);
  const int32_t channels = layout.singleChannel ? 1 : layout.channels;
  if (channels < 1) Throw(context_, kMalformed);
  const bool planar = layout.planar;
  // Interleaved pixels take the layout's bytes per pixel when that is more
  // than the channels (three channels in a 4-byte pixel).
  const int32_t slots = planar ? channels : std::max(channels, layout.bytesPerPixel);
  if (layout.firstOffset < 0 || int64_t{layout.firstOffset} + channels > slots) {
    Throw(context_, kMalformed);
  }
  uint32_t rowBytes = MultiplySizeChecked(context_, 1, size.width);
  if (!planar) rowBytes = MultiplySizeChecked(context_, rowBytes, static_cast<uint32_t>(slots));
  const uint32_t rowBytesRounded = RoundUpSize4Checked(context_, rowBytes);
  uint32_t total = MultiplySizeChecked(context_, rowBytesRounded, size.height);
  const int32_t storedRow = layout.constantInY ? 0 : AsStep(context_, rowBytesRounded);
  int64_t step;
  const uint32_t planeSize = total;
  if (planar) {
    step = layout.singleChannel ? 0 : planeSize;
    total = MultiplySizeChecked(context_, total, static_cast<uint32_t>(channels));
  } else {
    step = layout.singleChannel ? 0 : 1;
  }
  int64_t offset = layout.firstOffset;
  if (layout.reverse) {
    offset = int64_t{slots - layout.firstOffset - 1} * step;
    step = -step;
  } else if (planar) {
    offset = int64_t{layout.firstOffset} * step;
  }
  const int32_t column = layout.constantInX ? 0 : planar ? 1 : slots;
  const PixelFormatDesc format{layout.singleChannel ? -1 : channels, AsStep(context_, offset),
                               AsStep(context_, step), column, storedRow, 1, 1};

  Reserve(total);
  shape = {};
  alpha = {};
  colour = {storage, r, format};
  usedBytes = total;
  surfaceCount_ = 0;
  if (!layout.constantInX && !layout.constantInY) {
    if (planar) {
      surfaces_[surfaceCount_++] = {0, static_cast<uint32_t>(channels), planeSize, 1, rowBytesRounded};
    } else {
      surfaces_[surfaceCount_++] = {0, 1, 0, static_cast<uint32_t>(slots), rowBytesRounded};
    }
  }
  Commit(r, layout, total, clear);
}

void PixelBuffer::ExtendEdges(const IntRect& innerRect, const IntRect& outerRect) {
  IntRect outer{std::max(outerRect.x0, rect.x0), std::max(outerRect.y0, rect.y0),
                std::min(outerRect.x1, rect.x1), std::min(outerRect.y1, rect.y1)};
  if (outer.IsEmpty()) return;
  const IntRect inner{std::max(innerRect.x0, outer.x0), std::max(innerRect.y0, outer.y0),
                      std::min(innerRect.x1, outer.x1), std::min(innerRect.y1, outer.y1)};
  if (inner.IsEmpty()) return;
  for (int s = 0; s < surfaceCount_; ++s) {
    const Surface& surface = surfaces_[s];
    const size_t pixel = surface.pixelBytes;
    for (uint32_t plane = 0; plane < surface.planes; ++plane) {
      uint8_t* base = storage + surface.offset + size_t{plane} * surface.planeStep;
      auto at = [&](int32_t x, int32_t y) {
        return base + size_t(int64_t{y} - rect.y0) * surface.rowBytes + size_t(int64_t{x} - rect.x0) * pixel;
      };
      for (int32_t y = inner.y0; y < inner.y1; ++y) {
        const uint8_t* first = at(inner.x0, y);
        const uint8_t* last = at(inner.x1 - 1, y);
        if (pixel == 1) {
          std::memset(at(outer.x0, y), *first, size_t(inner.x0 - outer.x0));
          std::memset(at(inner.x1, y), *last, size_t(outer.x1 - inner.x1));
          continue;
        }
        for (int32_t x = outer.x0; x < inner.x0; ++x) std::memcpy(at(x, y), first, pixel);
        for (int32_t x = inner.x1; x < outer.x1; ++x) std::memcpy(at(x, y), last, pixel);
      }
      const size_t rowSpan = size_t(outer.x1 - outer.x0) * pixel;
      for (int32_t y = outer.y0; y < inner.y0; ++y) {
        std::memcpy(at(outer.x0, y), at(outer.x0, inner.y0), rowSpan);
      }
      for (int32_t y = inner.y1; y < outer.y1; ++y) {
        std::memcpy(at(outer.x0, y), at(outer.x0, inner.y1 - 1), rowSpan);
      }
    }
  }
}

}  // namespace runtime
