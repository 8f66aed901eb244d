#pragma once
// The link-text builder of the viewer's link-text cache: a page's link
// annotations, each with the text of the lines its rectangle meets. The
// list's page value is the number of links on the page, so that the viewer
// can tell a page without links without keeping its list.
#include <cstdint>

#include "content/LinkTextCache.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/Rect.h"

namespace pdf {
class Document;
}

namespace viewer {

struct LinkTextEntry {
  // Index of the link in the page's "Annots".
  uint32_t annotIndex = 0;
  runtime::Rect rect;
  // The link's text: characters [firstChar, firstChar + charCount) of the
  // list's characters.
  uint32_t firstChar = 0;
  uint32_t charCount = 0;
};

class AnnotationLinkList final : public content::PageLinkList {
 public:
  explicit AnnotationLinkList(runtime::LibraryContext* context);
  uint32_t ByteCount() const override;

  runtime::ArenaAllocator arena;
  runtime::ArenaVector<LinkTextEntry> links;
  runtime::ArenaVector<uint32_t> chars;
};

class AnnotationLinkText final : public content::PageLinkTextBuilder {
 public:
  // A link's text is cut after this many characters.
  static constexpr uint32_t kMaxLinkChars = 1024;

  AnnotationLinkText(runtime::LibraryContext* context, pdf::Document& document)
      : context_(context), document_(document) {}
  // None when the page has no link. (runtime, 2) for a link without a
  // usable "Rect".
  runtime::CountedRef<content::PageLinkList> Build(const content::ViewRecord& view,
                                                   const content::PageModel& model) override;

 private:
  runtime::LibraryContext* context_;
  pdf::Document& document_;
};

}  // namespace viewer
