// The colour spaces as the raster device uses them: a device over the
// display profile, sources of other spaces converted on their way into it,
// and a CMYK group that reads the page below it converted. Expected
// colours come from lcms2 with the same profiles and intent.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "color/ColorSpace.h"
#include "color/ColorSpaceRecord.h"
#include "color/EmbeddedProfiles.h"
#include "color/IccProfile.h"
#include "content/DocumentArrayOperands.h"
#include "raster/ColorConversion.h"
#include "raster/ConstantSources.h"
#include "raster/PipelineDriver.h"
#include "raster/PlaneSource.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaScope.h"
#include "tests/color/ColorTestDocument.h"
#include "tests/support/RaisedCode.h"

namespace color {
namespace {

using raster::PixelPlane;
using raster::PixelRegion;
using raster::PlaneSource;
using raster::RasterDevice;

// lcms2 transforms between the built-in profiles, relative colorimetric
// with black point compensation, as the converters are made.
class LcmsReference {
 public:
  LcmsReference(cmsUInt32Number fromFormat, cmsHPROFILE from, cmsUInt32Number toFormat, cmsHPROFILE to)
      : transform_(cmsCreateTransform(from, fromFormat, to, toFormat, INTENT_RELATIVE_COLORIMETRIC,
                                      cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE)) {
    cmsCloseProfile(from);
    cmsCloseProfile(to);
  }
  ~LcmsReference() {
    if (transform_ != nullptr) cmsDeleteTransform(transform_);
  }
  LcmsReference(const LcmsReference&) = delete;
  LcmsReference& operator=(const LcmsReference&) = delete;

  std::vector<int> Convert(const std::vector<uint8_t>& in, size_t outputs) const {
    uint8_t out[4] = {};
    cmsDoTransform(transform_, in.data(), out, 1);
    return {out, out + outputs};
  }
  bool Valid() const { return transform_ != nullptr; }

 private:
  cmsHTRANSFORM transform_;
};

cmsHPROFILE LcmsDisplay() { return cmsOpenProfileFromMem(GetEmbeddedRgbProfile(), GetEmbeddedRgbProfileSize()); }
cmsHPROFILE LcmsPrinter() { return cmsOpenProfileFromMem(GetEmbeddedCmykProfile(), GetEmbeddedCmykProfileSize()); }
// The device gray space: D50 white, gamma 2.2.
cmsHPROFILE LcmsDeviceGray() {
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
  cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), gamma);
  cmsFreeToneCurve(gamma);
  return profile;
}

// A raster colour space that is none of this subsystem's.
class ForeignSpace final : public raster::ColorSpace {
 public:
  int32_t ComponentCount() const override { return 3; }
  bool IsSubtractive() const override { return false; }
  runtime::PixelConverter* MakeConverter(runtime::ArenaAllocator&, const raster::ColorSpace&) override {
    return nullptr;
  }
};

// Conversions through the built-in printer profile: its black point
// estimates differ from lcms2's by a few tenths of L*, which moves the
// darkest colours by up to 3 levels.
constexpr int kPrinterTolerance = 3;

void ExpectColourNear(const std::vector<int>& ours, const std::vector<int>& expected, int tolerance) {
  ASSERT_EQ(ours.size(), expected.size());
  for (size_t c = 0; c < ours.size(); ++c)
    EXPECT_LE(std::abs(ours[c] - expected[c]), tolerance) << "channel " << c << ": ours " << ours[c] << ", expected "
                                                          << expected[c];
}

class RasterColorSpaceTest : public ::testing::Test {
 protected:
  RasterColorSpaceTest() {
    context_.memory.SetBudget(runtime::kNoLimit);
    display_ = IccProfile::BuiltinRgb(&context_, displayHolder_);
  }

  // The colour of device pixel (x, y), one int per component.
  static std::vector<int> Colour(const RasterDevice& device, int32_t x, int32_t y) {
    PixelPlane plane = *device.Target().colour;
    plane.SetRow(y);
    std::vector<int> colour;
    for (int32_t c = 0; c < device.Space()->ComponentCount(); ++c)
      colour.push_back(*raster::CursorAt(&plane, x).Channel(c));
    return colour;
  }

  // Paints an opaque constant of `bytes` in `space` over the whole device.
  void PaintConstant(RasterDevice& device, ColorSpace& space, const std::vector<uint8_t>& bytes) {
    const PixelRegion* region = PixelRegion::FromRect(arena_, device.Bounds());
    PipelineNode* source = PlaneSource::Create(
        arena_, {PixelPlane::Opaque(), PixelPlane::Opaque(), raster::SolidColorSource::MakePlane(arena_, bytes)});
    source = raster::InsertColorConversion(&context_, arena_, source, device.Bounds(), &space, device.Space());
    PipelineNode* coverage = PlaneSource::Create(arena_, {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr});
    device.PaintSource(*region, nullptr, nullptr, coverage, source, nullptr);
  }

  // A colour space value parsed with a document of `objects` (object 1 the
  // value; the others what it refers to).
  streams::Ref<ColorSpace> Parse(const std::vector<std::string>& objects) {
    colors_.reset();
    document_ = std::make_unique<colortest::ObjectsDocument>(&context_, objects);
    colors_ = std::make_unique<ColorContext>(&context_, document_->Get());
    const runtime::ObjectHandle none;
    return ColorSpace::FromObject(*colors_, document_->Object(1), none);
  }

  using PipelineNode = raster::PipelineNode;

  runtime::LibraryContext context_;
  runtime::ArenaAllocator arena_{&context_, 16384, 4096};
  IccProfileRef displayHolder_;
  IccProfileRef display_;
  std::unique_ptr<colortest::ObjectsDocument> document_;
  std::unique_ptr<ColorContext> colors_;
};

TEST_F(RasterColorSpaceTest, SourcesOfOtherSpacesPaintConvertedIntoTheDisplayDevice) {
  LcmsReference fromPrinter(TYPE_CMYK_8, LcmsPrinter(), TYPE_RGB_8, LcmsDisplay());
  LcmsReference fromGray(TYPE_GRAY_8, LcmsDeviceGray(), TYPE_RGB_8, LcmsDisplay());
  ASSERT_TRUE(fromPrinter.Valid() && fromGray.Valid());
  struct Case {
    const char* name;
    std::vector<std::string> objects;
    std::vector<uint8_t> bytes;
    std::vector<int> expected;  // empty: lcms2's answer
    int tolerance;
  } cases[] = {
      {"gray", {"/DeviceGray"}, {128}, {}, 2},
      {"cmyk paper", {"/DeviceCMYK"}, {0, 0, 0, 0}, {}, kPrinterTolerance},
      {"cmyk ink", {"/DeviceCMYK"}, {40, 200, 10, 30}, {}, kPrinterTolerance},
      {"all separation", {"[/Separation /All /DeviceCMYK 2 0 R]", "<< /FunctionType 2 /Domain [0 1] /N 1 >>"},
       {64}, {191, 191, 191}, 0},
      {"indexed", {"[/Indexed /DeviceRGB 1 <000000FFFFFF>]"}, {1}, {255, 255, 255}, 1},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    runtime::ArenaScope scope(arena_);
    streams::Ref<ColorSpace> space = Parse(test.objects);
    ASSERT_TRUE(space);
    RasterDevice* device = RasterDevice::CreateForTarget(&context_, arena_, {0, 0, 5, 2}, display_.Get());
    PaintConstant(*device, *space, test.bytes);
    std::vector<int> expected = test.expected;
    if (expected.empty()) expected = (space->ComponentCount() == 4 ? fromPrinter : fromGray).Convert(test.bytes, 3);
    for (int32_t x : {0, 4}) ExpectColourNear(Colour(*device, x, 1), expected, test.tolerance);
    if (space->ComponentCount() == 1 && !test.expected.size()) {
      const std::vector<int> rgb = Colour(*device, 2, 0);
      EXPECT_TRUE(rgb[0] == rgb[1] && rgb[1] == rgb[2]) << rgb[0] << " " << rgb[1] << " " << rgb[2];
    }
  }
}

// A non-isolated CMYK group starts from the page below converted into
// CMYK, and reads back into the page's space converted again.
TEST_F(RasterColorSpaceTest, CmykGroupReadsThePageBelowConverted) {
  LcmsReference toPrinter(TYPE_RGB_8, LcmsDisplay(), TYPE_CMYK_8, LcmsPrinter());
  LcmsReference fromPrinter(TYPE_CMYK_8, LcmsPrinter(), TYPE_RGB_8, LcmsDisplay());
  ASSERT_TRUE(toPrinter.Valid() && fromPrinter.Valid());
  streams::Ref<ColorSpace> cmyk = Parse({"/DeviceCMYK"});
  RasterDevice* page = RasterDevice::CreateForTarget(&context_, arena_, {0, 0, 8, 2}, display_.Get());
  RasterDevice::FillRegion(*page, {0, 0, 4, 2}, nullptr, 0x3333, 0x8000, 0xCCCC);
  const std::vector<int> pageColour = Colour(*page, 1, 1);
  RasterDevice* group = RasterDevice::CreateGroup(&context_, arena_, {0, 0, 8, 2}, cmyk.Get(),
                                                  raster::PixelLayout::ForPlanes(4, 2, 3, true), page, false);
  const std::vector<uint8_t> pageBytes(pageColour.begin(), pageColour.end());
  const std::vector<int> inked = toPrinter.Convert(pageBytes, 4);
  ExpectColourNear(Colour(*group, 1, 1), inked, kPrinterTolerance);
  // Paper converts to (almost) no ink.
  ExpectColourNear(Colour(*group, 6, 0), toPrinter.Convert({255, 255, 255}, 4), kPrinterTolerance);

  const PixelRegion* region = PixelRegion::FromRect(arena_, {0, 0, 8, 2});
  auto* buffer = runtime::NewInArena<runtime::PixelBuffer>(arena_, &context_, &arena_, runtime::IntRect{0, 0, 8, 2},
                                                           raster::PixelLayout::ForPlanes(3, 0, 3, true), true);
  const raster::PixelTriple target = raster::PixelTriple::OfBuffer(arena_, *buffer);
  raster::PipelineDriver::PaintRegion(arena_, *region, target, nullptr, group->MakePipeline(*region, display_.Get()));
  target.colour->SetRow(1);
  std::vector<int> back;
  for (int32_t c = 0; c < 3; ++c) back.push_back(*raster::CursorAt(target.colour, 1).Channel(c));
  const std::vector<int> groupColour = Colour(*group, 1, 1);
  ExpectColourNear(back, fromPrinter.Convert(std::vector<uint8_t>(groupColour.begin(), groupColour.end()), 3),
             kPrinterTolerance);
}

TEST_F(RasterColorSpaceTest, TargetsOfAnotherKindAreRefused) {
  ForeignSpace foreign;
  EXPECT_EQ(ColorSpace::FromRaster(foreign), nullptr);
  EXPECT_EQ(ColorSpace::FromRaster(*display_), display_.Get());
  EXPECT_EQ(testsupport::RaisedCode([&] { display_->MakeConverter(arena_, foreign); }), std::optional<uint32_t>(runtime::kUnsupported));
}

}  // namespace
}  // namespace color
