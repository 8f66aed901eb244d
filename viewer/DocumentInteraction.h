#pragma once
// What the user does with an open document beyond moving the view: its
// selection, the links and actions it follows, the pen on its page view,
// and search. Made when the page view of a document is made, attached to
// the viewer (its pen events and Find Next come here) and detached before
// the document goes.
#include "fonts/DocumentFontSource.h"
#include "fonts/DocumentTextFontSource.h"
#include "viewer/ActionRunner.h"
#include "viewer/DocumentSearchSource.h"
#include "viewer/DocumentSelection.h"
#include "viewer/LinkBorderDecoration.h"
#include "viewer/LinkHighlights.h"
#include "viewer/PagePen.h"
#include "viewer/ReadingPosition.h"
#include "viewer/SelectionOverlay.h"

namespace viewer {

class Viewer;

class DocumentInteraction {
 public:
  // `host` may be null.
  DocumentInteraction(runtime::LibraryContext* context, pdf::Document& document, PageView& view,
                      runtime::HostServices* host);
  ~DocumentInteraction();
  DocumentInteraction(const DocumentInteraction&) = delete;
  DocumentInteraction& operator=(const DocumentInteraction&) = delete;

  // The viewer's pen events and searches go to this document, and its
  // selection shows on the viewer's drawn pages.
  void Attach(Viewer& viewer);
  // They stop; a search job of this document goes.
  void Detach();

  DocumentSelection selection;
  fonts::DocumentFontSource fonts;
  fonts::DocumentTextFontSource textFonts;
  ActionRunner actions;
  PagePen pen;
  DocumentSearchSource searchSource;
  // The selection marked on the pages the viewer's render region draws.
  SelectionOverlay overlay;
  // The links framed and the focused link marked on those pages, and the
  // borders of links drawn with them.
  LinkHighlights linkHighlights;
  LinkBorderDecoration linkBorders;
  // The text being read, kept by the page view through its own resizes
  // and layout-mode changes.
  DocumentReadingPosition reading;

 private:
  PageView& view_;
  Viewer* viewer_ = nullptr;
};

}  // namespace viewer
