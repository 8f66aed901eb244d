#include "content/ReflowPainter.h"

#include <algorithm>
#include <cmath>

#include "color/ColorContext.h"
#include "content/ContentStream.h"
#include "content/ReflowCommand.h"
#include "content/PagePaintSetup.h"
#include "content/ReflowModel.h"
#include "pdf/Document.h"
#include "raster/GlyphRun.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaScope.h"
#include "runtime/ArenaVector.h"
#include "runtime/Scheduler.h"
#include "runtime/ErrorTrap.h"

namespace content {

namespace {

using runtime::Fixed;
using runtime::FixedPoint;

// Far outside any column: where glyphs the reflow did not place go.
constexpr Fixed kNowhere = -(1 << 30);

struct DoubleMatrix {
  double a, b, c, d, e, f;
};

DoubleMatrix ToDouble(const runtime::Matrix& m) {
  using runtime::FixedToDouble;
  return {FixedToDouble(m.a), FixedToDouble(m.b), FixedToDouble(m.c),
          FixedToDouble(m.d), FixedToDouble(m.e), FixedToDouble(m.f)};
}

// m, then n.
DoubleMatrix Concat(const DoubleMatrix& m, const DoubleMatrix& n) {
  return {m.a * n.a + m.b * n.c,        m.a * n.b + m.b * n.d,        m.c * n.a + m.d * n.c,
          m.c * n.b + m.d * n.d,        m.e * n.a + m.f * n.c + n.e,  m.e * n.b + m.f * n.d + n.f};
}

// The operations of the picture runs, each moved from the page's device
// space to where the reflow placed it, with the stretches between them
// (text, painted where its glyphs went) unmoved. Key order, none
// overlapping: a picture that starts inside the one before is left out.
class PictureSegments {
 public:
  PictureSegments(runtime::LibraryContext* context, const ReflowModel& model, const runtime::Matrix& pageToDevice,
                  double scale)
      : arena_(context, 4096, 4096), items_(arena_, 1), pictures_(arena_, 1) {
    const DoubleMatrix page = ToDouble(pageToDevice);
    const double det = page.a * page.d - page.b * page.c;
    // Reflow space runs upwards from the column's top; device rows run
    // down from it.
    const DoubleMatrix reflowToDevice{scale, 0, 0, -scale, 0, 0};
    // A page matrix that cannot be inverted places no picture (below).
    const double inverse = det != 0.0 ? 1.0 / det : 0.0;
    const DoubleMatrix deviceToPage{page.d * inverse,
                                    -page.b * inverse,
                                    -page.c * inverse,
                                    page.a * inverse,
                                    (page.c * page.f - page.d * page.e) * inverse,
                                    (page.b * page.e - page.a * page.f) * inverse};
    ContentKey next{};
    // A picture's run is the one its shift command moves; the commands
    // stand in the order their runs were made, which is content order.
    for (ReflowCommand* command : model.Commands()) {
      runtime::ChargeWork(context, 1);
      auto* shift = dynamic_cast<RunShiftCommand*>(command);
      if (shift == nullptr || det == 0.0) continue;
      const RunRecord& run = shift->Run();
      if (!run.placed || run.end.operation < run.start.operation) continue;
      const ContentKey first{0, run.start.operation, {0, 0}};
      if (first < next) continue;
      const DoubleMatrix m = Concat(Concat(deviceToPage, ToDouble(run.placement)), reflowToDevice);
      if (first.operation > next.operation)
        Add(next, {0, first.operation - 1, {0xFFFFFFFFu, 0xFFFFFFFFu}}, runtime::kIdentityMatrix, false);
      const ContentKey last{0, run.end.operation, {0xFFFFFFFFu, 0xFFFFFFFFu}};
      using runtime::FixedFromFloatRounded;
      Add(first, last,
          {FixedFromFloatRounded(m.a), FixedFromFloatRounded(m.b), FixedFromFloatRounded(m.c),
           FixedFromFloatRounded(m.d), FixedFromFloatRounded(m.e), FixedFromFloatRounded(m.f)},
          true);
      if (last.operation == 0xFFFFFFFFu) {
        Finish();
        return;
      }
      next = {0, last.operation + 1, {0, 0}};
    }
    Add(next, {0, 0xFFFFFFFFu, {0xFFFFFFFFu, 0xFFFFFFFFu}}, runtime::kIdentityMatrix, false);
    Finish();
  }

  const ContentSegmentList& List() const { return list_; }
  bool IsPicture(uint32_t segment) const { return segment < pictures_.Size() && pictures_[segment] != 0; }

 private:
  void Finish() { list_ = {items_.begin(), items_.Size()}; }

  void Add(const ContentKey& first, const ContentKey& last, const runtime::Matrix& matrix, bool picture) {
    if (last < first) return;
    items_.PushBack(ContentSegment{first, last, matrix});
    pictures_.PushBack(picture ? 1 : 0);
  }

  runtime::ArenaAllocator arena_;
  runtime::ArenaVector<ContentSegment> items_;
  runtime::ArenaVector<uint8_t> pictures_;
  ContentSegmentList list_;
};

// The painter with glyphs and pictures moved: each glyph of the played
// operation is looked up in the model and shifted from its page position
// to its reflowed one; the operations of a picture are painted through
// the picture's placement; paths, images and shadings among the text are
// left out.
class ReflowGlyphRenderer final : public Renderer {
 public:
  ReflowGlyphRenderer(PaintContext& paint, const runtime::ObjectHandle* resources, PaintTarget* target,
                      const ReflowModel& model, const PictureSegments& pictures, double scale)
      : Renderer(paint, 0, resources, target, &pictures.List()), model_(model), pictures_(pictures), scale_(scale) {}

  void PaintPath(ContentStream& player, bool pathPresent, const PathPaint& paint,
                 const PathSegments& segments) override {
    if (InPicture()) Renderer::PaintPath(player, pathPresent, paint, segments);
  }
  void DoXObject(std::string_view name) override {
    if (InPicture()) Renderer::DoXObject(name);
  }
  void PaintImage(const InlineImage& image, uint32_t options) override {
    if (InPicture()) Renderer::PaintImage(image, options);
  }
  void DoShading(std::string_view name) override {
    if (InPicture()) Renderer::DoShading(name);
  }

 protected:
  bool ArrangeGlyphs(raster::GlyphRun& run) override {
    // Text inside a picture moves with it.
    if (InPicture()) return true;
    bool any = false;
    uint32_t index = 0;
    for (raster::GlyphRecord& record : run.Records()) {
      FixedPoint to;
      FixedPoint delta;
      if (model_.FindGlyph(OperationCount(), index++, to)) {
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
  bool InPicture() const {
    uint32_t operation = 0;
    uint32_t segment = 0;
    GetPlayPosition(operation, segment);
    return SegmentMatrix() != nullptr && pictures_.IsPicture(segment);
  }

  const ReflowModel& model_;
  const PictureSegments& pictures_;
  double scale_;
};

}  // namespace

ReflowPainter::ReflowPainter(pdf::Document& document, color::ColorContext& colors, FontSource* fonts)
    : document_(document), colors_(colors), fonts_(fonts), forms_(document.Context()), images_(document.Context()) {}

PageRenderer::Result ReflowPainter::Render(int32_t index, const ReflowModel& model, double dpi, PageRowSink& sink,
                                           PaintTarget* target, const runtime::IntRect* wantedPixels) {
  PagePaintSetup setup(document_, index);
  PageRenderer::Result result;
  // Reflow space is in the page's units, as the glyphs are: both are
  // scaled by the page's unit, so the glyphs keep the size they have on
  // the page and the column the view's width.
  const double scale = dpi * setup.Unit() / 72.0;
  const double width = std::ceil(runtime::FixedToDouble(model.ViewWidth()) * scale - 0.01);
  const double height = std::ceil(runtime::FixedToDouble(model.Height()) * scale - 0.01);
  if (!(width <= PageRenderer::kMaxPixels) || !(height <= PageRenderer::kMaxPixels)) {
    runtime::ThrowRuntime(runtime::kOverflow);
  }
  result.width = std::max(1, static_cast<int32_t>(width));
  result.height = std::max(1, static_cast<int32_t>(height));
  runtime::IntRect wanted{0, 0, result.width, result.height};
  if (wantedPixels != nullptr) {
    wanted = {std::max(0, wantedPixels->x0), std::max(0, wantedPixels->y0), std::min(result.width, wantedPixels->x1),
              std::min(result.height, wantedPixels->y1)};
    if (wanted.IsEmpty()) return result;
  }
  // Glyphs keep the page's size and orientation: the page's own device
  // matrix at this resolution, unrotated.
  int32_t pageWidth = 0;
  int32_t pageHeight = 0;
  const runtime::Matrix matrix = setup.DeviceMatrix(0, dpi, pageWidth, pageHeight);
  const PageInfo info = setup.Info(matrix, fonts_, &forms_, &images_);

  const PictureSegments pictures(document_.Context(), model, matrix, scale);

  struct GlyphPainter final : PageRenderer::BandPainter {
    ContentMachine& machine;
    const runtime::ObjectHandle& resources;
    PaintTarget* target;
    const ReflowModel& model;
    const PictureSegments& pictures;
    double scale;
    GlyphPainter(ContentMachine& m, const runtime::ObjectHandle& r, PaintTarget* t, const ReflowModel& md,
                 const PictureSegments& p, double s)
        : machine(m), resources(r), target(t), model(md), pictures(p), scale(s) {}
    void PaintBand(PaintContext& paint, PageRenderer::Result& result) override {
      ReflowGlyphRenderer renderer(paint, &resources, target, model, pictures, scale);
      PageRenderer::PlayKeepingError(renderer, result, [](void* user, Renderer& r) {
        ContentStream::Run(static_cast<GlyphPainter*>(user)->machine, r);
      }, this);
    }
  };
  GlyphPainter painter(setup.Machine(), setup.Resources(), target, model, pictures, scale);
  PageRenderer::PaintInBands(document_.Context(), colors_, info, result, sink, painter, &wanted);
  return result;
}

}  // namespace content
