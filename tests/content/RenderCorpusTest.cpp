// Pages of the corpus rendered through the probe ("render"), the painter's
// whole path to pixels:
//   - every page of every file renders without crash, hang or sanitizer
//     report, within the device's 10 MiB budget (both builds);
//   - the first page of every file at 72 dpi is compared with mutool's
//     rendering of it, after a 3 x 3 box blur of both, by its PSNR; a page
//     below 25 dB fails unless it is listed below with the reason (normal
//     build only: it tests our logic, not memory safety).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <unistd.h>
#include <string>
#include <vector>

#include "tests/content/PageImages.h"
#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"

namespace {

using pageimages::Psnr;
using pageimages::ReadPng;
using pageimages::RgbImage;

constexpr double kMinimumPsnr = 25.0;
constexpr int kSecondsPerFile = 100;

// Why a page stays below 25 dB.
enum Reason {
  kJpx,            // JPX images are not decoded: reported, not drawn
  kBrokenImage,    // image data that do not decode: reported and passed
                   // over here, painted black by mutool
  kImageFiltering, // a reduced 1-bit image of fine lines: averaging here,
                   // other filtering in mutool, the same picture
  kImageDiffers,   // a 1 x 1 JPEG stretched over the page: drawn dark here,
                   // white by mutool and pdftoppm; not yet understood
  kBlendModes,     // images under the non-separable blend modes (Hue,
                   // Saturation, Color, Luminosity) differ
  kReferenceDiffers,  // mutool draws nothing, black or other colours (it
                      // has no colour management) where pdftoppm (and
                      // jbig2dec for JBIG2 refinement) agree with our page
  kPatterns,       // a pattern's cells or shading differ: text, optional
                   // content or colour spaces inside them
  kAnnotations,    // annotations differ: appearances mutool makes for
                   // annotations that have none, or their contents
  kFonts,          // a font that is not drawn: a non-embedded composite font
                   // outside the CJK collections (no substitute), a broken
                   // embedded program, or a font dictionary that fails
  kSubstitute,     // text drawn with a substitute for a missing font
  kSoftMasks,      // a luminosity mask's transfer function: applied to the
                   // backdrop outside the group's box here, not by mutool
                   // and pdftoppm
  kContentError,   // the page's content raises an error before its end, or
                   // the document does not open (an encryption we do not
                   // support, a broken file mutool repairs)
  kStreamLength,   // a stream whose Length is wrong: its data end at Length
                   // here, mutool and pdftoppm look for "endstream"
  kFixedRange,     // user-space coordinates beyond the fixed-point range
                   // (above 32767) are clamped
  kOptionalContent,  // content in an optional-content group that is off is
                     // painted here
  kCidWidths,      // a CID font's W array of a one-width list followed by
                   // an overlapping range: every CID of the range gets its
                   // width here, mutool and pdftoppm give the letters the
                   // default width; not yet understood
  kColourValues,   // colours differ: CMYK and calibrated spaces go through
                   // profiles here, through plain formulas in the mutool
                   // build used (no ICC); small pages magnify the rest
};

// The first pages below 25 dB, each with its reason (first one found).
const std::map<std::string, Reason>& KnownDifferences() {
  static const std::map<std::string, Reason> known = {
      {"jbig2/bitmap-symbol-texthuffrefinecustom.pdf", kReferenceDiffers},
      {"jbig2/bitmap-symbol-texthuffrefinecustomposdims.pdf", kReferenceDiffers},
      {"ccitt/bug1815476.pdf", kContentError},
      {"ccitt/freeculture.pdf", kImageFiltering},
      {"jbig2/bitmap-composite-or-xor-replace-refine.pdf", kReferenceDiffers},
      {"jbig2/bitmap-halftone-refine.pdf", kReferenceDiffers},
      {"jbig2/bitmap-refine-customat-tpgron.pdf", kReferenceDiffers},
      {"jbig2/bitmap-refine-customat.pdf", kReferenceDiffers},
      {"jbig2/bitmap-refine-page-subrect.pdf", kReferenceDiffers},
      {"jbig2/bitmap-refine-tpgron.pdf", kReferenceDiffers},
      {"jbig2/bitmap-refine.pdf", kReferenceDiffers},
      {"jbig2/bitmap-symbol-symhuffrefineone.pdf", kReferenceDiffers},
      {"jbig2/bitmap-symbol-symhuffrefineseveral.pdf", kReferenceDiffers},
      {"jbig2/bitmap-symbol-texthuffrefine.pdf", kReferenceDiffers},
      {"jbig2/bitmap-symbol-texthuffrefinecustomdims.pdf", kReferenceDiffers},
      {"jbig2/bitmap-symbol-texthuffrefinecustomsize.pdf", kReferenceDiffers},
      {"jbig2/bitmap-trailing-7fff-stripped-harder-refine.pdf", kReferenceDiffers},
      {"jbig2/jbig2_file_header.pdf", kReferenceDiffers},
      {"pdf/IndexedCS_negative_and_high.pdf", kColourValues},
      {"pdf/PDFBOX-3148-2-fuzzed.pdf", kContentError},
      {"pdf/PDFBOX-4352-0.pdf", kContentError},
      {"pdf/S2.pdf", kJpx},
      {"pdf/ThuluthFeatures.pdf", kFonts},
      {"pdf/blendmode.pdf", kBlendModes},
      {"pdf/bug1250079.pdf", kContentError},
      {"pdf/bug1538111.pdf", kAnnotations},
      {"pdf/bug1782186.pdf", kContentError},
      {"pdf/bug1980958.pdf", kContentError},
      {"pdf/bug2055455.pdf", kAnnotations},
      {"pdf/bug920426.pdf", kFonts},
      {"pdf/bug_jpx.pdf", kJpx},
      {"pdf/calgray.pdf", kReferenceDiffers},
      {"pdf/checkbox_no_appearance.pdf", kAnnotations},
      {"pdf/close-path-bug.pdf", kContentError},
      {"pdf/colors.pdf", kFixedRange},
      {"pdf/empty_protected.pdf", kContentError},
      {"pdf/encrypted-attachment.pdf", kContentError},
      {"pdf/filled-background.pdf", kContentError},
      {"pdf/function_based_shading_cmyk.pdf", kColourValues},
      {"pdf/helloworld-bad.pdf", kContentError},
      {"pdf/issue10519_reduced.pdf", kFonts},
      {"pdf/issue10542_reduced.pdf", kContentError},
      {"pdf/issue10572.pdf", kPatterns},
      {"pdf/issue11242_reduced.pdf", kFonts},
      {"pdf/issue11913.pdf", kFonts},
      {"pdf/issue12295.pdf", kSubstitute},
      {"pdf/issue12798_page1_reduced.pdf", kColourValues},
      {"pdf/issue13343.pdf", kFonts},
      {"pdf/issue1350.pdf", kFonts},
      {"pdf/issue13916.pdf", kFonts},
      {"pdf/issue14462_reduced.pdf", kFonts},
      {"pdf/issue15441.pdf", kFonts},
      {"pdf/issue15443.pdf", kFonts},
      {"pdf/issue15716.pdf", kFonts},
      {"pdf/issue15893_reduced.pdf", kContentError},
      {"pdf/issue15977_reduced.pdf", kFonts},
      {"pdf/issue17065.pdf", kReferenceDiffers},
      {"pdf/issue17069.pdf", kContentError},
      {"pdf/issue17554.pdf", kContentError},
      {"pdf/issue18030.pdf", kFonts},
      {"pdf/issue18042.pdf", kBrokenImage},
      {"pdf/issue19550.pdf", kFonts},
      {"pdf/issue20062.pdf", kAnnotations},
      {"pdf/issue269_1.pdf", kOptionalContent},
      {"pdf/issue2884_reduced.pdf", kFonts},
      {"pdf/issue4722.pdf", kFonts},
      {"pdf/issue5244.pdf", kFonts},
      {"pdf/issue5475.pdf", kJpx},
      {"pdf/issue5501.pdf", kFonts},
      {"pdf/issue5549.pdf", kJpx},
      {"pdf/issue5801.pdf", kFonts},
      {"pdf/issue5954.pdf", kFonts},
      {"pdf/issue6010_1.pdf", kContentError},
      {"pdf/issue6019.pdf", kSubstitute},
      {"pdf/issue6069.pdf", kContentError},
      {"pdf/issue6108.pdf", kStreamLength},
      {"pdf/issue6413.pdf", kImageDiffers},
      {"pdf/issue7074_reduced.pdf", kFonts},
      {"pdf/issue7454.pdf", kSubstitute},
      {"pdf/issue7665.pdf", kContentError},
      {"pdf/issue7835.pdf", kFonts},
      {"pdf/issue7901.pdf", kFonts},
      {"pdf/issue8702.pdf", kSubstitute},
      {"pdf/issue9084.pdf", kFonts},
      {"pdf/issue9243.pdf", kSubstitute},
      {"pdf/issue9915_reduced.pdf", kCidWidths},
      {"pdf/issue9972-3.pdf", kContentError},
      {"pdf/jp2k-resetprob.pdf", kJpx},
      {"pdf/jpx_smaskindata.pdf", kJpx},
      {"pdf/named_dest_collision_for_editor.pdf", kContentError},
      {"pdf/non-embedded-NuptialScript.pdf", kSubstitute},
      {"pdf/operator_list_cycle.pdf", kContentError},
      {"pdf/outline_goto_action.pdf", kContentError},
      {"pdf/postscript_type4_many_outputs.pdf", kColourValues},
      {"pdf/pr6531_2.pdf", kContentError},
      {"pdf/rc_annotation.pdf", kAnnotations},
      // A stamp whose appearance draws a JPX image.
      {"pdf/red_stamp.pdf", kJpx},
      {"pdf/saslprep-r6.pdf", kContentError},
      {"pdf/smask_luminosity_oob_transfer.pdf", kSoftMasks},
      {"pdf/tiling-pattern-large-steps.pdf", kReferenceDiffers},
      {"pdf/transparent.pdf", kColourValues},
      {"pdf/xref_command_missing.pdf", kContentError},
  };
  return known;
}

// mutool draws every first page of a group in one process ("mutool run"
// with this script, as "mutool draw -r 72" would, annotations included):
// starting mutool for each file cost more than drawing most pages.
constexpr const char* kMutoolScript = R"(var a = scriptArgs;
for (var i = 0; i + 1 < a.length; i += 2) {
  try {
    var page = new Document(a[i]).loadPage(0);
    page.toPixmap([1, 0, 0, 1, 0, 0], DeviceRGB, false).saveAsPNG(a[i + 1]);
  } catch (e) {}
}
)";

std::string Stem(const std::string& file) { return std::filesystem::path(file).stem().string(); }

bool HaveMutool() { return std::system("mutool -v >/dev/null 2>&1") == 0; }

class RenderCorpusTest : public ::testing::TestWithParam<int> {};

TEST_P(RenderCorpusTest, EveryPageRendersWithoutCrashOrHang) {
  const std::vector<std::string> files = pdftest::CorpusGroup(GetParam());
  std::vector<std::string> paths;
  for (const std::string& file : files) paths.push_back(pdftest::CorpusDir() + "/" + file);
  const pdftest::SweepResult sweep = pdftest::SweepWithProbe("render all --dpi 72 -o -", paths, kSecondsPerFile);
  ASSERT_NE(sweep.processStatus, -1) << "the sweep's shell did not answer";
  EXPECT_TRUE(sweep.processStatus == 0 || sweep.processStatus == 1)
      << "the probe ended with status " << sweep.processStatus;
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_TRUE(sweep.statuses[i] == 0 || sweep.statuses[i] == 1) << files[i] << ": status " << sweep.statuses[i];
  }
}

// The sanitizer build renders every page in the combined sweep.
INSTANTIATE_TEST_SUITE_P(Corpus, RenderCorpusTest, ::testing::ValuesIn(pdftest::NormalBuildCorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RenderCorpusTest);

class RenderCompareTest : public ::testing::TestWithParam<int> {};

TEST_P(RenderCompareTest, FirstPagesMatchMutoolAfterABlur) {
  if (!HaveMutool()) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "mutool is missing";
    GTEST_SKIP() << "mutool is missing";
  }
  const std::vector<std::string> files = pdftest::CorpusGroup(GetParam());
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("folvane-render-" + std::to_string(GetParam()) + "-" +
                                                std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::vector<std::string> paths;
  for (const std::string& file : files) paths.push_back(pdftest::CorpusDir() + "/" + file);
  pdftest::SweepWithProbe("render 1 --dpi 72 -o '" + dir.string() + "'", paths, kSecondsPerFile);
  const std::string script = (dir / "draw.js").string();
  if (FILE* file = std::fopen(script.c_str(), "w")) {
    std::fputs(kMutoolScript, file);
    std::fclose(file);
  }
  std::string arguments;
  for (size_t i = 0; i < files.size(); ++i)
    arguments += " '" + paths[i] + "' '" + (dir / (Stem(files[i]) + "-ref.png")).string() + "'";
  pdftest::RunCommand("timeout " + std::to_string(kSecondsPerFile * static_cast<int>(files.size())) +
                      " mutool run '" + script + "'" + arguments + " >/dev/null 2>&1");
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string stem = Stem(files[i]);
    const std::string reference = (dir / (stem + "-ref.png")).string();
    // A page mutool does not render is not compared.
    RgbImage theirs, ours;
    if (!ReadPng(reference, theirs)) {
      std::printf("psnr %s: mutool renders no page\n", files[i].c_str());
      continue;
    }
    const bool rendered = ReadPng((dir / (stem + "-1.png")).string(), ours);
    const double psnr = rendered ? Psnr(ours, theirs) : 0.0;
    std::printf("psnr %s: %.2f dB\n", files[i].c_str(), psnr);
    const auto known = KnownDifferences().find(files[i]);
    if (known != KnownDifferences().end()) continue;
    EXPECT_TRUE(rendered) << files[i] << ": no page rendered";
    if (rendered) {
      EXPECT_LE(std::abs(ours.width - theirs.width), 2) << files[i];
      EXPECT_LE(std::abs(ours.height - theirs.height), 2) << files[i];
    }
    EXPECT_GE(psnr, kMinimumPsnr) << files[i];
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

// Pages whose image masks paint a fill colour through a clip: their colour
// channels once took coverage from the neighbouring mask bytes, past the end
// of the span too, so that the bytes of each render differed. A page must
// come out byte for byte the same every time it is rendered.
TEST(RenderRepeatTest, ImageMaskPagesRenderTheSameEveryTime) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("folvane-repeat-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const char* file : {"pdf/bug1799927.pdf", "pdf/chrome-text-selection-markedContent.pdf"}) {
    SCOPED_TRACE(file);
    const std::string path = pdftest::CorpusDir() + "/" + file;
    if (!std::filesystem::exists(path)) {
      if (pdftest::UnderContinuousIntegration()) ADD_FAILURE() << "missing from the corpus";
      continue;
    }
    std::vector<RgbImage> renders(3);
    for (size_t i = 0; i < renders.size(); ++i) {
      const std::string out = (dir / ("page-" + std::to_string(i) + ".png")).string();
      pdftest::RunProbe("render '" + path + "' 1 --dpi 72 -o '" + out + "'");
      ASSERT_TRUE(ReadPng(out, renders[i])) << "render " << i;
    }
    for (size_t i = 1; i < renders.size(); ++i) {
      EXPECT_EQ(renders[i].width, renders[0].width);
      EXPECT_EQ(renders[i].height, renders[0].height);
      EXPECT_TRUE(renders[i].pixels == renders[0].pixels) << "render " << i << " differs from the first";
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

INSTANTIATE_TEST_SUITE_P(Corpus, RenderCompareTest, ::testing::ValuesIn(pdftest::ReferenceCorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RenderCompareTest);

}  // namespace
