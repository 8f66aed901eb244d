#include "raster/BlendStage.h"

#include <bit>
#include <cstring>

namespace raster {
namespace {

PixelPlane* Readable(const PixelTriple* triple, int k) {
  PixelPlane* plane = triple != nullptr ? triple->Plane(k) : nullptr;
  return plane != nullptr ? plane : PixelPlane::Opaque();
}

PixelPlane* Writable(const PixelTriple& triple, int k) {
  PixelPlane* plane = triple.Plane(k);
  return plane != nullptr && !plane->IsSharedConstant() ? plane : nullptr;
}

bool IsRowByte(const PixelPlane* plane) { return plane != nullptr && FormatIs(plane->format, 1, 0, 0, 0); }

}  // namespace

BlendStage::BlendStage(StageContext& stage) {
  for (int k = 0; k < 3; ++k) {
    destination_[k] = Writable(stage.destination, k);
    first_[k] = Readable(stage.first, k);
    second_[k] = Readable(stage.second, k);
    third_[k] = Readable(stage.third, k);
  }
  outputIndex = stage.outputs.Size();
  stage.outputs.PushBack(stage.destination);
}

bool ConstantMaskStage::Applies(const StageContext& stage) {
  const PixelTriple& d = stage.destination;
  return PixelPlane::IsSingleByte(d.shape) && d.alpha == nullptr && d.colour == nullptr &&
         PixelPlane::IsSingleByte(stage.first->shape) && IsRowByte(stage.second->shape);
}

int32_t ConstantMaskStage::RunSpan(int32_t x, int32_t xEnd) {
  if (x >= xEnd || destination_[0] == nullptr) return xEnd;
  uint8_t* out = CursorAt(destination_[0], x).pixel;
  const uint8_t* mask = CursorAt(first_[0], x).pixel;
  const int32_t s = *CursorAt(second_[0], x).pixel;
  for (int32_t i = 0, n = xEnd - x; i < n; ++i) out[i] = static_cast<uint8_t>(Mul255(s, mask[i]));
  return xEnd;
}

bool ShapeUnion1Stage::Applies(const StageContext& stage) {
  const PixelTriple& d = stage.destination;
  return PixelPlane::IsSingleByte(d.shape) && d.alpha == nullptr && d.colour == nullptr &&
         PixelPlane::IsSingleByte(stage.first->shape) && PixelPlane::IsSingleByte(stage.second->shape);
}

int32_t ShapeUnion1Stage::RunSpan(int32_t x, int32_t xEnd) {
  if (x >= xEnd || destination_[0] == nullptr) return xEnd;
  uint8_t* out = CursorAt(destination_[0], x).pixel;
  const uint8_t* b = CursorAt(first_[0], x).pixel;
  const uint8_t* s = CursorAt(second_[0], x).pixel;
  for (int32_t i = 0, n = xEnd - x; i < n; ++i) out[i] = static_cast<uint8_t>(Union255(b[i], s[i]));
  return xEnd;
}

bool LerpInterleavedStage::CanUseInterleaved(const StageContext& stage) {
  return PixelPlane::IsSingleByte(stage.first->shape) && stage.second->IsInterleavedBgra() &&
         stage.third->IsInterleavedBgra() && stage.destination.IsInterleavedBgraNoShape() &&
         !stage.destination.alpha->IsSharedConstant();
}

int32_t LerpInterleavedStage::RunSpan(int32_t x, int32_t xEnd) {
  if (x >= xEnd) return xEnd;
  // The alpha cursors address byte 0 of each pixel; the four bytes follow.
  uint8_t* out = CursorAt(destination_[1], x).pixel;
  const uint8_t* mask = CursorAt(first_[0], x).pixel;
  const uint8_t* p = CursorAt(second_[1], x).pixel;
  const uint8_t* q = CursorAt(third_[1], x).pixel;
  for (int32_t i = 0, n = xEnd - x; i < n; ++i, out += 4, p += 4, q += 4) {
    const int32_t m = mask[i];
    for (int b = 0; b < 4; ++b) out[b] = static_cast<uint8_t>(Lerp255(p[b], q[b], m));
  }
  return xEnd;
}

template <bool ConstMask>
LerpToColourStageOf<ConstMask>::LerpToColourStageOf(StageContext& stage) : BlendStage(stage) {
  const uint8_t* colour = CursorAt(stage.third->colour, 0).pixel;
  blueRed_ = uint32_t{colour[0]} | uint32_t{colour[2]} << 16;
  greenAlpha_ = uint32_t{colour[1]} | uint32_t{255} << 16;
}

template <bool ConstMask>
bool LerpToColourStageOf<ConstMask>::CanUse(const StageContext& stage) {
  const PixelPlane* mask = stage.first->shape;
  return mask != nullptr && FormatIs(mask->format, 1, 0, 0, ConstMask ? 0 : 1) &&
         stage.second->IsInterleavedBgra() && stage.third->IsOpaqueConstBgr() &&
         stage.destination.IsInterleavedBgraNoShape() && !stage.destination.alpha->IsSharedConstant();
}

template <bool ConstMask>
int32_t LerpToColourStageOf<ConstMask>::RunSpan(int32_t x, int32_t xEnd) {
  if (x >= xEnd) return xEnd;
  uint8_t* out = CursorAt(destination_[1], x).pixel;
  const uint8_t* mask = CursorAt(first_[0], x).pixel;
  const uint8_t* p = CursorAt(second_[1], x).pixel;
  // Lerp255 of all four bytes at once, two to a 32-bit word: each 16-bit
  // lane holds p·(255 − m) + q·m, at most 255·255, and Div255's rounding
  // works lane by lane without carries between them.
  static_assert(std::endian::native == std::endian::little, "pixel bytes read as a word");
  constexpr uint32_t kLanes = 0x00FF00FF;
  auto div255 = [](uint32_t v) {
    const uint32_t t = v + 0x00800080;
    return ((t + ((t >> 8) & kLanes)) >> 8) & kLanes;
  };
  for (int32_t i = 0, n = xEnd - x; i < n; ++i, out += 4, p += 4) {
    const uint32_t m = ConstMask ? mask[0] : mask[i];
    uint32_t pixel;
    std::memcpy(&pixel, p, 4);
    const uint32_t blueRed = div255((pixel & kLanes) * (255 - m) + blueRed_ * m);
    const uint32_t greenAlpha = div255(((pixel >> 8) & kLanes) * (255 - m) + greenAlpha_ * m);
    pixel = blueRed | greenAlpha << 8;
    std::memcpy(out, &pixel, 4);
  }
  return xEnd;
}

template class LerpToColourStageOf<false>;
template class LerpToColourStageOf<true>;

bool NormalInterleavedStage::CanUse(const StageContext& stage) {
  const PixelTriple& d = stage.destination;
  const PixelPlane* alpha = stage.second->alpha;
  const PixelPlane* colour = stage.second->colour;
  return d.IsInterleavedBgraNoShape() && !d.alpha->IsSharedConstant() && stage.first->IsInterleavedBgra() &&
         alpha != nullptr && colour != nullptr && alpha->format.Count() == 1 && alpha->format.channelStep == 0 &&
         colour->format.Count() == 3 && colour->format.firstOffset == 2 && colour->format.channelStep == -1;
}

int32_t NormalInterleavedStage::RunSpan(int32_t x, int32_t xEnd) {
  if (x >= xEnd) return xEnd;
  // Pixel starts: colour bytes 0-2 (blue first), alpha byte 3.
  uint8_t* out = CursorAt(destination_[1], x).pixel;
  const uint8_t* backdrop = CursorAt(first_[1], x).pixel;
  const SpanCursor alpha = CursorAt(second_[1], x), colour = CursorAt(second_[2], x);
  const uint8_t* sa = alpha.pixel + alpha.firstOffset;
  const uint8_t* sc = colour.pixel;
  for (int32_t n = xEnd - x; n > 0; --n, out += 4, backdrop += 4, sa += alpha.columnStep, sc += colour.columnStep) {
    const int32_t as = *sa, keep = 255 - as;
    for (int b = 0; b < 3; ++b) out[b] = static_cast<uint8_t>(Div255(sc[b] * 255 + keep * backdrop[b]));
    out[3] = static_cast<uint8_t>(Union255(backdrop[3], as));
  }
  return xEnd;
}

}  // namespace raster
