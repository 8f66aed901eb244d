// Painting images: a 2000 x 3000 RGB DCT image and a 5000 x 7000 1-bit
// CCITT image drawn at 50% and 200% on a 1024 x 1024 device, from opening
// the one-page PDF to the composited device, beside pdftoppm rendering the
// same PDF at the same size (its whole process, in the same run).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pdf/Document.h"
#include "pdf/StreamObject.h"
#include "platform/Files.h"
#include "raster/ConstantSources.h"
#include "raster/ImagePainter.h"
#include "raster/PixelRegion.h"
#include "raster/PlaneSource.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/FileStream.h"
#include "streams/ImageRowSource.h"
#include "tests/raster/TestColorSpace.h"
#include "tests/support/JpegEncoder.h"
#include "tests/support/SmallPdfFile.h"

namespace {

constexpr int kDevice = 1024;

std::string Run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

void WritePdf(const std::string& path, int width, int height, const std::string& entries, const std::string& data,
              double scale) {
  std::ofstream(path, std::ios::binary) << testsupport::OneImagePagePdf(kDevice, width, height, entries, data, scale);
}

struct Fixtures {
  std::string folder;
  std::string dct50, dct200, ccitt50, ccitt200;
  bool ok = false;
};

// G4 data of a 5000 x 7000 page of text-like strokes, through libtiff's
// tools: PBM, then a G4 TIFF, then tiff2pdf, whose image stream is read back.
bool MakeCcitt(const std::string& folder, std::string& entries, std::string& data) {
  const int w = 5000, h = 7000;
  std::string pbm = "P4\n" + std::to_string(w) + " " + std::to_string(h) + "\n";
  const int rowBytes = (w + 7) / 8;
  std::string bits(static_cast<size_t>(rowBytes) * h, '\0');
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool line = (y % 60) >= 20 && (y % 60) < 44 && ((x / 7 + y / 60) % 9) < 6 && ((x * 13 + y) % 17) < 9;
      if (line) bits[size_t(y) * rowBytes + x / 8] = static_cast<char>(bits[size_t(y) * rowBytes + x / 8] | (0x80 >> (x % 8)));
    }
  std::ofstream(folder + "/page.pbm", std::ios::binary) << pbm << bits;
  const std::string tools = "ppm2tiff '" + folder + "/page.pbm' '" + folder + "/page.tif' && tiffcp -c g4 '" + folder +
                            "/page.tif' '" + folder + "/g4.tif' && tiff2pdf -o '" + folder + "/g4.pdf' '" + folder +
                            "/g4.tif'";
  if (std::system((tools + " >/dev/null 2>&1").c_str()) != 0) return false;
  const std::string list = Run("pdfimages -list '" + folder + "/g4.pdf' 2>/dev/null | sed -n 3p");
  std::istringstream fields(list);
  std::string skip, object;
  for (int i = 0; i < 10; ++i) fields >> skip;
  fields >> object;
  if (object.empty()) return false;
  data = Run("qpdf --show-object=" + object + " --raw-stream-data '" + folder + "/g4.pdf'");
  const std::string dict = Run("qpdf --show-object=" + object + " '" + folder + "/g4.pdf'");
  const size_t parms = dict.find("/DecodeParms");
  if (parms == std::string::npos || data.empty()) return false;
  const size_t open = dict.find("<<", parms), close = dict.find(">>", parms);
  entries = "/ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /CCITTFaxDecode /DecodeParms " +
            dict.substr(open, close + 2 - open);
  return true;
}

const Fixtures& Generated() {
  static const Fixtures fixtures = [] {
    Fixtures f;
    char pattern[] = "/tmp/folvane-image-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return f;
    f.folder = pattern;
    const std::string jpeg = testsupport::EncodeJpeg(2000, 3000, 3, false);
    const std::string dct = "/ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode";
    f.dct50 = f.folder + "/dct50.pdf";
    f.dct200 = f.folder + "/dct200.pdf";
    WritePdf(f.dct50, 2000, 3000, dct, jpeg, 0.5);
    WritePdf(f.dct200, 2000, 3000, dct, jpeg, 2.0);
    std::string entries, g4;
    if (!MakeCcitt(f.folder, entries, g4)) return f;
    f.ccitt50 = f.folder + "/ccitt50.pdf";
    f.ccitt200 = f.folder + "/ccitt200.pdf";
    WritePdf(f.ccitt50, 5000, 7000, entries, g4, 0.5);
    WritePdf(f.ccitt200, 5000, 7000, entries, g4, 2.0);
    f.ok = true;
    return f;
  }();
  return fixtures;
}

// Opens the PDF, decodes the image's needed part through its chain and
// composites it into a kDevice x kDevice RGB device.
bool PaintOnce(const std::string& path, double scale) {
  runtime::LibraryContext context;
  bool painted = false;
  runtime::ErrorTrap trap(&context);
  const bool ok = trap.Run([&] {
    streams::DataStoreRef file = streams::FileStream::Open(&context, platform::DevicePathFromHost(path).c_str());
    pdf::Document* document = pdf::Document::Open(&context, std::move(file));
    struct Closer {
      runtime::LibraryContext* context;
      pdf::Document* document;
      ~Closer() { runtime::DestroyAndFree(context, document); }
    } closer{&context, document};
    runtime::ObjectHandle stream = document->GetObject(5, 0);
    runtime::ObjectHandle dict = stream.AsDictionary();
    raster::ImagePaintRequest request;
    raster::ImageDescriptor& image = request.image;
    image.width = runtime::Dictionary::GetInteger(dict, "Width");
    image.height = runtime::Dictionary::GetInteger(dict, "Height");
    image.bitsPerComponent = runtime::Dictionary::GetInteger(dict, "BitsPerComponent");
    const bool gray = image.bitsPerComponent == 1;
    image.components = gray ? 1 : 3;
    image.colorSpace = gray ? &rastertest::TestColorSpace::Gray() : nullptr;
    streams::ImageRowSource rows(&context, {image.width, image.height, image.bitsPerComponent, image.components},
                                 pdf::StreamObject::OpenData(*document, stream));
    runtime::ArenaAllocator arena(&context, 16384, 4096);
    request.rows = runtime::NewInArena<raster::StreamRowSource>(arena, &rows);
    const runtime::Fixed w = runtime::FixedFromFloat(image.width * scale);
    const runtime::Fixed h = runtime::FixedFromFloat(image.height * scale);
    request.matrix = runtime::Matrix{w, 0, 0, -h, 0, h};
    request.target = {0, 0, kDevice, kDevice};
    request.conversionTarget = &rastertest::TestColorSpace::Rgb();
    request.pipelineChannels = 3;
    raster::ImagePaintSource source;
    if (raster::ImagePainter::BuildSource(&context, arena, request, source) != 1) return;
    raster::RasterDevice* device = raster::RasterDevice::CreateForTarget(
        &context, arena, {0, 0, kDevice, kDevice}, &rastertest::TestColorSpace::Rgb());
    raster::PipelineNode* coverage =
        raster::PlaneSource::Create(arena, {raster::PixelPlane::Opaque(), raster::PixelPlane::Opaque(), nullptr});
    const raster::PixelRegion* region = raster::PixelRegion::FromRect(arena, source.area);
    device->PaintSource(*region, region, nullptr, coverage, source.sampler, nullptr);
    painted = true;
  });
  if (!ok) {
    trap.SetHandled();
    trap.Close();
  }
  return painted;
}

void Ours(benchmark::State& state, const std::string& path, double scale) {
  if (!Generated().ok) return state.SkipWithError("fixtures could not be made");
  for (auto _ : state) {
    if (!PaintOnce(path, scale)) return state.SkipWithError("painting failed");
  }
}

void Pdftoppm(benchmark::State& state, const std::string& path) {
  if (!Generated().ok) return state.SkipWithError("fixtures could not be made");
  const std::string command = "pdftoppm -r 72 -singlefile '" + path + "' '" + Generated().folder + "/out' >/dev/null 2>&1";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return state.SkipWithError("pdftoppm failed");
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}

void BM_DctAt50Ours(benchmark::State& state) { Ours(state, Generated().dct50, 0.5); }
void BM_DctAt50Pdftoppm(benchmark::State& state) { Pdftoppm(state, Generated().dct50); }
void BM_DctAt200Ours(benchmark::State& state) { Ours(state, Generated().dct200, 2.0); }
void BM_DctAt200Pdftoppm(benchmark::State& state) { Pdftoppm(state, Generated().dct200); }
void BM_CcittAt50Ours(benchmark::State& state) { Ours(state, Generated().ccitt50, 0.5); }
void BM_CcittAt50Pdftoppm(benchmark::State& state) { Pdftoppm(state, Generated().ccitt50); }
void BM_CcittAt200Ours(benchmark::State& state) { Ours(state, Generated().ccitt200, 2.0); }
void BM_CcittAt200Pdftoppm(benchmark::State& state) { Pdftoppm(state, Generated().ccitt200); }

BENCHMARK(BM_DctAt50Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DctAt50Pdftoppm)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_DctAt200Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DctAt200Pdftoppm)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CcittAt50Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CcittAt50Pdftoppm)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CcittAt200Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CcittAt200Pdftoppm)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
