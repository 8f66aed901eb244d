#include "content/ReflowPainter.h"

#include <algorithm>
#include <cmath>

#include "color/ColorContext.h"
#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "content/Page.h"
#include "content/ReflowModel.h"
#include "pdf/Document.h"
#include "pdf/Page.h"
#include "pdf/PageBoxes.h"
#include "pdf/PageTree.h"
#include "raster/GlyphRun.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaScope.h"
#include "runtime/ErrorTrap.h"

namespace content {

namespace {

using runtime::Fixed;
using runtime::FixedPoint;

// Far outside any column: where glyphs the reflow did not place go.
constexpr Fixed kNowhere = -(1 << 30);

// The painter with glyphs moved: each glyph of the played operation is
// looked up in the model and shifted from its page position to its
// reflowed one; everything but text is left out.
class ReflowGlyphRenderer final : public Renderer {
 public:
  ReflowGlyphRenderer(PaintContext& paint, const runtime::ObjectHandle* resources, PaintTarget* target,
                      const ReflowModel& model, double scale)
      : Renderer(paint, 0, resources, target), model_(model), scale_(scale) {}

  void PaintPath(ContentStream&, bool, const PathPaint&, const PathSegments&) override {}
  void DoXObject(std::string_view) override {}
  void PaintImage(const InlineImage&, uint32_t) override {}
  void DoShading(std::string_view) override {}

 protected:
  bool ArrangeGlyphs(raster::GlyphRun& run) override {
    bool any = false;
    uint32_t index = 0;
    for (raster::GlyphRecord& record : run.Records()) {
      FixedPoint to;
      FixedPoint delta;
      if (model_.FindGlyph(OperationCount(), index++, to)) {
        // Reflow space runs upwards from the column's top; device rows
        // run down from it.
        const Fixed x = runtime::FixedFromFloat(runtime::FixedToDouble(to.x) * scale_);
        const Fixed y = runtime::FixedFromFloat(-runtime::FixedToDouble(to.y) * scale_);
        delta = {runtime::FixedSubSat(x, record.origin.x), runtime::FixedSubSat(y, record.origin.y)};
        any = true;
      } else {
        delta = {runtime::FixedSubSat(kNowhere, record.origin.x), runtime::FixedSubSat(kNowhere, record.origin.y)};
      }
      for (FixedPoint* p : {&record.origin, &record.end, &record.boxLow, &record.boxHigh}) {
        p->x = runtime::FixedAddSat(p->x, delta.x);
        p->y = runtime::FixedAddSat(p->y, delta.y);
      }
    }
    return any;
  }

 private:
  const ReflowModel& model_;
  double scale_;
};

}  // namespace

ReflowPainter::ReflowPainter(pdf::Document& document, color::ColorContext& colors, FontSource* fonts)
    : document_(document), colors_(colors), fonts_(fonts), forms_(document.Context()), images_(document.Context()) {}

PageRenderer::Result ReflowPainter::Render(int32_t index, const ReflowModel& model, double dpi, PageRowSink& sink,
                                           PaintTarget* target) {
  runtime::LibraryContext* context = document_.Context();
  const runtime::ObjectReference reference = pdf::PageTree::FindPageRef(document_, index);
  const runtime::ObjectHandle page = document_.GetObject(reference.number, reference.generation);
  const pdf::PageBoxes boxes = pdf::PageBoxes::Read(page);
  PageRenderer::Result result;
  const double scale = dpi / 72.0;
  const double width = std::ceil(runtime::FixedToDouble(model.ViewWidth()) * scale - 0.01);
  const double height = std::ceil(runtime::FixedToDouble(model.Height()) * scale - 0.01);
  if (!(width <= PageRenderer::kMaxPixels) || !(height <= PageRenderer::kMaxPixels)) {
    runtime::ThrowRuntime(runtime::kOverflow);
  }
  result.width = std::max(1, static_cast<int32_t>(width));
  result.height = std::max(1, static_cast<int32_t>(height));
  // Glyphs keep the page's size and orientation: the page's own device
  // matrix at this resolution, unrotated.
  int32_t pageWidth = 0;
  int32_t pageHeight = 0;
  const runtime::Matrix matrix = PageRenderer::PageMatrix(boxes.box, 0, dpi, pageWidth, pageHeight);
  const runtime::ObjectHandle resources = pdf::Page::GetResources(page).resources;

  PageInfo info;
  info.document = &document_;
  info.matrix = matrix;
  info.fonts = fonts_;
  info.forms = &forms_;
  info.images = &images_;

  ContentMachine* machine = Page::NewMachine(document_, page);
  if (machine == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
  MachineHolder holder(context, machine);

  struct GlyphPainter final : PageRenderer::BandPainter {
    ContentMachine& machine;
    const runtime::ObjectHandle& resources;
    PaintTarget* target;
    const ReflowModel& model;
    double scale;
    GlyphPainter(ContentMachine& m, const runtime::ObjectHandle& r, PaintTarget* t, const ReflowModel& md, double s)
        : machine(m), resources(r), target(t), model(md), scale(s) {}
    void PaintBand(PaintContext& paint, PageRenderer::Result& result) override {
      ReflowGlyphRenderer renderer(paint, &resources, target, model, scale);
      PageRenderer::PlayKeepingError(renderer, result, [](void* user, Renderer& r) {
        ContentStream::Run(static_cast<GlyphPainter*>(user)->machine, r);
      }, this);
    }
  };
  GlyphPainter painter(*machine, resources, target, model, scale);
  PageRenderer::PaintInBands(context, colors_, info, result, sink, painter);
  return result;
}

}  // namespace content
