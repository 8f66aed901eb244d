#include "runtime/ObjectCache.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "runtime/CacheManager.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"
#include "tests/runtime/ThreadFixture.h"
#include "tests/support/RaisedCode.h"

namespace runtime {
namespace {

using testsupport::RaisedCode;

struct Item {
  Item(std::vector<std::string>* log, std::string label) : destroyed(log), name(std::move(label)) {}
  ~Item() {
    destroyed->push_back(name);
    if (onDestroy) onDestroy();
  }
  uint32_t refCount = 1;
  std::vector<std::string>* destroyed;
  std::string name;
  // Run when the item dies (for items whose death does more).
  std::function<void()> onDestroy;
};

using Cache = ObjectCache<Item, uint64_t>;

class CostCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::UseVirtualClock(true); }
  void TearDown() override { platform::UseVirtualClock(false); }

  // Builds `name` under `key`, taking `ticks` on the virtual clock.
  Cache::Ref Build(Cache& cache, uint64_t key, const char* name, int64_t ticks,
                   uint32_t bytes) {
    return cache.Get(key, [&] {
      platform::AdvanceVirtualClock(ticks);
      ++builds;
      return Cache::Built{Cache::Ref::Adopt(&context, NewObject<Item>(&context, &destroyed, name)),
                          bytes};
    });
  }
  std::vector<std::string> Survivors(const Cache& cache) {
    std::vector<std::string> names;
    for (CacheEntry* e = cache.Cache().First(); e != nullptr; e = CostCache::Next(e)) {
      names.push_back(static_cast<Item*>(e->item)->name);
    }
    return names;
  }

  LibraryContext context;
  CacheManager& manager = context.cacheManager;
  std::vector<std::string> destroyed;
  int builds = 0;
};

TEST_F(CostCacheTest, AgeWeightsFollowTheLogCurve) {
  const uint32_t cases[][2] = {{0, 32},   {1, 32},   {2, 64},    {3, 65},     {4, 96},
                               {8, 128},  {16, 160}, {100, 230}, {1000, 329}, {0xFFFFFFFF, 1055}};
  for (const auto& c : cases) EXPECT_EQ(CostCache::AgeWeight(c[0]), c[1]) << c[0];
  // A zero-byte item counts as one byte.
  EXPECT_FLOAT_EQ(CostCache::DefaultCost(nullptr, 640, 0, 0), 20.0f);
  EXPECT_FLOAT_EQ(CostCache::DefaultCost(nullptr, 640, 10, 2), 1.0f);
}

TEST_F(CostCacheTest, HitsShareTheItemAndBuildsAreTimedAndCharged) {
  Cache cache(&context);
  {
    Cache::Ref first = Build(cache, 7, "seven", 250, 100);
    Cache::Ref again = Build(cache, 7, "other", 999, 999);
    EXPECT_EQ(first.Get(), again.Get());
    EXPECT_EQ(first->refCount, 3u);  // the cache and two holders
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(cache.FindRef(7).Get(), first.Get());
    EXPECT_FALSE(cache.FindRef(8));
  }
  const uint64_t seven = 7;
  CacheEntry* entry = cache.Cache().Find(&seven);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->buildTicks, 250u);
  EXPECT_EQ(entry->byteSize, 100u);
  EXPECT_EQ(static_cast<Item*>(entry->item)->refCount, 1u);
  EXPECT_EQ(manager.cachedBytes, 100u);
  EXPECT_EQ(manager.entryCount, 1u);
  EXPECT_EQ(manager.sequence, 1u);
}

TEST_F(CostCacheTest, LaterWorkIsChargedToTheEntryAndSaturates) {
  struct Case {
    const char* name;
    uint64_t key;
    uint64_t ticks;
    uint32_t bytes;
    bool found;
    uint64_t entryTicks;
    uint32_t entryBytes;
  } cases[] = {
      {"adds to the entry", 7, 50, 20, true, 300, 120},
      {"nothing added", 7, 0, 0, true, 250, 100},
      {"a missing key changes nothing", 8, 50, 20, false, 250, 100},
      {"ticks saturate", 7, UINT64_MAX, 0, true, UINT64_MAX, 100},
      {"bytes saturate", 7, 0, UINT32_MAX, true, 250, UINT32_MAX},
  };
  for (const Case& c : cases) {
    LibraryContext local;
    Cache cache(&local);
    Cache::Ref held = cache.Get(7, [&] {
      platform::AdvanceVirtualClock(250);
      return Cache::Built{Cache::Ref::Adopt(&local, NewObject<Item>(&local, &destroyed, "seven")),
                          100};
    });
    EXPECT_EQ(cache.Cache().UpdateEntryCost(&c.key, c.ticks, c.bytes), c.found) << c.name;
    const uint64_t seven = 7;
    const CacheEntry* entry = cache.Cache().Find(&seven);
    ASSERT_NE(entry, nullptr) << c.name;
    EXPECT_EQ(entry->buildTicks, c.entryTicks) << c.name;
    EXPECT_EQ(entry->byteSize, c.entryBytes) << c.name;
    EXPECT_EQ(local.cacheManager.cachedBytes, c.entryBytes) << c.name;
  }
}

TEST_F(CostCacheTest, RescoringKeepsTheCostlyItem) {
  for (bool rescore : {false, true}) {
    destroyed.clear();
    Cache cache(&context);
    Build(cache, 1, "X", 1000, 100);
    Build(cache, 2, "Y", 10, 100);
    // In order of use X is the oldest; in order of cost per byte Y is the
    // cheapest to rebuild.
    EXPECT_EQ(manager.PurgeTo(100, rescore), 100u) << rescore;
    EXPECT_EQ(Survivors(cache), std::vector<std::string>{rescore ? "X" : "Y"});
    EXPECT_EQ(destroyed, std::vector<std::string>{rescore ? "Y" : "X"});
  }
  EXPECT_EQ(manager.cachedBytes, 0u);
  EXPECT_EQ(manager.entryCount, 0u);
  EXPECT_EQ(manager.peakCachedBytes, 200u);
}

TEST_F(CostCacheTest, EvictionSkipsHeldItemsAndStopsAtTarget) {
  Cache cache(&context);
  Cache::Ref heldA = Build(cache, 1, "a", 1, 10);
  Build(cache, 2, "b", 1, 10);
  Cache::Ref heldC = Build(cache, 3, "c", 1, 10);
  Build(cache, 4, "d", 1, 10);
  Build(cache, 2, "b", 1, 10);  // a hit: b becomes the newest
  EXPECT_EQ(manager.PurgeTo(30, false), 30u);
  EXPECT_EQ(destroyed, std::vector<std::string>{"d"});
  // Everything left is held: a purge to 0 frees nothing and returns.
  heldA = Build(cache, 2, "b", 1, 10);
  EXPECT_EQ(heldA->name, "b");
  EXPECT_EQ(destroyed.size(), 1u);  // "a" is now held by its cache only
  heldA = Cache::Ref();
  EXPECT_EQ(manager.PurgeTo(0, true), 10u);
  EXPECT_EQ(Survivors(cache), std::vector<std::string>{"c"});
  EXPECT_EQ(manager.PurgeTo(0, true), 10u);
  heldC.Release();
  EXPECT_EQ(manager.PurgeTo(0, false), 0u);
  EXPECT_TRUE(cache.Cache().IsEmpty());
}

// Counts how often a purge asks whether an item may go.
uint64_t evictionQuestions = 0;
struct CountingPolicy : MemberCount<Item> {
  static uint32_t Count(const Item* target) {
    ++evictionQuestions;
    return target->refCount;
  }
};

TEST_F(CostCacheTest, PurgeWalksPastHeldEntriesOnce) {
  // 5,000 held entries at the oldest end, then 5,000 free ones: the purge
  // visits each entry about once (it restarted at the oldest end after
  // every eviction, 25 million visits, 0.4 s inside an allocation).
  using CountingCache = ObjectCache<Item, uint64_t, CountingPolicy>;
  CountingCache cache(&context);
  constexpr int kHalf = 5000;
  std::vector<CountingCache::Ref> held;
  held.reserve(kHalf);
  for (int i = 0; i < 2 * kHalf; ++i) {
    CountingCache::Ref ref = cache.Get(static_cast<uint64_t>(i), [&] {
      return CountingCache::Built{
          CountingCache::Ref::Adopt(&context, NewObject<Item>(&context, &destroyed, "x")), 10};
    });
    if (i < kHalf) held.push_back(std::move(ref));
  }
  evictionQuestions = 0;
  EXPECT_EQ(manager.PurgeTo(0, false), uint64_t{kHalf} * 10);
  EXPECT_EQ(destroyed.size(), size_t{kHalf});
  EXPECT_LT(evictionQuestions, uint64_t{4} * kHalf);
  held.clear();
  EXPECT_EQ(manager.PurgeTo(0, false), 0u);
}

TEST_F(CostCacheTest, PurgeInsidePurgeDoesNothing) {
  Cache cache(&context);
  uint64_t nestedResult = 0;
  Build(cache, 1, "first", 1, 40);
  Build(cache, 2, "second", 1, 60);
  {
    Cache::Ref first = cache.FindRef(1);
    first->onDestroy = [&] { nestedResult = manager.PurgeTo(0, true); };
  }
  EXPECT_EQ(manager.PurgeTo(60, false), 60u);
  // The nested purge saw the total after the first eviction and left it.
  EXPECT_EQ(nestedResult, 60u);
  EXPECT_EQ(Survivors(cache), std::vector<std::string>{"second"});
  EXPECT_EQ(manager.purgeBusy, 0);
}

TEST_F(CostCacheTest, ConcurrentBuildOfOneKeyLeavesOneEntry) {
  // The outer build "yields" and, meanwhile, another build of the same key
  // completes: exactly what two cooperative threads would do.
  Cache cache(&context);
  Cache::Ref inner;
  Cache::Ref outer = cache.Get(5, [&] {
    inner = Build(cache, 5, "inner", 10, 100);
    return Cache::Built{Cache::Ref::Adopt(&context, NewObject<Item>(&context, &destroyed, "outer")),
                        100};
  });
  EXPECT_EQ(outer.Get(), inner.Get());
  EXPECT_EQ(outer->name, "inner");
  EXPECT_EQ(destroyed, std::vector<std::string>{"outer"});
  EXPECT_EQ(manager.entryCount, 1u);
  EXPECT_EQ(manager.cachedBytes, 100u);
  EXPECT_EQ(cache.Cache().Count(), 1u);
  EXPECT_EQ(outer->refCount, 3u);
}

TEST_F(CostCacheTest, ThrowingBuildCachesNothing) {
  Cache cache(&context);
  const uint64_t inUse = context.memory.bytesInUse;
  EXPECT_EQ(RaisedCode([&] {
              cache.Get(9, [&]() -> Cache::Built {
                Cache::Ref partial =
                    Cache::Ref::Adopt(&context, NewObject<Item>(&context, &destroyed, "partial"));
                ThrowRuntime(kMalformed);
              });
            }),
            kMalformed);
  EXPECT_EQ(destroyed, std::vector<std::string>{"partial"});
  EXPECT_TRUE(cache.Cache().IsEmpty());
  EXPECT_EQ(manager.entryCount, 0u);
  EXPECT_EQ(manager.cachedBytes, 0u);
  EXPECT_EQ(context.memory.bytesInUse, inUse);
}

TEST_F(CostCacheTest, DestroyReleasesItemsInKeyOrderAndHeldOnesSurvive) {
  Cache::Ref kept;
  {
    Cache cache(&context);
    for (uint64_t key : {30, 10, 20}) Build(cache, key, std::to_string(key).c_str(), 1, 8);
    kept = cache.FindRef(20);
  }
  EXPECT_EQ(destroyed, (std::vector<std::string>{"10", "30"}));
  EXPECT_EQ(kept->refCount, 1u);
  EXPECT_EQ(manager.entryCount, 0u);
  EXPECT_EQ(manager.cachedBytes, 0u);
  EXPECT_EQ(manager.caches, nullptr);
}

TEST_F(CostCacheTest, ItemOwningACacheCanBeEvicted) {
  // Evicting the outer item destroys a cache whose entries sit on the same
  // list the purge is walking.
  Cache outer(&context);
  auto* innerCache = new Cache(&context);
  Build(*innerCache, 1, "inner-1", 1, 10);
  Build(outer, 1, "owner", 1, 10);
  Build(*innerCache, 2, "inner-2", 1, 10);
  outer.FindRef(1)->onDestroy = [innerCache] { delete innerCache; };
  // Make the owner the oldest entry.
  manager.MoveToNewest(innerCache->Cache().First());
  manager.MoveToNewest(CostCache::Next(innerCache->Cache().First()));
  EXPECT_EQ(manager.PurgeTo(15, false), 0u);
  EXPECT_EQ(destroyed.front(), "owner");
  EXPECT_EQ(destroyed.size(), 3u);
  EXPECT_EQ(manager.entryCount, 0u);
}

TEST_F(CostCacheTest, MemoryPressurePurgesTheCaches) {
  Cache cache(&context);
  for (uint64_t key = 0; key < 50; ++key) Build(cache, key, "filler", 1, 1000);
  context.memory.softLimit = context.memory.bytesInUse + 100;
  context.memory.minimumPurge = 2000;
  void* block = context.memory.Allocate(200);
  ASSERT_NE(block, nullptr);
  // At least the minimum purge was freed, from the oldest entries.
  EXPECT_LE(manager.cachedBytes, 48000u);
  EXPECT_GE(destroyed.size(), 2u);
  EXPECT_FALSE(cache.FindRef(0));
  EXPECT_TRUE(cache.FindRef(49));
  context.memory.Free(block);
}

TEST_F(CostCacheTest, IndexStaysOrderedUnderSortedAndRandomKeys) {
  Cache cache(&context);
  for (uint64_t key = 0; key < 2000; ++key) Build(cache, key * 2, "k", 0, 1);
  for (uint64_t key = 0; key < 2000; key += 3) {
    CacheEntry* entry = cache.Cache().Find(&key);
    if (key % 2 == 0) {
      ASSERT_NE(entry, nullptr);
      cache.Cache().Evict(entry);
    } else {
      ASSERT_EQ(entry, nullptr);
    }
  }
  uint64_t previous = 0;
  uint32_t walked = 0;
  for (CacheEntry* e = cache.Cache().First(); e != nullptr; e = CostCache::Next(e)) {
    const uint64_t key = Cache::KeyOf(*e);
    if (walked++ > 0) {
      EXPECT_LT(previous, key);
    }
    previous = key;
  }
  EXPECT_EQ(walked, cache.Cache().Count());
  EXPECT_EQ(manager.entryCount, walked);

  using TextCache = ObjectCache<Item, const char*, MemberCount<Item>, TextKeyOrder>;
  TextCache texts(&context);
  for (const char* key : {"abc", "b", "ab"}) {
    texts.Get(key, [&] {
      return TextCache::Built{TextCache::Ref::Adopt(&context, NewObject<Item>(&context, &destroyed, key)), 1};
    });
  }
  std::vector<std::string> order;
  for (CacheEntry* e = texts.Cache().First(); e != nullptr; e = CostCache::Next(e)) {
    order.push_back(TextCache::KeyOf(*e));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"ab", "abc", "b"}));
}

using CostCacheThreadTest = ThreadFixture;

TEST_F(CostCacheThreadTest, TwoThreadsYieldingInOneKeysBuildLeaveOneEntry) {
  std::vector<std::string> destroyed;
  std::vector<std::string> log;
  Cache cache(&context);
  Item* seen[2] = {nullptr, nullptr};
  auto job = [&](int index, const char* name) {
    return [&, index, name](LibraryContext* ctx) {
      Cache::Ref ref = cache.Get(5, [&] {
        log.push_back(std::string("build ") + name);
        platform::AdvanceVirtualClock(100);
        // Give way mid-build: the other thread misses the same key.
        YieldThread(ctx);
        return Cache::Built{Cache::Ref::Adopt(ctx, NewObject<Item>(ctx, &destroyed, name)), 100};
      });
      seen[index] = ref.Get();
      log.push_back(std::string("got ") + ref->name);
    };
  };
  Start(job(0, "first"));
  Start(job(1, "second"));
  scheduler.RunUntil([&] { return seen[0] != nullptr && seen[1] != nullptr; });

  ASSERT_NE(seen[0], nullptr);
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(log, (std::vector<std::string>{"build first", "build second", "got first",
                                           "got first"}));
  // The second build's item was released, and its bytes never counted.
  EXPECT_EQ(destroyed, std::vector<std::string>{"second"});
  EXPECT_EQ(context.cacheManager.entryCount, 1u);
  EXPECT_EQ(context.cacheManager.cachedBytes, 100u);
  EXPECT_EQ(context.cacheManager.peakCachedBytes, 100u);
  EXPECT_EQ(cache.Cache().Count(), 1u);
  EXPECT_EQ(cache.FindRef(5)->refCount, 2u);  // the cache and this holder
}

}  // namespace
}  // namespace runtime
