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

// Strings drawn again over an earlier one (a fake bold): the reflow
// placed only the first, and the repeat is drawn moved as it was, so the
// two stay as far apart as on the page. Keeps how the glyphs of the last
// reflowed operation were moved.
class RepeatedStrings {
 public:
  struct Shift {
    FixedPoint delta;
    bool placed;
  };

  RepeatedStrings(runtime::LibraryContext* context, const ReflowModel& model)
      : arena_(context, 4096, 4096), pairs_(arena_, 1), shifts_(arena_, 16) {
    for (ReflowCommand* command : model.Commands()) {
      auto* repeat = dynamic_cast<RepeatCommand*>(command);
      if (repeat == nullptr || repeat->Repeated() == nullptr) continue;
      const Pair pair{repeat->RepeatOperation(), repeat->Repeated()->start.operation};
      // Content order: a pair out of order (a hostile page cannot make
      // one, but the search needs the order) is left out.
      if (!pairs_.IsEmpty() && pairs_[pairs_.Size() - 1].repeat >= pair.repeat) continue;
      pairs_.PushBack(pair);
    }
  }

  // The operation that `operation` repeats; false when it repeats none.
  bool Repeats(uint32_t operation, uint32_t& repeated) const {
    uint32_t low = 0, high = pairs_.Size();
    while (low < high) {
      const uint32_t mid = low + (high - low) / 2;
      if (pairs_[mid].repeat < operation) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
    if (low == pairs_.Size() || pairs_[low].repeat != operation) return false;
    repeated = pairs_[low].repeated;
    return true;
  }

  // The moves of the last operation drawn through the reflow.
  void StartOperation(uint32_t operation) {
    operation_ = operation;
    shifts_.Clear();
  }
  void Add(const Shift& shift) { shifts_.PushBack(shift); }
  bool Holds(uint32_t operation) const { return operation_ == operation; }
  const runtime::ArenaVector<Shift>& Shifts() const { return shifts_; }

 private:
  struct Pair {
    uint32_t repeat;
    uint32_t repeated;
  };
  runtime::ArenaAllocator arena_;
  runtime::ArenaVector<Pair> pairs_;
  runtime::ArenaVector<Shift> shifts_;
  uint32_t operation_ = 0xFFFFFFFFu;
};

// The painter with glyphs and pictures moved: each glyph of the played
// operation is looked up in the model and shifted from its page position
// to its reflowed one; the operations of a picture are painted through
// the picture's placement; paths, images and shadings among the text are
// left out.
class ReflowGlyphRenderer final : public Renderer {
 public:
  ReflowGlyphRenderer(PaintContext& paint, const runtime::ObjectHandle* resources, PaintTarget* target,
                      const ReflowModel& model, const PictureSegments& pictures, RepeatedStrings& repeats,
                      double scale)
      : Renderer(paint, 0, resources, target, &pictures.List()),
        model_(model),
        pictures_(pictures),
        repeats_(repeats),
        scale_(scale) {}

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
    const uint32_t operation = OperationCount();
    uint32_t repeated = 0;
    const bool repeat = repeats_.Repeats(operation, repeated);
    // A repeat moves as the string it repeats was moved.
    const bool asRepeated = repeat && repeats_.Holds(repeated);
    if (!repeat) repeats_.StartOperation(operation);
    bool any = false;
    uint32_t index = 0;
    for (raster::GlyphRecord& record : run.Records()) {
      FixedPoint to;
      FixedPoint delta;
      bool placed = false;
      if (asRepeated) {
        if (index < repeats_.Shifts().Size() && repeats_.Shifts()[index].placed) {
          delta = repeats_.Shifts()[index].delta;
          placed = true;
        }
      } else if (model_.FindGlyph(repeat ? repeated : operation, index, to)) {
        const Fixed x = runtime::FixedFromFloat(runtime::FixedToDouble(to.x) * scale_);
        const Fixed y = runtime::FixedFromFloat(-runtime::FixedToDouble(to.y) * scale_);
        delta = {runtime::FixedSubSat(x, record.origin.x), runtime::FixedSubSat(y, record.origin.y)};
        placed = true;
      }
      if (!repeat) repeats_.Add({delta, placed});
      ++index;
      if (placed) {
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
  RepeatedStrings& repeats_;
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
  RepeatedStrings repeats(document_.Context(), model);

  struct GlyphPainter final : PageRenderer::BandPainter {
    ContentMachine& machine;
    const runtime::ObjectHandle& resources;
    PaintTarget* target;
    const ReflowModel& model;
    const PictureSegments& pictures;
    RepeatedStrings& repeats;
    double scale;
    GlyphPainter(ContentMachine& m, const runtime::ObjectHandle& r, PaintTarget* t, const ReflowModel& md,
                 const PictureSegments& p, RepeatedStrings& rs, double s)
        : machine(m), resources(r), target(t), model(md), pictures(p), repeats(rs), scale(s) {}
    void PaintBand(PaintContext& paint, PageRenderer::Result& result) override {
      ReflowGlyphRenderer renderer(paint, &resources, target, model, pictures, repeats, scale);
      PageRenderer::PlayKeepingError(renderer, result, [](void* user, Renderer& r) {
        ContentStream::Run(static_cast<GlyphPainter*>(user)->machine, r);
      }, this);
    }
  };
  GlyphPainter painter(setup.Machine(), setup.Resources(), target, model, pictures, repeats, scale);
  PageRenderer::PaintInBands(document_.Context(), colors_, info, result, sink, painter, &wanted);
  return result;
}

}  // namespace content
