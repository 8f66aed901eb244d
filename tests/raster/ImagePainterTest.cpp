#include "raster/ImagePainter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "runtime/ArenaAllocator.h"
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
  std::vector<std::vector<int>> Pixels(const ImagePaintSource& source) {
    std::vector<std::vector<int>> rows;
    for (int32_t y = source.area.y0; y < source.area.y1; ++y) {
      source.sampler->BeginRow(y);
      source.sampler->RunSpan(source.area.x0, source.area.x1);
      std::vector<int> row;
      for (int32_t x = source.area.x0; x < source.area.x1; ++x)
        row.push_back(*CursorAt(source.sampler->Current().colour, x).Channel(0));
      rows.push_back(row);
    }
    return rows;
  }

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

TEST_F(ImagePainterTest, ABufferBeyondTheBudgetIsRefused) {
  const std::vector<uint8_t> data(300 * 300, 1);
  context.memory.hardLimit = 80000;
  ImagePaintSource source;
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context,
                                       [&] { ImagePainter::BuildSource(&context, arena, Gray(data, 300, 300, 1), source); }),
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
  } cases[] = {
      {"200%", 32, 2.0, 6},
      {"50%", 64, 0.5, 8},
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
    ImagePaintSource source;
    ASSERT_EQ(ImagePainter::BuildSource(&context, arena, Gray(data, test.side, test.side, test.scale), source), 1);
    const auto rows = Pixels(source);
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
