#include "tools/probe/RenderCommand.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "content/PageRenderer.h"
#include "content/ReflowPainter.h"
#include "fonts/DocumentFontSource.h"
#include "pdf/Document.h"
#include "pdf/PageTree.h"
#include "raster/HostRowWriter.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"

namespace probe {

namespace {

enum class OutputFormat { kRgb565, kRgb24, kRgb32 };

struct RenderOptions {
  std::string page;
  double dpi = 72.0;
  OutputFormat format = OutputFormat::kRgb24;
  bool stats = false;
  std::string output;
};

RenderOptions gRender;

// Writes the rows it is given to a PNG file (8-bit RGB), or nowhere.
class PngRowSink final : public content::PageRowSink {
 public:
  PngRowSink(runtime::LibraryContext* context, const std::string& path, OutputFormat format)
      : format_(format), arena_(context, 4096, 1024), to565_(arena_, runtime::kHostRgb565) {
    if (path == "-") return;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
      std::fprintf(stderr, "probe: cannot write %s\n", path.c_str());
      failed_ = true;
    }
  }
  ~PngRowSink() {
    if (png_ != nullptr) {
      if (!failed_ && setjmp(png_jmpbuf(png_)) == 0) png_write_end(png_, info_);
      png_destroy_write_struct(&png_, &info_);
    }
    if (file_ != nullptr) std::fclose(file_);
  }
  PngRowSink(const PngRowSink&) = delete;
  PngRowSink& operator=(const PngRowSink&) = delete;

  void Begin(int32_t width, int32_t height) override {
    if (file_ == nullptr || failed_) return;
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    info_ = png_ != nullptr ? png_create_info_struct(png_) : nullptr;
    if (info_ == nullptr || setjmp(png_jmpbuf(png_)) != 0) {
      failed_ = true;
      return;
    }
    png_init_io(png_, file_);
    png_set_IHDR(png_, info_, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png_, 1);
    png_write_info(png_, info_);
    row_.resize(static_cast<size_t>(width) * 3);
    words_.resize(static_cast<size_t>(width));
  }

  void Rows(int32_t y0, int32_t count, int32_t width, const uint8_t* first, int64_t rowStep) override {
    if (png_ == nullptr || failed_) return;
    if (setjmp(png_jmpbuf(png_)) != 0) {
      failed_ = true;
      return;
    }
    for (int32_t k = 0; k < count; ++k) {
      const uint8_t* source = first + k * rowStep;
      const int32_t y = y0 + k;
      if (format_ == OutputFormat::kRgb565) {
        // The device's 16-bit output, dithered as the viewer's bitmaps are,
        // widened back to 8 bits.
        runtime::HostPixelLayout layout;
        layout.kind = runtime::kHostRgb565;
        layout.width = width;
        layout.height = 1;
        layout.firstRow = reinterpret_cast<uint8_t*>(words_.data());
        layout.rowStride = int64_t{width} * 2;
        to565_.Write(layout, 0, 0, width, 1, source, rowStep, 0, y);
      }
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t* pixel = source + 4 * x;
        uint8_t* out = &row_[static_cast<size_t>(x) * 3];
        if (format_ == OutputFormat::kRgb565) {
          const uint16_t word = words_[static_cast<size_t>(x)];
          const int r = word >> 11, g = (word >> 5) & 63, b = word & 31;
          out[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
          out[1] = static_cast<uint8_t>((g << 2) | (g >> 4));
          out[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
        } else {
          out[0] = pixel[2];
          out[1] = pixel[1];
          out[2] = pixel[0];
        }
      }
      png_write_row(png_, row_.data());
    }
  }

  bool Failed() const { return failed_; }

 private:
  OutputFormat format_;
  std::FILE* file_ = nullptr;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  bool failed_ = false;
  std::vector<uint8_t> row_;
  std::vector<uint16_t> words_;
  runtime::ArenaAllocator arena_;
  raster::HostRowWriter to565_;
};

// Tells each kind of unpainted content once per page.
class ReportingTarget final : public content::PaintTarget {
 public:
  explicit ReportingTarget(int32_t page) : page_(page) {}
  void Notify(uint32_t a, uint32_t b, uint32_t c) override {
    if (b >= 5 || told_[b]) return;
    told_[b] = true;
    static const char* const kWhat[] = {"", "image not painted", "text in a font that cannot be drawn", "pattern not painted",
                                        "soft mask not applied"};
    std::fprintf(stderr, "probe: page %d: %s (%u, %u, %u)\n", page_ + 1, kWhat[b], a, b, c);
  }

 private:
  int32_t page_;
  bool told_[5] = {};
};

}  // namespace

bool ParseRenderOptions(int argc, char** argv) {
  gRender = RenderOptions{};
  if (argc < 4) return false;
  gRender.page = argv[3];
  for (int i = 4; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--stats") {
      gRender.stats = true;
    } else if (option == "--dpi" && i + 1 < argc) {
      gRender.dpi = std::atof(argv[++i]);
      if (!(gRender.dpi >= 1.0 && gRender.dpi <= 2400.0)) return false;
    } else if (option == "--format" && i + 1 < argc) {
      const std::string format = argv[++i];
      if (format == "rgb565") {
        gRender.format = OutputFormat::kRgb565;
      } else if (format == "rgb24") {
        gRender.format = OutputFormat::kRgb24;
      } else if (format == "rgb32") {
        gRender.format = OutputFormat::kRgb32;
      } else {
        return false;
      }
    } else if (option == "-o" && i + 1 < argc) {
      gRender.output = argv[++i];
    } else {
      return false;
    }
  }
  return !gRender.output.empty();
}

int RenderReflowed(pdf::Document& document, int32_t index, const content::ReflowModel& model, double dpi,
                   const std::string& path) {
  runtime::LibraryContext* context = document.Context();
  color::ColorContext colors(context, &document);
  fonts::DocumentFontSource fonts(document);
  content::ReflowPainter painter(document, colors, &fonts);
  PngRowSink sink(context, path, OutputFormat::kRgb24);
  ReportingTarget target(index);
  const content::PageRenderer::Result result = painter.Render(index, model, dpi, sink, &target);
  if (result.failed) std::fprintf(stderr, "probe: page %d: error %s %u\n", index + 1, result.error.domain, result.error.code);
  if (path != "-") std::fprintf(stderr, "wrote %s (%dx%d)\n", path.c_str(), result.width, result.height);
  return sink.Failed() ? 1 : 0;
}

int RenderPages(pdf::Document& document, const char* file) {
  runtime::LibraryContext* context = document.Context();
  const int32_t count = pdf::PageTree::CountPages(document);
  int32_t first = 0, end = count;
  if (gRender.page != "all") {
    char* stop = nullptr;
    const long number = std::strtol(gRender.page.c_str(), &stop, 10);
    if (stop == gRender.page.c_str() || *stop != '\0' || number < 1 || number > count) {
      std::fprintf(stderr, "probe: no page %s (the document has %d)\n", gRender.page.c_str(), count);
      return 1;
    }
    first = static_cast<int32_t>(number - 1);
    end = first + 1;
  }
  color::ColorContext colors(context, &document);
  fonts::DocumentFontSource fonts(document);
  content::PageRenderer renderer(document, colors, &fonts);
  int status = 0;
  for (int32_t index = first; index < end; ++index) {
    // Into a folder, each page is named after the file and its number.
    std::string path = gRender.output;
    if (path != "-" && std::filesystem::is_directory(path))
      path += "/" + std::filesystem::path(file).stem().string() + "-" + std::to_string(index + 1) + ".png";
    PngRowSink sink(context, path, gRender.format);
    ReportingTarget target(index);
    runtime::ErrorTrap trap(context);
    if (!trap.Run([&] {
          const content::PageRenderer::Result result = renderer.Render(index, gRender.dpi, sink, &target);
          if (result.failed)
            std::fprintf(stderr, "probe: page %d: error %s %u\n", index + 1, result.error.domain, result.error.code);
          if (path != "-") std::printf("wrote %s (%dx%d)\n", path.c_str(), result.width, result.height);
        })) {
      trap.SetHandled();
      if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
      std::fprintf(stderr, "probe: page %d: error %s %u\n", index + 1, trap.Held().domain, trap.Held().code);
      trap.Close();
      status = 1;
    }
    if (sink.Failed()) status = 1;
  }
  if (gRender.stats) {
    std::printf("peak memory: %llu bytes\n", static_cast<unsigned long long>(context->memory.peakBytes));
  }
  return status;
}

}  // namespace probe
