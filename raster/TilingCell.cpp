#include "raster/TilingCell.h"

#include <algorithm>

#include "runtime/ErrorTrap.h"
#include "runtime/ResampleKernel.h"

namespace raster {
namespace {

using runtime::FixedDiv;
using runtime::FixedMul;
using runtime::kFixedOne;

// A tile is used while it holds at most about this many bytes.
constexpr int64_t kTileBytes = 12000000;
// Tiles are at least 8 and at most 0x7fff pixels a side.
constexpr int32_t kMinTileSide = 8;
constexpr int32_t kMaxTileSide = 0x7fff;
// The resampling kernel whose footprint widens the tile buffer.
constexpr int32_t kTileKernel = 3;

const Rect kUnitSquare{0, 0, kFixedOne, kFixedOne};

int32_t TileSide(Fixed size) {
  if (size < runtime::FixedFromInt(kMinTileSide)) return kMinTileSide;
  if (size >= 0x7fff0001) return kMaxTileSide;
  return runtime::FixedToIntCeil(size);
}

// x·y/255 rounded.
inline uint8_t Mul255(uint32_t x, uint32_t y) {
  const uint32_t t = x * y + 128;
  return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

// The 8-bit weight of a 16-bit fraction.
inline uint32_t Weight(int64_t f) { return static_cast<uint32_t>(((f > 0x7fff ? f - 1 : f) >> 8) & 255); }

// Lines of a tile plane: columns over [from, to) rows on the x axis, rows
// over [from, to) columns on the y axis.
class TileLines {
 public:
  TileLines(const TilePlane& plane, bool xAxis, int32_t from, int32_t to)
      : plane_(plane), xAxis_(xAxis), from_(from), to_(to) {}

  template <class Op>
  void ForEach(int32_t line, Op op) const {
    for (int32_t c = 0; c < plane_.channels; ++c) {
      for (int32_t r = from_; r < to_; ++r) op(xAxis_ ? Offset(line, r) : Offset(r, line), c);
    }
  }
  uint8_t* Byte(int64_t offset, int32_t channel) const {
    return plane_.data + offset + static_cast<int64_t>(channel) * plane_.channelStep;
  }
  // Offset of pixel `line` relative to `other` along the axis.
  int64_t Shift(int32_t from, int32_t to) const {
    return static_cast<int64_t>(to - from) * (xAxis_ ? 1 : plane_.rowStep);
  }
  void Lerp(int32_t dst, int32_t a, int32_t b, uint32_t k) const {
    ForEach(dst, [&](int64_t o, int32_t c) {
      *Byte(o, c) = static_cast<uint8_t>(Mul255(*Byte(o + Shift(dst, a), c), 255 - k) +
                                         Mul255(*Byte(o + Shift(dst, b), c), k));
    });
  }
  void Blend(int32_t dst, int32_t a, uint32_t wa, int32_t b, uint32_t wb) const {
    ForEach(dst, [&](int64_t o, int32_t c) {
      const uint32_t sum = Mul255(*Byte(o + Shift(dst, a), c), wa) + Mul255(*Byte(o + Shift(dst, b), c), wb);
      *Byte(o, c) = static_cast<uint8_t>(std::min<uint32_t>(sum, 255));
    });
  }
  void Scale(int32_t dst, int32_t a, uint32_t k) const {
    ForEach(dst, [&](int64_t o, int32_t c) { *Byte(o, c) = Mul255(*Byte(o + Shift(dst, a), c), k); });
  }
  void Clear(int32_t dst) const {
    ForEach(dst, [&](int64_t o, int32_t c) { *Byte(o, c) = 0; });
  }

 private:
  int64_t Offset(int32_t x, int32_t y) const { return plane_.At(x, y) - plane_.data; }

  const TilePlane& plane_;
  bool xAxis_;
  int32_t from_, to_;
};

// One margin pass over lines [start, end) of an axis whose tile runs
// [t0, t1) with step s (16.16).
void FillMarginPass(const TileLines& lines, int32_t start, int32_t end, int32_t t0, int32_t t1, Fixed s) {
  if (s <= 0 || start >= end) return;
  const int64_t one = kFixedOne;
  const int64_t nextStart = (int64_t{t0} << 16) + s;
  for (int32_t c = start; c < end;) {
    // c moved by whole periods to the first position at or after t0.
    const int64_t distance = (int64_t{t0} - c) << 16;
    const int64_t periods = distance > 0 ? (distance + s - 1) / s : -((-distance) / s);
    const int64_t p = (int64_t{c} << 16) + periods * s;
    const int32_t pi = static_cast<int32_t>(p >> 16);
    const uint32_t w = Weight(p - (int64_t{pi} << 16));
    const int64_t tileEnd = int64_t{t1} << 16;
    if (p + one < tileEnd) {
      const int32_t runEnd = static_cast<int32_t>(std::min<int64_t>(end, int64_t{c} + t1 - 1 - pi));
      for (int32_t j = c; j < runEnd; ++j) lines.Lerp(j, pi + (j - c), pi + 1 + (j - c), w);
      c = std::max(runEnd, c + 1);
    } else if (p < tileEnd) {
      if (p + one <= nextStart) {
        lines.Scale(c, pi, 255 - w);
      } else {
        lines.Blend(c, pi, 255 - w, t0, Weight(p + one - nextStart));
      }
      ++c;
    } else if (p + one <= nextStart) {
      const int32_t runEnd =
          static_cast<int32_t>(std::min<int64_t>(end, int64_t{c} + ((nextStart - p) >> 16)));
      for (int32_t j = c; j < std::max(runEnd, c + 1); ++j) lines.Clear(j);
      c = std::max(runEnd, c + 1);
    } else {
      lines.Scale(c, t0, Weight(p + one - nextStart));
      ++c;
    }
  }
}

PixelPlane* NewView(runtime::ArenaAllocator& arena, uint8_t* data, const IntRect& rect,
                    const PixelFormatDesc& format) {
  // NewInArena raises (runtime, 0) when the arena is exhausted.
  auto* view = runtime::NewInArena<PixelPlane>(arena);
  view->row = data;
  view->base = data;
  view->rect = rect;
  view->format = format;
  return view;
}

PixelPlane* CopyView(runtime::ArenaAllocator& arena, const PixelPlane* plane) {
  if (plane == nullptr) return nullptr;
  PixelPlane* view = runtime::NewInArena<PixelPlane>(arena);
  *view = *plane;
  return view;
}

}  // namespace

void PatternCell::SetUp(TilingPainter& painter) {
  painter.xSign = painter.xStep <= 0 ? -1 : 1;
  painter.ySign = painter.yStep <= 0 ? -1 : 1;
  painter.xMagnitude = runtime::AbsSat(painter.xStep);
  painter.yMagnitude = runtime::AbsSat(painter.yStep);
  Rect box = painter.bbox;
  painter.degenerate = false;
  if (box.IsEmpty()) {
    box = kUnitSquare;
    painter.degenerate = true;
  }
  painter.bbox = box;
  painter.cell = Rect{box.x0, box.y0, runtime::FixedAddSat(box.x0, painter.xMagnitude),
                      runtime::FixedAddSat(box.y0, painter.yMagnitude)};
  painter.visible = Rect::IntersectWith(painter.cell, box);
  painter.cellMatrix = painter.patternMatrix;
  const Matrix& m = painter.patternMatrix;
  const int64_t det = int64_t{FixedMul(m.a, m.d)} - FixedMul(m.b, m.c);
  if (det == 0 || painter.visible.IsEmpty()) {
    painter.visible = kUnitSquare;
    painter.cellMatrix = Matrix{};
    painter.degenerate = true;
  }
}

void PatternCell::ChannelPlan(TilingPainter& painter, int32_t n) {
  if (painter.uncoloured) {
    painter.plan[0] = 1, painter.plan[1] = 0, painter.plan[2] = 0, painter.plan[3] = 1;
  } else {
    painter.plan[0] = 0, painter.plan[1] = 1, painter.plan[2] = n, painter.plan[3] = n + 1;
  }
}

void PatternCell::ChooseTileSize(TilingPainter& painter) {
  Fixed w = runtime::FixedSubSat(painter.visible.x1, painter.visible.x0);
  Fixed h = runtime::FixedSubSat(painter.visible.y1, painter.visible.y0);
  if (w < 1 || h < 1) {
    painter.visible = kUnitSquare;
    w = h = kFixedOne;
    painter.degenerate = true;
  }
  const Matrix& m = painter.cellMatrix;
  Fixed sx = runtime::FixedSqrt(runtime::FixedAddSat(FixedMul(m.a, m.a), FixedMul(m.b, m.b)));
  Fixed sy = runtime::FixedSqrt(runtime::FixedAddSat(FixedMul(m.c, m.c), FixedMul(m.d, m.d)));
  int64_t det = std::abs(int64_t{FixedMul(m.a, m.d)} - FixedMul(m.c, m.b));
  if (FixedMul(sx, sy) < 1 || det == 0) {
    sx = sy = kFixedOne;
    det = kFixedOne;
    painter.degenerate = true;
  }
  const Fixed detFixed = static_cast<Fixed>(std::min<int64_t>(det, runtime::kFixedMax));
  const Fixed r = std::min(runtime::FixedSqrt(FixedDiv(detFixed, FixedMul(sx, sy))), kFixedOne);
  const Fixed tw = FixedMul(FixedMul(FixedMul(sx, w), r), painter.resolutionFactor);
  const Fixed th = FixedMul(FixedMul(FixedMul(sy, h), r), painter.resolutionFactor);
  const int32_t tileW = TileSide(tw);
  const int32_t tileH = TileSide(th);
  const int64_t n = std::max(painter.plan[3], 1);
  painter.tileUsed = tileW < 65536 && tileH < 65536 && int64_t{tileW} * tileH <= (n + kTileBytes - 1) / n;
  if (!painter.tileUsed) {
    painter.tileRect = painter.fallbackRect;
    return;
  }
  painter.tileRect = IntRect{0, 0, tileW, tileH};
  const Fixed ta = FixedDiv(tileW << 16, w);
  const Fixed td = FixedDiv(tileH << 16, h);
  painter.tileMatrix = Matrix{ta, 0, 0, td, runtime::NegateSat(FixedMul(ta, painter.bbox.x0)),
                              runtime::NegateSat(FixedMul(td, painter.bbox.y0))};
  if (Rect::Encloses(painter.visible, painter.cell)) {
    painter.repeatX = tileW << 16;
    painter.repeatY = tileH << 16;
  } else {
    int32_t overflow = 0;
    painter.repeatX = std::max<Fixed>(
        tileW << 16, runtime::FixedMulChecked(runtime::FixedSubSat(painter.cell.x1, painter.bbox.x0), ta, overflow));
    painter.repeatY = std::max<Fixed>(
        tileH << 16, runtime::FixedMulChecked(runtime::FixedSubSat(painter.cell.y1, painter.bbox.y0), td, overflow));
  }
  Matrix inverse;
  if (!Matrix::Invert(inverse, painter.tileMatrix)) runtime::ThrowRuntime(runtime::kMalformed);
  painter.placementMatrix = Matrix::Concat(inverse, painter.cellMatrix);
}

void PatternCell::AllocateTileBuffer(TilingPainter& painter) {
  runtime::PixelLayout layout;
  layout.firstOffset = 0;
  // The planes of one pixel: one per channel of the plan.
  layout.bytesPerPixel = painter.uncoloured ? 1 : painter.colourComponents + 1;
  layout.reverse = false;
  layout.storageKind = 2;
  if (painter.uncoloured) {
    layout.channels = -1;
    layout.shapeKind = 2;
    layout.alphaKind = 0;
    layout.hasColour = false;
  } else {
    layout.channels = painter.colourComponents;
    layout.shapeKind = 0;
    layout.alphaKind = 3;
    layout.hasColour = true;
  }
  painter.tileLayout = layout;
  runtime::PixelBuffer& buffer = painter.tileBuffer;
  if (!painter.tileUsed) {
    buffer.Layout(painter.destinationRect, layout, true);
  } else {
    painter.bufferRect = runtime::ResampleKernel::PadRect(painter.tileRect, false, kTileKernel,
                                                          Matrix::NominalScale(painter.placementMatrix));
    buffer.Layout(painter.bufferRect, layout, true);
    const runtime::PlaneView& first = painter.uncoloured ? buffer.shape : buffer.alpha;
    TilePlane& plane = painter.tilePlane;
    plane.data = first.storage + first.format.firstOffset;
    plane.rect = painter.bufferRect;
    plane.channels = painter.uncoloured ? 1 : painter.colourComponents + 1;
    plane.channelStep = painter.uncoloured ? 0 : buffer.colour.format.channelStep;
    plane.rowStep = first.format.rowStep;
  }
  painter.targetBuffer = &buffer;
}

void PatternCell::BindTargetPlanes(TilingPainter& painter) {
  runtime::ArenaAllocator& arena = painter.arena;
  PixelTriple planes;
  if (painter.tileUsed) {
    const TilePlane& tile = painter.tilePlane;
    const PixelFormatDesc single{-1, 0, 0, 1, tile.rowStep, 1, 0};
    if (painter.uncoloured) {
      planes.shape = NewView(arena, tile.data, tile.rect, single);
    } else {
      planes.alpha = NewView(arena, tile.data, tile.rect, PixelFormatDesc{1, 0, 0, 1, tile.rowStep, 1, 0});
      planes.colour = NewView(arena, tile.data + tile.channelStep, tile.rect,
                              PixelFormatDesc{painter.plan[2], 0, tile.channelStep, 1, tile.rowStep, 1, 0});
    }
  } else if (painter.uncoloured) {
    planes.shape = CopyView(arena, painter.destinationPlanes.shape);
  } else {
    planes.alpha = CopyView(arena, painter.destinationPlanes.alpha);
    planes.colour = CopyView(arena, painter.destinationPlanes.colour);
  }
  painter.targetPlanes = planes;
}

void PatternCell::FinishTile(TilingPainter& painter) {
  if (!painter.tileUsed) return;
  if (!(painter.bufferRect == painter.tileRect)) {
    FillTileMargins(painter.tilePlane, painter.tileRect, painter.bufferRect, painter.repeatX, painter.repeatY);
  }
  const TilePlane& tile = painter.tilePlane;
  ImageSamplerSetup setup;
  setup.image = SampledPixels{tile.data, tile.rect, tile.channels, tile.channelStep, 1, tile.rowStep};
  setup.toDevice = SamplerMatrix::FromFixed(painter.placementMatrix);
  setup.area = painter.destinationRect;
  setup.periodX = painter.repeatX;
  setup.periodY = painter.repeatY;
  setup.maskPlane = painter.uncoloured;
  setup.alphaFirst = !painter.uncoloured;
  painter.sampler = ImageSampler::Create(painter.arena, ImageSampler::kInterpolate, setup);
}

void PatternCell::FillTileMargins(const TilePlane& plane, const IntRect& tile, const IntRect& buffer, Fixed repeatX,
                                  Fixed repeatY) {
  const TileLines columns(plane, true, tile.y0, tile.y1);
  FillMarginPass(columns, buffer.x0, tile.x0, tile.x0, tile.x1, repeatX);
  FillMarginPass(columns, tile.x1, buffer.x1, tile.x0, tile.x1, repeatX);
  const TileLines rows(plane, false, buffer.x0, buffer.x1);
  FillMarginPass(rows, buffer.y0, tile.y0, tile.y0, tile.y1, repeatY);
  FillMarginPass(rows, tile.y1, buffer.y1, tile.y0, tile.y1, repeatY);
}

}  // namespace raster
