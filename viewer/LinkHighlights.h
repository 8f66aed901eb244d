#pragma once
// Links marked over the drawn pages: with links shown, a frame 2 pixels
// wide around every link; the focused link framed in its own colour, or
// filled while it is held down. Each mark turns the page pixels by
// exclusive or with the complement of its colour, so that on a white page
// it shows in that colour and the text under it stays readable. When the
// focus moves, the pixels of the old and the new focused link are drawn
// again.
#include <cstdint>

#include "runtime/Matrix.h"
#include "runtime/Rect.h"
#include "viewer/PageLink.h"
#include "viewer/PageOverlay.h"

namespace pdf {
class Document;
}

namespace viewer {

class RenderRegion;

// Told when the focused link or its held-down state changes.
class LinkFocusListener {
 public:
  virtual void FocusedLinkChanged(const PageLink& before, const PageLink& now) = 0;

 protected:
  ~LinkFocusListener() = default;
};

class LinkHighlights final : public PageOverlay, public LinkFocusListener {
 public:
  // The render region's overlay slot the link marks take.
  static constexpr uint32_t kOverlaySlot = 1;
  // Width of a frame in pixels.
  static constexpr int32_t kFrameWidth = 2;

  explicit LinkHighlights(pdf::Document& document);
  ~LinkHighlights();
  LinkHighlights(const LinkHighlights&) = delete;
  LinkHighlights& operator=(const LinkHighlights&) = delete;

  // Marks the pages `region` draws (null: none).
  void Attach(RenderRegion* region);
  // Frames every link of the pages shown, or stops.
  void SetShowLinks(bool show);
  bool ShowLinks() const { return showLinks_; }

  void FocusedLinkChanged(const PageLink& before, const PageLink& now) override;
  void PaintOver(int32_t page, const runtime::Matrix& toPixels, const runtime::IntRect& area, HostBitmap& bitmap,
                 int32_t originX, int32_t originY) override;
  // On a reflowed page a link is framed where the reflow put its text:
  // one frame per line it was found on.
  void PaintOverReflowed(int32_t page, const content::ReflowModel& model, const runtime::Matrix& toPixels,
                         const runtime::IntRect& area, HostBitmap& bitmap, int32_t originX, int32_t originY) override;

 private:
  void RedrawLink(const PageLink& link);
  // Turns the pixels of `rects` (page pixels) within `area` with `colour`,
  // framed or filled.
  static void Mark(const runtime::IntRect* rects, uint32_t count, const runtime::Fixed (&colour)[3], bool frame,
                   const runtime::IntRect& area, HostBitmap& bitmap, int32_t originX, int32_t originY);

  pdf::Document& document_;
  RenderRegion* region_ = nullptr;
  bool showLinks_ = false;
  PageLink focused_;
};

}  // namespace viewer
