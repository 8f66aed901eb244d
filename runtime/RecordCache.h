#pragma once
// A cache of small fixed-size records keyed by 24 bytes: the page renderer
// records a value per key, the reflow layout reads it back. Built on the
// cost cache, so the records are evicted with every other cached item when
// memory runs short.
#include <cstdint>

#include "runtime/CountedRef.h"
#include "runtime/ObjectCache.h"

namespace runtime {

struct RecordKey {
  int32_t words[6];

  friend bool operator<(const RecordKey& a, const RecordKey& b) {
    for (int i = 0; i < 6; ++i) {
      if (a.words[i] != b.words[i]) return a.words[i] < b.words[i];
    }
    return false;
  }
};
static_assert(sizeof(RecordKey) == 24);

// One cached record: the key, its count and its value (32 bytes).
struct RecordItem {
  RecordKey key;
  uint32_t refCount;
  uint32_t value;
};
static_assert(sizeof(RecordItem) == 32);

struct RecordRequest {
  RecordKey key;
  uint32_t value;
};

class RecordCache {
 public:
  using Ref = CountedRef<RecordItem>;
  // Bytes charged for every record.
  static constexpr uint32_t kRecordBytes = 32;

  explicit RecordCache(LibraryContext* context) : cache_(context) {}

  // The record for the request's key, made from the request on a miss. The
  // cache keeps one count of each record; the handle holds another.
  // (runtime, 0) when memory runs out.
  Ref Lookup(const RecordRequest& request);
  // The record for `key` when one is cached, else an empty handle; makes
  // nothing.
  Ref Find(const RecordKey& key) const { return cache_.FindRef(key); }
  // A new record from `request` with a count of 0; null without memory.
  static RecordItem* MakeItem(const RecordRequest& request, LibraryContext* context);

  uint32_t Count() const { return cache_.Cache().Count(); }

 private:
  ObjectCache<RecordItem, RecordKey> cache_;
};

}  // namespace runtime
