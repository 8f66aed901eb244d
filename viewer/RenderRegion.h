#pragma once
// The render side of the page view: one render request per visible page,
// rebuilt whenever the view is laid out anew, and up to three cooperative
// render threads that turn pending requests into page bitmaps. The window
// is painted from those bitmaps (PaintVisibleCells).
//
// Everything runs on one operating-system thread. Commands change the
// layout on the main thread between scheduler slices; a request whose page
// moved under the thread that draws it is taken from that thread (which is
// killed, so it cannot write into a bitmap that is being replaced) and
// drawn again by another.
#include <cstdint>

#include "color/ColorContext.h"
#include "content/PageRenderer.h"
#include "content/ReflowPainter.h"
#include "fonts/DocumentFontSource.h"
#include "pdf/Document.h"
#include "runtime/Event.h"
#include "runtime/HostServices.h"
#include "runtime/HostWindow.h"
#include "runtime/LibraryContext.h"
#include "runtime/RecordVector.h"
#include "runtime/ViewSurface.h"
#include "viewer/PageLayout.h"
#include "viewer/PageOverlay.h"
#include "viewer/ReflowPages.h"
#include "viewer/RenderRequest.h"
#include "viewer/RenderScheduling.h"
#include "viewer/RenderThreadPool.h"
#include "viewer/StripFill.h"

namespace viewer {

// What a test or a tool may watch of the drawing.
class RenderObserver {
 public:
  // Page pixels `area` of `page` were drawn into its bitmap.
  virtual void OnAreaDrawn(int32_t page, const runtime::IntRect& area) = 0;
  // A new bitmap of `page` shows the old one scaled over `area` (page
  // pixels of the new bitmap) until it is drawn.
  virtual void OnPreview(int32_t page, const runtime::IntRect& area) {
    (void)page;
    (void)area;
  }

 protected:
  ~RenderObserver() = default;
};

class RenderRegion final : public RenderScheduling {
 public:
  // Pages of `document` are drawn into bitmaps of `host`; `window` (may be
  // null) is told what to repaint.
  RenderRegion(runtime::LibraryContext* context, pdf::Document& document, runtime::HostServices* host,
               runtime::HostWindow* window);
  ~RenderRegion();
  RenderRegion(const RenderRegion&) = delete;
  RenderRegion& operator=(const RenderRegion&) = delete;

  // ---- RenderScheduling ----
  // Rebuilds the requests for the visible cells of `layout`, revalidates
  // them and starts render threads for the pending ones. Without a
  // scheduler the pending pages are drawn at once.
  void UpdateRenderRequests(const PageLayout& layout) override;
  void InvalidateAll() override;
  bool HasPendingWork() const override;
  void FlushInvalidRect() override;
  // Paints the visible cells of the last layout over `clip` (window
  // pixels): frames, borders and shadows, and each page's bitmap or white.
  bool PaintVisibleCells(runtime::ViewSurface& surface, const runtime::HostRect& clip) override;
  ReflowPages* Reflow() override { return &reflowed_; }
  const StripFill& Strips() const { return strips_; }

  // The first queued request in state 1 becomes taken (state 2).
  RenderRequest* TakeNextPending();
  // Draws a taken request on the running thread until it is finished or
  // taken from it.
  void ProcessRequest(RenderRequest* request);

  // Changes a request's state and the counters; entering 3 or 4 records
  // the running thread as its owner, leaving them hands it back.
  void SetState(RenderRequest* request, int32_t state);
  void Release(RenderRequest* request);
  // Drawn window pixels to show; shown when due or forced, after which a
  // view that changed under the drawing raises ("PDFViewer", 3).
  void AddDirtyRect(RenderRequest* request, const runtime::IntRect& rect, bool force);

  uint32_t PendingCount() const { return pending_; }
  uint32_t DrawingCount() const { return drawing_ + taken_; }
  const runtime::RecordVector<RenderRequest*>& Queue() const { return queue_; }
  void SetObserver(RenderObserver* observer) { observer_ = observer; }
  // What is marked over the drawn pages (null: nothing), one overlay per
  // slot: the selection's in slot 0, the links' in slot 1. Their marks
  // must not depend on the order they are made in.
  static constexpr uint32_t kOverlaySlots = 2;
  void SetOverlay(PageOverlay* overlay, uint32_t slot = 0) {
    if (slot < kOverlaySlots) overlays_[slot] = overlay;
  }
  // Offered every annotation of the pages drawn (null: none); the pages
  // shown are drawn again with it.
  void SetDecoration(content::AnnotationDecoration* decoration);
  // Every shown page is drawn again (its overlays' marks changed all over).
  void RedrawShownPages();
  // The page pixels `area` of `page`'s shown bitmap are drawn again (an
  // overlay's marks moved there). Nothing for a page without a bitmap.
  void RedrawPageArea(int32_t page, const runtime::IntRect& area);
  // The page-space to page-pixel matrix of `page`'s bitmap; false when the
  // page has none.
  bool BitmapMatrix(int32_t page, runtime::Matrix& out) const;
  // In the reflow modes: page `page` as reflowed, when it has a bitmap,
  // with `toPixels` mapping its reflow space to that bitmap's page pixels;
  // null otherwise.
  const content::ReflowModel* ReflowBitmapMatrix(int32_t page, runtime::Matrix& toPixels);
  // Bitmaps made and given back so far (for tests of reuse and leaks).
  uint32_t BitmapsMade() const { return bitmapsMade_; }
  uint32_t LiveBitmaps() const { return liveBitmaps_; }
  runtime::LibraryContext* Context() const { return context_; }

 private:
  friend class RenderThread;
  // One step: 1 when it must run again at once (the view changed under it).
  int32_t RenderStep(RenderRequest* request);
  void DrawDirtyAreas(RenderRequest* request);
  // Makes the bitmap fit the request's visible part: kept, shifted with
  // the exposed strips marked, or replaced and wholly marked.
  void PrepareBitmap(RenderRequest* request);
  void Revalidate(RenderRequest* request);
  void CheckStillValid(RenderRequest* request);
  void TakeFromOwner(RenderRequest* request);
  void StartThreads();
  void DrawPendingNow();
  double DotsPerInch() const;
  void ReplaceBitmap(RenderRequest* request, HostBitmap* bitmap);

  runtime::LibraryContext* context_;
  pdf::Document& document_;
  runtime::HostServices* host_;
  runtime::HostWindow* window_;
  color::ColorContext colors_;
  fonts::DocumentFontSource fonts_;
  content::PageRenderer renderer_;
  // The reflow modes draw the pages' reflowed columns.
  ReflowPages reflowed_;
  content::ReflowPainter reflowPainter_;
  // The dashed line between reflowed pages.
  StripFill strips_;
  const PageLayout* layout_ = nullptr;
  runtime::RecordVector<RenderRequest*> queue_;
  RenderThreadPool pool_;
  RenderObserver* observer_ = nullptr;
  PageOverlay* overlays_[kOverlaySlots] = {};
  uint32_t pending_ = 0, taken_ = 0, drawing_ = 0;
  // Window pixels to repaint.
  runtime::IntRect invalid_;
  uint32_t bitmapsMade_ = 0;
  uint32_t liveBitmaps_ = 0;
};

}  // namespace viewer
