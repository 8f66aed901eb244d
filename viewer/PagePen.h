#pragma once
// The page view's side of the pen: the pan drag that moves the view (with
// the lead margins of its direction), taps on links with the link-focus
// modes, the rubber band of the zoom-rectangle tool, and text selection
// between the press and the pen, which becomes the document's selection.
//
// There is no distance threshold between a tap and a drag: any move to
// another pixel makes the press a drag.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/Optional.h"
#include "runtime/Rect64.h"
#include "runtime/TextPosition.h"
#include "viewer/FocusedLinkSource.h"
#include "viewer/LinkHighlights.h"
#include "viewer/PageLink.h"
#include "viewer/PenTarget.h"
#include "viewer/ViewAnchor.h"

namespace content {
class ReflowModel;
class FontSource;
class TextFontSource;
}  // namespace content

namespace pdf {
class Document;
}

namespace viewer {

class ActionRunner;
class DocumentSelection;
class PageView;

// Link-focus modes.
inline constexpr int32_t kLinkFocusNone = 0;
inline constexpr int32_t kLinkFocusFollowsView = 1;
inline constexpr int32_t kLinkFocusTap = 2;
inline constexpr int32_t kLinkFocusSearch = 3;

// Gesture kinds: the pen tool at the press.
inline constexpr uint32_t kGesturePan = 0;
inline constexpr uint32_t kGestureTextSelection = 1;
inline constexpr uint32_t kGestureRubberBand = 2;

// Selection modes of the text between two points.
inline constexpr int32_t kSelectBetweenPoints = 2;

// A point of a page (page space).
struct PagePoint {
  int32_t page = -1;
  runtime::Fixed x = 0, y = 0;
};

class PagePen final : public PenTarget, public FocusedLinkSource {
 public:
  // `fonts` and `textFonts` serve text selection (null: no selection).
  PagePen(PageView& view, pdf::Document& document, ActionRunner& actions, DocumentSelection& selection,
          content::FontSource* fonts, content::TextFontSource* textFonts);

  // The pen gestures, in view pixels relative to the window.
  void PenPress(uint32_t kind, int64_t x, int64_t y);
  void PenMove(int64_t x, int64_t y);
  void PenUp(int64_t x, int64_t y);
  // The pen's capture was lost.
  void PenRelease();

  // The viewer's pen events: a press takes the page view's pen tool.
  void PenDown(int64_t x, int64_t y) override;
  void PenMoveTo(int64_t x, int64_t y) override { PenMove(x, y); }
  void PenUpAt(int64_t x, int64_t y) override { PenUp(x, y); }
  void PenCaptureLost() override { PenRelease(); }

  // The page and page point under a view point: the laid-out cell under
  // it, clamped into the laid-out cells. False when no page is laid out
  // there or its matrix has no inverse.
  bool ViewToPage(int64_t x, int64_t y, PagePoint& out);
  // The text between two page points (page order), by `mode`; none when
  // nothing is selected there or text selection has no fonts.
  runtime::Optional<runtime::TextRange> TextBetween(const PagePoint& a, const PagePoint& b, int32_t mode);
  runtime::Optional<runtime::TextRange> TextInViewRect(const runtime::Rect64& rect, int32_t mode);

  // In mode 2 only: the link under the point becomes the focused link,
  // held down. True when there is one.
  bool TapLink(const PagePoint& point);
  void SetFocusedLink(const PageLink& link);
  void SetFocusedLinkState(uint16_t state);
  const PageLink& FocusedLink() const { return focused_; }
  // Told of every change of the focused link (null: no one).
  void SetFocusListener(LinkFocusListener* listener) { focusListener_ = listener; }

  // Keys. The focus goes to the next link on screen in reading order,
  // from the first again after the last; false when no link is on screen
  // or links take no focus (mode 0). The view moves so that the link is
  // wholly in the window when it fits.
  bool FocusNextLink();
  // The focused link is followed when it is on screen; false without one.
  bool FollowFocusedLink();
  bool FocusedLinkRect(int32_t& page, runtime::Rect& rect) override;
  // After a view change in mode 1: a focused link that left the window
  // gives way to the first visible link.
  void CheckFocusedLinkVisible();

  int32_t linkFocusMode = kLinkFocusTap;
  bool IsDown() const { return down_; }
  bool Moved() const { return moved_; }
  uint32_t Kind() const { return kind_; }
  // The rubber band in view pixels (all zero when there is none).
  const runtime::Rect64& RubberBand() const { return band_; }

 private:
  // Follows the focused link when the pen is released on it.
  void ActivateFocusedLink(const PagePoint& point);
  void ApplySelection(const PagePoint& point);
  bool PagePointToView(const PagePoint& point, int64_t& x, int64_t& y);
  // On a reflowed page: its model, with `point` in its reflow space in
  // (x, y); null when the page is shown as drawn.
  const content::ReflowModel* ReflowPoint(const PagePoint& point, runtime::Fixed& x, runtime::Fixed& y);
  // Whether `link` lies under `point`, as the page is shown.
  bool LinkHolds(const PageLink& link, const PagePoint& point);

  PageView& view_;
  pdf::Document& document_;
  ActionRunner& actions_;
  DocumentSelection& selection_;
  content::FontSource* fonts_;
  content::TextFontSource* textFonts_;
  PageLink focused_;
  LinkFocusListener* focusListener_ = nullptr;
  bool down_ = false;
  bool moved_ = false;
  uint32_t kind_ = kGesturePan;
  int64_t pressX_ = 0, pressY_ = 0;
  PagePoint press_;
  bool hasAnchor_ = false;
  ViewAnchor anchor_;
  runtime::Rect64 band_{0, 0, 0, 0};
};

}  // namespace viewer
