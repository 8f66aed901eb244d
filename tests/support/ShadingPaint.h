#pragma once
// Builds a shading for a small DeviceRGB target and paints it, inside a
// trap: for the corpus sweep and the fuzz entry. A refusal is counted;
// only runtime codes 0, 1, 2 and 5 are expected ones.
#include <cstdint>

#include "color/ColorContext.h"
#include "color/Shading.h"
#include "raster/PlaneSource.h"
#include "raster/RasterDevice.h"
#include "tests/raster/TestColorSpace.h"
#include "tests/support/ColorObjectsWalk.h"

namespace shadingpaint {

struct ShadingCounts {
  uint32_t built = 0;
  uint32_t empty = 0;
  colorwalk::WalkResult result;  // refusals
  uint32_t Total() const { return built + empty + result.failures; }
};

// Page space (y up) seen at a tenth of its size: about 60 x 80 pixels for
// A4.
inline constexpr runtime::Fixed kScale = 0x1999;
inline constexpr runtime::IntRect kTarget{0, 0, 64, 84};

inline void PaintShading(runtime::LibraryContext* context, color::ColorContext& colors,
                         const runtime::ObjectHandle& shading, bool ignoreBackground, uint32_t number,
                         ShadingCounts& counts) {
  colorwalk::TryColorWork(context, counts.result, "shading", number, [&] {
    runtime::ArenaAllocator arena(context, 65536, 16384);
    color::ShadingTarget target;
    target.context = context;
    target.arena = &arena;
    target.colors = &colors;
    target.space = colors.DeviceRgb();
    const runtime::Matrix ctm{kScale, 0, 0, -kScale, 0, runtime::FixedFromInt(kTarget.y1)};
    raster::PipelineNode* stage =
        color::Shading::Create(target, kTarget, ctm, 0, ignoreBackground, runtime::ObjectHandle(), shading);
    if (stage == nullptr) {
      ++counts.empty;
      return;
    }
    raster::RasterDevice* device =
        raster::RasterDevice::CreateForTarget(context, arena, kTarget, &rastertest::TestColorSpace::Rgb());
    const raster::PixelRegion* region = raster::PixelRegion::FromRect(arena, kTarget);
    raster::PipelineNode* coverage = raster::PlaneSource::Create(
        arena, {raster::PixelPlane::Opaque(), raster::PixelPlane::Opaque(), nullptr});
    device->PaintSource(*region, region, nullptr, coverage, stage, nullptr);
    ++counts.built;
  });
}

}  // namespace shadingpaint
