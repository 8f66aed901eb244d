#include "viewer/RenderRegion.h"

#include <algorithm>
#include <limits>

#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"
#include "viewer/HostBitmap.h"
#include "viewer/ViewFrame.h"

namespace viewer {

using runtime::IntRect;
using runtime::Rect64;

namespace {

int32_t ClampToPixel(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

}  // namespace

// Layout rectangles are in the view's orientation already (the cells hold
// the pages' turned sizes): relative to the window they are view pixels.
IntRect LayoutRectInWindow(const PageLayout& layout, const Rect64& r) {
  const Rect64& w = layout.window;
  return {ClampToPixel(runtime::Int64::AddSaturating(r.x0, -w.x0)),
          ClampToPixel(runtime::Int64::AddSaturating(r.y0, -w.y0)),
          ClampToPixel(runtime::Int64::AddSaturating(r.x1, -w.x0)),
          ClampToPixel(runtime::Int64::AddSaturating(r.y1, -w.y0))};
}

IntRect IntersectPixels(const IntRect& a, const IntRect& b);

IntRect VisibleInWindow(const PageLayout& layout, int32_t page) {
  if (!layout.IsPageInRange(page)) return {};
  const Rect64& w = layout.window;
  const IntRect window{0, 0, ClampToPixel(w.x1 - w.x0), ClampToPixel(w.y1 - w.y0)};
  return IntersectPixels(LayoutRectInWindow(layout, layout.PageRect(page)), window);
}

IntRect IntersectPixels(const IntRect& a, const IntRect& b) {
  const IntRect r{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
  return r.IsEmpty() ? IntRect{} : r;
}

IntRect UnionPixels(const IntRect& a, const IntRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

bool ContainsPixels(const IntRect& outer, const IntRect& inner) {
  return inner.IsEmpty() ||
         (outer.x0 <= inner.x0 && outer.y0 <= inner.y0 && outer.x1 >= inner.x1 && outer.y1 >= inner.y1);
}

// ---- RenderRequest ----

RenderRequest::RenderRequest(RenderRegion* owner, int32_t pageIndex)
    : region(owner), page(pageIndex), showAt(owner->Context()) {}

RenderRequest::~RenderRequest() = default;

IntRect RenderRequest::BitmapRect() const {
  if (bitmap == nullptr) return {};
  return {originX, originY, originX + bitmap->Width(), originY + bitmap->Height()};
}

void RenderRequest::AddDirty(const IntRect& rect) {
  const IntRect r = IntersectPixels(rect, BitmapRect());
  if (r.IsEmpty()) return;
  if (dirtyCount < kMaxDirtyRects) {
    dirty[dirtyCount++] = r;
    return;
  }
  dirty[kMaxDirtyRects - 1] = UnionPixels(dirty[kMaxDirtyRects - 1], r);
}

bool SamePlacement(const PagePlacement& a, const PagePlacement& b) {
  if (a.hasExtraMatrix != b.hasExtraMatrix) return false;
  if (a.hasExtraMatrix && !(a.extraMatrix == b.extraMatrix)) return false;
  return a.rotation == b.rotation && a.matrix == b.matrix && a.rect.x0 == b.rect.x0 && a.rect.y0 == b.rect.y0 &&
         a.rect.x1 == b.rect.x1 && a.rect.y1 == b.rect.y1 && a.scale[0] == b.scale[0] && a.scale[1] == b.scale[1];
}

// ---- RenderRegion ----

RenderRegion::RenderRegion(runtime::LibraryContext* context, pdf::Document& document, runtime::HostServices* host,
                           runtime::HostWindow* window)
    : context_(context),
      document_(document),
      host_(host),
      window_(window),
      colors_(context, &document),
      fonts_(document),
      renderer_(document, colors_, &fonts_),
      reflowed_(context, document, &fonts_),
      reflowPainter_(document, colors_, &fonts_),
      strips_(context, host),
      queue_(context, context, 4),
      pool_(context) {}

RenderRegion::~RenderRegion() {
  // The threads go first: none may still hold a request.
  pool_.Stop();
  for (uint32_t i = 0; i < queue_.Size(); ++i) Release(queue_[i]);
  queue_.Clear();
}

void RenderRegion::Release(RenderRequest* request) {
  if (request == nullptr || --request->refs > 0) return;
  if (request->bitmap != nullptr) ReplaceBitmap(request, nullptr);
  runtime::DestroyAndFree(context_, request);
}

void RenderRegion::ReplaceBitmap(RenderRequest* request, HostBitmap* bitmap) {
  if (request->bitmap != nullptr) {
    runtime::DestroyAndFree(context_, request->bitmap);
    --liveBitmaps_;
  }
  request->bitmap = bitmap;
  if (bitmap != nullptr) {
    ++liveBitmaps_;
    ++bitmapsMade_;
  }
}

void RenderRegion::SetState(RenderRequest* request, int32_t state) {
  const int32_t old = request->state;
  auto count = [&](int32_t s) -> uint32_t* {
    if (s == kRequestPending) return &pending_;
    if (s == kRequestTaken) return &taken_;
    if (s == kRequestPreparing || s == kRequestDrawing) return &drawing_;
    return nullptr;
  };
  const bool wasOwned = old == kRequestPreparing || old == kRequestDrawing;
  const bool owned = state == kRequestPreparing || state == kRequestDrawing;
  if (owned && !wasOwned) {
    request->owner = context_->scheduler != nullptr ? context_->scheduler->current : nullptr;
  } else if (!owned && wasOwned) {
    request->owner = nullptr;
  }
  if (uint32_t* c = count(old); c != nullptr && *c > 0) --*c;
  if (uint32_t* c = count(state)) ++*c;
  request->state = state;
}

RenderRequest* RenderRegion::TakeNextPending() {
  for (uint32_t i = 0; i < queue_.Size(); ++i) {
    RenderRequest* request = queue_[i];
    if (request != nullptr && request->state == kRequestPending) {
      SetState(request, kRequestTaken);
      return request;
    }
  }
  return nullptr;
}

void RenderRegion::TakeFromOwner(RenderRequest* request) {
  runtime::ThreadState* owner = request->owner;
  SetState(request, kRequestPending);
  runtime::Scheduler* scheduler = context_->scheduler;
  // The thread that drew it may not go on writing into a bitmap that is
  // about to be shifted or replaced: it ends, and another draws the page.
  if (owner != nullptr && scheduler != nullptr && owner != scheduler->current && owner->live) {
    scheduler->Kill(owner);
  }
}

void RenderRegion::Revalidate(RenderRequest* request) {
  PagePlacement now;
  const bool placed = PagePlacement::Build(*layout_, request->page, now);
  const IntRect visible = placed ? VisibleInWindow(*layout_, request->page) : IntRect{};
  const IntRect pageRect = placed ? LayoutRectInWindow(*layout_, layout_->PageRect(request->page)) : IntRect{};
  if (!placed || visible.IsEmpty()) {
    if (request->owner != nullptr) TakeFromOwner(request);
    SetState(request, kRequestDone);
    return;
  }
  // The visible part in the page's own pixels.
  const IntRect wanted{visible.x0 - pageRect.x0, visible.y0 - pageRect.y0, visible.x1 - pageRect.x0,
                       visible.y1 - pageRect.y0};
  switch (request->state) {
    case kRequestPreparing:
    case kRequestDrawing:
      if (!request->hasPlacement || !SamePlacement(now, request->placement) ||
          !ContainsPixels(request->BitmapRect(), wanted)) {
        TakeFromOwner(request);
      }
      break;
    case kRequestDone:
      // A page whose data was missing is drawn again once more is there,
      // even when its bitmap still covers the view.
      if (request->incomplete || request->bitmap == nullptr || request->dirtyCount > 0 ||
          !SamePlacement(now, request->bitmapPlacement) || !ContainsPixels(request->BitmapRect(), wanted)) {
        SetState(request, kRequestPending);
      }
      break;
    default:
      break;
  }
}

void RenderRegion::UpdateRenderRequests(const PageLayout& layout) {
  layout_ = &layout;
  const int32_t count = layout.pageCount;
  // The new queue: one request per laid-out cell whose page shows.
  runtime::RecordVector<RenderRequest*> next(context_, context_, 4);
  const IntRect& cells = layout.cellRange;
  // Room for every cell first, so that no append fails with a reference
  // taken.
  next.Reserve(static_cast<uint32_t>(std::max<int64_t>(
      1, static_cast<int64_t>(cells.x1 - cells.x0) * std::max(cells.y1 - cells.y0, 0))));
  for (int32_t row = cells.y0; row < cells.y1; ++row) {
    for (int32_t column = cells.x0; column < cells.x1; ++column) {
      const int64_t page = layout.firstPage + static_cast<int64_t>(row) * layout.columns + column;
      if (page < 0 || page >= count) continue;
      const int32_t index = static_cast<int32_t>(page);
      if (VisibleInWindow(layout, index).IsEmpty()) continue;
      RenderRequest* request = nullptr;
      for (uint32_t i = 0; i < queue_.Size(); ++i) {
        if (queue_[i] != nullptr && queue_[i]->page == index) request = queue_[i];
      }
      if (request != nullptr) {
        ++request->refs;
      } else {
        // Without memory for it the cell waits for the next round.
        request = runtime::TryNewObject<RenderRequest>(context_, this, index);
        if (request == nullptr) continue;
        ++pending_;
      }
      next.Append(request);
    }
  }
  if (next.Size() > queue_.Size()) queue_.Reserve(next.Size());
  // Requests no longer shown are taken from their threads and let go.
  for (uint32_t i = 0; i < queue_.Size(); ++i) {
    RenderRequest* old = queue_[i];
    bool kept = false;
    for (uint32_t j = 0; j < next.Size(); ++j) kept = kept || next[j] == old;
    if (!kept) {
      if (old->owner != nullptr) TakeFromOwner(old);
      SetState(old, kRequestDone);
    }
    Release(old);
  }
  queue_.Clear();
  for (uint32_t j = 0; j < next.Size(); ++j) queue_.Append(next[j]);
  for (uint32_t j = 0; j < queue_.Size(); ++j) Revalidate(queue_[j]);
  StartThreads();
}

void RenderRegion::StartThreads() {
  runtime::Scheduler* scheduler = context_->scheduler;
  if (scheduler == nullptr || !context_->threadingEnabled) {
    DrawPendingNow();
    return;
  }
  if (pending_ == 0 && drawing_ + taken_ == 0) {
    FlushInvalidRect();
    return;
  }
  const uint32_t busy = drawing_ + taken_;
  if (busy >= kMaxRenderThreads || pending_ == 0) return;
  pool_.SetTarget(this, busy + std::min(pending_, kMaxRenderThreads - busy));
}

void RenderRegion::DrawPendingNow() {
  while (RenderRequest* request = TakeNextPending()) {
    runtime::CatchAllExceptCancel(context_, [&] { ProcessRequest(request); });
  }
  FlushInvalidRect();
}

void RenderRegion::InvalidateAll() {
  for (uint32_t i = 0; i < queue_.Size(); ++i) {
    RenderRequest* request = queue_[i];
    if (request->owner != nullptr) TakeFromOwner(request);
    request->bitmapPlacement = PagePlacement{};
  }
}

void RenderRegion::RedrawPageArea(int32_t page, const IntRect& area) {
  bool any = false;
  for (uint32_t i = 0; i < queue_.Size(); ++i) {
    RenderRequest* request = queue_[i];
    if (request == nullptr || request->page != page || request->bitmap == nullptr) continue;
    const int32_t before = request->dirtyCount;
    request->AddDirty(area);
    if (request->dirtyCount == before && before == 0) continue;
    // A request being drawn takes the area with its others; a finished
    // one is drawn again.
    if (request->state == kRequestDone) SetState(request, kRequestPending);
    any = true;
  }
  if (any) StartThreads();
}

void RenderRegion::SetDecoration(content::AnnotationDecoration* decoration) {
  renderer_.SetDecoration(decoration);
  RedrawShownPages();
}

void RenderRegion::RedrawShownPages() {
  for (uint32_t i = 0; i < queue_.Size(); ++i) {
    const RenderRequest* request = queue_[i];
    if (request != nullptr && request->bitmap != nullptr) RedrawPageArea(request->page, request->BitmapRect());
  }
}

bool RenderRegion::BitmapMatrix(int32_t page, runtime::Matrix& out) const {
  for (uint32_t i = 0; i < queue_.Size(); ++i) {
    const RenderRequest* request = queue_[i];
    if (request == nullptr || request->page != page || request->bitmap == nullptr) continue;
    out = request->bitmapPlacement.matrix;
    return true;
  }
  return false;
}

bool RenderRegion::HasPendingWork() const { return pending_ + taken_ + drawing_ > 0; }

void RenderRegion::FlushInvalidRect() {
  const IntRect r = invalid_;
  invalid_ = {};
  if (r.IsEmpty() || window_ == nullptr) return;
  runtime::HostWindow* window = window_;
  runtime::RunOnMainStack(context_, [&] { window->Invalidate({r.x0, r.y0, r.x1, r.y1}); });
}

double RenderRegion::DotsPerInch() const {
  return 72.0 * runtime::FixedToDouble(runtime::FixedMul(layout_->effectiveZoom, layout_->params.scaleX));
}

}  // namespace viewer
