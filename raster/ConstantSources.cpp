#include "raster/ConstantSources.h"

#include <algorithm>

#include "runtime/ErrorTrap.h"

namespace raster {

uint8_t FixedToByte(runtime::Fixed value) {
  const runtime::Fixed v = std::clamp(value, 0, runtime::kFixedOne);
  return static_cast<uint8_t>((v - (v >= 0x8000 ? 1 : 0)) >> 8);
}

PlaneSource* AlphaSource::FromFixed(runtime::ArenaAllocator& arena, runtime::Fixed alpha) {
  const uint8_t byte = FixedToByte(alpha);
  PixelPlane* plane = byte == 255 ? PixelPlane::Opaque() : PixelPlane::MakeConstant(arena, byte);
  return PlaneSource::Create(arena, {PixelPlane::Opaque(), plane, nullptr});
}

PlaneSource* ShapeSource::FromFixed(runtime::ArenaAllocator& arena, runtime::Fixed value) {
  return PlaneSource::Create(arena, {PixelPlane::MakeConstant(arena, FixedToByte(value)), nullptr, nullptr});
}

PlaneSource* SolidColorSource::FromFixed(runtime::ArenaAllocator& arena,
                                         std::span<const runtime::Fixed> components) {
  if (components.empty() || components.size() > kMaxComponents) runtime::ThrowRuntime(runtime::kMalformed);
  uint8_t bytes[kMaxComponents];
  for (size_t c = 0; c < components.size(); ++c) bytes[c] = FixedToByte(components[c]);
  PixelPlane* colour = MakePlane(arena, {bytes, components.size()});
  return PlaneSource::Create(arena, {PixelPlane::Opaque(), PixelPlane::Opaque(), colour});
}

PixelPlane* SolidColorSource::MakePlane(runtime::ArenaAllocator& arena, std::span<const uint8_t> bytes) {
  const int32_t n = static_cast<int32_t>(bytes.size());
  const bool bgr = n == 3;
  auto* pixel = static_cast<uint8_t*>(arena.Alloc(std::max<size_t>(4, bytes.size())));
  pixel[3] = 0;
  for (int32_t c = 0; c < n; ++c) pixel[bgr ? 2 - c : c] = bytes[c];
  auto* colour = static_cast<PixelPlane*>(arena.Alloc(sizeof(PixelPlane)));
  *colour = PixelPlane{};
  colour->row = colour->base = pixel;
  colour->rect = kUnboundedPixels;
  colour->format = bgr ? PixelFormatDesc{3, 2, -1, 0, 0, 0, 0} : PixelFormatDesc{n, 0, 1, 0, 0, 0, 0};
  return colour;
}

PlaneSource* SolidColorSource::FromRgbFixed(runtime::ArenaAllocator& arena, runtime::Fixed c1, runtime::Fixed c2,
                                            runtime::Fixed c3) {
  const runtime::Fixed components[3] = {c1, c2, c3};
  return FromFixed(arena, components);
}

PlaneSource* TransparentSource::Create(runtime::ArenaAllocator& arena) {
  return PlaneSource::Create(arena, {PixelPlane::Zero(), PixelPlane::Zero(), PixelPlane::Zero()});
}

}  // namespace raster
