#pragma once
// The place of the text being read, kept through a change of the view (a
// zoom, a quarter turn, a new layout or window size): the first character
// in the window before the change is put back at the same place in the
// window after it, so that the reader does not lose the line.
//
//   ReadingPosition kept(document, interaction, view);   // before the change
//   view->ZoomIn();
//   kept.Restore();                            // the next layout places it
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/TextPosition.h"
#include "viewer/ReadingPositionKeeper.h"

namespace pdf {
class Document;
}

namespace viewer {

class DocumentInteraction;
class PageView;

class ReadingPosition {
 public:
  // Records the first character of the text in `view`'s window (the
  // pages of `document`, read through `interaction`'s fonts) and where its
  // box's centre lies in the window. Nothing is kept when any is null or
  // the window shows no text; an error finding the text (other than a
  // cancellation) keeps nothing either.
  ReadingPosition(pdf::Document* document, DocumentInteraction* interaction, PageView* view);

  bool Held() const { return held_; }
  // After the change: anchors the character's centre at its old place in
  // the window. Nothing when nothing was kept or the character's page is
  // no longer laid out.
  void Restore();

  // Whether the window's centre lies on a laid-out page.
  static bool CentreOnPage(PageView& view);

 private:
  // In the reflow modes: the first character shown, page by page, read
  // from the reflowed column of a reflowed page and from the drawn text
  // of a page shown as drawn. False when the window shows none.
  bool FirstShown();
  // The centre of the character's box on its page as laid out (page
  // space, or the column's space for a reflowed page); false when it has
  // no box.
  bool BoxCentre(runtime::Fixed& x, runtime::Fixed& y);

  pdf::Document* document_;
  DocumentInteraction* interaction_;
  PageView* view_;
  runtime::TextPosition position_;
  int32_t viewX_ = 0;
  int32_t viewY_ = 0;
  bool held_ = false;
};

// The reading position kept for the page view of one document, which the
// view records and restores around its own changes.
class DocumentReadingPosition final : public ReadingPositionKeeper {
 public:
  DocumentReadingPosition(pdf::Document* document, DocumentInteraction* interaction, PageView* view)
      : document_(document), interaction_(interaction), view_(view) {}
  void RecordReadingPosition() override;
  void RestoreReadingPosition() override;

 private:
  pdf::Document* document_;
  DocumentInteraction* interaction_;
  PageView* view_;
  ReadingPosition kept_{nullptr, nullptr, nullptr};
};

}  // namespace viewer
