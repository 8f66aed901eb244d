#pragma once
// Sources whose every pixel is the same: the graphics state's alpha, a solid
// colour, a constant shape and the fully transparent source. Each is a plane
// source over constant planes.
#include <cstdint>
#include <span>

#include "raster/PlaneSource.h"
#include "runtime/Fixed.h"

namespace raster {

// Colour spaces have at most a few dozen components (DeviceN); more is a
// caller's fault.
inline constexpr size_t kMaxComponents = 32;

// A 16.16 value in [0, 1.0] as a byte: 1.0 gives 255, 0.5 gives 127. Values
// outside the range are clamped first, never wrapped.
uint8_t FixedToByte(runtime::Fixed value);

struct AlphaSource {
  // Shape opaque, alpha the byte of `alpha` (the shared opaque plane at 255),
  // no colour.
  static PlaneSource* FromFixed(runtime::ArenaAllocator& arena, runtime::Fixed alpha);
};

struct ShapeSource {
  static PlaneSource* FromFixed(runtime::ArenaAllocator& arena, runtime::Fixed value);
};

struct SolidColorSource {
  // Shape and alpha opaque, colour one pixel of the components' bytes (three
  // components are laid out as the 4-byte pixels of the device, red in
  // byte 2).
  static PlaneSource* FromFixed(runtime::ArenaAllocator& arena, std::span<const runtime::Fixed> components);
  // The one-pixel colour plane of those bytes, in the arena.
  static PixelPlane* MakePlane(runtime::ArenaAllocator& arena, std::span<const uint8_t> bytes);
  static PlaneSource* FromRgbFixed(runtime::ArenaAllocator& arena, runtime::Fixed c1, runtime::Fixed c2,
                                   runtime::Fixed c3);
};

struct TransparentSource {
  static PlaneSource* Create(runtime::ArenaAllocator& arena);
};

}  // namespace raster
