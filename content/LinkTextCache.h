#pragma once
// The link-text cache of a viewer document state: per page as shown, the
// page's link list (built by running the page's content model through the
// link-text builder), kept in a cost cache; and beside it a small cache of
// one value per page taken from those lists, so that the viewer can ask
// for the value without keeping the lists alive.
#include <cstdint>

#include "runtime/CountedRef.h"
#include "runtime/ObjectCache.h"

namespace pdf {
class Document;
}

namespace content {

class PageModel;
class PageModelBuilder;

// How the viewer names a page as shown: the page index first, then a word
// of the view's own.
struct ViewRecord {
  int32_t pageIndex = 0;
  uint32_t view = 0;
  bool operator<(const ViewRecord& other) const {
    return pageIndex != other.pageIndex ? pageIndex < other.pageIndex : view < other.view;
  }
};

// A page's link list, as the link-text builder makes it.
class PageLinkList {
 public:
  virtual ~PageLinkList() = default;
  // Bytes of the arena that holds the list's text and link data.
  virtual uint32_t ByteCount() const = 0;

  uint32_t refCount = 1;
  ViewRecord view;
  // The value the list holds for its page.
  int32_t pageValue = 0;
};

// Makes a page's link list from its content model (the page's text and
// its link annotations); none when the page has nothing to list.
class PageLinkTextBuilder {
 public:
  virtual ~PageLinkTextBuilder() = default;
  virtual runtime::CountedRef<PageLinkList> Build(const ViewRecord& view, const PageModel& model) = 0;
};

class LinkTextCache {
 public:
  // The page value of a page whose list was never built.
  static constexpr int32_t kUndetermined = -65536;
  // Charged for a list beyond its arena's bytes.
  static constexpr uint32_t kListOverhead = 500;
  // Charged for a page value.
  static constexpr uint32_t kValueBytes = 32;

  LinkTextCache(runtime::LibraryContext* owner, pdf::Document& document, uint64_t modelOwner,
                PageModelBuilder& models, PageLinkTextBuilder& links);

  // The page's link list, built on a miss; empty when the page lists
  // nothing.
  runtime::CountedRef<PageLinkList> GetOrBuild(const ViewRecord& view);
  // A new list for the page (none when its content model holds no text);
  // records the page value (0 without a list) either way.
  runtime::CountedRef<PageLinkList> Build(const ViewRecord& view);
  // The page value from the value cache or a cached list; kUndetermined
  // when neither knows it. Builds nothing.
  int32_t PeekPageValue(const ViewRecord& view) const;
  // The page value, building the page's list when nothing knows it.
  int32_t PageValue(const ViewRecord& view);

  runtime::ObjectCache<PageLinkList, ViewRecord>& Lists() { return lists_; }

 private:
  struct PageValueItem {
    uint32_t refCount = 1;
    ViewRecord view;
    int32_t value = 0;
  };
  void RecordValue(const ViewRecord& view, int32_t value);

  runtime::LibraryContext* owner_;
  pdf::Document& document_;
  uint64_t modelOwner_;
  PageModelBuilder& models_;
  PageLinkTextBuilder& links_;
  runtime::ObjectCache<PageLinkList, ViewRecord> lists_;
  runtime::ObjectCache<PageValueItem, ViewRecord> values_;
};

}  // namespace content
