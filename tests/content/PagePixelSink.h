#pragma once
// Keeps the rows of a rendered page as RGB pixels, for tests that check
// colours of a page the page renderer painted.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "content/PageRenderer.h"
#include "fonts/DocumentFontSource.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/SmallPdfFile.h"

namespace contenttest {

class PagePixelSink final : public content::PageRowSink {
 public:
  using Rgb = std::array<int, 3>;

  void Begin(int32_t width, int32_t height) override {
    width_ = width;
    pixels_.assign(static_cast<size_t>(width) * height * 3, 0);
  }
  void Rows(int32_t y0, int32_t count, int32_t width, const uint8_t* first, int64_t rowStep) override {
    for (int32_t k = 0; k < count; ++k)
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t* p = first + k * rowStep + 4 * x;
        uint8_t* out = &pixels_[(static_cast<size_t>(y0 + k) * width_ + x) * 3];
        out[0] = p[2], out[1] = p[1], out[2] = p[0];
      }
  }
  // Device pixel (x, y), y from the top.
  Rgb At(int x, int y) const {
    const uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 3];
    return {p[0], p[1], p[2]};
  }

 private:
  int32_t width_ = 0;
  std::vector<uint8_t> pixels_;
};

// Renders the first page of a small file made of `objects` (object 1 the
// catalog) at `dpi` into `sink`, telling `target` what is not painted;
// `formBuilds` (when given) receives how many forms the form cache parsed.
inline content::PageRenderer::Result RenderSmallFilePage(const std::vector<std::string>& objects,
                                                         PagePixelSink& sink, content::PaintTarget* target,
                                                         uint32_t* formBuilds = nullptr, double dpi = 72.0) {
  runtime::LibraryContext context;
  const std::string bytes = testsupport::SmallPdfFile(objects);
  pdftest::OpenDocument document(&context, bytes);
  color::ColorContext colors(&context, &*document);
  fonts::DocumentFontSource fonts(*document);
  content::PageRenderer renderer(*document, colors, &fonts);
  const content::PageRenderer::Result result = renderer.Render(0, dpi, sink, target);
  if (formBuilds != nullptr) *formBuilds = renderer.Forms().Builds();
  return result;
}

}  // namespace contenttest
