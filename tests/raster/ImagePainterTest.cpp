#include "raster/ImagePainter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaScope.h"
#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"
#include "tests/support/SmallPdfFile.h"
#include "tests/support/CaughtError.h"

namespace raster {
namespace {

using runtime::FixedFromFloat;
using runtime::FixedFromInt;
using runtime::Matrix;

class ImagePainterTest : public ::testing::Test {
 protected:
  // A request for a gray image over `data` drawn at `scale` device pixels
  // per image pixel, row 0 at the top.
  ImagePaintRequest Gray(const std::vector<uint8_t>& data, int32_t width, int32_t height, double scale) {
    ImagePaintRequest request;
    request.image.width = width;
    request.image.height = height;
    request.rows = runtime::NewInArena<MemoryRowSource>(arena, data.data(), data.size(), width, height, 8, 1);
    const runtime::Fixed w = FixedFromFloat(scale * width), h = FixedFromFloat(scale * height);
    request.matrix = Matrix{w, 0, 0, -h, 0, h};
    request.target = {0, 0, 1024, 1024};
    return request;
  }
  // Every pixel of the source's area, row by row: from its sampler, or
  // strip by strip from an image held in strips.
  std::vector<std::vector<int>> Pixels(const ImagePaintSource& source) {
    const IntRect& area = source.area;
    std::vector<std::vector<int>> rows(static_cast<size_t>(area.y1 - area.y0),
                                       std::vector<int>(static_cast<size_t>(area.x1 - area.x0), -1));
    const auto paint = [&](ImageSampler* sampler, const IntRect& part) {
      for (int32_t y = part.y0; y < part.y1; ++y) {
        sampler->BeginRow(y);
        sampler->RunSpan(part.x0, part.x1);
        for (int32_t x = part.x0; x < part.x1; ++x)
          rows[y - area.y0][x - area.x0] = *CursorAt(sampler->Current().colour, x).Channel(0);
      }
    };
    if (source.bands == nullptr) {
      paint(source.sampler, area);
      return rows;
    }
    ImageBands* bands = source.bands;
    ImageBands::ForEachStrip(area, bands->alongRows, bands->descending, bands->length, [&](const IntRect& strip) {
      runtime::ArenaScope scope(arena);
      ++strips;
      paint(bands->SamplerFor(arena, strip), strip);
    });
    return rows;
  }
  int strips = 0;

  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};
};

TEST_F(ImagePainterTest, InterpolatesOnlyBelowAnEnlargementOfOneAndAHalf) {
  const auto scaled = [](double s) { return Matrix{FixedFromFloat(s), 0, 0, FixedFromFloat(s), 0, 0}; };
  EXPECT_EQ(ImagePainter::ModeFor(1, scaled(1.49)), ImageSampler::kInterpolate);
  EXPECT_EQ(ImagePainter::ModeFor(1, scaled(1.5)), ImageSampler::kNearest);
  EXPECT_EQ(ImagePainter::ModeFor(1, scaled(0.3)), ImageSampler::kInterpolate);
  EXPECT_EQ(ImagePainter::ModeFor(2, scaled(0.3)), ImageSampler::kNearest);
}

TEST_F(ImagePainterTest, FourByFourAtEightTimesPaintsBlocks) {
  std::vector<uint8_t> data(16);
  for (int i = 0; i < 16; ++i) data[i] = static_cast<uint8_t>(i * 10);
  ImagePaintSource source;
  ASSERT_EQ(ImagePainter::BuildSource(&context, arena, Gray(data, 4, 4, 8), source), 1);
  EXPECT_EQ(source.mode, ImageSampler::kNearest);
  EXPECT_EQ(source.area, (IntRect{0, 0, 32, 32}));
  EXPECT_EQ(source.clipCoverage, nullptr);
  const auto rows = Pixels(source);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(rows[y][x], data[(y / 8) * 4 + x / 8]) << x << "," << y;
}

TEST_F(ImagePainterTest, ReducedImagesAverageBlocks) {
  // 64 x 64 at a quarter: reduced by 4 and drawn 16 x 16 without further
  // enlargement.
  std::vector<uint8_t> data(64 * 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) data[y * 64 + x] = static_cast<uint8_t>((x / 4 + y / 4) % 2 == 0 ? 200 : 40);
  ImagePaintSource source;
  ASSERT_EQ(ImagePainter::BuildSource(&context, arena, Gray(data, 64, 64, 0.25), source), 1);
  EXPECT_EQ(source.shift, 2);
  EXPECT_EQ(source.area, (IntRect{0, 0, 16, 16}));
  const auto rows = Pixels(source);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_NEAR(rows[y][x], (x + y) % 2 == 0 ? 200 : 40, 1) << x << "," << y;
}

TEST_F(ImagePainterTest, NothingToDrawUnlessOverridden) {
  const std::vector<uint8_t> data(16, 7);
  ImagePaintSource source;
  ImagePaintRequest outside = Gray(data, 4, 4, 8);
  outside.target = {100, 100, 200, 200};
  EXPECT_EQ(ImagePainter::BuildSource(&context, arena, outside, source), 0);
  EXPECT_EQ(source.sampler, nullptr);
  ImagePaintRequest suppressed = Gray(data, 4, 4, 8);
  suppressed.suppress = true;
  EXPECT_EQ(ImagePainter::BuildSource(&context, arena, suppressed, source), 0);
  suppressed.overrideFlag = true;
  suppressed.clip = true;
  EXPECT_EQ(ImagePainter::BuildSource(&context, arena, suppressed, source), 1);
  EXPECT_NE(source.clipCoverage, nullptr);
}

// Over a quarter of the budget, an image is painted in strips, which give
// the pixels the whole image gives, whichever way it is turned and scaled;
// a slanted image is held whole up to the budget and refused beyond it.
TEST_F(ImagePainterTest, ImagesBeyondTheBudgetArePaintedInStrips) {
  const int side = 300;
  std::vector<uint8_t> data(size_t{side} * side);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) data[size_t(y) * side + x] = static_cast<uint8_t>((x * 7 + y * 13 + x * y) % 251);
  struct Case {
    const char* name;
    double a, b, c, d;  // the unit square's matrix, in image sides
  } cases[] = {
      {"upright at 1.7", 1.7, 0, 0, -1.7},   // nearest samples
      {"upright at 1.2", 1.2, 0, 0, -1.2},   // interpolated
      {"upright at 0.3", 0.3, 0, 0, -0.3},   // reduced by 2, interpolated
      {"upside down", 1.7, 0, 0, 1.7},
      {"mirrored at 0.6", -0.6, 0, 0, -0.6},
      {"quarter turn", 0, 1.7, 1.7, 0},
      {"quarter turn back at 0.8", 0, -0.8, -1.2, 0},
  };
  for (const Case& test : cases) {
    const auto request = [&] {
      ImagePaintRequest r = Gray(data, side, side, 1);
      const auto fixed = [&](double v) { return FixedFromFloat(v * side); };
      r.matrix = Matrix{fixed(test.a), fixed(test.b), fixed(test.c), fixed(test.d), FixedFromInt(600),
                        FixedFromInt(600)};
      r.target = {0, 0, 1200, 1200};
      return r;
    };
    std::vector<std::vector<int>> expected;
    IntRect area;
    {
      runtime::ArenaScope scope(arena);
      ImagePaintSource whole;
      ASSERT_EQ(ImagePainter::BuildSource(&context, arena, request(), whole), 1) << test.name;
      ASSERT_EQ(whole.bands, nullptr) << test.name;
      expected = Pixels(whole);
      area = whole.area;
    }
    runtime::ArenaScope scope(arena);
    context.memory.hardLimit = 60000;
    ImagePaintSource banded;
    ASSERT_EQ(ImagePainter::BuildSource(&context, arena, request(), banded), 1) << test.name;
    ASSERT_NE(banded.bands, nullptr) << test.name;
    EXPECT_EQ(banded.area, area) << test.name;
    strips = 0;
    const auto got = Pixels(banded);
    context.memory.hardLimit = runtime::kNoLimit;
    EXPECT_GT(strips, 1) << test.name;
    ASSERT_EQ(got.size(), expected.size()) << test.name;
    // A turned image steps its coordinates along each span from where the
    // span starts, which may round its last bit differently.
    int differing = 0;
    for (size_t y = 0; y < got.size(); ++y) {
      for (size_t x = 0; x < got[y].size(); ++x) {
        if (std::abs(got[y][x] - expected[y][x]) <= 1) continue;
        if (differing++ == 0) {
          ADD_FAILURE() << test.name << ": first at " << x << "," << y << ": " << got[y][x] << " for "
                        << expected[y][x];
        }
      }
    }
    EXPECT_EQ(differing, 0) << test.name;
  }
  // Slanted: held whole while it fits the budget, beyond it refused.
  ImagePaintRequest slanted = Gray(data, side, side, 1);
  slanted.matrix = Matrix{FixedFromInt(side), FixedFromInt(40), FixedFromInt(-40), FixedFromInt(-side), 0,
                          FixedFromInt(side)};
  ImagePaintSource source;
  context.memory.hardLimit = 200000;
  EXPECT_EQ(ImagePainter::BuildSource(&context, arena, slanted, source), 1);
  EXPECT_EQ(source.bands, nullptr);
  context.memory.hardLimit = 80000;
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { ImagePainter::BuildSource(&context, arena, slanted, source); }),
            runtime::kOverflow);
  // A row wider than the strips' share cannot be painted in strips.
  const std::vector<uint8_t> wide(30000, 9);
  ImagePaintRequest line = Gray(wide, 30000, 1, 1);
  line.target = {0, 0, 30000, 1};
  context.memory.hardLimit = 80000;
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { ImagePainter::BuildSource(&context, arena, line, source); }),
            runtime::kOverflow);
  context.memory.hardLimit = runtime::kNoLimit;
}

// pdftoppm's rendering of a gray image drawn `scale` points per pixel at
// 72 dpi, as rows of bytes (empty when it cannot run).
std::vector<uint8_t> PdftoppmGray(const std::vector<uint8_t>& data, int side, double scale) {
  const int page = static_cast<int>(side * scale);
  char pattern[] = "/tmp/folvane-painter-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return {};
  const std::string folder = pattern;
  std::ofstream(folder + "/in.pdf", std::ios::binary)
      << testsupport::OneImagePagePdf(page, side, side, "/ColorSpace /DeviceGray /BitsPerComponent 8",
                                      std::string(data.begin(), data.end()), scale);
  pdftest::RunCommand("pdftoppm -gray -r 72 -singlefile '" + folder + "/in.pdf' '" + folder + "/out' 2>/dev/null");
  std::ifstream in(folder + "/out.pgm", std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  std::vector<uint8_t> pixels(static_cast<size_t>(page) * page);
  in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  std::filesystem::remove_all(folder);
  if (!in || magic != "P5" || w != page || h != page) return {};
  return pixels;
}

TEST_F(ImagePainterTest, EnlargedAndReducedImagesMatchPdftoppm) {
  if (pdftest::kSanitizerBuild) GTEST_SKIP() << "reference comparison: normal build only";
  if (std::system("command -v pdftoppm >/dev/null 2>&1") != 0) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "pdftoppm is missing";
    GTEST_SKIP() << "no pdftoppm";
  }
  struct Case {
    const char* name;
    int side;
    double scale;
    int tolerance;
    uint64_t budget = runtime::kNoLimit;  // small: painted in strips
  } cases[] = {
      {"200%", 32, 2.0, 6},
      {"50%", 64, 0.5, 8},
      {"200% in strips", 200, 2.0, 6, 100000},
      {"50% in strips", 400, 0.5, 8, 100000},
  };
  for (const Case& test : cases) {
    // A smooth picture: the two renderers filter differently (pdftoppm
    // smooths enlargements too, where ours takes nearest samples): on these
    // gradients of 3 to 6 levels a pixel they differ by about one step,
    // while a misplaced or flipped image differs by up to 250.
    std::vector<uint8_t> data(static_cast<size_t>(test.side) * test.side);
    for (int y = 0; y < test.side; ++y)
      for (int x = 0; x < test.side; ++x)
        data[size_t(y) * test.side + x] = static_cast<uint8_t>((x * 200 / test.side) + (y * 50 / test.side));
    const std::vector<uint8_t> reference = PdftoppmGray(data, test.side, test.scale);
    ASSERT_FALSE(reference.empty()) << test.name;
    runtime::ArenaScope scope(arena);
    context.memory.hardLimit = test.budget;
    ImagePaintSource source;
    ASSERT_EQ(ImagePainter::BuildSource(&context, arena, Gray(data, test.side, test.side, test.scale), source), 1);
    EXPECT_EQ(source.bands != nullptr, test.budget != runtime::kNoLimit) << test.name;
    const auto rows = Pixels(source);
    context.memory.hardLimit = runtime::kNoLimit;
    const int page = static_cast<int>(test.side * test.scale);
    ASSERT_EQ(static_cast<int>(rows.size()), page) << test.name;
    int worst = 0;
    for (int y = 0; y < page; ++y)
      for (int x = 0; x < page; ++x) worst = std::max(worst, std::abs(rows[y][x] - reference[size_t(y) * page + x]));
    EXPECT_LE(worst, test.tolerance) << test.name;
  }
}

}  // namespace
}  // namespace raster
