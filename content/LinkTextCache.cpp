#include "content/LinkTextCache.h"

#include "content/PageModel.h"
#include "pdf/Document.h"
#include "runtime/CheckedSize.h"
#include "runtime/TransientBlocks.h"

namespace content {

LinkTextCache::LinkTextCache(runtime::LibraryContext* owner, pdf::Document& document, uint64_t modelOwner,
                             PageModelBuilder& models, PageLinkTextBuilder& links)
    : owner_(owner),
      document_(document),
      modelOwner_(modelOwner),
      models_(models),
      links_(links),
      lists_(owner),
      values_(owner) {}

runtime::CountedRef<PageLinkList> LinkTextCache::GetOrBuild(const ViewRecord& view) {
  return lists_.Get(view, [&] {
    runtime::CountedRef<PageLinkList> list = Build(view);
    const uint32_t bytes = list ? runtime::AddSizeChecked(owner_, list->ByteCount(), kListOverhead) : 0;
    return runtime::ObjectCache<PageLinkList, ViewRecord>::Built{std::move(list), bytes};
  });
}

runtime::CountedRef<PageLinkList> LinkTextCache::Build(const ViewRecord& view) {
  const pdf::PageModelCache::Ref model =
      document_.PageModels().GetOrCreate(document_, pdf::PageModelKey{modelOwner_, view.pageIndex, 0}, models_);
  runtime::CountedRef<PageLinkList> list;
  if (model && !static_cast<const PageModel&>(*model).Lines().IsEmpty()) {
    list = links_.Build(view, static_cast<const PageModel&>(*model));
  }
  RecordValue(view, list ? list->pageValue : 0);
  return list;
}

void LinkTextCache::RecordValue(const ViewRecord& view, int32_t value) {
  runtime::CountedRef<PageValueItem> item = values_.Get(view, [&] {
    auto* fresh = runtime::NewObject<PageValueItem>(owner_);
    fresh->view = view;
    return runtime::ObjectCache<PageValueItem, ViewRecord>::Built{
        runtime::CountedRef<PageValueItem>::Adopt(owner_, fresh), kValueBytes};
  });
  if (item) item->value = value;
}

int32_t LinkTextCache::PeekPageValue(const ViewRecord& view) const {
  if (const runtime::CountedRef<PageValueItem> item = values_.FindRef(view)) return item->value;
  if (const runtime::CountedRef<PageLinkList> list = lists_.FindRef(view)) return list->pageValue;
  return kUndetermined;
}

int32_t LinkTextCache::PageValue(const ViewRecord& view) {
  const int32_t known = PeekPageValue(view);
  if (known != kUndetermined) return known;
  const runtime::CountedRef<PageLinkList> list = GetOrBuild(view);
  return list ? list->pageValue : PeekPageValue(view);
}

}  // namespace content
