// Cache hits (index search and list move) and dictionary lookups: the two
// paths every object access of a document goes through.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "runtime/Dictionary.h"
#include "runtime/LibraryContext.h"
#include "runtime/ObjectCache.h"
#include "runtime/ValueStore.h"

namespace {

struct Item {
  uint32_t refCount = 1;
};
using Cache = runtime::ObjectCache<Item, uint64_t>;

void CacheHit(benchmark::State& state) {
  runtime::LibraryContext context;
  const auto entries = static_cast<uint64_t>(state.range(0));
  Cache cache(&context);
  for (uint64_t key = 0; key < entries; ++key) {
    cache.Get(key, [&] {
      return Cache::Built{Cache::Ref::Adopt(&context, runtime::NewObject<Item>(&context)), 16};
    });
  }
  uint64_t key = 0;
  for (auto _ : state) {
    Cache::Ref ref = cache.Get(key, [&]() -> Cache::Built { return {Cache::Ref(), 0}; });
    benchmark::DoNotOptimize(ref.Get());
    key = (key + 7919) % entries;
  }
}
BENCHMARK(CacheHit)->Arg(64)->Arg(4096);

void DictionaryFindByName(benchmark::State& state) {
  runtime::LibraryContext context;
  runtime::StoreRef store =
      runtime::StoreRef::Adopt(&context, runtime::ValueStore::New(&context));
  std::vector<runtime::ObjectValue> entries;
  for (int i = 0; i < 20; ++i) {
    entries.push_back(store->Name("Key" + std::to_string(i)));
    entries.push_back(runtime::ObjectValue::Integer(i));
  }
  const runtime::ObjectValue dictionary =
      store->Dictionary(entries.data(), static_cast<uint32_t>(entries.size()));
  for (auto _ : state) {
    benchmark::DoNotOptimize(runtime::Dictionary::FindByName(dictionary, "Key19"));
  }
}
BENCHMARK(DictionaryFindByName);

}  // namespace
