#pragma once
// The dashed line between reflowed pages, drawn from a small strip bitmap
// made once (300 x 1 across, 1 x 300 down) and repeated along the line:
// dashes two pixels long and two apart, mid grey on white, counted from
// the line's start so that repainting any part of it draws the same
// dashes.
#include <cstdint>

#include "runtime/HostServices.h"
#include "runtime/LibraryContext.h"
#include "runtime/Rect.h"
#include "runtime/ViewSurface.h"

namespace viewer {

class HostBitmap;

class StripFill {
 public:
  static constexpr int32_t kStripLength = 300;
  static constexpr int32_t kDashLength = 2;
  static constexpr int32_t kDashPeriod = 4;
  static constexpr uint8_t kDashGrey = 127;

  StripFill(runtime::LibraryContext* context, runtime::HostServices* host) : context_(context), host_(host) {}
  ~StripFill();
  StripFill(const StripFill&) = delete;
  StripFill& operator=(const StripFill&) = delete;

  // Paints the line over `rect` (window pixels), only inside `clip`. The
  // line runs along the longer side of `rect`. Without a strip bitmap
  // (no host, or none to be had) the dashes are filled one by one.
  void Fill(runtime::ViewSurface& surface, const runtime::IntRect& clip, const runtime::IntRect& rect);
  // The strip of one direction, made on first use; null when the host
  // gives no bitmap.
  HostBitmap* Strip(bool vertical);
  // Strip bitmaps made so far (for tests of the cache).
  uint32_t StripsMade() const { return made_; }

 private:
  void FillDashes(runtime::ViewSurface& surface, const runtime::IntRect& part, const runtime::IntRect& rect,
                  bool vertical) const;

  runtime::LibraryContext* context_;
  runtime::HostServices* host_;
  // Across, then down.
  HostBitmap* strips_[2] = {};
  bool refused_[2] = {};
  uint32_t made_ = 0;
};

}  // namespace viewer
