#pragma once
// The planes that pipelines read and write. A plane here is a view of one
// plane of a pixel buffer positioned on the row being painted; a triple
// names three of them, always shape, alpha, colour, any of which may be
// absent (read as fully opaque).
//
// Two constant planes serve the whole library: the opaque plane, whose one
// byte is 255, and the zero plane, whose one byte is 0; both have zero
// steps, so every pixel and channel reads the one byte. A plane is constant
// opaque exactly when its storage is the opaque byte, and pipelines
// specialise on that when they are built.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/PixelBuffer.h"
#include "runtime/Rect.h"

namespace raster {

using runtime::IntRect;
using runtime::PixelFormatDesc;
using runtime::PixelLayout;
using runtime::SpanCursor;

// {count, offset, channel step, pixel step}, a count of all ones read as one
// channel (it never matches a three-channel format).
inline bool FormatIs(const PixelFormatDesc& f, int32_t count, int32_t offset, int32_t step, int32_t column) {
  return f.Count() == count && f.firstOffset == offset && f.channelStep == step && f.columnStep == column;
}

struct PixelPlane {
  uint8_t* row = nullptr;   // the byte of pixel rect.x0 on the current row
  uint8_t* base = nullptr;  // the byte of pixel (rect.x0, rect.y0)
  IntRect rect;
  PixelFormatDesc format;

  // The view of a buffer's plane, positioned on its first row; null storage
  // gives an absent (all-null) plane.
  static PixelPlane FromView(const runtime::PlaneView& view);
  void SetRow(int32_t y) {
    row = base + (static_cast<int64_t>(y) - rect.y0) * format.rowStep;
  }

  static PixelPlane* Opaque();
  static PixelPlane* Zero();
  bool IsOpaqueConstant() const { return base == Opaque()->base; }
  bool IsZeroConstant() const { return base == Zero()->base; }
  // The two shared constants are read, never written.
  bool IsSharedConstant() const { return IsOpaqueConstant() || IsZeroConstant(); }

  static bool IsAbsentOrZero(const PixelPlane* plane) { return plane == nullptr || plane->IsZeroConstant(); }
  static bool IsAbsentOrOpaque(const PixelPlane* plane) {
    return plane == nullptr || plane->IsOpaqueConstant();
  }
  // A plane whose bytes are its own: one byte per pixel of a single channel.
  static bool IsSingleByte(const PixelPlane* plane) {
    return plane != nullptr && FormatIs(plane->format, 1, 0, 0, 1);
  }
  // A one-pixel plane built in an arena: every pixel and channel reads `value`.
  static PixelPlane* MakeConstant(runtime::ArenaAllocator& arena, uint8_t value);
  // A one-byte mask plane over `area` in the arena, every byte 0.
  static PixelPlane* MakeMask(runtime::ArenaAllocator& arena, const IntRect& area);
};

// Pixel x of the plane's current row; an absent plane gives an all-zero
// cursor (count 0), so that loops over its channels touch nothing.
inline SpanCursor CursorAt(const PixelPlane* plane, int32_t x) {
  if (plane == nullptr || plane->base == nullptr) return {};
  const PixelFormatDesc& f = plane->format;
  return {f.firstOffset, f.channelStep, f.columnStep, f.Count(),
          plane->row + (static_cast<int64_t>(x) - plane->rect.x0) * f.columnStep};
}

struct PixelTriple {
  PixelPlane* shape = nullptr;
  PixelPlane* alpha = nullptr;
  PixelPlane* colour = nullptr;

  PixelPlane* Plane(int k) const { return k == 0 ? shape : k == 1 ? alpha : colour; }

  // The planes of a buffer, each copied into the arena (so that positioning
  // them on a row never moves another user's view); absent planes stay
  // absent and the shared constants stay shared.
  static PixelTriple CopyOf(runtime::ArenaAllocator& arena, const PixelTriple& planes);
  static PixelTriple OfBuffer(runtime::ArenaAllocator& arena, const runtime::PixelBuffer& buffer);
  // A one-row buffer of `layout` over the columns of `area`, reused for every
  // row (its row step is 0); the stages of compositing nodes write into it.
  static PixelTriple CreateScratch(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                   const PixelLayout& layout, const IntRect& area);
  // The same for the layout of n colour channels (-1: one shared channel)
  // with the given shape and alpha kinds.
  static PixelTriple CreateForLayout(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                     uint8_t shapeKind, uint8_t alphaKind, bool hasColour, int32_t n,
                                     const IntRect& area) {
    return CreateScratch(context, arena, PixelLayout::ForPlanes(n, shapeKind, alphaKind, hasColour), area);
  }
  // A one-row coverage scratch: a shape plane only, one channel.
  static PixelTriple CreateCoverageScratch(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                           const IntRect& area) {
    return CreateForLayout(context, arena, 2, 0, false, -1, area);
  }

  // Every plane present in `a` shares its storage with the same plane of `b`.
  static bool SameBuffers(const PixelTriple& a, const PixelTriple& b);
  // Alpha in byte 3 and colour in bytes 2, 1, 0 of one 4-byte pixel.
  bool IsInterleavedBgra() const;
  bool IsInterleavedBgraNoShape() const { return shape == nullptr && IsInterleavedBgra(); }
  bool IsZeroAlphaBgrx() const;
  bool IsZeroAlphaConstBgr() const;
  bool IsOpaqueConstBgr() const;
  bool IsOpaquePackedRgb() const;
};

}  // namespace raster
