#pragma once
// Reflows one page: loads it with its link list, plays its content through
// the text engine into a reflow device and finishes the column. The model
// then holds the placed runs, lines, links and text.
//
// Usage:
//   content::ReflowPage page(context, document, index, &fonts, &unicode,
//                            viewWidth, viewHeight);
//   page.Build(style);
//   for (const content::TextLine& line : page.Model().TextLines()) ...
#include <cstdint>
#include <optional>

#include "content/ReflowDevice.h"
#include "content/ReflowModel.h"
#include "content/TextPage.h"
#include "pdf/Annotation.h"

namespace pdf {
class Document;
}

namespace content {

class FontSource;
class TextFontSource;

class ReflowPage {
 public:
  // Loads page `pageIndex` (errors of the page pass); a link list that
  // cannot be read leaves the page without links. The view's size is in
  // points; the model holds it in the page's units, which differ from
  // points on a page that states its own unit.
  ReflowPage(runtime::LibraryContext* owner, pdf::Document& document, int32_t pageIndex, FontSource* fonts,
             TextFontSource* textFonts, runtime::Fixed viewWidth, runtime::Fixed viewHeight);
  ReflowPage(const ReflowPage&) = delete;
  ReflowPage& operator=(const ReflowPage&) = delete;

  // Reflows the whole page in `style`. Plays on the calling thread and
  // charges its work budget, so a job thread that is killed stops here.
  // An error of the page's content is raised after the text shown before
  // it has been placed.
  void Build(const ReflowStyle& style);
  // Reflows the given segments (in content order).
  void Build(const ReflowSegment* segments, uint32_t count);

  ReflowModel& Model() { return model_; }
  const pdf::PageLinkList* Links() const { return links_ ? &*links_ : nullptr; }

  // A style for a whole page: lines at least as high as the text's
  // ascent, and a fifth of `fontSize` below each baseline.
  static ReflowStyle PageStyle(runtime::Fixed fontSize);

 private:
  runtime::LibraryContext* owner_;
  pdf::Document& document_;
  int32_t pageIndex_;
  FontSource* fonts_;
  TextFontSource* textFonts_;
  TextPage page_;
  std::optional<pdf::PageLinkList> links_;
  ReflowModel model_;
};

}  // namespace content
