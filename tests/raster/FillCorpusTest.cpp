// The fill paths of real pages, filled by the scan converter and by cairo at
// the same grid (4 x 4 samples per pixel: cairo's "fast" anti-aliasing),
// compared pixel row by pixel row. The paths come from mutool's trace of
// each page at test time, mapped to 144 dpi.
//
// Tolerance per pixel row: 2% of the row's covered area, plus what the two
// sampling rules may differ by (SamplingAllowance.h): cairo counts the
// sub-pixels whose centre lies inside, the converter also every sub-pixel an
// edge touches.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "raster/PathEdges.h"
#include "raster/PathScanConverter.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"
#include "tests/raster/CoverageRaster.h"
#include "tests/raster/SamplingAllowance.h"

namespace {

constexpr double kScale = 2.0;  // 144 dpi
constexpr int kSamples = 4;     // sub-rows and sub-columns per pixel

std::string FillCorpusDir() {
  const char* dir = std::getenv("FOLVANE_CORPUS_DIR");
  return dir != nullptr ? dir : FOLVANE_CORPUS_DIR;
}

bool FillCorpusRequired() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

// One fill of the trace in device pixels: closed sub-paths of points, the
// curves kept as cubics.
struct TracedFill {
  struct Element {
    char kind;  // 'm', 'l', 'c', 'h'
    double p[6];
  };
  std::vector<Element> elements;
  bool evenOdd = false;
};

double AttributeOf(const std::string& line, const char* name) {
  const std::string key = std::string(" ") + name + "=\"";
  const size_t at = line.find(key);
  return at == std::string::npos ? 0.0 : std::atof(line.c_str() + at + key.size());
}

std::array<double, 6> TransformOf(const std::string& line) {
  std::array<double, 6> m{1, 0, 0, 1, 0, 0};
  const size_t at = line.find(" transform=\"");
  if (at == std::string::npos) return m;
  std::istringstream values(line.substr(at + 12));
  for (double& v : m) values >> v;
  return m;
}

std::vector<TracedFill> TraceFills(const std::string& file, int page) {
  std::vector<TracedFill> fills;
  const std::string command = "mutool trace '" + file + "' " + std::to_string(page) + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return fills;
  std::string line;
  char buffer[4096];
  bool inFill = false;
  std::array<double, 6> m{};
  auto map = [&](double x, double y, double* out) {
    out[0] = kScale * (m[0] * x + m[2] * y + m[4]);
    out[1] = kScale * (m[1] * x + m[3] * y + m[5]);
  };
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    line = buffer;
    if (line.find("<fill_path ") != std::string::npos) {
      inFill = true;
      m = TransformOf(line);
      fills.push_back({});
      fills.back().evenOdd = line.find("winding=\"eofill\"") != std::string::npos ||
                             line.find("winding=\"evenodd\"") != std::string::npos;
    } else if (line.find("</fill_path>") != std::string::npos) {
      inFill = false;
    } else if (inFill) {
      TracedFill::Element e{};
      if (line.find("<moveto ") != std::string::npos) {
        e.kind = 'm';
        map(AttributeOf(line, "x"), AttributeOf(line, "y"), e.p);
      } else if (line.find("<lineto ") != std::string::npos) {
        e.kind = 'l';
        map(AttributeOf(line, "x"), AttributeOf(line, "y"), e.p);
      } else if (line.find("<curveto ") != std::string::npos) {
        e.kind = 'c';
        map(AttributeOf(line, "x1"), AttributeOf(line, "y1"), e.p);
        map(AttributeOf(line, "x2"), AttributeOf(line, "y2"), e.p + 2);
        map(AttributeOf(line, "x3"), AttributeOf(line, "y3"), e.p + 4);
      } else if (line.find("<closepath") != std::string::npos) {
        e.kind = 'h';
      } else {
        continue;
      }
      fills.back().elements.push_back(e);
    }
  }
  pclose(pipe);
  return fills;
}

double Snap(double v) { return runtime::FixedToDouble(runtime::FixedFromFloat(v) & ~1); }

// The fill flattened into straight segments (fine chords for curves), for
// the tolerance.
std::vector<std::array<double, 4>> Segments(const TracedFill& fill) {
  std::vector<std::array<double, 4>> segments;
  double cx = 0, cy = 0, sx = 0, sy = 0;
  bool open = false;
  for (const TracedFill::Element& e : fill.elements) {
    if (e.kind == 'm') {
      if (open && (cx != sx || cy != sy)) segments.push_back({cx, cy, sx, sy});
      cx = sx = Snap(e.p[0]);
      cy = sy = Snap(e.p[1]);
      open = true;
    } else if (e.kind == 'l') {
      segments.push_back({cx, cy, Snap(e.p[0]), Snap(e.p[1])});
      cx = Snap(e.p[0]);
      cy = Snap(e.p[1]);
    } else if (e.kind == 'c') {
      const double q[6] = {Snap(e.p[0]), Snap(e.p[1]), Snap(e.p[2]), Snap(e.p[3]), Snap(e.p[4]), Snap(e.p[5])};
      double px = cx, py = cy;
      for (int k = 1; k <= 64; ++k) {
        const double t = k / 64.0, u = 1 - t;
        const double x = u * u * u * cx + 3 * u * u * t * q[0] + 3 * u * t * t * q[2] + t * t * t * q[4];
        const double y = u * u * u * cy + 3 * u * u * t * q[1] + 3 * u * t * t * q[3] + t * t * t * q[5];
        segments.push_back({px, py, x, y});
        px = x;
        py = y;
      }
      cx = q[4];
      cy = q[5];
    } else if (open) {
      if (cx != sx || cy != sy) segments.push_back({cx, cy, sx, sy});
      cx = sx;
      cy = sy;
    }
  }
  if (open && (cx != sx || cy != sy)) segments.push_back({cx, cy, sx, sy});
  return segments;
}

struct PageCase {
  const char* file;
  int page;
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.file << " page " << c.page; }

class FillCorpusTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(FillCorpusTest, RowsMatchCairoAtTheSameGrid) {
  const std::string path = FillCorpusDir() + "/pdf/" + GetParam().file;
  if (!std::filesystem::exists(path) || std::system("mutool -v >/dev/null 2>&1") != 0) {
    if (FillCorpusRequired()) FAIL() << "corpus file or mutool missing: " << path;
    GTEST_SKIP() << "corpus file or mutool missing";
  }
  const std::vector<TracedFill> fills = TraceFills(path, GetParam().page);
  ASSERT_FALSE(fills.empty());
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 16384, 4096);
  int compared = 0;
  for (size_t index = 0; index < fills.size() && index < 400; ++index) {
    const TracedFill& fill = fills[index];
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    raster::StoredPath stored(arena);
    for (const TracedFill::Element& e : fill.elements) {
      const int points = e.kind == 'c' ? 3 : (e.kind == 'h' ? 0 : 1);
      for (int i = 0; i < points; ++i) {
        x0 = std::min(x0, e.p[2 * i]), x1 = std::max(x1, e.p[2 * i]);
        y0 = std::min(y0, e.p[2 * i + 1]), y1 = std::max(y1, e.p[2 * i + 1]);
      }
      auto at = [&](int i) { return runtime::FixedPoint{runtime::FixedFromFloat(e.p[2 * i]), runtime::FixedFromFloat(e.p[2 * i + 1])}; };
      switch (e.kind) {
        case 'm': stored.MoveTo(at(0)); break;
        case 'l': stored.LineTo(at(0)); break;
        case 'c': stored.CurveTo(at(0), at(1), at(2)); break;
        default: stored.Close(); break;
      }
    }
    // The fill's pixels within a page of 1700 x 2200 (A4 and letter at 144 dpi).
    const runtime::IntRect target{std::max(0, static_cast<int>(std::floor(x0)) - 1),
                                  std::max(0, static_cast<int>(std::floor(y0)) - 1),
                                  std::min(1700, static_cast<int>(std::ceil(x1)) + 2),
                                  std::min(2200, static_cast<int>(std::ceil(y1)) + 2)};
    if (target.IsEmpty() || x1 - x0 > 1600 || fill.elements.empty()) continue;
    const int width = target.x1 - target.x0, height = target.y1 - target.y0;
    raster::PathScanConverter converter(&context, arena, stored.Points(), runtime::Matrix{}, target, fill.evenOdd);
    const std::vector<uint8_t> ours = testsupport::RenderCoverage(converter);

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_FAST);
    cairo_set_fill_rule(cr, fill.evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_translate(cr, -target.x0, -target.y0);
    for (const TracedFill::Element& e : fill.elements) {
      switch (e.kind) {
        case 'm': cairo_move_to(cr, Snap(e.p[0]), Snap(e.p[1])); break;
        case 'l': cairo_line_to(cr, Snap(e.p[0]), Snap(e.p[1])); break;
        case 'c':
          cairo_curve_to(cr, Snap(e.p[0]), Snap(e.p[1]), Snap(e.p[2]), Snap(e.p[3]), Snap(e.p[4]), Snap(e.p[5]));
          break;
        default: cairo_close_path(cr); break;
      }
    }
    cairo_fill(cr);
    cairo_surface_flush(surface);
    const uint8_t* theirs = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const std::vector<double> allowance = testsupport::SamplingAllowance(Segments(fill), target);
    for (int y = 0; y < height; ++y) {
      double a = 0, b = 0;
      for (int x = 0; x < width; ++x) {
        const uint8_t v = ours[static_cast<size_t>(y * width + x)];
        a += v == 255 ? 1.0 : v / 256.0;
        b += theirs[y * stride + x] / 255.0;
      }
      if (a == 0 && b == 0) continue;
      ++compared;
      EXPECT_LE(std::fabs(a - b), 0.02 * std::max(a, b) + allowance[static_cast<size_t>(y)])
          << "fill " << index << " row " << (target.y0 + y) << ": ours " << a << ", cairo " << b;
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    arena.Reset();
  }
  EXPECT_GT(compared, 0);
}

// Pages whose fills are shapes, strokes turned outlines, text outlines and
// hairline rules of many kinds.
const PageCase kFillPages[] = {
    {"bug1721218_reduced.pdf", 1}, {"issue12810.pdf", 1},      {"bug1703683_page2_reduced.pdf", 1},
    {"issue12798_page1_reduced.pdf", 1}, {"issue18032.pdf", 1}, {"issue19971.pdf", 1},
    {"pdfjs_wikipedia.pdf", 1},    {"transparent.pdf", 1},     {"issue840.pdf", 1},
    {"160F-2019.pdf", 1},
};

std::string FillPageName(const ::testing::TestParamInfo<PageCase>& info) {
  std::string name = std::to_string(info.index) + "_";
  for (const char* c = info.param.file; *c != '\0'; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name + "_p" + std::to_string(info.param.page);
}

INSTANTIATE_TEST_SUITE_P(CorpusPages, FillCorpusTest, ::testing::ValuesIn(kFillPages), FillPageName);

}  // namespace
