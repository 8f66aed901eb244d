#pragma once
// One visible page to be drawn: its state, the placement it is drawn for,
// the host bitmap that holds the drawn part of the page and what of that
// bitmap still waits to be drawn. Requests are counted: the render queue
// holds one reference and so does a render thread while it draws.
#include <cstdint>

#include "runtime/Deadline.h"
#include "runtime/Rect.h"
#include "runtime/ThreadState.h"
#include "viewer/PagePlacement.h"

namespace viewer {

class HostBitmap;
class RenderRegion;

// Request states.
inline constexpr int32_t kRequestPending = 1;    // must be drawn (again)
inline constexpr int32_t kRequestTaken = 2;      // claimed for a render thread
inline constexpr int32_t kRequestPreparing = 3;  // placement and bitmap being made
inline constexpr int32_t kRequestDrawing = 4;
inline constexpr int32_t kRequestDone = 5;       // finished, or not needed

// At most this many rectangles wait to be drawn; more become their union.
inline constexpr int32_t kMaxDirtyRects = 2;

struct RenderRequest {
  RenderRequest(RenderRegion* owner, int32_t pageIndex);
  ~RenderRequest();
  RenderRequest(const RenderRequest&) = delete;
  RenderRequest& operator=(const RenderRequest&) = delete;

  // The bitmap's rectangle in page pixels.
  runtime::IntRect BitmapRect() const;
  // Adds a rectangle (page pixels) to what waits to be drawn, cut to the
  // bitmap.
  void AddDirty(const runtime::IntRect& rect);
  void ClearDirty() { dirtyCount = 0; }

  int32_t refs = 1;
  RenderRegion* region;
  int32_t page;
  int32_t state = kRequestPending;
  // Set while a step draws and after data that was not there yet; clear
  // once the page's pixels are in place.
  bool incomplete = false;
  // The thread drawing it (states 3 and 4).
  runtime::ThreadState* owner = nullptr;

  // The placement of the step under way.
  PagePlacement placement;
  bool hasPlacement = false;
  // The page and its visible part, relative to the window.
  runtime::IntRect pageRect;
  runtime::IntRect visible;

  // The drawn part of the page: `bitmap` holds page pixels from
  // (originX, originY), drawn for `bitmapPlacement`.
  HostBitmap* bitmap = nullptr;
  int32_t originX = 0, originY = 0;
  PagePlacement bitmapPlacement;
  // Rectangles of the bitmap (page pixels) not drawn yet.
  runtime::IntRect dirty[kMaxDirtyRects];
  int32_t dirtyCount = 0;
  // Drawn pixels not shown yet (window pixels), and when to show them.
  runtime::IntRect unshown;
  runtime::Deadline showAt;
};

// Equal placements draw the same pixels.
bool SamePlacement(const PagePlacement& a, const PagePlacement& b);

}  // namespace viewer
