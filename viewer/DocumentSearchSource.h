#pragma once
// The open document as search sees it: its pages, fonts and page view. A
// match becomes the document's selection and is scrolled into view when it
// is not already there.
#include <cstdint>

#include "viewer/ViewerSearch.h"

namespace viewer {

class DocumentSelection;
class PageView;

class DocumentSearchSource final : public SearchSource {
 public:
  // Space kept around a match brought into view, in pixels.
  static constexpr int32_t kMatchMargin = 8;

  DocumentSearchSource(PageView& view, pdf::Document& document, DocumentSelection& selection,
                       content::FontSource* fonts, content::TextFontSource* textFonts)
      : view_(view), document_(document), selection_(selection), fonts_(fonts), textFonts_(textFonts) {}

  pdf::Document& SearchDocument() override { return document_; }
  content::FontSource* SearchFonts() override { return fonts_; }
  content::TextFontSource* SearchTextFonts() override { return textFonts_; }
  int32_t FirstVisiblePage() override;
  int32_t LastVisiblePage() override;
  const runtime::TextRange* HighlightedMatch() override;
  void ShowMatch(const runtime::TextRange& match) override;

 private:
  PageView& view_;
  pdf::Document& document_;
  DocumentSelection& selection_;
  content::FontSource* fonts_;
  content::TextFontSource* textFonts_;
};

}  // namespace viewer
