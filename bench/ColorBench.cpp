// Colour management against lcms2 with the same profiles: a 3-input
// 17-point CLUT over 1,000,000 points (tetrahedral), the display
// profile's matrix/TRC chain, and 1024 x 1024 8-bit images from DeviceRGB
// and from a CMYK profile into the display profile, cold (profiles,
// transform and pixel cache built in the timed loop) and warm (the same
// converter again). Images: a smooth photographic-like gradient (about a
// million distinct colours) and a flat one of 64 colours (vector art).
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "color/ClutStage.h"
#include "color/EmbeddedProfiles.h"
#include "color/IccConverter.h"
#include "color/IccProfile.h"
#include "color/IccSignature.h"
#include "runtime/LibraryContext.h"
#include "streams/MemoryDataSource.h"

namespace {

using color::ColorBuffer;
using color::ColorConverterPtr;
using color::IccProfile;
using color::IccProfileRef;
using runtime::Fixed;

constexpr uint32_t kPoints = 1000000;
constexpr int kSide = 1024;

IccProfileRef ParseBytes(runtime::LibraryContext* context, const std::string& bytes) {
  return IccProfile::Parse(context, streams::MakeRef<streams::MemoryDataSource>(
                                        context, reinterpret_cast<const uint8_t*>(bytes.data()),
                                        static_cast<uint32_t>(bytes.size())));
}

const std::string& DisplayBytes() {
  static const std::string bytes(reinterpret_cast<const char*>(color::GetEmbeddedRgbProfile()),
                                 color::GetEmbeddedRgbProfileSize());
  return bytes;
}

// The CMYK profile: the free one of the system when installed, else the
// built-in one.
const std::string& CmykBytes() {
  static const std::string bytes = [] {
    std::ifstream in("/usr/share/color/icc/ghostscript/default_cmyk.icc", std::ios::binary);
    std::string read((std::istreambuf_iterator<char>(in)), {});
    if (!read.empty()) return read;
    return std::string(reinterpret_cast<const char*>(color::GetEmbeddedCmykProfile()),
                       color::GetEmbeddedCmykProfileSize());
  }();
  return bytes;
}

// DeviceRGB as the library builds it: D50 white, gamma 2.2, these columns.
constexpr Fixed kWhite[3] = {0xF6D5, 0x10000, 0xD32D};
constexpr Fixed kBlack[3] = {0, 0, 0};
constexpr Fixed kRed[3] = {0x6FA2, 0x38F5, 0x390};
constexpr Fixed kGreen[3] = {0x6299, 0xB784, 0x18DA};
constexpr Fixed kBlue[3] = {0x24A0, 0xF84, 0xB6CF};
constexpr Fixed kGamma[3] = {0x23333, 0x23333, 0x23333};

IccProfileRef DeviceRgb(runtime::LibraryContext* context) {
  return IccProfile::SynthesiseRgb(context, kWhite, kBlack, kRed, kGreen, kBlue, kGamma, true);
}

// The same space for lcms2: the columns as xyY primaries, gamma 2.2.
cmsHPROFILE LcmsDeviceRgb() {
  auto xyY = [](const Fixed xyz[3]) {
    const double x = xyz[0] / 65536.0, y = xyz[1] / 65536.0, z = xyz[2] / 65536.0;
    return cmsCIExyY{x / (x + y + z), y / (x + y + z), y};
  };
  cmsCIExyY white = xyY(kWhite);
  cmsCIExyYTRIPLE primaries{xyY(kRed), xyY(kGreen), xyY(kBlue)};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(gamma);
  return profile;
}

std::vector<uint8_t> Image(int channels, bool flat) {
  std::vector<uint8_t> pixels(static_cast<size_t>(kSide) * kSide * channels);
  std::mt19937 random(7);
  uint8_t palette[64][4];
  for (auto& colour : palette) {
    for (uint8_t& c : colour) c = static_cast<uint8_t>(random());
  }
  size_t i = 0;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      for (int c = 0; c < channels; ++c) {
        pixels[i++] = flat ? palette[((y / 64) * 8 + x / 128) % 64][c]
                           : static_cast<uint8_t>((x * (c + 1) / 4 + y * (channels - c) / 4 + (x ^ y) % 7) & 0xFF);
      }
    }
  }
  return pixels;
}

ColorBuffer Buffer(std::vector<uint8_t>& pixels, int channels) {
  ColorBuffer buffer;
  buffer.base = pixels.data();
  buffer.componentStep = 1;
  buffer.pixelStep = channels;
  buffer.rowStep = channels * kSide;
  return buffer;
}

// ---- A 3-input 17-point CLUT, tetrahedral ----

std::vector<uint16_t> ClutWords() {
  std::mt19937 random(17);
  std::vector<uint16_t> words(17 * 17 * 17 * 3);
  for (uint16_t& w : words) w = static_cast<uint16_t>(random());
  return words;
}

std::vector<uint16_t> Points16() {
  std::mt19937 random(1);
  std::vector<uint16_t> points(kPoints * 3);
  for (uint16_t& p : points) p = static_cast<uint16_t>(random());
  return points;
}

void BM_Clut17Tetrahedral_Ours(benchmark::State& state) {
  runtime::LibraryContext context;
  const std::vector<uint16_t> words = ClutWords();
  std::vector<Fixed> samples(words.begin(), words.end());
  const uint32_t grid[3] = {17, 17, 17};
  color::IccStageRef stage = color::ClutStage::Create(&context, samples.data(), static_cast<uint32_t>(samples.size()),
                                                      3, 3, grid, color::IccSig("RGB "), color::IccSig("RGB "));
  const std::vector<uint16_t> points = Points16();
  std::vector<Fixed> vectors(kPoints * color::kMaxColorChannels);
  for (auto _ : state) {
    for (uint32_t i = 0; i < kPoints; ++i) {
      for (int c = 0; c < 3; ++c) vectors[i * 4 + c] = points[i * 3 + c];
    }
    stage->ApplySpan(vectors.data(), kPoints);
    benchmark::DoNotOptimize(vectors.data());
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_Clut17Tetrahedral_Ours)->Unit(benchmark::kMillisecond);

void BM_Clut17Tetrahedral_Lcms2(benchmark::State& state) {
  const std::vector<uint16_t> words = ClutWords();
  cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 3, 3);
  cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocCLut16bit(nullptr, 17, 3, 3, words.data()));
  const std::vector<uint16_t> points = Points16();
  std::vector<uint16_t> out(kPoints * 3);
  for (auto _ : state) {
    for (uint32_t i = 0; i < kPoints; ++i) cmsPipelineEval16(&points[i * 3], &out[i * 3], pipeline);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
  cmsPipelineFree(pipeline);
}
BENCHMARK(BM_Clut17Tetrahedral_Lcms2)->Unit(benchmark::kMillisecond);

// ---- The matrix/TRC chain: display profile to a second parse of it ----

void BM_MatrixTrcChain_Ours(benchmark::State& state) {
  runtime::LibraryContext context;
  IccProfileRef source = ParseBytes(&context, DisplayBytes());
  IccProfileRef destination = ParseBytes(&context, DisplayBytes());
  color::IccTransformRef transform =
      color::IccTransform::Create(*source, *destination, color::kRelativeColorimetric, 0, false, false);
  const std::vector<uint16_t> points = Points16();
  std::vector<Fixed> vectors(kPoints * color::kMaxColorChannels);
  for (auto _ : state) {
    for (uint32_t i = 0; i < kPoints; ++i) {
      for (int c = 0; c < 3; ++c) vectors[i * 4 + c] = points[i * 3 + c];
    }
    transform->EvaluateSpan(vectors.data(), kPoints);
    benchmark::DoNotOptimize(vectors.data());
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_MatrixTrcChain_Ours)->Unit(benchmark::kMillisecond);

void BM_MatrixTrcChain_Lcms2(benchmark::State& state) {
  cmsHPROFILE a = cmsOpenProfileFromMem(DisplayBytes().data(), static_cast<cmsUInt32Number>(DisplayBytes().size()));
  cmsHPROFILE b = cmsOpenProfileFromMem(DisplayBytes().data(), static_cast<cmsUInt32Number>(DisplayBytes().size()));
  cmsHTRANSFORM transform =
      cmsCreateTransform(a, TYPE_RGB_16, b, TYPE_RGB_16, INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE);
  const std::vector<uint16_t> points = Points16();
  std::vector<uint16_t> out(kPoints * 3);
  for (auto _ : state) {
    cmsDoTransform(transform, points.data(), out.data(), kPoints);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
  cmsDeleteTransform(transform);
  cmsCloseProfile(a);
  cmsCloseProfile(b);
}
BENCHMARK(BM_MatrixTrcChain_Lcms2)->Unit(benchmark::kMillisecond);

// ---- 1024 x 1024 images into the display profile, 8-bit ----

// state.range(0): 0 DeviceRGB, 1 CMYK; state.range(1): 0 gradient, 1 flat.
void BM_Image_Ours_Cold(benchmark::State& state) {
  const bool cmyk = state.range(0) != 0;
  const int channels = cmyk ? 4 : 3;
  std::vector<uint8_t> in = Image(channels, state.range(1) != 0);
  std::vector<uint8_t> out(static_cast<size_t>(kSide) * kSide * 3);
  ColorBuffer source = Buffer(in, channels), destination = Buffer(out, 3);
  for (auto _ : state) {
    runtime::LibraryContext context;
    IccProfileRef display = ParseBytes(&context, DisplayBytes());
    IccProfileRef profile = cmyk ? ParseBytes(&context, CmykBytes()) : DeviceRgb(&context);
    ColorConverterPtr converter = profile->MakeConverter8(*display, color::kRelativeColorimetric, 0, false);
    converter->ConvertRect(destination, source, 0, 0, kSide, kSide);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_Image_Ours_Cold)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_Image_Ours_Warm(benchmark::State& state) {
  const bool cmyk = state.range(0) != 0;
  const int channels = cmyk ? 4 : 3;
  std::vector<uint8_t> in = Image(channels, state.range(1) != 0);
  std::vector<uint8_t> out(static_cast<size_t>(kSide) * kSide * 3);
  ColorBuffer source = Buffer(in, channels), destination = Buffer(out, 3);
  runtime::LibraryContext context;
  IccProfileRef display = ParseBytes(&context, DisplayBytes());
  IccProfileRef profile = cmyk ? ParseBytes(&context, CmykBytes()) : DeviceRgb(&context);
  ColorConverterPtr converter = profile->MakeConverter8(*display, color::kRelativeColorimetric, 0, false);
  converter->ConvertRect(destination, source, 0, 0, kSide, kSide);
  for (auto _ : state) {
    converter->ConvertRect(destination, source, 0, 0, kSide, kSide);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_Image_Ours_Warm)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

void LcmsImage(benchmark::State& state, bool warm) {
  const bool cmyk = state.range(0) != 0;
  const int channels = cmyk ? 4 : 3;
  std::vector<uint8_t> in = Image(channels, state.range(1) != 0);
  std::vector<uint8_t> out(static_cast<size_t>(kSide) * kSide * 3);
  auto make = [&] {
    cmsHPROFILE display =
        cmsOpenProfileFromMem(DisplayBytes().data(), static_cast<cmsUInt32Number>(DisplayBytes().size()));
    cmsHPROFILE source = cmyk ? cmsOpenProfileFromMem(CmykBytes().data(),
                                                      static_cast<cmsUInt32Number>(CmykBytes().size()))
                              : LcmsDeviceRgb();
    cmsHTRANSFORM transform = cmsCreateTransform(source, cmyk ? TYPE_CMYK_8 : TYPE_RGB_8, display, TYPE_RGB_8,
                                                 INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_BLACKPOINTCOMPENSATION);
    cmsCloseProfile(display);
    cmsCloseProfile(source);
    return transform;
  };
  cmsHTRANSFORM kept = warm ? make() : nullptr;
  for (auto _ : state) {
    cmsHTRANSFORM transform = warm ? kept : make();
    cmsDoTransform(transform, in.data(), out.data(), kSide * kSide);
    benchmark::DoNotOptimize(out.data());
    if (!warm) cmsDeleteTransform(transform);
  }
  if (kept != nullptr) cmsDeleteTransform(kept);
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_Image_Lcms2_Cold(benchmark::State& state) { LcmsImage(state, false); }
BENCHMARK(BM_Image_Lcms2_Cold)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
void BM_Image_Lcms2_Warm(benchmark::State& state) { LcmsImage(state, true); }
BENCHMARK(BM_Image_Lcms2_Warm)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace
