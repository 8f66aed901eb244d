#include "pdf/PageModelCache.h"

#include "runtime/CheckedSize.h"

namespace pdf {

PageModelCache::Ref PageModelCache::GetOrCreate(Document& document, const PageModelKey& key,
                                                PageModelFactory& factory) {
  return cache_.Get(key, [&] {
    Ref model = factory.CreateModel(document, key);
    const uint32_t size =
        model ? runtime::AddSizeChecked(cache_.Cache().Context(), model->ByteCount(), kEntryOverhead)
              : 0;
    return decltype(cache_)::Built{std::move(model), size};
  });
}

}  // namespace pdf
