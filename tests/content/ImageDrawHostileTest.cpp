// Image XObjects made of hostile entries and data: a fixed-seed generator
// combines sizes, depths, colour spaces, Decode arrays, masks, filters,
// data lengths, transforms and clips that files use to break readers. Each
// image is drawn under the device's 10 MiB budget; it must paint within the
// clip or end in one of the runtime codes a broken image may raise, and
// never crash, hang or trip the sanitizers.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "content/ImageDraw.h"
#include "raster/ConstantSources.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/JpegEncoder.h"
#include "tests/support/RaisedCode.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using runtime::FixedFromFloat;

constexpr int kDeviceSide = 32;
constexpr uint32_t kImages = 600;

template <class T, size_t N>
const T& Pick(std::mt19937& random, const T (&choices)[N]) {
  return choices[std::uniform_int_distribution<size_t>(0, N - 1)(random)];
}

// Mostly a sound value, one time in five a hostile one: images with one
// or two bad entries reach further than images that are wrong everywhere.
template <size_t N, size_t M>
const char* PickMostlySound(std::mt19937& random, const char* const (&sound)[N], const char* const (&hostile)[M]) {
  return random() % 5 == 0 ? Pick(random, hostile) : Pick(random, sound);
}

std::string RandomBytes(std::mt19937& random, size_t n) {
  std::string bytes(n, '\0');
  for (char& b : bytes) b = static_cast<char>(random() & 0xff);
  return bytes;
}

// The transforms images are drawn with: enlarged, reduced to almost
// nothing, vast, turned, a quarter turn, singular, near singular and at the
// ends of the 16.16 range.
const runtime::Matrix kTransforms[] = {
    {FixedFromFloat(24), 0, 0, FixedFromFloat(-24), FixedFromFloat(4), FixedFromFloat(28)},
    {FixedFromFloat(0.01), 0, 0, FixedFromFloat(-0.01), FixedFromFloat(4), FixedFromFloat(28)},
    {FixedFromFloat(30000), 0, 0, FixedFromFloat(-30000), FixedFromFloat(-15000), FixedFromFloat(15000)},
    {FixedFromFloat(20), FixedFromFloat(7), FixedFromFloat(-7), FixedFromFloat(20), FixedFromFloat(10), 0},
    {0, FixedFromFloat(16), FixedFromFloat(-2), 0, FixedFromFloat(12), FixedFromFloat(4)},
    {0, 0, 0, 0, FixedFromFloat(5), FixedFromFloat(5)},
    {FixedFromFloat(1e-4), FixedFromFloat(30000), FixedFromFloat(30000), FixedFromFloat(1e-4), 0, 0},
    {FixedFromFloat(1e-4), 0, 0, FixedFromFloat(-1e-4), FixedFromFloat(3), FixedFromFloat(3)},
    {runtime::kFixedMax, runtime::kFixedMax, runtime::kFixedMin, runtime::kFixedMax, runtime::kFixedMax,
     runtime::kFixedMin},
};

struct HostileImage {
  std::string file;
  runtime::Matrix ctm;
  runtime::IntRect clip;
  bool stencilFill = false;
};

HostileImage Generate(std::mt19937& random, const std::string& jpeg) {
  static const char* const kSizes[] = {"1", "2", "3", "7", "16", "33"};
  static const char* const kHostileSizes[] = {"0", "-1", "65535", "100000", "2147483647", "(8)", "2.5", ""};
  static const char* const kBits[] = {"1", "2", "4", "8", "16", "8", "8"};
  static const char* const kHostileBits[] = {"3", "0", "32", "/Eight", ""};
  static const char* const kSpaces[] = {
      "/DeviceGray", "/DeviceRGB", "/DeviceCMYK", "[/Indexed /DeviceRGB 1 <FF000000FF00>]",
      "[/Indexed /DeviceCMYK 3 <00FF00FF 00000000 FFFFFFFF 10203040>]",
      "[/Lab << /WhitePoint [0.95 1 1.09] /Range [-100 100 -100 100] >>]", "[/CalRGB << /WhitePoint [0.95 1 1.09] >>]",
      "[/Separation /Spot /DeviceCMYK 8 0 R]", "[/DeviceN [/A /B] /DeviceRGB 9 0 R]"};
  static const char* const kHostileSpaces[] = {"[/Indexed /DeviceRGB 255 <00>]", "/Pattern", "/Nope", "5", ""};
  static const char* const kDecodes[] = {"", "", "", "[1 0]", "[0 1 0 1 0 1]", "[1 0 1 0 1 0 1 0]"};
  static const char* const kHostileDecodes[] = {"[0]", "[0 1000 -5 3 0 1 0 1]", "[/x 1]", "[0 255]", "(str)"};
  static const char* const kMasks[] = {"", "", "", "/Mask [0 10]", "/Mask [0 10 0 10 0 10]", "/Mask 6 0 R",
                                       "/SMask 7 0 R"};
  static const char* const kHostileMasks[] = {"/Mask [-5 70000]", "/SMask 6 0 R", "/Mask 5 0 R", "/SMask 5 0 R",
                                              "/Mask (x)", "/SMaskInData 1"};
  static const char* const kFilters[] = {"", "", "", "/FlateDecode", "/FlateDecode", "/DCTDecode"};
  static const char* const kHostileFilters[] = {"/ASCIIHexDecode", "/RunLengthDecode", "/JPXDecode",
                                                "/CCITTFaxDecode", "[/AHx /Fl]", "/LZWDecode", "/Nope"};
  const auto entry = [](const char* key, const char* value) {
    return *value == '\0' ? std::string() : std::string(" /") + key + " " + value;
  };
  const bool imageMask = random() % 5 == 0;
  const auto size = [&] { return PickMostlySound(random, kSizes, kHostileSizes); };
  std::string entries = "/Type /XObject /Subtype /Image" + entry("Width", size()) + entry("Height", size());
  if (imageMask) {
    entries += random() % 4 == 0 ? " /ImageMask 1" : " /ImageMask true";
  } else {
    entries += entry("BitsPerComponent", PickMostlySound(random, kBits, kHostileBits)) +
               entry("ColorSpace", PickMostlySound(random, kSpaces, kHostileSpaces)) + std::string(" ") +
               PickMostlySound(random, kMasks, kHostileMasks);
  }
  entries += entry("Decode", PickMostlySound(random, kDecodes, kHostileDecodes));
  const std::string filter = PickMostlySound(random, kFilters, kHostileFilters);
  entries += entry("Filter", filter.c_str());
  // Data: none, short, a plausible size or long, raw or through the filter.
  static const size_t kLengths[] = {0, 1, 5, 48, 300, 1200, 5000, 5000, 5000};
  std::string data = RandomBytes(random, Pick(random, kLengths));
  if (filter == "/FlateDecode" && random() % 2 == 0) data = pdftest::Deflate(data);
  if (filter == "/DCTDecode" && random() % 2 == 0) data = jpeg.substr(0, random() % 3 == 0 ? jpeg.size() / 2 : jpeg.size());
  if (filter == "[/AHx /Fl]") data = "789c>";
  const std::string stencil =
      "/Type /XObject /Subtype /Image /ImageMask true" + entry("Width", size()) + entry("Height", size());
  const std::string soft = "/Type /XObject /Subtype /Image" + entry("Width", size()) + entry("Height", size()) +
                           entry("BitsPerComponent", PickMostlySound(random, kBits, kHostileBits)) +
                           " /ColorSpace /DeviceGray" + entry("Decode", PickMostlySound(random, kDecodes, kHostileDecodes));
  HostileImage image;
  image.file = testsupport::SmallPdfFile({
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 32 32] /Resources << >> >>",
      "<< >>",
      testsupport::StreamBody(entries, data),
      testsupport::StreamBody(stencil, RandomBytes(random, Pick(random, kLengths))),
      testsupport::StreamBody(soft, RandomBytes(random, Pick(random, kLengths))),
      "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [1 0 0 0] /N 1 >>",
      "<< /FunctionType 2 /Domain [0 1 0 1] /C0 [0 0 0] /C1 [1 1 1] /N 1 >>",
  });
  image.ctm = Pick(random, kTransforms);
  static const runtime::IntRect kClips[] = {
      {0, 0, kDeviceSide, kDeviceSide}, {5, 5, 20, 9}, {31, 0, 32, 32}, {-100, -100, 1000, 1000}, {10, 10, 10, 10}};
  image.clip = Pick(random, kClips);
  image.stencilFill = random() % 2 == 0;
  return image;
}

// Images drawn through every transform and clip: sizes derived from the
// matrix stay within their ranges (the sanitizers check), and each draw
// paints or ends in a clean refusal.
TEST(ImageDrawHostileTest, EveryTransformOverSoundImages) {
  runtime::LibraryContext context;
  context.memory.SetBudget(10u << 20);
  struct Sound {
    std::string entries;
    std::string data;
  };
  const Sound images[] = {
      {"/Width 2 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 8", std::string(4, 'a')},
      {"/Width 1 /Height 200 /ColorSpace /DeviceRGB /BitsPerComponent 8", std::string(600, 'a')},
      {"/Width 7 /Height 7 /ImageMask true", std::string(7, 'a')},
      {"/Width 300 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 1 /SMask 6 0 R", std::string(76, 'a')},
  };
  const runtime::IntRect clips[] = {{0, 0, kDeviceSide, kDeviceSide}, {31, 0, 32, 32}};
  for (const Sound& sound : images) {
    const std::string file = testsupport::SmallPdfFile(
        {"<< /Type /Catalog >>", "<< >>", "<< >>", "<< >>",
         testsupport::StreamBody("/Type /XObject /Subtype /Image " + sound.entries, sound.data),
         testsupport::StreamBody("/Type /XObject /Subtype /Image /Width 5 /Height 5 /ColorSpace /DeviceGray "
                                 "/BitsPerComponent 8",
                                 std::string(25, 'z'))});
    for (const runtime::Matrix& ctm : kTransforms) {
      for (const runtime::IntRect& clip : clips) {
        pdftest::OpenDocument document(&context, file);
        color::ColorContext colors(&context, &*document);
        color::ColorSpaceRef space = colors.DeviceRgb();
        runtime::ArenaAllocator arena(&context, 16384, 4096);
        content::ImageDrawContext draw;
        draw.context = &context;
        draw.arena = &arena;
        draw.layer = raster::RasterDevice::CreateForTarget(&context, arena, {0, 0, kDeviceSide, kDeviceSide}, space.Get());
        draw.clipRegion = raster::PixelRegion::FromRect(arena, clip);
        draw.ctm = ctm;
        draw.colors = &colors;
        draw.document = &*document;
        const runtime::Fixed red[] = {runtime::kFixedOne, 0, 0};
        draw.fill = raster::SolidColorSource::FromFixed(arena, red);
        const std::optional<uint32_t> code = testsupport::RaisedCode(
            [&] { content::ImageDraw::DrawXObject(draw, document->GetObject(5, 0), nullptr); });
        EXPECT_TRUE(!code || *code == 1) << sound.entries << ": code " << *code;
      }
    }
  }
}

TEST(ImageDrawHostileTest, GeneratedHostileImagesEndCleanly) {
  runtime::LibraryContext context;
  context.memory.SetBudget(10u << 20);
  const std::string jpeg = testsupport::EncodeJpeg(16, 16, 3, false);
  std::mt19937 random(20261211);
  uint32_t painted = 0, refused = 0;
  uint32_t codes[8] = {};
  for (uint32_t i = 0; i < kImages; ++i) {
    const HostileImage image = Generate(random, jpeg);
    pdftest::OpenDocument document(&context, image.file);
    color::ColorContext colors(&context, &*document);
    color::ColorSpaceRef space = colors.DeviceRgb();
    runtime::ArenaAllocator arena(&context, 16384, 4096);
    raster::RasterDevice* device =
        raster::RasterDevice::CreateForTarget(&context, arena, {0, 0, kDeviceSide, kDeviceSide}, space.Get());
    raster::RasterDevice::FillRegion(*device, device->Bounds(), nullptr, runtime::kFixedOne, runtime::kFixedOne,
                                     runtime::kFixedOne);
    content::ImageDrawContext draw;
    draw.context = &context;
    draw.arena = &arena;
    draw.layer = device;
    draw.clipRegion = raster::PixelRegion::FromRect(arena, image.clip);
    draw.ctm = image.ctm;
    draw.colors = &colors;
    draw.document = &*document;
    const runtime::Fixed red[] = {runtime::kFixedOne, 0, 0};
    if (image.stencilFill) draw.fill = raster::SolidColorSource::FromFixed(arena, red);
    runtime::IntRect rect{0, 0, 0, 0};
    runtime::ErrorTrap trap(&context);
    if (trap.Run([&] { rect = content::ImageDraw::DrawXObject(draw, document->GetObject(5, 0), nullptr); })) {
      ++painted;
      if (!rect.IsEmpty()) {
        EXPECT_TRUE(rect.x0 >= std::max(0, image.clip.x0) && rect.y0 >= std::max(0, image.clip.y0) &&
                    rect.x1 <= std::min(kDeviceSide, image.clip.x1) && rect.y1 <= std::min(kDeviceSide, image.clip.y1))
            << "image " << i << " painted outside the clip";
      }
      continue;
    }
    trap.SetHandled();
    const runtime::ErrorRecord error = trap.Held();
    trap.Close();
    ++refused;
    ASSERT_TRUE(error.IsRuntime(error.code)) << "image " << i << ": an error of domain " << error.domain;
    // Out of memory under the budget (0), a part beyond it (1), malformed
    // (2), unsupported (5), beyond a limit (6).
    EXPECT_TRUE(error.code <= 2 || error.code == 5 || error.code == 6) << "image " << i << ": code " << error.code;
    if (error.code < 8) ++codes[error.code];
  }
  // The generator reaches both outcomes: a sweep that refused everything
  // (or nothing) would test little.
  EXPECT_GT(painted, kImages / 10);
  EXPECT_GT(refused, kImages / 10);
  std::printf("%u painted, %u refused (codes 0:%u 1:%u 2:%u 5:%u 6:%u)\n", painted, refused, codes[0], codes[1],
              codes[2], codes[5], codes[6]);
}

}  // namespace
