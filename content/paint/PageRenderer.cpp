#include "content/PageRenderer.h"

#include <algorithm>
#include <cmath>

#include "color/ColorContext.h"
#include "content/AnnotationAppearances.h"
#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "content/PagePaintSetup.h"
#include "pdf/Document.h"
#include "pdf/Page.h"
#include "pdf/PageBoxes.h"
#include "pdf/PageTree.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaScope.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace content {

using runtime::Fixed;

namespace {

Fixed SaturatedFixed(double value) {
  const double scaled = std::nearbyint(value * 65536.0);
  if (!(scaled > -2147483647.0)) return -runtime::kFixedMax;
  if (scaled > 2147483647.0) return runtime::kFixedMax;
  return static_cast<Fixed>(scaled);
}

}  // namespace

PageRenderer::PageRenderer(pdf::Document& document, color::ColorContext& colors, FontSource* fonts)
    : document_(document), colors_(colors), fonts_(fonts), forms_(document.Context()), images_(document.Context()) {}

runtime::Matrix PageRenderer::PageMatrix(const runtime::Rect& box, int32_t rotation, double dpi, int32_t& width,
                                         int32_t& height) {
  const double s = dpi / 72.0;
  const double x0 = runtime::FixedToDouble(box.x0), y0 = runtime::FixedToDouble(box.y0);
  const double x1 = runtime::FixedToDouble(box.x1), y1 = runtime::FixedToDouble(box.y1);
  const double w = std::max(0.0, (x1 - x0) * s), h = std::max(0.0, (y1 - y0) * s);
  const bool quarter = rotation == 90 || rotation == 270;
  const double pixelsWide = std::ceil((quarter ? h : w) - 0.01), pixelsHigh = std::ceil((quarter ? w : h) - 0.01);
  if (pixelsWide > kMaxPixels || pixelsHigh > kMaxPixels) runtime::ThrowRuntime(runtime::kOverflow);
  width = std::max(1, static_cast<int32_t>(pixelsWide));
  height = std::max(1, static_cast<int32_t>(pixelsHigh));
  // Device y grows downwards; the rotation turns the page clockwise.
  double m[6];
  switch (rotation) {
    case 90: m[0] = 0, m[1] = s, m[2] = s, m[3] = 0, m[4] = -s * y0, m[5] = -s * x0; break;
    case 180: m[0] = -s, m[1] = 0, m[2] = 0, m[3] = s, m[4] = s * x1, m[5] = -s * y0; break;
    case 270: m[0] = 0, m[1] = -s, m[2] = -s, m[3] = 0, m[4] = s * y1, m[5] = s * x1; break;
    default: m[0] = s, m[1] = 0, m[2] = 0, m[3] = -s, m[4] = -s * x0, m[5] = s * y1; break;
  }
  return {SaturatedFixed(m[0]), SaturatedFixed(m[1]), SaturatedFixed(m[2]),
          SaturatedFixed(m[3]), SaturatedFixed(m[4]), SaturatedFixed(m[5])};
}

PageRenderer::Result PageRenderer::Render(int32_t index, double dpi, PageRowSink& sink, PaintTarget* target,
                                          const Area* area) {
  const PagePaintSetup setup(document_, index);
  return Render(setup, dpi, sink, target, area);
}

PageRenderer::Result PageRenderer::Render(const PagePaintSetup& setup, double dpi, PageRowSink& sink,
                                          PaintTarget* target, const Area* area) {
  Result result;
  const int32_t rotation =
      area != nullptr ? ((setup.Boxes().rotation + area->viewRotation) % 360 + 360) % 360 : setup.Boxes().rotation;
  runtime::Matrix matrix;
  if (area != nullptr && area->pageMatrix != nullptr) {
    if (area->width > kMaxPixels || area->height > kMaxPixels) runtime::ThrowRuntime(runtime::kOverflow);
    matrix = *area->pageMatrix;
    result.width = std::max(1, area->width);
    result.height = std::max(1, area->height);
  } else {
    matrix = setup.DeviceMatrix(rotation, dpi, result.width, result.height);
  }
  // The columns and rows to paint.
  runtime::IntRect wanted{0, 0, result.width, result.height};
  if (area != nullptr) {
    wanted = {std::max(0, area->pixels.x0), std::max(0, area->pixels.y0), std::min(result.width, area->pixels.x1),
              std::min(result.height, area->pixels.y1)};
    if (wanted.IsEmpty()) return result;
  }
  const PageInfo info = setup.Info(matrix, fonts_, &forms_, &images_);

  // The page's content, then its annotations' appearances over it, each
  // from the page's fresh state; an error of either is kept.
  struct PagePainter final : BandPainter {
    ContentMachine& machine;
    const runtime::ObjectHandle& resources;
    const runtime::ObjectHandle& page;
    const runtime::Matrix& matrix;
    PaintTarget* target;
    AnnotationDecoration* decoration;
    PagePainter(ContentMachine& m, const runtime::ObjectHandle& r, const runtime::ObjectHandle& p,
                const runtime::Matrix& x, PaintTarget* t, AnnotationDecoration* d)
        : machine(m), resources(r), page(p), matrix(x), target(t), decoration(d) {}
    void PaintBand(PaintContext& paint, Result& result) override {
      {
        Renderer renderer(paint, 0, &resources, target);
        PlayKeepingError(renderer, result, [](void* user, Renderer& r) {
          ContentStream::Run(static_cast<PagePainter*>(user)->machine, r);
        }, this);
      }
      Renderer renderer(paint, 0, &resources, target);
      PlayKeepingError(renderer, result, [](void* user, Renderer& r) {
        auto* self = static_cast<PagePainter*>(user);
        AnnotationAppearances::PaintAll(r, self->page, self->matrix, self->decoration);
      }, this);
    }
  };
  PagePainter painter(setup.Machine(), setup.Resources(), setup.Page(), matrix, target, decoration_);
  PaintInBands(document_.Context(), colors_, info, result, sink, painter, &wanted);
  return result;
}

void PageRenderer::PaintInBands(runtime::LibraryContext* context, color::ColorContext& colors, const PageInfo& page,
                                Result& result, PageRowSink& sink, BandPainter& painter,
                                const runtime::IntRect* wantedRect) {
  const runtime::IntRect wanted = wantedRect != nullptr ? *wantedRect : runtime::IntRect{0, 0, result.width, result.height};
  sink.Begin(result.width, result.height);
  runtime::ArenaAllocator arena(context, 65536, 16384);
  const color::ColorSpaceRef space = colors.DeviceRgb();
  // A device pixel takes four colour bytes and an alpha byte.
  const int32_t wantedWidth = wanted.x1 - wanted.x0;
  const int64_t rowBytes = int64_t{wantedWidth} * 5;
  const int32_t bandRows = static_cast<int32_t>(std::clamp<int64_t>(kBandBytes / rowBytes, 1, result.height));
  for (int32_t top = wanted.y0; top < wanted.y1; top += std::min(bandRows, wanted.y1 - top)) {
    const int32_t bottom = std::min(wanted.y1, top + bandRows);
    runtime::ArenaScope scope(arena);
    PaintContext paint;
    paint.owner = context;
    paint.layer = raster::RasterDevice::CreateForTarget(context, arena, {wanted.x0, top, wanted.x1, bottom}, space.Get());
    paint.colors = &colors;
    paint.arena = &arena;
    paint.pageWidth = result.width;
    paint.pageHeight = result.height;
    paint.page = page;
    painter.PaintBand(paint, result);
    const raster::PixelPlane& colour = *paint.layer->Target().colour;
    sink.Rows(top, bottom - top, wantedWidth, colour.base, colour.format.rowStep);
  }
}

void PageRenderer::PlayKeepingError(Renderer& renderer, Result& result, void (*play)(void* user, Renderer& renderer),
                                    void* user) {
  runtime::ErrorTrap trap(renderer.Owner());
  if (!trap.Run([&] { play(user, renderer); })) {
    trap.SetHandled();
    if (!trap.HoldsRecord() || runtime::IsCancelOrNoDataError(trap.Held())) trap.Rethrow();
    if (!result.failed) {
      result.failed = true;
      result.error = trap.Held();
    }
    trap.Close();
  }
  const runtime::IntRect painted = renderer.PaintedRect();
  if (!painted.IsEmpty())
    result.painted = result.painted.IsEmpty() ? painted : raster::UnionRects(result.painted, painted);
}

}  // namespace content
