// The page render step: a render request's page drawn into its host
// bitmap. The bitmap is first fitted to the visible part of the page (kept,
// shifted with only the exposed strips left to draw, or replaced); then
// each area still to draw is painted through the page renderer, band by
// band, and the finished pixels are shown as they come.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "content/PagePaintSetup.h"
#include "raster/HostRowWriter.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"
#include "viewer/HostBitmap.h"
#include "viewer/PageLayoutParams.h"
#include "viewer/RenderRegion.h"
#include "viewer/ScaledPreview.h"

namespace viewer {

using runtime::IntRect;

IntRect LayoutRectInWindow(const PageLayout& layout, const runtime::Rect64& rect);
IntRect IntersectPixels(const IntRect& a, const IntRect& b);
IntRect UnionPixels(const IntRect& a, const IntRect& b);
bool ContainsPixels(const IntRect& outer, const IntRect& inner);
IntRect VisibleInWindow(const PageLayout& layout, int32_t page);

namespace {

// First pixels shown 100 ms after a page starts, then at most every 500 ms.
constexpr uint32_t kFirstShowMilliseconds = 100;
constexpr uint32_t kNextShowMilliseconds = 500;
constexpr int32_t kMaxRestarts = 16;

// Rows of one area of the page into the request's bitmap.
class BitmapRowSink final : public content::PageRowSink {
 public:
  BitmapRowSink(RenderRegion& region, RenderRequest* request, const raster::HostRowWriter& writer,
                const IntRect& area, RenderObserver* observer, void (*shown)(RenderRegion&, RenderRequest*, const IntRect&))
      : region_(region), request_(request), writer_(writer), area_(area), observer_(observer), shown_(shown) {}

  void Rows(int32_t y0, int32_t count, int32_t width, const uint8_t* first, int64_t rowStep) override {
    runtime::HostBitmap& handle = request_->bitmap->Handle();
    if (const runtime::HostPixelLayout* layout = handle.Begin(0)) {
      writer_.Write(*layout, area_.x0 - request_->originX, y0 - request_->originY, width, count, first, rowStep,
                    area_.x0, y0);
    }
    handle.End();
    const IntRect drawn{area_.x0, y0, area_.x0 + width, y0 + count};
    if (observer_ != nullptr) observer_->OnAreaDrawn(request_->page, drawn);
    shown_(region_, request_, drawn);
  }

 private:
  RenderRegion& region_;
  RenderRequest* request_;
  const raster::HostRowWriter& writer_;
  IntRect area_;
  RenderObserver* observer_;
  void (*shown_)(RenderRegion&, RenderRequest*, const IntRect&);
};

// White rows over `part`, through `sink`.
void WriteWhiteRows(content::PageRowSink& sink, runtime::ArenaAllocator& arena, const IntRect& part) {
  const size_t bytes = static_cast<size_t>(part.x1 - part.x0) * 4;
  auto* row = static_cast<uint8_t*>(arena.Alloc(bytes));
  std::memset(row, 0xFF, bytes);
  sink.Rows(part.y0, part.y1 - part.y0, part.x1 - part.x0, row, 0);
}

// Keeps a request alive while a thread draws it, and hands it back however
// the drawing ends: a request still owned by this thread is finished; one
// taken away meanwhile keeps the state it was given, so that it is drawn
// again.
struct DrawingHold {
  RenderRegion& region;
  RenderRequest* request;
  ~DrawingHold() {
    const runtime::Scheduler* scheduler = region.Context()->scheduler;
    const runtime::ThreadState* me = scheduler != nullptr ? scheduler->current : nullptr;
    if (request->owner == me &&
        (request->state == kRequestPreparing || request->state == kRequestDrawing || request->state == kRequestTaken)) {
      region.SetState(request, kRequestDone);
    }
    region.Release(request);
  }
};

}  // namespace

void RenderRegion::ProcessRequest(RenderRequest* request) {
  ++request->refs;
  DrawingHold hold{*this, request};
  SetState(request, kRequestPreparing);
  // A view that changed under the drawing starts the page over. Commands
  // change the view only between slices, so a view that keeps changing
  // within the step is a fault of ours: the page is left for the next
  // revalidation rather than tried for ever.
  for (int32_t restarts = 0; RenderStep(request) != 0 && restarts < kMaxRestarts; ++restarts) {
  }
}

int32_t RenderRegion::RenderStep(RenderRequest* request) {
  int32_t again = 0;
  runtime::ErrorTrap trap(context_);
  const bool ran = trap.Run([&] {
    request->incomplete = true;
    if (request->state != kRequestPreparing) SetState(request, kRequestPreparing);
    PagePlacement placement;
    if (layout_ == nullptr || !PagePlacement::Build(*layout_, request->page, placement)) {
      request->incomplete = false;
      return;
    }
    request->placement = placement;
    request->hasPlacement = true;
    SetState(request, kRequestDrawing);
    request->pageRect = LayoutRectInWindow(*layout_, layout_->PageRect(request->page));
    request->visible = VisibleInWindow(*layout_, request->page);
    if (request->visible.IsEmpty()) {
      request->incomplete = false;
      return;
    }
    PrepareBitmap(request);
    request->showAt = runtime::Deadline(context_, kFirstShowMilliseconds);
    DrawDirtyAreas(request);
    request->incomplete = false;
    AddDirtyRect(request, {}, true);
  });
  if (ran) return 0;
  trap.SetHandled();
  const runtime::ErrorRecord error = trap.Held();
  if (!trap.HoldsRecord()) {
    request->incomplete = false;
  } else if (error.IsRuntime(runtime::kCancelled)) {
    trap.Rethrow();
  } else if (error.Is(runtime::kDataIoDomain, 0)) {
    // Drawn again when revalidated with more data there.
    request->incomplete = true;
  } else if (error.Is(runtime::kViewerDomain, 3)) {
    again = 1;
  } else {
    // The pixels drawn so far stay; the page is not tried again until the
    // view changes.
    request->incomplete = false;
    request->ClearDirty();
  }
  trap.Close();
  return again;
}

void RenderRegion::PrepareBitmap(RenderRequest* request) {
  const IntRect& page = request->pageRect;
  const IntRect& visible = request->visible;
  const int64_t pageWidth = int64_t{page.x1} - page.x0, pageHeight = int64_t{page.y1} - page.y0;
  const runtime::Rect64& window = layout_->window;
  // A bitmap as large as the window (or the page, when smaller), so that
  // scrolling within it needs no new one; it covers the visible part.
  const int32_t width = static_cast<int32_t>(std::clamp<int64_t>(std::min(pageWidth, window.x1 - window.x0), 1, 32767));
  const int32_t height =
      static_cast<int32_t>(std::clamp<int64_t>(std::min(pageHeight, window.y1 - window.y0), 1, 32767));
  const int32_t wantX0 = visible.x0 - page.x0, wantY0 = visible.y0 - page.y0;
  const int32_t nx = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(wantX0, pageWidth - width)));
  const int32_t ny = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(wantY0, pageHeight - height)));
  const IntRect wanted{wantX0, wantY0, visible.x1 - page.x0, visible.y1 - page.y0};
  const IntRect whole{nx, ny, nx + width, ny + height};

  HostBitmap* bitmap = request->bitmap;
  if (bitmap != nullptr && SamePlacement(request->placement, request->bitmapPlacement) &&
      bitmap->Width() == width && bitmap->Height() == height) {
    if (ContainsPixels(request->BitmapRect(), wanted)) return;
    const int32_t ox = request->originX, oy = request->originY;
    const int64_t dx = int64_t{nx} - ox, dy = int64_t{ny} - oy;
    request->originX = nx;
    request->originY = ny;
    if (request->dirtyCount > 0 || std::llabs(dx) >= width || std::llabs(dy) >= height) {
      // Nothing of the old pixels can be kept: an unfinished drawing, or a
      // move by more than the bitmap (whose exposed strip would be larger
      // than the bitmap itself).
      request->ClearDirty();
      request->AddDirty(whole);
      return;
    }
    bitmap->Scroll(static_cast<int32_t>(-dx), static_cast<int32_t>(-dy));
    // The strips the move exposed: the columns first, then the rows over
    // the other columns.
    IntRect rest = whole;
    if (dx > 0) {
      request->AddDirty({ox + width, ny, nx + width, ny + height});
      rest.x1 = ox + width;
    } else if (dx < 0) {
      request->AddDirty({nx, ny, ox, ny + height});
      rest.x0 = ox;
    }
    if (dy > 0) {
      request->AddDirty({rest.x0, oy + height, rest.x1, ny + height});
    } else if (dy < 0) {
      request->AddDirty({rest.x0, ny, rest.x1, oy});
    }
    return;
  }
  // A new placement or size: a new bitmap, wholly to draw. The old one goes
  // only once the new one is there.
  auto* fresh = runtime::NewObject<HostBitmap>(context_, context_, host_, width, height);
  // A finished drawing at another scale shows, scaled, until the page is
  // drawn again.
  IntRect preview{};
  if (bitmap != nullptr && request->dirtyCount == 0 && ScaledPreview::SameTurn(request->placement, request->bitmapPlacement)) {
    preview = ScaledPreview::Copy(*bitmap, request->originX, request->originY, request->bitmapPlacement.matrix, *fresh,
                                  nx, ny, request->placement.matrix);
  }
  ReplaceBitmap(request, fresh);
  request->originX = nx;
  request->originY = ny;
  request->bitmapPlacement = request->placement;
  request->ClearDirty();
  request->AddDirty(whole);
  if (!preview.IsEmpty()) {
    if (observer_ != nullptr) observer_->OnPreview(request->page, preview);
    const IntRect shown{preview.x0 + nx + request->pageRect.x0, preview.y0 + ny + request->pageRect.y0,
                        preview.x1 + nx + request->pageRect.x0, preview.y1 + ny + request->pageRect.y0};
    request->unshown = UnionPixels(request->unshown, shown);
    invalid_ = UnionPixels(invalid_, IntersectPixels(request->unshown, request->visible));
    request->unshown = {};
    FlushInvalidRect();
  }
}

namespace {

void ShowDrawnRows(RenderRegion& region, RenderRequest* request, const IntRect& drawn);

}  // namespace

void RenderRegion::DrawDirtyAreas(RenderRequest* request) {
  runtime::ArenaAllocator arena(context_, runtime::kJobArenaBlockBytes, runtime::kJobArenaThreshold);
  runtime::HostBitmap& handle = request->bitmap->Handle();
  const runtime::HostPixelLayout* layout = handle.Begin(0);
  const int32_t kind = layout != nullptr ? layout->kind : 0;
  handle.End();
  const raster::HostRowWriter writer(arena, kind);
  content::PageRenderer::Area area;
  area.viewRotation = layout_->viewRotation;
  const double dpi = DotsPerInch();
  // In the reflow modes the page is its reflowed column, drawn from the
  // reflow the layout sized its cell by, and its marks through the
  // reflow's placement. A page the reflow found nothing on is laid out,
  // and drawn, as it is.
  const bool reflow = IsReflowMode(layout_->params.layoutMode) && reflowed_.PageFlag(request->page, true) != 0;
  // The model is held while the painting yields: a layout meanwhile may
  // reflow other pages or change the column.
  const ReflowPages::Hold held(reflowed_, reflow ? request->page : -1);
  const content::ReflowModel* model = held.Model();
  // The page, its resources and its content program are set up once for
  // every area the step draws (a scroll leaves up to two strips).
  std::optional<content::PagePaintSetup> setup;
  if (!reflow && request->dirtyCount > 0) setup.emplace(document_, request->page);
  while (request->dirtyCount > 0) {
    area.pixels = request->dirty[0];
    BitmapRowSink sink(*this, request, writer, area.pixels, observer_, &ShowDrawnRows);
    if (!reflow) {
      // The page is drawn with the matrix it was laid out with, so that it
      // fills its cell exactly whatever its unit or the pixels' shape.
      // A page beyond the renderer's size limit is refused there.
      const runtime::Rect64 laid = layout_->PageRect(request->page);
      area.pageMatrix = &request->placement.matrix;
      area.width = static_cast<int32_t>(std::clamp<int64_t>(runtime::Int64::AddSaturating(laid.x1, -laid.x0), 1,
                                                            content::PageRenderer::kMaxPixels + 1));
      area.height = static_cast<int32_t>(std::clamp<int64_t>(runtime::Int64::AddSaturating(laid.y1, -laid.y0), 1,
                                                             content::PageRenderer::kMaxPixels + 1));
      renderer_.Render(*setup, dpi, sink, nullptr, &area);
    } else {
      IntRect column{};
      if (model != nullptr) {
        const content::PageRenderer::Result result =
            reflowPainter_.Render(request->page, *model, dpi, sink, nullptr, &area.pixels);
        column = {0, 0, result.width, result.height};
      }
      // What the column does not reach (its edge rounded apart from the
      // cell's, or no column at all) is white.
      const IntRect& a = area.pixels;
      const IntRect rest[2] = {{std::max(a.x0, column.x1), a.y0, a.x1, a.y1},
                               {a.x0, std::max(a.y0, column.y1), std::min(a.x1, column.x1), a.y1}};
      for (const IntRect& part : rest) {
        if (part.IsEmpty()) continue;
        BitmapRowSink white(*this, request, writer, part, observer_, &ShowDrawnRows);
        WriteWhiteRows(white, arena, part);
      }
    }
    const IntRect marked = IntersectPixels(area.pixels, request->BitmapRect());
    bool anyOverlay = false;
    for (PageOverlay* overlay : overlays_) {
      if (overlay == nullptr || marked.IsEmpty() || (reflow && model == nullptr)) continue;
      if (reflow) {
        // Marks follow the text to where the reflow put it.
        overlay->PaintOverReflowed(request->page, *model, PageOverlay::ReflowToPixels(dpi, model->Unit()), marked,
                                   *request->bitmap, request->originX, request->originY);
      } else {
        overlay->PaintOver(request->page, request->placement.matrix, marked, *request->bitmap, request->originX,
                           request->originY);
      }
      anyOverlay = true;
    }
    if (anyOverlay) ShowDrawnRows(*this, request, marked);
    // The area is done: a restart goes on with the next.
    for (int32_t i = 1; i < request->dirtyCount; ++i) request->dirty[i - 1] = request->dirty[i];
    --request->dirtyCount;
  }
}

namespace {

void ShowDrawnRows(RenderRegion& region, RenderRequest* request, const IntRect& drawn) {
  // Page pixels to window pixels.
  const IntRect r{drawn.x0 + request->pageRect.x0, drawn.y0 + request->pageRect.y0, drawn.x1 + request->pageRect.x0,
                  drawn.y1 + request->pageRect.y0};
  region.AddDirtyRect(request, r, false);
}

}  // namespace

void RenderRegion::AddDirtyRect(RenderRequest* request, const IntRect& rect, bool force) {
  request->unshown = UnionPixels(request->unshown, rect);
  if (!force && !request->showAt.Passed()) return;
  invalid_ = UnionPixels(invalid_, IntersectPixels(request->unshown, request->visible));
  request->unshown = {};
  FlushInvalidRect();
  CheckStillValid(request);
  request->showAt = runtime::Deadline(context_, kNextShowMilliseconds);
}

void RenderRegion::CheckStillValid(RenderRequest* request) {
  PagePlacement now;
  bool valid = layout_ != nullptr && PagePlacement::Build(*layout_, request->page, now) &&
               SamePlacement(now, request->placement);
  if (valid) {
    const IntRect page = LayoutRectInWindow(*layout_, layout_->PageRect(request->page));
    const IntRect visible = VisibleInWindow(*layout_, request->page);
    const IntRect wanted{visible.x0 - page.x0, visible.y0 - page.y0, visible.x1 - page.x0, visible.y1 - page.y0};
    valid = ContainsPixels(request->BitmapRect(), wanted);
  }
  if (!valid) runtime::ThrowError(context_, runtime::ErrorRecord{runtime::kViewerDomain, 3, 1});
}

}  // namespace viewer
