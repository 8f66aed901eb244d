#include "viewer/DocumentInteraction.h"

#include "viewer/RenderRegion.h"
#include "viewer/Viewer.h"

namespace viewer {

DocumentInteraction::DocumentInteraction(runtime::LibraryContext* context, pdf::Document& document, PageView& view,
                                         runtime::HostServices* host)
    : fonts(document),
      textFonts(document),
      actions(context, document, view, host),
      pen(view, document, actions, selection, &fonts, &textFonts),
      searchSource(view, document, selection, &fonts, &textFonts),
      overlay(document, selection, &fonts, &textFonts),
      linkHighlights(document),
      reading(&document, this, &view),
      view_(view) {
  pen.SetFocusListener(&linkHighlights);
}

DocumentInteraction::~DocumentInteraction() { Detach(); }

void DocumentInteraction::Attach(Viewer& viewer) {
  Detach();
  viewer_ = &viewer;
  viewer.penTarget = &pen;
  viewer.search.source = &searchSource;
  viewer.searchFailed = true;  // the next Find Next starts afresh
  overlay.Attach(viewer.renderRegion);
  linkHighlights.Attach(viewer.renderRegion);
  if (viewer.renderRegion != nullptr) viewer.renderRegion->SetDecoration(&linkBorders);
  view_.SetFocusedLinkSource(&pen);
  view_.SetReadingPositionKeeper(&reading);
}

void DocumentInteraction::Detach() {
  if (viewer_ == nullptr) return;
  overlay.Attach(nullptr);
  linkHighlights.Attach(nullptr);
  if (viewer_->renderRegion != nullptr) viewer_->renderRegion->SetDecoration(nullptr);
  view_.SetFocusedLinkSource(nullptr);
  view_.SetReadingPositionKeeper(nullptr);
  if (viewer_->penTarget == &pen) viewer_->penTarget = nullptr;
  if (viewer_->search.source == &searchSource) {
    viewer_->search.DropJob();
    viewer_->search.source = nullptr;
  }
  viewer_ = nullptr;
}

}  // namespace viewer
