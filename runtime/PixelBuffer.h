#pragma once
// Pixel buffers and their layout. A buffer holds up to three planes, always
// named in the order shape, alpha, colour (any may be absent), laid out by a
// PixelLayout in one of three arrangements:
//   - interleaved: every plane's channels inside one pixel of p bytes;
//   - separate areas: each plane an interleaved area of its own, one after
//     the other in the storage;
//   - planar: one byte plane per channel.
// Every size is computed with checked arithmetic: a buffer that would not
// fit in 32 bits raises (runtime, 1) before anything is allocated, and the
// buffer keeps its previous storage. Storage comes from an arena and grows
// only when a layout needs more than the buffer holds.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"
#include "runtime/Rect.h"

namespace runtime {

// How the channels of one plane are addressed.
struct PixelFormatDesc {
  int32_t channelCount = 0;  // -1: one channel that serves every channel (read as 1)
  int32_t firstOffset = 0;   // byte offset of channel 0 within a pixel
  int32_t channelStep = 0;   // bytes from one channel to the next (0 for a shared channel)
  int32_t columnStep = 0;    // bytes from one pixel to the next (0: constant along a row)
  int32_t rowStep = 0;       // bytes from one row to the next (0: constant down the rows)
  int32_t ownsPlane = 0;     // 1 when the plane's bytes are its own (not shared with another plane)
  uint8_t oneGroup = 0;      // the buffer has exactly one plane

  int32_t Count() const { return channelCount == -1 ? 1 : channelCount; }
  // {count, offset, channel step, column step} compared as the stages do.
  bool Matches(int32_t count, int32_t offset, int32_t step, int32_t column) const {
    return channelCount == count && firstOffset == offset && channelStep == step &&
           columnStep == column;
  }
  // Colour bytes 2, 1, 0 of a 4-byte pixel.
  bool Is3x2Tag4() const { return Matches(3, 2, -1, 4); }
  // The same three bytes, one value for the whole row.
  bool Is3x2Tag0() const { return Matches(3, 2, -1, 0); }
  // Packed RGB in 3-byte pixels.
  bool IsPackedRgb() const { return Matches(3, 0, 1, 3); }
};

// One plane of a buffer: its storage (the byte of pixel (x0, y0) before the
// first-channel offset), the buffer's rectangle and the addressing.
struct PlaneView {
  uint8_t* storage = nullptr;
  IntRect rect;
  PixelFormatDesc format;

  bool IsPresent() const { return storage != nullptr; }
  // One value for every pixel (the opaque constant, a one-pixel plane).
  bool IsConstant() const { return format.columnStep == 0 && format.rowStep == 0; }
  // The first byte of row y (y within the rectangle).
  uint8_t* Row(int32_t y) const {
    return storage + (static_cast<ptrdiff_t>(y) - rect.y0) * format.rowStep;
  }
};

// One plane at one pixel: what every span loop walks with.
struct SpanCursor {
  int32_t firstOffset = 0;
  int32_t channelStep = 0;
  int32_t columnStep = 0;
  int32_t count = 0;         // 0 for an absent plane
  uint8_t* pixel = nullptr;  // the pixel's first byte (before the offset); null when absent

  // Pixel (x, y) of a plane; an absent plane gives an all-zero cursor.
  static SpanCursor At(const PlaneView* plane, int32_t x, int32_t y);
  uint8_t* Channel(int32_t c) const { return pixel + firstOffset + c * channelStep; }
  void Next() { pixel += columnStep; }
};

// The per-pixel arrangement a buffer is built from.
struct PixelLayout {
  int32_t firstOffset = 0;    // o: padding bytes before the first used byte
  uint32_t sampleFormat = 0;  // copied into the buffer for its users
  int32_t channels = 0;       // n, the colour channel count (-1: one shared channel)
  int32_t bytesPerPixel = 0;  // p
  bool reverse = false;       // channels laid out from the highest used byte down
  bool planar = false;        // (SetupAndAllocate) one plane per channel
  bool constantInX = false;   // one pixel serves the whole row
  bool constantInY = false;   // one row serves every row
  bool singleChannel = false; // (SetupAndAllocate) the channel count is read as 1
  uint8_t storageKind = 0;    // 0 interleaved, 1 separate areas, anything else planar
  // Plane kinds. Shape: 0 absent, 1 the opaque constant, 2 one channel,
  // other n channels. Alpha: 0 absent, 1 the opaque constant, 2 the shape
  // plane's view, 3 one channel, other n channels.
  uint8_t shapeKind = 0;
  uint8_t alphaKind = 0;
  bool hasColour = false;

  // The layout of a buffer of c channels (-1: one shared channel); three
  // channels take 4-byte pixels.
  static PixelLayout Make(int32_t c, bool constantInX, bool constantInY);
  // A layout by plane kinds with the least bytes per pixel: at least 4 when
  // there is colour, the padding in front; reversed and interleaved.
  static PixelLayout ForPlanes(int32_t n, uint8_t shapeKind, uint8_t alphaKind, bool hasColour);

  int32_t ShapeBytes() const;
  int32_t AlphaBytes() const;
  int32_t ColourBytes() const;
};

class PixelBuffer {
 public:
  // An empty buffer with no storage yet.
  PixelBuffer(LibraryContext* context, ArenaAllocator* arena);
  // A buffer over `rect` laid out by the layout's storage kind; cleared to 0
  // when asked.
  PixelBuffer(LibraryContext* context, ArenaAllocator* arena, const IntRect& rect,
              const PixelLayout& layout, bool clear);
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;

  // Lays the buffer out again by the layout's plane kinds.
  void Layout(const IntRect& rect, const PixelLayout& layout, bool clear);
  // The plain layout of `channels` channels (interleaved or planar by the
  // layout's flag), described by the buffer's own fields and its colour
  // plane.
  void SetupAndAllocate(const IntRect& rect, const PixelLayout& layout, bool clear);
  // Fills the part of `outer` outside `inner` by repeating the edge pixels
  // of `inner`: rows above copy its first row, rows below its last; columns
  // left copy its first pixel, columns right its last. Both rectangles are
  // clipped to the buffer first.
  void ExtendEdges(const IntRect& inner, const IntRect& outer);

  // How a layout places one plane (defined where the layouts are computed).
  struct PlanePlan;

  // The opaque constant: every pixel and channel reads 255.
  static PlaneView OpaquePlane();

  // ---- Fields ----
  IntRect rect;
  uint32_t sampleFormat = 0;
  int32_t firstOffset = 0;
  int32_t channelStep = 0;
  int32_t columnStep = 0;
  int32_t rowStep = 0;
  int32_t one = 1;
  uint8_t* storage = nullptr;
  uint32_t capacity = 0;
  uint32_t usedBytes = 0;  // of the current layout
  PlaneView shape;
  PlaneView alpha;
  PlaneView colour;

 private:
  // Byte surfaces that edge replication walks: `planes` planes `planeStep`
  // bytes apart, each with pixels of `pixelBytes` and rows of `rowBytes`.
  struct Surface {
    uint32_t offset = 0;
    uint32_t planes = 0;
    uint32_t planeStep = 0;
    uint32_t pixelBytes = 0;
    uint32_t rowBytes = 0;
  };
  static constexpr int kMaxSurfaces = 3;

  // Takes storage for `total` bytes, points the three planes at it by their
  // plans, and records the surfaces edge replication walks (none when the
  // layout is constant in a direction).
  void Adopt(const PlanePlan* plans, const IntRect& rect, const PixelLayout& layout,
             uint32_t total, const Surface* surfaces, int surfaceCount);
  void LayoutInterleaved(const IntRect& rect, const PixelLayout& layout);
  void LayoutSeparateAreas(const IntRect& rect, const PixelLayout& layout);
  void LayoutPlanar(const IntRect& rect, const PixelLayout& layout);
  // Makes sure `bytes` of storage exist (rounded up to 8 when new).
  void Reserve(uint32_t bytes);
  void Commit(const IntRect& rect, const PixelLayout& layout, uint32_t bytes, bool clear);

  LibraryContext* context_;
  ArenaAllocator* arena_;
  Surface surfaces_[kMaxSurfaces];
  int surfaceCount_ = 0;
};

}  // namespace runtime
