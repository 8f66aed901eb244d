#pragma once
// The content models of a document's pages (what text extraction learns
// of a page: its text blocks, the rotation of its text, the first
// operation that shows text), kept across the pages a view shows. Building
// a model runs the whole page through the text layer, so each is kept in a
// cost cache with its build time and size, and the context's purge weighs
// the two. The text layer derives its model from PageContentModel and
// builds it through a PageModelFactory it implements.
//
//   PageModelCache::Ref model = document.PageModels().GetOrCreate(key, factory);
//   PageModelCache::Ref shown = document.PageModels().Find(key);  // never builds
#include <cstdint>

#include "runtime/ObjectCache.h"

namespace pdf {

class Document;

// A page's content model as the caches see it.
class PageContentModel {
 public:
  virtual ~PageContentModel() = default;
  // Bytes the model holds.
  virtual uint32_t ByteCount() const = 0;

  // Holders count models through CountedRef.
  uint32_t refCount = 1;
};

// Which model: the view state that asked (a word of the viewer's own), the
// page and the options the model was built with. Models of one page built
// for different views or options are kept apart.
struct PageModelKey {
  uint64_t owner = 0;
  int32_t pageIndex = 0;
  uint32_t options = 0;
  bool operator<(const PageModelKey& other) const {
    if (owner != other.owner) return owner < other.owner;
    if (pageIndex != other.pageIndex) return pageIndex < other.pageIndex;
    return options < other.options;
  }
};

// Builds the content model of a page (implemented by the text layer).
class PageModelFactory {
 public:
  virtual ~PageModelFactory() = default;
  virtual runtime::CountedRef<PageContentModel> CreateModel(Document& document,
                                                            const PageModelKey& key) = 0;
};

class PageModelCache {
 public:
  using Ref = runtime::CountedRef<PageContentModel>;
  // Charged for an entry beyond the model's own bytes.
  static constexpr uint32_t kEntryOverhead = 156;

  explicit PageModelCache(runtime::LibraryContext* context) : cache_(context) {}

  // The model of `key`: the one built before (now the most recently used),
  // else a new one from `factory`, charged at its byte count plus
  // kEntryOverhead. When the factory yields and another thread adds the
  // same model meanwhile, that one is used and the new one dropped. A
  // factory's error passes on and caches nothing.
  Ref GetOrCreate(Document& document, const PageModelKey& key, PageModelFactory& factory);
  // The model of `key` when it is cached, else an empty reference; never
  // builds.
  Ref Find(const PageModelKey& key) const { return cache_.FindRef(key); }

  uint32_t Count() const { return cache_.Cache().Count(); }

 private:
  runtime::ObjectCache<PageContentModel, PageModelKey> cache_;
};

}  // namespace pdf
