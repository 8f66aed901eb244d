#pragma once
// Renders one page of a document into rows of device pixels: the page's
// program is parsed once and played into the painter band by band, each
// band a raster device of at most kBandBytes, so that a page of any size
// renders within the memory budget. The rows of each band go to a sink as
// 4-byte pixels (blue, green, red, unused), top to bottom.
//
//   color::ColorContext colors(context, &document);
//   fonts::DocumentFontSource fonts(document);
//   content::PageRenderer renderer(document, colors, &fonts);
//   const content::PageRenderer::Result result = renderer.Render(0, 72.0, sink, &target);
#include <cstdint>

#include "content/AnnotationAppearances.h"
#include "content/ContentHandler.h"
#include "content/FormCache.h"
#include "content/Renderer.h"
#include "raster/SmallImageCache.h"
#include "runtime/ErrorRecord.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace color {
class ColorContext;
}
namespace pdf {
class Document;
}

namespace content {

class PagePaintSetup;

class PageRowSink {
 public:
  // The page's size in pixels, before its first rows.
  virtual void Begin(int32_t width, int32_t height) {
    (void)width;
    (void)height;
  }
  // Rows y0 .. y0 + count - 1 of the page; row k starts at first + k x
  // rowStep and holds `width` pixels of 4 bytes.
  virtual void Rows(int32_t y0, int32_t count, int32_t width, const uint8_t* first, int64_t rowStep) = 0;

 protected:
  ~PageRowSink() = default;
};

class PageRenderer {
 public:
  // The pixels of one band (device planes) at most; a narrower page gets
  // taller bands.
  static constexpr int64_t kBandBytes = int64_t{4} << 20;
  // A page wider or taller than this many pixels is refused (runtime, 1).
  static constexpr int32_t kMaxPixels = 32767;

  struct Result {
    int32_t width = 0;
    int32_t height = 0;
    // The device pixels painted (empty when nothing was).
    runtime::IntRect painted{0, 0, 0, 0};
    // The first error the page's content raised; the page was still painted
    // as far as it went.
    bool failed = false;
    runtime::ErrorRecord error{};
  };

  // What paints one band of a page: given the band's paint context, it
  // plays content into it, keeping errors in the result.
  class BandPainter {
   public:
    virtual void PaintBand(PaintContext& paint, Result& result) = 0;

   protected:
    ~BandPainter() = default;
  };

  PageRenderer(pdf::Document& document, color::ColorContext& colors, FontSource* fonts);

  // Paints result.width x result.height pixels into `sink` (or only the
  // `wanted` columns and rows of them), band by band (each a device of at
  // most kBandBytes), each band's paint context set up over `page` and
  // handed to `painter`.
  static void PaintInBands(runtime::LibraryContext* context, color::ColorContext& colors, const PageInfo& page,
                           Result& result, PageRowSink& sink, BandPainter& painter,
                           const runtime::IntRect* wanted = nullptr);
  // Runs `play` on `renderer`: an error other than cancellation (or data
  // not yet available) ends the play and is kept in `result` when it is the
  // first; the renderer's painted pixels are added to the result.
  static void PlayKeepingError(Renderer& renderer, Result& result, void (*play)(void* user, Renderer& renderer),
                               void* user);

  // The matrix from the user space of a page with `box` and `rotation`
  // (degrees clockwise) to device pixels at `dpi`, and the device size.
  static runtime::Matrix PageMatrix(const runtime::Rect& box, int32_t rotation, double dpi, int32_t& width,
                                    int32_t& height);

  // A part of the page to render, for a viewer that shows the page in
  // pieces: the page turned further by `viewRotation` (degrees clockwise,
  // a multiple of 90), and only the device pixels inside `pixels`. The
  // sink's rows then start at column pixels.x0.
  struct Area {
    int32_t viewRotation = 0;
    runtime::IntRect pixels;
    // When set: the page's matrix (user space to device pixels of the
    // turned page) and its device size, as the viewer laid the page out,
    // in place of the ones made from the resolution. The viewer's scales
    // may differ along x and y; the pixels then land where its layout,
    // links and marks expect them.
    const runtime::Matrix* pageMatrix = nullptr;
    int32_t width = 0, height = 0;
  };

  // Renders page `index` (from 0) at `dpi` into `sink`, the whole page or
  // `area` of it. Errors of the page tree or of the page's size are raised;
  // errors of its content are kept in the result. Cancellation is always
  // raised.
  Result Render(int32_t index, double dpi, PageRowSink& sink, PaintTarget* target, const Area* area = nullptr);
  // The same from a page already set up: a viewer drawing several areas
  // of one page loads it, its resources and its content program once.
  Result Render(const PagePaintSetup& setup, double dpi, PageRowSink& sink, PaintTarget* target,
                const Area* area = nullptr);
  FormCache& Forms() { return forms_; }
  // Offered every annotation of the pages rendered from now on, before its
  // appearance (null: none).
  void SetDecoration(AnnotationDecoration* decoration) { decoration_ = decoration; }

 private:
  pdf::Document& document_;
  color::ColorContext& colors_;
  FontSource* fonts_;
  // Forms parsed once for every page and band rendered.
  FormCache forms_;
  // Small images decoded once for every page and band rendered.
  raster::SmallImageCache images_;
  AnnotationDecoration* decoration_ = nullptr;
};

}  // namespace content
