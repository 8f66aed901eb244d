// Images painted into a raster device the way the painter draws them:
// XObjects of every sample layout, image masks in the fill colour, the
// three kinds of mask, DCT data, inline images, the clip and the fill
// alpha. Expected pixels are worked out by hand from the samples, or come
// from mutool's rendering of the same page.
#include "content/ImageDraw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "content/InlineImage.h"
#include "raster/ConstantSources.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Dictionary.h"
#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/pdf/ProbeRunner.h"
#include "tests/support/JpegEncoder.h"
#include "tests/support/RaisedCode.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using runtime::FixedFromInt;
using runtime::IntRect;
using Rgb = std::array<int, 3>;

// The page every image is drawn on: kSide x kSide points, one device
// pixel per point; the image fills the square (kOrigin, kOrigin) to
// (kOrigin + kImageSide, kOrigin + kImageSide) of device space.
constexpr int kSide = 24;
constexpr int kOrigin = 4;
constexpr int kImageSide = 16;

// A one-page file whose page draws object 5, an image XObject of `entries`
// and `data`, over the square; `extra` are objects 6, 7, ... (masks).
std::string ImagePageFile(const std::string& entries, const std::string& data,
                          const std::vector<std::string>& extra = {}, const std::string& before = "") {
  const std::string side = std::to_string(kSide);
  const std::string content = before + " q " + std::to_string(kImageSide) + " 0 0 " + std::to_string(kImageSide) +
                              " " + std::to_string(kOrigin) + " " + std::to_string(kSide - kOrigin - kImageSide) +
                              " cm /Im0 Do Q";
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + side + " " + side +
          "] /Contents 4 0 R /Resources << /XObject << /Im0 5 0 R >> >> >>",
      testsupport::StreamBody("", content),
      testsupport::StreamBody("/Type /XObject /Subtype /Image " + entries, data),
  };
  objects.insert(objects.end(), extra.begin(), extra.end());
  return testsupport::SmallPdfFile(objects);
}

// mutool's rendering of the file's page at 72 dpi, as RGB pixels; empty
// when it cannot run.
std::vector<uint8_t> MutoolPixels(const std::string& file) {
  char pattern[] = "/tmp/folvane-imagedraw-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return {};
  const std::string folder = pattern;
  std::ofstream(folder + "/in.pdf", std::ios::binary) << file;
  pdftest::RunCommand("mutool draw -q -r 72 -c rgb -o '" + folder + "/out.pnm' '" + folder + "/in.pdf' 1 2>/dev/null");
  std::ifstream in(folder + "/out.pnm", std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  std::vector<uint8_t> pixels(size_t{kSide} * kSide * 3);
  in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  std::filesystem::remove_all(folder);
  if (!in || magic != "P6" || w != kSide || h != kSide) return {};
  return pixels;
}

bool HaveMutool() { return std::system("command -v mutool >/dev/null 2>&1") == 0; }

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

class ImageDrawTest : public ::testing::Test {
 protected:
  // A device over the page, white paper, with the painter's state.
  struct Canvas {
    Canvas(runtime::LibraryContext* context, const std::string& bytes)
        : file(bytes), arena(context, 65536, 16384), document(context, file), colors(context, &*document) {
      space = colors.DeviceRgb();
      device = raster::RasterDevice::CreateForTarget(context, arena, {0, 0, kSide, kSide}, space.Get());
      raster::RasterDevice::FillRegion(*device, device->Bounds(), nullptr, runtime::kFixedOne, runtime::kFixedOne,
                                       runtime::kFixedOne);
      draw.context = context;
      draw.arena = &arena;
      draw.layer = device;
      draw.ctm = runtime::Matrix{FixedFromInt(kImageSide), 0, 0, FixedFromInt(-kImageSide), FixedFromInt(kOrigin),
                                 FixedFromInt(kOrigin + kImageSide)};
      draw.colors = &colors;
      draw.document = &*document;
      draw.resources = runtime::Dictionary::Get(document->GetObject(3, 0), "Resources");
    }
    runtime::ObjectHandle Image() { return document->GetObject(5, 0); }
    Rgb At(int x, int y) const {
      raster::PixelPlane colour = *device->Target().colour;
      colour.SetRow(y);
      const runtime::SpanCursor cursor = raster::CursorAt(&colour, x);
      return {*cursor.Channel(0), *cursor.Channel(1), *cursor.Channel(2)};
    }
    // The centre of image pixel (column, row) of an n x n image.
    Rgb AtSample(int n, int column, int row) const {
      const int step = kImageSide / n;
      return At(kOrigin + column * step + step / 2, kOrigin + row * step + step / 2);
    }

    std::string file;  // the document reads it in place
    runtime::ArenaAllocator arena;
    pdftest::OpenDocument document;
    color::ColorContext colors;
    color::ColorSpaceRef space;
    raster::RasterDevice* device = nullptr;
    content::ImageDrawContext draw;
  };

  runtime::LibraryContext context;
};

void ExpectNear(const Rgb& got, const Rgb& want, int tolerance, const std::string& what) {
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(got[c], want[c], tolerance) << what << " channel " << c << ": got " << got[0] << "," << got[1]
                                            << "," << got[2] << " want " << want[0] << "," << want[1] << ","
                                            << want[2];
  }
}

// 2 x 2 images of every sample layout, enlarged 8 times (nearest samples):
// the pixel at each sample's centre is the sample's colour.
TEST_F(ImageDrawTest, SampleLayoutsPaintTheirColours) {
  struct Case {
    const char* name;
    std::string entries;
    std::string data;
    Rgb expected[4];  // top left, top right, bottom left, bottom right
  };
  const Case cases[] = {
      {"gray 8-bit", "/ColorSpace /DeviceGray /BitsPerComponent 8", Bytes({0, 85, 170, 255}),
       {{0, 0, 0}, {85, 85, 85}, {170, 170, 170}, {255, 255, 255}}},
      {"rgb 8-bit", "/ColorSpace /DeviceRGB /BitsPerComponent 8",
       Bytes({255, 0, 0, 0, 255, 0, 0, 0, 255, 20, 40, 60}),
       {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {20, 40, 60}}},
      // Rows of 2 pixels in 1 bit: one byte each, the low bits padding.
      {"gray 1-bit", "/ColorSpace /DeviceGray /BitsPerComponent 1", Bytes({0x80, 0x40}),
       {{255, 255, 255}, {0, 0, 0}, {0, 0, 0}, {255, 255, 255}}},
      {"gray 4-bit", "/ColorSpace /DeviceGray /BitsPerComponent 4", Bytes({0x0F, 0x53}),
       {{0, 0, 0}, {255, 255, 255}, {85, 85, 85}, {51, 51, 51}}},
      // 16-bit samples keep their high byte.
      {"gray 16-bit", "/ColorSpace /DeviceGray /BitsPerComponent 16", Bytes({0xFF, 0xFF, 0, 0, 0x80, 0x00, 0x12, 0x34}),
       {{255, 255, 255}, {0, 0, 0}, {128, 128, 128}, {18, 18, 18}}},
      {"rgb 16-bit", "/ColorSpace /DeviceRGB /BitsPerComponent 16",
       Bytes({0xFF, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0x80, 0, 0x40, 0, 0x20, 0, 0x10, 0, 0, 0}),
       {{255, 0, 0}, {0, 255, 0}, {0, 128, 64}, {32, 16, 0}}},
      {"indexed 8-bit", "/ColorSpace [/Indexed /DeviceRGB 2 <FF0000 00FF00 0000FF>] /BitsPerComponent 8",
       Bytes({0, 1, 2, 1}), {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 255, 0}}},
      {"indexed 2-bit", "/ColorSpace [/Indexed /DeviceRGB 2 <FF0000 00FF00 0000FF>] /BitsPerComponent 2",
       Bytes({0x20, 0x40}), {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}}},
      {"gray Decode [1 0]", "/ColorSpace /DeviceGray /BitsPerComponent 8 /Decode [1 0]", Bytes({0, 85, 170, 255}),
       {{255, 255, 255}, {170, 170, 170}, {85, 85, 85}, {0, 0, 0}}},
      {"1-bit Decode [1 0]", "/ColorSpace /DeviceGray /BitsPerComponent 1 /Decode [1 0]", Bytes({0x80, 0x40}),
       {{0, 0, 0}, {255, 255, 255}, {255, 255, 255}, {0, 0, 0}}},
      {"indexed Decode [1 0] in 1 bit", "/ColorSpace [/Indexed /DeviceGray 1 <00FF>] /BitsPerComponent 1 /Decode [1 0]",
       Bytes({0x80, 0x40}), {{0, 0, 0}, {255, 255, 255}, {255, 255, 255}, {0, 0, 0}}},
      {"rgb Decode [0 0.5 0 1 1 0]", "/ColorSpace /DeviceRGB /BitsPerComponent 8 /Decode [0 0.5 0 1 1 0]",
       Bytes({255, 255, 255, 0, 0, 0, 100, 100, 100, 200, 200, 200}),
       {{128, 255, 0}, {0, 0, 255}, {50, 100, 155}, {100, 200, 55}}},
  };
  for (const Case& test : cases) {
    Canvas canvas(&context, ImagePageFile("/Width 2 /Height 2 " + test.entries, test.data));
    const IntRect painted = content::ImageDraw::DrawXObject(canvas.draw, canvas.Image(), nullptr);
    EXPECT_EQ(painted, (IntRect{kOrigin, kOrigin, kOrigin + kImageSide, kOrigin + kImageSide})) << test.name;
    for (int i = 0; i < 4; ++i) {
      ExpectNear(canvas.AtSample(2, i % 2, i / 2), test.expected[i], 1, std::string(test.name) + " sample " +
                                                                           std::to_string(i));
    }
    // Outside the image the paper stays.
    ExpectNear(canvas.At(1, 1), {255, 255, 255}, 0, test.name);
  }
}


// Masks: the paper shows where the mask takes the image away. Hand
// computed: a red 2 x 2 image (or the fill colour) over white paper,
// composited by the mask's coverage c: red 255, green and blue 255 (1 - c).
TEST_F(ImageDrawTest, MasksLetThePaperThrough) {
  const std::string red = Bytes({255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0});
  const std::string redImage = "/Width 2 /Height 2 /ColorSpace /DeviceRGB /BitsPerComponent 8 ";
  const auto smask = [](const std::string& entries, const std::string& data) {
    return testsupport::StreamBody("/Type /XObject /Subtype /Image /Width 2 /Height 2 " + entries, data);
  };
  struct Case {
    const char* name;
    std::string entries;
    std::string data;
    std::vector<std::string> extra;
    double coverage[4];
  };
  const Case cases[] = {
      {"image mask", "/Width 2 /Height 2 /ImageMask true", Bytes({0x80, 0x40}), {}, {0, 1, 1, 0}},
      {"image mask Decode [1 0]", "/Width 2 /Height 2 /ImageMask true /Decode [1 0]", Bytes({0x80, 0x40}), {},
       {1, 0, 0, 1}},
      {"soft mask", redImage + "/SMask 6 0 R", red,
       {smask("/ColorSpace /DeviceGray /BitsPerComponent 8", Bytes({0, 255, 128, 64}))}, {0, 1, 128 / 255.0, 64 / 255.0}},
      {"soft mask with Decode [1 0]", redImage + "/SMask 6 0 R", red,
       {smask("/ColorSpace /DeviceGray /BitsPerComponent 8 /Decode [1 0]", Bytes({0, 255, 128, 64}))},
       {1, 0, 127 / 255.0, 191 / 255.0}},
      {"stencil Mask stream", redImage + "/Mask 6 0 R", red, {smask("/ImageMask true", Bytes({0x80, 0x40}))},
       {0, 1, 1, 0}},
      {"colour key", "/Width 2 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 8 /Mask [10 20]",
       Bytes({0, 10, 20, 21}), {}, {1, 0, 0, 1}},
  };
  for (const Case& test : cases) {
    Canvas canvas(&context, ImagePageFile(test.entries, test.data, test.extra));
    const runtime::Fixed fill[] = {runtime::kFixedOne, 0, 0};
    canvas.draw.fill = raster::SolidColorSource::FromFixed(canvas.arena, fill);
    content::ImageDraw::DrawXObject(canvas.draw, canvas.Image(), nullptr);
    const bool gray = test.entries.find("DeviceGray") != std::string::npos;
    const int grays[4] = {0, 10, 20, 21};
    for (int i = 0; i < 4; ++i) {
      const double c = test.coverage[i];
      const int paper = static_cast<int>(255 * (1 - c) + 0.5);
      const int redChannel = gray ? static_cast<int>(grays[i] * c + 255 * (1 - c) + 0.5) : 255;
      const int other = gray ? redChannel : paper;
      ExpectNear(canvas.AtSample(2, i % 2, i / 2), {redChannel, other, other}, 1,
                 std::string(test.name) + " sample " + std::to_string(i));
    }
  }
}

// A CMYK image takes the colours the CMYK space's own converter (checked
// against lcms2 by the colour tests) gives its samples, white and black
// included: the image path routes CMYK samples through it unchanged.
TEST_F(ImageDrawTest, CmykSamplesTakeTheConvertersColours) {
  const uint8_t samples[16] = {0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 255, 40, 120, 200, 30};
  Canvas canvas(&context, ImagePageFile("/Width 2 /Height 2 /ColorSpace /DeviceCMYK /BitsPerComponent 8",
                                        std::string(samples, samples + 16)));
  content::ImageDraw::DrawXObject(canvas.draw, canvas.Image(), nullptr);
  color::ColorSpaceRef cmyk = canvas.colors.DeviceCmyk();
  runtime::PixelConverter* converter = cmyk->MakeConverter(canvas.arena, *canvas.space);
  uint8_t rgb[12] = {};
  converter->ConvertSpan({0, 1, 3, 3, rgb}, 0, {0, 1, 4, 4, const_cast<uint8_t*>(samples)}, 4);
  ExpectNear({rgb[0], rgb[1], rgb[2]}, {255, 255, 255}, 2, "white paper colour");
  EXPECT_LE(std::max({rgb[6], rgb[7], rgb[8]}), 80) << "black";
  for (int i = 0; i < 4; ++i) {
    ExpectNear(canvas.AtSample(2, i % 2, i / 2), {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]}, 1,
               "cmyk sample " + std::to_string(i));
  }
}

// Pixels of the same page from mutool, at the centres of the image's
// samples: JPEG decoding and the mask conventions are the reference's here.
TEST_F(ImageDrawTest, MasksAndJpegImagesMatchMutool) {
  if (pdftest::kSanitizerBuild) GTEST_SKIP() << "reference comparison: normal build only";
  if (!HaveMutool()) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "mutool is missing";
    GTEST_SKIP() << "no mutool";
  }
  struct Case {
    const char* name;
    std::string entries;
    std::string data;
    int samples;    // per side
    int tolerance;  // levels
    std::vector<std::string> extra = {};
  };
  const std::string red = Bytes({255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0});
  const std::string redImage = "/Width 2 /Height 2 /ColorSpace /DeviceRGB /BitsPerComponent 8 ";
  const auto mask = [](const std::string& entries, const std::string& data) {
    return testsupport::StreamBody("/Type /XObject /Subtype /Image /Width 2 /Height 2 " + entries, data);
  };
  const Case cases[] = {
      // The mask conventions, as the reference reads them.
      {"image mask", "/Width 2 /Height 2 /ImageMask true", Bytes({0x80, 0x40}), 2, 1},
      {"stencil Mask stream", redImage + "/Mask 6 0 R", red, 2, 1, {mask("/ImageMask true", Bytes({0x80, 0x40}))}},
      {"soft mask", redImage + "/SMask 6 0 R", red, 2, 2,
       {mask("/ColorSpace /DeviceGray /BitsPerComponent 8", Bytes({0, 255, 128, 64}))}},
      {"colour key", "/Width 2 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 8 /Mask [10 20]",
       Bytes({0, 10, 20, 21}), 2, 1},
      {"truncated data", "/Width 4 /Height 4 /ColorSpace /DeviceGray /BitsPerComponent 8", std::string(8, 'x'), 4, 1},
      {"jpeg rgb", "/Width 8 /Height 8 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode",
       testsupport::EncodeJpeg(8, 8, 3, false, 95), 8, 6},
      {"jpeg gray", "/Width 8 /Height 8 /ColorSpace /DeviceGray /BitsPerComponent 8 /Filter /DCTDecode",
       testsupport::EncodeJpeg(8, 8, 1, true, 95), 8, 6},
  };
  for (const Case& test : cases) {
    const std::string file = ImagePageFile(test.entries, test.data, test.extra, "1 0 0 rg");
    const std::vector<uint8_t> reference = MutoolPixels(file);
    ASSERT_FALSE(reference.empty()) << test.name;
    Canvas canvas(&context, file);
    const runtime::Fixed fill[] = {runtime::kFixedOne, 0, 0};
    canvas.draw.fill = raster::SolidColorSource::FromFixed(canvas.arena, fill);
    content::ImageDraw::DrawXObject(canvas.draw, canvas.Image(), nullptr);
    const int step = kImageSide / test.samples;
    for (int row = 0; row < test.samples; ++row) {
      for (int column = 0; column < test.samples; ++column) {
        const int x = kOrigin + column * step + step / 2, y = kOrigin + row * step + step / 2;
        const uint8_t* want = &reference[(size_t(y) * kSide + x) * 3];
        ExpectNear(canvas.At(x, y), {want[0], want[1], want[2]}, test.tolerance,
                   std::string(test.name) + " at " + std::to_string(column) + "," + std::to_string(row));
      }
    }
  }
}


// Where an image paints: inside the clip only, a turned image inside its
// own parallelogram (not its bounding box), a one-sample rule through its
// rectangle, and at the fill alpha.
TEST_F(ImageDrawTest, ClipTurnsRulesAndAlpha) {
  const std::string blackImage = "/Width 2 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 8";
  const std::string black = Bytes({0, 0, 0, 0});
  {
    Canvas canvas(&context, ImagePageFile(blackImage, black));
    canvas.draw.clipRegion = raster::PixelRegion::FromRect(canvas.arena, {8, 6, 14, 30});
    const IntRect painted = content::ImageDraw::DrawXObject(canvas.draw, canvas.Image(), nullptr);
    EXPECT_EQ(painted, (IntRect{8, 6, 14, kOrigin + kImageSide}));
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        const bool inside = x >= 8 && x < 14 && y >= 6 && y < kOrigin + kImageSide;
        ASSERT_EQ(canvas.At(x, y)[0], inside ? 0 : 255) << x << "," << y;
      }
    }
  }
  {
    // Turned by 10 degrees about the square's centre: the bounding box's
    // corners lie outside the turned square and keep the paper.
    Canvas canvas(&context, ImagePageFile(blackImage, black));
    const double angle = 10 * 3.14159265358979 / 180, c = std::cos(angle) * kImageSide,
                 sn = std::sin(angle) * kImageSide, centre = kOrigin + kImageSide / 2.0;
    const double e = centre - (c - sn) / 2, f = centre + (sn + c) / 2;
    canvas.draw.ctm = runtime::Matrix{runtime::FixedFromFloat(c), runtime::FixedFromFloat(-sn),
                                      runtime::FixedFromFloat(-sn), runtime::FixedFromFloat(-c),
                                      runtime::FixedFromFloat(e), runtime::FixedFromFloat(f)};
    const IntRect painted = content::ImageDraw::DrawXObject(canvas.draw, canvas.Image(), nullptr);
    EXPECT_FALSE(painted.IsEmpty());
    EXPECT_EQ(canvas.At(12, 12)[0], 0);
    for (const auto& [x, y] : {std::pair{painted.x0, painted.y0}, {painted.x1 - 1, painted.y0},
                               {painted.x0, painted.y1 - 1}, {painted.x1 - 1, painted.y1 - 1}}) {
      EXPECT_EQ(canvas.At(x, y)[0], 255) << "corner " << x << "," << y;
    }
  }
  {
    // 1 x 200 turned by a quarter: x in [10, 12), y in [4, 20).
    Canvas canvas(&context, ImagePageFile("/Width 1 /Height 200 /ColorSpace /DeviceGray /BitsPerComponent 8",
                                          std::string(200, '\0')));
    canvas.draw.ctm = runtime::Matrix{0, FixedFromInt(16), FixedFromInt(-2), 0, FixedFromInt(12), FixedFromInt(4)};
    canvas.draw.clipRegion = raster::PixelRegion::FromRect(canvas.arena, {0, 0, kSide, 12});
    const IntRect painted = content::ImageDraw::DrawXObject(canvas.draw, canvas.Image(), nullptr);
    EXPECT_EQ(painted, (IntRect{10, 4, 12, 12}));
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        const bool inside = x >= 10 && x < 12 && y >= 4 && y < 12;
        ASSERT_EQ(canvas.At(x, y)[0], inside ? 0 : 255) << x << "," << y;
      }
    }
  }
  {
    // Half alpha over white paper: half way, for images and image masks.
    for (const std::string& entries : {blackImage, std::string("/Width 2 /Height 2 /ImageMask true")}) {
      Canvas canvas(&context, ImagePageFile(entries, black));
      const runtime::Fixed fill[] = {0, 0, 0};
      canvas.draw.fill = raster::SolidColorSource::FromFixed(canvas.arena, fill);
      canvas.draw.alpha = runtime::kFixedOne / 2;
      content::ImageDraw::DrawXObject(canvas.draw, canvas.Image(), nullptr);
      ExpectNear(canvas.At(12, 12), {128, 128, 128}, 1, entries);
    }
  }
}

// Small images (under 4096 bytes of samples) are decoded once into the
// cache and drawn from it; larger ones are streamed every time.
TEST_F(ImageDrawTest, SmallImagesComeFromTheCache) {
  struct Case {
    int width;
    size_t entries;
  };
  for (const Case& test : {Case{30, 1}, Case{40, 0}}) {
    std::string samples(size_t(test.width) * 40 * 3, '\0');
    for (size_t i = 0; i < samples.size(); i += 3) samples[i] = static_cast<char>(255);
    raster::SmallImageCache cache(&context);
    {
      Canvas canvas(&context, ImagePageFile("/Width " + std::to_string(test.width) +
                                                " /Height 40 /ColorSpace /DeviceRGB /BitsPerComponent 8",
                                            samples));
      canvas.draw.cache = &cache;
      const raster::SmallImageKey key{1, 5, 0};
      for (int draw = 0; draw < 2; ++draw) {
        content::ImageDraw::DrawXObject(canvas.draw, canvas.Image(), &key);
        EXPECT_EQ(cache.Cache().Count(), test.entries) << test.width << " draw " << draw;
        ExpectNear(canvas.At(12, 12), {255, 0, 0}, 1, "width " + std::to_string(test.width));
      }
    }
  }
}

// Malformed descriptions are (runtime, 2); sizes from the file never wrap
// or allocate beyond the budget, whatever the data hold.
TEST_F(ImageDrawTest, MalformedAndHostileImages) {
  struct Case {
    const char* name;
    std::string entries;
    std::string data;
    std::vector<uint32_t> codes;  // accepted results; empty: painted
  };
  const std::string rgb = " /ColorSpace /DeviceRGB /BitsPerComponent 8";
  const Case cases[] = {
      {"no width", "/Height 2" + rgb, "abc", {2}},
      {"zero height", "/Width 2 /Height 0" + rgb, "abc", {2}},
      {"width of another type", "/Width (2) /Height 2" + rgb, "abc", {2}},
      {"colour key of 4 entries on gray", "/Width 1 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8 "
                                          "/Mask [0 10 0 10]", "a", {2}},
      {"Decode too short", "/Width 1 /Height 1 /Decode [0 1]" + rgb, "abc", {2}},
      {"bits per component 5", "/Width 1 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 5", "a", {2}},
      {"no colour space", "/Width 1 /Height 1 /BitsPerComponent 8", "a", {2}},
      {"huge sizes, little data", "/Width 2147483647 /Height 2147483647 /BitsPerComponent 16 /ColorSpace /DeviceRGB",
       "abcdef", {1, 2}},
      {"huge height, short data", "/Width 4 /Height 2000000000" + rgb, "abcdef", {1, 2}},
      // Truncated data are padded, but not by millions of rows.
      {"a million rows missing", "/Width 1 /Height 1000000 /ColorSpace /DeviceGray /BitsPerComponent 8", "ab", {2}},
      {"a thousand rows missing", "/Width 1 /Height 1000 /ColorSpace /DeviceGray /BitsPerComponent 8", "ab", {}},
  };
  for (const Case& test : cases) {
    Canvas canvas(&context, ImagePageFile(test.entries, test.data));
    const std::optional<uint32_t> code =
        testsupport::RaisedCode([&] { content::ImageDraw::DrawXObject(canvas.draw, canvas.Image(), nullptr); });
    if (test.codes.empty()) {
      EXPECT_FALSE(code) << test.name;
    } else {
      ASSERT_TRUE(code) << test.name;
      EXPECT_NE(std::find(test.codes.begin(), test.codes.end(), *code), test.codes.end())
          << test.name << ": code " << *code;
    }
  }
}

// Truncated image data show what they hold; the rows past their end are
// zero samples (black here), as the reference pads them. Small images,
// which the cache would hold whole, are streamed the same way.
TEST_F(ImageDrawTest, TruncatedImagesShowTheirRows) {
  for (const bool cached : {false, true}) {
    // Two rows of white out of four.
    Canvas canvas(&context, ImagePageFile("/Width 2 /Height 4 /ColorSpace /DeviceGray /BitsPerComponent 8",
                                          Bytes({255, 255, 255, 255})));
    raster::SmallImageCache cache(&context);
    const raster::SmallImageKey key{1, 5, 0};
    if (cached) canvas.draw.cache = &cache;
    EXPECT_FALSE(testsupport::RaisedCode([&] { content::ImageDraw::DrawXObject(canvas.draw, canvas.Image(), &key); }));
    for (int row = 0; row < 4; ++row) {
      const int want = row < 2 ? 255 : 0;
      ExpectNear(canvas.At(kOrigin + 2, kOrigin + row * 4 + 2), {want, want, want}, 0,
                 std::string(cached ? "cached" : "streamed") + " row " + std::to_string(row));
    }
    EXPECT_EQ(cache.Cache().Count(), 0u);
  }
}

// An inline image paints from the rows it holds, with its Decode pairs.
TEST_F(ImageDrawTest, InlineImagesPaintTheirRows) {
  Canvas canvas(&context, ImagePageFile("/Width 1 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8", "a"));
  const uint8_t rows[] = {255, 0, 0, 0, 0, 255, 0, 255, 0, 10, 20, 30};
  const runtime::Fixed inverted[] = {runtime::kFixedOne, 0, runtime::kFixedOne, 0, runtime::kFixedOne, 0};
  content::InlineImage image;
  image.width = 2;
  image.height = 2;
  image.bitsPerComponent = 8;
  image.components = 3;
  image.deviceKind = content::ColorSpaceKind::kDeviceRgb;
  image.samples = rows;
  image.rowBytes = 6;
  content::ImageDraw::DrawInline(canvas.draw, image);
  ExpectNear(canvas.AtSample(2, 0, 0), {255, 0, 0}, 1, "inline top left");
  ExpectNear(canvas.AtSample(2, 1, 1), {10, 20, 30}, 1, "inline bottom right");
  image.decode = inverted;
  image.inverted = true;
  content::ImageDraw::DrawInline(canvas.draw, image);
  ExpectNear(canvas.AtSample(2, 0, 0), {0, 255, 255}, 1, "inverted top left");
  ExpectNear(canvas.AtSample(2, 1, 0), {255, 255, 0}, 1, "inverted top right");
}

}  // namespace
