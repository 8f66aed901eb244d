#pragma once
// Paints a reflowed page: the page's content is played into the painter
// with every glyph moved to where the reflow placed it, drawn with the
// page's fonts at the page's size; glyphs the reflow left out, paths,
// images and shadings are not painted. The column is painted top down on
// white, `dpi` pixels an inch.
#include <cstdint>

#include "content/PageRenderer.h"

namespace color {
class ColorContext;
}
namespace pdf {
class Document;
}

namespace content {

class ReflowModel;

class ReflowPainter {
 public:
  ReflowPainter(pdf::Document& document, color::ColorContext& colors, FontSource* fonts);

  // Paints page `index`, reflowed into `model`, into `sink`: the view's
  // width by the column's height, in pixels, or only the pixels of it in
  // `wanted` (the sink's rows then start at column wanted->x0).
  PageRenderer::Result Render(int32_t index, const ReflowModel& model, double dpi, PageRowSink& sink,
                              PaintTarget* target, const runtime::IntRect* wanted = nullptr);

 private:
  pdf::Document& document_;
  color::ColorContext& colors_;
  FontSource* fonts_;
  FormCache forms_;
  raster::SmallImageCache images_;
};

}  // namespace content
