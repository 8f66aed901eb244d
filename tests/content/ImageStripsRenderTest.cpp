// Images whose decoded part does not fit the device's memory budget at
// once, rendered by the probe (10 MiB) and by pdftoppm at 72 dpi: painted
// strip by strip, they must show the picture pdftoppm shows, with no row
// missing or misplaced at the strips' edges, upright, upside down and
// turned by a quarter, with a soft mask and as an image mask.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"
#include "tests/support/PngPicture.h"
#include "tests/support/SmallPdfFile.h"

namespace {

std::string Compressed(const std::string& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                      static_cast<uLong>(data.size()), 6),
            Z_OK);
  out.resize(size);
  return out;
}

// Smooth colours with a coarse checker, so that a misplaced row or column
// of samples differs by up to 255 in blue.
std::string RgbSamples(int width, int height) {
  std::string data(size_t(width) * height * 3, '\0');
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      char* p = &data[(size_t(y) * width + x) * 3];
      p[0] = static_cast<char>(x * 255 / width);
      p[1] = static_cast<char>(y * 255 / height);
      p[2] = static_cast<char>((x / 96 + y / 80) % 2 == 0 ? 0 : 255);
    }
  }
  return data;
}

// A disc of full coverage on a faint ground.
std::string GraySamples(int width, int height) {
  std::string data(size_t(width) * height, '\0');
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int64_t dx = x - width / 2, dy = y - height / 2;
      data[size_t(y) * width + x] = static_cast<char>(dx * dx + dy * dy < int64_t{width} * width / 5 ? 255 : 60);
    }
  }
  return data;
}

// 1-bit samples: stripes across the rows and the columns.
std::string StencilSamples(int width, int height) {
  const int rowBytes = (width + 7) / 8;
  std::string data(size_t(rowBytes) * height, '\0');
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if ((x / 40 + y / 56) % 2 == 0) data[size_t(y) * rowBytes + x / 8] |= static_cast<char>(0x80 >> (x % 8));
    }
  }
  return data;
}

struct Case {
  const char* name;
  int page;            // points on each side
  std::string matrix;  // the image's cm operands
  std::string kind;    // "rgb", "soft" (rgb with a gray SMask) or "stencil"
  int width, height;
  double meanTolerance;  // levels, over every pixel and channel
};

std::string CaseFile(const Case& test) {
  const std::string side = std::to_string(test.page);
  const std::string size = "/Width " + std::to_string(test.width) + " /Height " + std::to_string(test.height);
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + side + " " + side +
          "] /Contents 4 0 R /Resources << /XObject << /Im0 5 0 R >> >> >>",
      testsupport::StreamBody("", "0.8 0.1 0.1 rg q " + test.matrix + " cm /Im0 Do Q"),
  };
  if (test.kind == "stencil") {
    objects.push_back(testsupport::StreamBody("/Type /XObject /Subtype /Image " + size +
                                                  " /ImageMask true /Filter /FlateDecode",
                                              Compressed(StencilSamples(test.width, test.height))));
  } else {
    const std::string mask = test.kind == "soft" ? " /SMask 6 0 R" : "";
    objects.push_back(testsupport::StreamBody("/Type /XObject /Subtype /Image " + size +
                                                  " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode" +
                                                  mask,
                                              Compressed(RgbSamples(test.width, test.height))));
    if (test.kind == "soft") {
      objects.push_back(testsupport::StreamBody("/Type /XObject /Subtype /Image " + size +
                                                    " /ColorSpace /DeviceGray /BitsPerComponent 8 /Filter /FlateDecode",
                                                Compressed(GraySamples(test.width, test.height))));
    }
  }
  return testsupport::SmallPdfFile(objects);
}

TEST(ImageStripsRenderTest, LargeImagesMatchPdftoppmUnderTheDeviceBudget) {
  if (pdftest::kSanitizerBuild) GTEST_SKIP() << "reference comparison: normal build only";
  if (std::system("command -v pdftoppm >/dev/null 2>&1") != 0) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "pdftoppm is missing";
    GTEST_SKIP() << "no pdftoppm";
  }
  // Drawn just over half size, 2400 x 2400 samples are not reduced: a band
  // of the page needs more than 10 MiB of the RGB samples (which could not
  // be painted at all when held whole) and more than a quarter of the
  // budget of the mask's.
  const Case cases[] = {
      {"upright with a soft mask", 1300, "1250 0 0 1250 25 25", "soft", 2400, 2400, 3},
      {"upside down", 1300, "1250 0 0 -1250 25 1275", "rgb", 2400, 2400, 3},
      {"quarter turn", 1300, "0 1250 -1250 0 1275 25", "rgb", 2400, 2400, 3},
      // The stripes' edges are smoothed differently all along them.
      {"image mask", 1300, "1250 0 0 1250 25 25", "stencil", 2400, 2400, 11},
  };
  char pattern[] = "/tmp/folvane-strips-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path folder = pattern;
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const std::string pdf = (folder / "in.pdf").string();
    std::ofstream(pdf, std::ios::binary) << CaseFile(test);
    const std::string ours = (folder / "ours.png").string();
    const pdftest::ProbeResult probe = pdftest::RunProbe("render '" + pdf + "' 1 --dpi 72 -o '" + ours + "'", true);
    ASSERT_EQ(probe.status, 0) << probe.out;
    pdftest::RunCommand("pdftoppm -r 72 -png -singlefile '" + pdf + "' '" + (folder / "ref").string() + "' 2>/dev/null");
    testsupport::Picture got, want;
    ASSERT_TRUE(testsupport::ReadPng(ours, got));
    ASSERT_TRUE(testsupport::ReadPng((folder / "ref.png").string(), want));
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    // The renderers filter differently: on these gradients a pixel differs
    // by a few levels, at the checker's and the disc's edges by more. A row
    // or column of samples lost or doubled at a strip's edge shifts the
    // checker's edge there by a sample, which a row's mean shows; an image
    // left out differs everywhere.
    // The renderers reduce differently: an edge of the checker or the
    // stripes may lie a pixel or so apart, which blocks of 32 x 32 pixels
    // average out; a strip misplaced or left blank, or an image left out
    // (the whole image differs by 85 to 120 levels on average), do not.
    constexpr int kBlock = 32;
    double total = 0, worstBlock = 0;
    for (int by = 0; by + kBlock <= got.height; by += kBlock) {
      for (int bx = 0; bx + kBlock <= got.width; bx += kBlock) {
        for (int c = 0; c < 3; ++c) {
          int ours = 0, theirs = 0;
          for (int y = by; y < by + kBlock; ++y) {
            for (int x = bx; x < bx + kBlock; ++x) {
              const size_t i = (size_t(y) * got.width + x) * 3 + c;
              ours += got.rgb[i];
              theirs += want.rgb[i];
              total += std::abs(int(got.rgb[i]) - int(want.rgb[i]));
            }
          }
          worstBlock = std::max(worstBlock, std::abs(ours - theirs) / double(kBlock * kBlock));
        }
      }
    }
    const double mean = total / (double(got.width) * got.height * 3);
    EXPECT_LT(mean, test.meanTolerance);
    EXPECT_LT(worstBlock, 20.0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace
