// Smooth shadings over a 1024 x 1024 RGB page device beside cairo drawing
// the same shadings on an image surface of the same size: an axial and a
// radial gradient, a 10,000-triangle free-form mesh and a 100-patch Coons
// mesh. Each iteration builds the shading from its PDF objects and paints
// it; cairo builds its pattern and paints it.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "color/Shading.h"
#include "pdf/Document.h"
#include "raster/PlaneSource.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaScope.h"
#include "streams/MemoryDataSource.h"
#include "tests/raster/TestColorSpace.h"
#include "tests/support/SmallPdfFile.h"

namespace {

constexpr int32_t kSide = 1024;
constexpr int kGridColumns = 100, kGridRows = 50;  // 10,000 triangles
constexpr int kPatchGrid = 10;                     // 100 patches

const std::string kRedToBlue = "<< /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >>";

uint8_t ColourAt(int i, int j, int c) { return static_cast<uint8_t>((i * 37 + j * 91 + c * 113) % 256); }

struct Bits {
  std::string bytes;
  void Byte(uint32_t v) { bytes.push_back(static_cast<char>(v)); }
  void Word(uint32_t v) {
    Byte(v >> 8);
    Byte(v & 0xFF);
  }
};

// Grid point (i, j) of an n x m grid over the page, in 16-bit raw values
// of Decode [0 1024].
uint32_t GridRaw(int i, int n) { return static_cast<uint32_t>(static_cast<int64_t>(i) * 65535 / n); }
double GridPixel(int i, int n) { return double(GridRaw(i, n)) * kSide / 65535; }

std::string TriangleMesh() {
  Bits bits;
  auto vertex = [&](int i, int j) {
    bits.Byte(0);
    bits.Word(GridRaw(i, kGridColumns));
    bits.Word(GridRaw(j, kGridRows));
    for (int c = 0; c < 3; ++c) bits.Byte(ColourAt(i, j, c));
  };
  for (int j = 0; j < kGridRows; ++j)
    for (int i = 0; i < kGridColumns; ++i) {
      if ((i + j) % 2 == 0) {
        vertex(i, j), vertex(i + 1, j), vertex(i, j + 1);
      } else {
        vertex(i + 1, j), vertex(i + 1, j + 1), vertex(i, j + 1);
      }
    }
  return testsupport::StreamBody("/ShadingType 4 /ColorSpace /DeviceRGB /BitsPerCoordinate 16 /BitsPerComponent 8 "
                                 "/BitsPerFlag 8 /Decode [0 1024 0 1024 0 1 0 1 0 1]",
                                 bits.bytes);
}

// The 12 boundary points of patch (i, j) in stream order, straight edges
// with control points at the thirds.
std::vector<std::pair<double, double>> PatchPoints(int i, int j) {
  const double x0 = double(i) * kSide / kPatchGrid, y0 = double(j) * kSide / kPatchGrid;
  const double s = double(kSide) / kPatchGrid;
  const double t[4] = {0, s / 3, 2 * s / 3, s};
  return {{x0, y0},        {x0, y0 + t[1]}, {x0, y0 + t[2]}, {x0, y0 + s},       {x0 + t[1], y0 + s}, {x0 + t[2], y0 + s},
          {x0 + s, y0 + s}, {x0 + s, y0 + t[2]}, {x0 + s, y0 + t[1]}, {x0 + s, y0}, {x0 + t[2], y0}, {x0 + t[1], y0}};
}

std::string PatchMesh() {
  Bits bits;
  for (int j = 0; j < kPatchGrid; ++j)
    for (int i = 0; i < kPatchGrid; ++i) {
      bits.Byte(0);
      for (auto [x, y] : PatchPoints(i, j)) {
        bits.Word(static_cast<uint32_t>(x * 65535 / kSide));
        bits.Word(static_cast<uint32_t>(y * 65535 / kSide));
      }
      for (int corner = 0; corner < 4; ++corner)
        for (int c = 0; c < 3; ++c) bits.Byte(ColourAt(i + corner % 2, j + corner / 2, c));
    }
  return testsupport::StreamBody("/ShadingType 6 /ColorSpace /DeviceRGB /BitsPerCoordinate 16 /BitsPerComponent 8 "
                                 "/BitsPerFlag 8 /Decode [0 1024 0 1024 0 1 0 1 0 1]",
                                 bits.bytes);
}

// Object 2 is the shading, object 3 its function.
struct Page {
  explicit Page(const std::string& shading)
      : file(testsupport::SmallPdfFile({"<< /Type /Catalog >>", shading, kRedToBlue})) {
    auto source = streams::MakeRef<streams::MemoryDataSource>(&context, reinterpret_cast<const uint8_t*>(file.data()),
                                                              static_cast<uint32_t>(file.size()));
    document = pdf::Document::Open(&context, std::move(source));
    colors = new color::ColorContext(&context, document);
  }
  ~Page() {
    delete colors;
    runtime::DestroyAndFree(&context, document);
  }

  void Paint() {
    runtime::ArenaScope scope(arena);
    color::ShadingTarget target;
    target.context = &context;
    target.arena = &arena;
    target.colors = colors;
    target.space = colors->DeviceRgb();
    raster::PipelineNode* stage = color::Shading::Create(target, {0, 0, kSide, kSide}, {}, 0, true,
                                                         runtime::ObjectHandle(), document->GetObject(2, 0));
    device->PaintSource(*region, nullptr, nullptr, coverage, stage, nullptr);
  }

  std::string file;
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 65536, 16384};
  pdf::Document* document = nullptr;
  color::ColorContext* colors = nullptr;
  raster::RasterDevice* device = raster::RasterDevice::CreateForTarget(&context, arena, {0, 0, kSide, kSide},
                                                                       &rastertest::TestColorSpace::Rgb());
  const raster::PixelRegion* region = raster::PixelRegion::FromRect(arena, {0, 0, kSide, kSide});
  raster::PipelineNode* coverage = raster::PlaneSource::Create(
      arena, {raster::PixelPlane::Opaque(), raster::PixelPlane::Opaque(), nullptr});
};

void Report(benchmark::State& state) {
  state.counters["MP/s"] =
      benchmark::Counter(double(state.iterations()) * kSide * kSide / 1e6, benchmark::Counter::kIsRate);
}

void Ours(benchmark::State& state, const std::string& shading) {
  Page page(shading);
  for (auto _ : state) page.Paint();
  Report(state);
}

template <class MakePattern>
void Cairo(benchmark::State& state, MakePattern make) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSide, kSide);
  cairo_t* cr = cairo_create(surface);
  for (auto _ : state) {
    cairo_pattern_t* pattern = make();
    cairo_set_source(cr, pattern);
    cairo_paint(cr);
    cairo_pattern_destroy(pattern);
    cairo_surface_flush(surface);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  Report(state);
}

void BM_AxialOurs(benchmark::State& state) {
  Ours(state, "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [100 0 900 300] /Function 3 0 R >>");
}
void BM_AxialCairo(benchmark::State& state) {
  Cairo(state, [] {
    cairo_pattern_t* p = cairo_pattern_create_linear(100, 0, 900, 300);
    cairo_pattern_add_color_stop_rgb(p, 0, 1, 0, 0);
    cairo_pattern_add_color_stop_rgb(p, 1, 0, 0, 1);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_NONE);
    return p;
  });
}
void BM_RadialOurs(benchmark::State& state) {
  Ours(state, "<< /ShadingType 3 /ColorSpace /DeviceRGB /Coords [400 500 20 512 512 600] /Function 3 0 R >>");
}
void BM_RadialCairo(benchmark::State& state) {
  Cairo(state, [] {
    cairo_pattern_t* p = cairo_pattern_create_radial(400, 500, 20, 512, 512, 600);
    cairo_pattern_add_color_stop_rgb(p, 0, 1, 0, 0);
    cairo_pattern_add_color_stop_rgb(p, 1, 0, 0, 1);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_NONE);
    return p;
  });
}

void BM_TriangleMeshOurs(benchmark::State& state) { Ours(state, TriangleMesh()); }
void BM_TriangleMeshCairo(benchmark::State& state) {
  Cairo(state, [] {
    cairo_pattern_t* p = cairo_pattern_create_mesh();
    auto corner = [&](int k, int i, int j) {
      cairo_mesh_pattern_set_corner_color_rgb(p, k, ColourAt(i, j, 0) / 255.0, ColourAt(i, j, 1) / 255.0,
                                              ColourAt(i, j, 2) / 255.0);
    };
    for (int j = 0; j < kGridRows; ++j)
      for (int i = 0; i < kGridColumns; ++i) {
        int v[3][2];
        if ((i + j) % 2 == 0) {
          v[0][0] = i, v[0][1] = j, v[1][0] = i + 1, v[1][1] = j, v[2][0] = i, v[2][1] = j + 1;
        } else {
          v[0][0] = i + 1, v[0][1] = j, v[1][0] = i + 1, v[1][1] = j + 1, v[2][0] = i, v[2][1] = j + 1;
        }
        cairo_mesh_pattern_begin_patch(p);
        cairo_mesh_pattern_move_to(p, GridPixel(v[0][0], kGridColumns), GridPixel(v[0][1], kGridRows));
        cairo_mesh_pattern_line_to(p, GridPixel(v[1][0], kGridColumns), GridPixel(v[1][1], kGridRows));
        cairo_mesh_pattern_line_to(p, GridPixel(v[2][0], kGridColumns), GridPixel(v[2][1], kGridRows));
        for (int k = 0; k < 3; ++k) corner(k, v[k][0], v[k][1]);
        corner(3, v[0][0], v[0][1]);
        cairo_mesh_pattern_end_patch(p);
      }
    return p;
  });
}

void BM_PatchMeshOurs(benchmark::State& state) { Ours(state, PatchMesh()); }
void BM_PatchMeshCairo(benchmark::State& state) {
  Cairo(state, [] {
    cairo_pattern_t* p = cairo_pattern_create_mesh();
    for (int j = 0; j < kPatchGrid; ++j)
      for (int i = 0; i < kPatchGrid; ++i) {
        const auto points = PatchPoints(i, j);
        cairo_mesh_pattern_begin_patch(p);
        cairo_mesh_pattern_move_to(p, points[0].first, points[0].second);
        for (int side = 0; side < 4; ++side) {
          const auto& a = points[3 * side + 1];
          const auto& b = points[3 * side + 2];
          const auto& c = points[(3 * side + 3) % 12];
          cairo_mesh_pattern_curve_to(p, a.first, a.second, b.first, b.second, c.first, c.second);
        }
        for (int corner = 0; corner < 4; ++corner) {
          const int ci = i + corner % 2, cj = j + corner / 2;
          cairo_mesh_pattern_set_corner_color_rgb(p, corner, ColourAt(ci, cj, 0) / 255.0, ColourAt(ci, cj, 1) / 255.0,
                                                  ColourAt(ci, cj, 2) / 255.0);
        }
        cairo_mesh_pattern_end_patch(p);
      }
    return p;
  });
}

BENCHMARK(BM_AxialOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AxialCairo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RadialOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RadialCairo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TriangleMeshOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TriangleMeshCairo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PatchMeshOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PatchMeshCairo)->Unit(benchmark::kMillisecond);

}  // namespace
