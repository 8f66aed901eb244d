// Drawing image XObjects as the painter draws them: the description read,
// the colour space resolved, the rows decoded through the chain and
// composited into a 1024 x 1024 page device in the document's RGB space.
// Cases: a 2000 x 3000 RGB JPEG at 50% and 200%, a 1000 x 1000 Flate RGB
// image at 100%, and the same JPEG under a soft mask of its size; beside
// mutool rendering the same one-page PDF (its whole process, same run).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "color/ColorContext.h"
#include "content/ImageDraw.h"
#include "pdf/Document.h"
#include "platform/Files.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/FileStream.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/JpegEncoder.h"
#include "tests/support/SmallPdfFile.h"

namespace {

constexpr int kDevice = 1024;

// A page of kDevice points drawing object 5 `scale` points a pixel from the
// top-left corner; `extra` are objects 6, ...
std::string ImagePage(int width, int height, const std::string& entries, const std::string& data, double scale,
                      const std::vector<std::string>& extra = {}) {
  return testsupport::OneImagePagePdf(kDevice, width, height, entries, data, scale, extra);
}

struct Fixture {
  std::string path;
  double scale = 1;
  int width = 0, height = 0;
};

struct Fixtures {
  std::string folder;
  Fixture dct50, dct200, flate100, masked50;
  bool ok = false;
};

const Fixtures& Generated() {
  static const Fixtures fixtures = [] {
    Fixtures f;
    char pattern[] = "/tmp/folvane-image-draw-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return f;
    f.folder = pattern;
    const std::string jpeg = testsupport::EncodeJpeg(2000, 3000, 3, false);
    const std::string dct = "/ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode";
    const auto write = [&](Fixture& fixture, const std::string& name, const std::string& file, int w, int h,
                           double scale) {
      fixture.path = f.folder + "/" + name + ".pdf";
      fixture.scale = scale;
      fixture.width = w;
      fixture.height = h;
      std::ofstream(fixture.path, std::ios::binary) << file;
    };
    write(f.dct50, "dct50", ImagePage(2000, 3000, dct, jpeg, 0.5), 2000, 3000, 0.5);
    write(f.dct200, "dct200", ImagePage(2000, 3000, dct, jpeg, 2.0), 2000, 3000, 2.0);
    std::string rgb(size_t{1000} * 1000 * 3, '\0');
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<char>((i * 7 + i / 3000) & 0xff);
    write(f.flate100, "flate100",
          ImagePage(1000, 1000, "/ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode", pdftest::Deflate(rgb), 1.0),
          1000, 1000, 1.0);
    std::string alpha(size_t{2000} * 3000, '\0');
    for (size_t i = 0; i < alpha.size(); ++i) alpha[i] = static_cast<char>((i / 2000 + i % 2000) & 0xff);
    const std::string smask = testsupport::StreamBody(
        "/Type /XObject /Subtype /Image /Width 2000 /Height 3000 /ColorSpace /DeviceGray /BitsPerComponent 8 "
        "/Filter /FlateDecode",
        pdftest::Deflate(alpha));
    write(f.masked50, "masked50", ImagePage(2000, 3000, dct + " /SMask 6 0 R", jpeg, 0.5, {smask}), 2000, 3000, 0.5);
    f.ok = true;
    return f;
  }();
  return fixtures;
}

// Opens the PDF and draws its image into a page device of the document's
// RGB space, as the painter does.
bool DrawOnce(const Fixture& fixture) {
  runtime::LibraryContext context;
  bool drawn = false;
  runtime::ErrorTrap trap(&context);
  const bool ok = trap.Run([&] {
    streams::DataStoreRef file =
        streams::FileStream::Open(&context, platform::DevicePathFromHost(fixture.path).c_str());
    pdf::Document* document = pdf::Document::Open(&context, std::move(file));
    struct Closer {
      runtime::LibraryContext* context;
      pdf::Document* document;
      ~Closer() { runtime::DestroyAndFree(context, document); }
    } closer{&context, document};
    color::ColorContext colors(&context, document);
    color::ColorSpaceRef space = colors.DeviceRgb();
    runtime::ArenaAllocator arena(&context, 65536, 16384);
    content::ImageDrawContext draw;
    draw.context = &context;
    draw.arena = &arena;
    draw.layer = raster::RasterDevice::CreateForTarget(&context, arena, {0, 0, kDevice, kDevice}, space.Get());
    const runtime::Fixed w = runtime::FixedFromFloat(fixture.width * fixture.scale);
    const runtime::Fixed h = runtime::FixedFromFloat(fixture.height * fixture.scale);
    draw.ctm = runtime::Matrix{w, 0, 0, -h, 0, h};
    draw.colors = &colors;
    draw.document = document;
    drawn = !content::ImageDraw::DrawXObject(draw, document->GetObject(5, 0), nullptr).IsEmpty();
  });
  if (!ok) {
    trap.SetHandled();
    trap.Close();
  }
  return drawn;
}

void Ours(benchmark::State& state, const Fixture& fixture) {
  if (!Generated().ok) return state.SkipWithError("fixtures could not be made");
  for (auto _ : state) {
    if (!DrawOnce(fixture)) return state.SkipWithError("drawing failed");
  }
}

void Mutool(benchmark::State& state, const Fixture& fixture) {
  if (!Generated().ok) return state.SkipWithError("fixtures could not be made");
  const std::string command =
      "mutool draw -q -r 72 -o '" + Generated().folder + "/out.pnm' '" + fixture.path + "' 1 >/dev/null 2>&1";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return state.SkipWithError("mutool failed");
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}

void BM_DctAt50Ours(benchmark::State& state) { Ours(state, Generated().dct50); }
void BM_DctAt50Mutool(benchmark::State& state) { Mutool(state, Generated().dct50); }
void BM_DctAt200Ours(benchmark::State& state) { Ours(state, Generated().dct200); }
void BM_DctAt200Mutool(benchmark::State& state) { Mutool(state, Generated().dct200); }
void BM_FlateAt100Ours(benchmark::State& state) { Ours(state, Generated().flate100); }
void BM_FlateAt100Mutool(benchmark::State& state) { Mutool(state, Generated().flate100); }
void BM_SoftMaskedDctAt50Ours(benchmark::State& state) { Ours(state, Generated().masked50); }
void BM_SoftMaskedDctAt50Mutool(benchmark::State& state) { Mutool(state, Generated().masked50); }

}  // namespace

BENCHMARK(BM_DctAt50Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DctAt50Mutool)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_DctAt200Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DctAt200Mutool)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_FlateAt100Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FlateAt100Mutool)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_SoftMaskedDctAt50Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SoftMaskedDctAt50Mutool)->Unit(benchmark::kMillisecond)->UseManualTime();
