#pragma once
// Paints shadings written as PDF object bodies into a raster device, for
// the shading tests: a document of the objects, the colour context, a
// DeviceRGB target of the given size, and pixel reads.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "color/Shading.h"
#include "raster/PlaneSource.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaAllocator.h"
#include "tests/color/ColorTestDocument.h"
#include "tests/raster/TestColorSpace.h"

namespace shadingtest {

using Rgba = std::array<int, 4>;  // red, green, blue, alpha

class ShadingHarness {
 public:
  // Object 1 is the catalog; the shading is object 2 unless said otherwise.
  // `external` (a cooperative thread's context) replaces the harness's own.
  explicit ShadingHarness(std::vector<std::string> objects, runtime::LibraryContext* external = nullptr)
      : context(external != nullptr ? *external : own_),
        arena_(&context, 65536, 16384),
        document_(&context, WithCatalog(std::move(objects))),
        colors_(&context, document_.Get()) {}

 private:
  runtime::LibraryContext own_;

 public:
  runtime::LibraryContext& context;

  // The stage of shading object `number` over `bounds`.
  raster::PipelineNode* Stage(const runtime::IntRect& bounds, const runtime::Matrix& ctm = {},
                              bool ignoreBackground = true, uint32_t number = 2) {
    color::ShadingTarget target;
    target.context = &context;
    target.arena = &arena_;
    target.colors = &colors_;
    target.space = targetSpace_ ? targetSpace_ : colors_.DeviceRgb();
    return color::Shading::Create(target, bounds, ctm, 0, ignoreBackground, runtime::ObjectHandle(),
                                  document_.Object(number));
  }

  // Paints the shading into a fresh device over `bounds`; false when the
  // shading gave no stage.
  bool Paint(const runtime::IntRect& bounds, const runtime::Matrix& ctm = {}, bool ignoreBackground = true,
             uint32_t number = 2) {
    device_ = raster::RasterDevice::CreateForTarget(&context, arena_, bounds, &rastertest::TestColorSpace::Rgb());
    raster::PipelineNode* stage = Stage(bounds, ctm, ignoreBackground, number);
    if (stage == nullptr) return false;
    const raster::PixelRegion* region = raster::PixelRegion::FromRect(arena_, bounds);
    raster::PipelineNode* coverage = raster::PlaneSource::Create(
        arena_, {raster::PixelPlane::Opaque(), raster::PixelPlane::Opaque(), nullptr});
    device_->PaintSource(*region, region, nullptr, coverage, stage, nullptr);
    return true;
  }

  // Red, green, blue and alpha of device pixel (x, y).
  Rgba Pixel(int32_t x, int32_t y) const {
    raster::PixelPlane colour = *device_->Target().colour;
    raster::PixelPlane alpha = *device_->Target().alpha;
    colour.SetRow(y);
    alpha.SetRow(y);
    const runtime::SpanCursor c = raster::CursorAt(&colour, x);
    return {*c.Channel(0), *c.Channel(1), *c.Channel(2), *raster::CursorAt(&alpha, x).Channel(0)};
  }

  runtime::ArenaAllocator& Arena() { return arena_; }
  runtime::ObjectHandle Object(uint32_t number) const { return document_.Object(number); }
  color::ColorContext& Colors() { return colors_; }
  // The target's colour space for Stage (DeviceRGB unless set).
  void SetTargetSpace(color::ColorSpaceRef space) { targetSpace_ = std::move(space); }
  pdf::Document* Document() const { return document_.Get(); }

 private:
  static std::vector<std::string> WithCatalog(std::vector<std::string> objects) {
    objects.insert(objects.begin(), "<< /Type /Catalog >>");
    return objects;
  }

  runtime::ArenaAllocator arena_;
  colortest::ObjectsDocument document_;
  color::ColorContext colors_;
  raster::RasterDevice* device_ = nullptr;
  color::ColorSpaceRef targetSpace_;
};

// Each channel within `tolerance` of the expected colour, alpha 255.
inline ::testing::AssertionResult NearColour(const Rgba& pixel, int red, int green, int blue, int tolerance) {
  const int expected[3] = {red, green, blue};
  for (int c = 0; c < 3; ++c)
    if (std::abs(pixel[c] - expected[c]) > tolerance || pixel[3] != 255)
      return ::testing::AssertionFailure() << "pixel (" << pixel[0] << "," << pixel[1] << "," << pixel[2] << ","
                                           << pixel[3] << ") expected (" << red << "," << green << "," << blue
                                           << ") +-" << tolerance;
  return ::testing::AssertionSuccess();
}

}  // namespace shadingtest
