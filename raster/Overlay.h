#pragma once
// Marks the viewer draws straight into its visible host bitmap, without a
// raster device: the end marks of a text selection or search hit and the
// dashed focus rectangle of a link. Each is a stroked path's coverage over a
// constant colour, written by exclusive or, so that drawing the same mark
// again removes it; each adds its device rectangle to the view's dirty
// bounds. Also the frame drawn round a page cell and the page decorations
// the viewer obtains from the host.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/Fixed.h"
#include "runtime/HostBitmap.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"
#include "runtime/Region.h"

namespace runtime {
class HostServices;
class LibraryContext;
}  // namespace runtime

namespace raster {

using runtime::Fixed;
using runtime::FixedPoint;
using runtime::IntRect;

// A selection's end marks: two point pairs (the first and the second mark)
// and the line numbers of its two ends.
struct SelectionRecord {
  FixedPoint first[2];
  FixedPoint second[2];
  int32_t startLine = 0;
  int32_t endLine = 0;
};

// What the overlay painters read of a page view.
struct OverlayView {
  static constexpr int32_t kSelectionMarks = 3;  // the selection mode that shows marks

  runtime::HostBitmap* surface = nullptr;  // the visible off-screen bitmap
  int32_t originX = 0, originY = 0;        // the scroll origin, in device pixels
  Fixed zoom = runtime::kFixedOne;
  Fixed pageWidth = runtime::kFixedOne, pageHeight = runtime::kFixedOne;
  // Maps the marks' page coordinates to device pixels.
  runtime::Matrix pageToDevice;
  int32_t selectionMode = 0;
  const SelectionRecord* selection = nullptr;
  bool firstFlag = false;
  bool secondFlag = false;
  IntRect linkRect;  // the focused link, device pixels
  // Grown by every mark drawn (empty until then).
  IntRect dirty{0, 0, 0, 0};
};

struct Overlay {
  // The segment from a to b (page coordinates) one device pixel wide in the
  // colour (1 − c1, 1 − c2, 1 − c3), by exclusive or. Nothing without a
  // surface or when a and b share their x.
  static void DrawOverlaySegment(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, OverlayView& view,
                                 FixedPoint a, FixedPoint b, Fixed c1, Fixed c2, Fixed c3);
  // The selection's end marks, inverting what lies under them.
  static void DrawSelectionMarks(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, OverlayView& view);
  // A dotted rectangle through the centres of the border pixels of `rect`
  // (device pixels): 2 pixels on, 2 off from the top-left corner, inverted.
  static void DrawFocusRectangle(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, OverlayView& view,
                                 const IntRect& rect);
  static void DrawFocusRectangleFromView(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                         OverlayView& view) {
    DrawFocusRectangle(context, arena, view, view.linkRect);
  }
  // Four one-pixel lines round [0, width) x [0, height) of the target: top
  // and left light (255), bottom and right dark (127), exchanged with
  // `sunken`.
  static void DrawFrame(runtime::HostBitmap& target, runtime::ArenaAllocator& arena, int32_t width, int32_t height,
                        bool sunken);
};

// The screen-density metric set and its three decoration sizes.
struct DpiMetrics {
  int32_t set = 0;
  int32_t sizes[3] = {};
  // Set 1 from 162 dpi up (between the 108 and 216 dpi levels), else 0.
  static DpiMetrics Select(runtime::HostServices& host);
  static DpiMetrics ForDpi(int32_t dpi);
};

// The page-frame decorations: three square pictures (a page shadow's
// corner, its edge and the page-turn mark) in the sizes of the density's
// metric set, the corner with a mask bitmap. Throws (runtime, 1) when the
// host supplies no bitmap, releasing what it had made.
class DecorationBitmaps {
 public:
  static constexpr int kCount = 3;
  static DecorationBitmaps* Create(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                   runtime::HostServices& host);
  void Release();

  runtime::HostBitmap* bitmaps[kCount] = {};
  runtime::HostBitmap* masks[kCount] = {};
  DpiMetrics metrics;

 private:
  runtime::HostServices* host_ = nullptr;
};

}  // namespace raster
