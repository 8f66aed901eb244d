#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "platform/Heap.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaBuffer.h"
#include "runtime/ArenaObject.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/ThreadState.h"
#include "tests/support/CaughtError.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace runtime {
namespace {

using testsupport::RuntimeCodeOf;

struct Snapshot {
  uint32_t totalBytes;
  uint8_t* bump;
  uint32_t remaining;
  ArenaBlock* blocks;
  ArenaBlock* largeBlocks;
};

Snapshot Take(const ArenaAllocator& arena) {
  return {arena.totalBytes, arena.bump, arena.remaining, arena.blocks, arena.largeBlocks};
}

int CountBlocks(const ArenaBlock* list) {
  int count = 0;
  for (; list != nullptr; list = list->next) ++count;
  return count;
}

TEST(ArenaAllocatorTest, ScopeReleaseRestoresStateKeepingAtMostTwoSpareBlocks) {
  LibraryContext context;
  ArenaAllocator arena(&context, 4096, 1024);
  arena.Alloc(24);  // the scope opens inside a partly used block
  const Snapshot opened = Take(arena);
  {
    ArenaScope scope(arena);
    for (int i = 0; i < 10; ++i) std::memset(arena.Alloc(1000), i, 1000);
    std::memset(arena.Alloc(5000), 0xEE, 5000);
    EXPECT_EQ(CountBlocks(arena.largeBlocks), 1);
    EXPECT_GT(arena.totalBytes, opened.totalBytes + 3 * (4096 + kArenaBlockHeader));
  }
  EXPECT_LE(arena.totalBytes, opened.totalBytes + 2 * (4096 + kArenaBlockHeader));
  EXPECT_EQ(arena.bump, opened.bump);
  EXPECT_EQ(arena.remaining, opened.remaining);
  EXPECT_EQ(arena.blocks, opened.blocks);
  EXPECT_EQ(arena.largeBlocks, opened.largeBlocks);
  EXPECT_EQ(CountBlocks(arena.freeBlocks), 2);
  EXPECT_EQ(arena.InnermostScope(), &arena.baseScope);

  // The spare blocks serve the next round without going to the heap.
  const uint32_t steady = arena.totalBytes;
  for (int round = 0; round < 5; ++round) {
    ArenaScope scope(arena);
    for (int i = 0; i < 6; ++i) arena.Alloc(1000);
  }
  EXPECT_EQ(arena.totalBytes, steady);
}

TEST(ArenaAllocatorTest, UnusedAndReleasedBytesArePoisonedForAddressSanitizer) {
#if !defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "only the AddressSanitizer build poisons arena bytes";
#else
  LibraryContext context;
  ArenaAllocator arena(&context, 4096, 1024);
  auto* first = static_cast<uint8_t*>(arena.Alloc(12));
  EXPECT_FALSE(__asan_region_is_poisoned(first, 16));   // the request rounded up
  EXPECT_TRUE(__asan_address_is_poisoned(first + 16));  // past it
  EXPECT_TRUE(__asan_address_is_poisoned(first + 100));  // the unused rest of the block
  uint8_t* inner = nullptr;
  uint8_t* large = nullptr;
  {
    ArenaScope scope(arena);
    inner = static_cast<uint8_t*>(arena.Alloc(64));
    large = static_cast<uint8_t*>(arena.Alloc(2000));
    EXPECT_FALSE(__asan_region_is_poisoned(inner, 64));
    EXPECT_FALSE(__asan_region_is_poisoned(large, 2000));
  }
  EXPECT_TRUE(__asan_address_is_poisoned(inner));  // given back with its scope
  EXPECT_FALSE(__asan_region_is_poisoned(first, 12));
  // Handed out again, the bytes are usable.
  auto* again = static_cast<uint8_t*>(arena.Alloc(64));
  EXPECT_EQ(again, inner);
  std::memset(again, 1, 64);
#endif
}

TEST(ArenaAllocatorTest, RequestsAgainstTheLargeThreshold) {
  LibraryContext context;
  struct Case {
    const char* name;
    uint32_t usedBefore;  // bytes taken from the current block first
    uint32_t request;
    bool largeBlock;
  } cases[] = {
      {"threshold that fits in the current block", 8, 1024, false},
      {"threshold that does not fit", 3500, 1024, true},
      {"just below the threshold, not fitting", 3500, 1016, false},
      {"above the block size", 0, 5000, true},
  };
  for (const Case& c : cases) {
    ArenaAllocator arena(&context, 4096, 1024);
    for (uint32_t used = 0; used < c.usedBefore; used += 500)
      arena.Alloc(std::min(500u, c.usedBefore - used));
    const int ordinary = CountBlocks(arena.blocks);
    uint8_t* bytes = static_cast<uint8_t*>(arena.Alloc(c.request));
    std::memset(bytes, 1, c.request);
    EXPECT_EQ(CountBlocks(arena.largeBlocks), c.largeBlock ? 1 : 0) << c.name;
    if (c.largeBlock) {
      EXPECT_EQ(arena.largeBlocks->size, c.request) << c.name;
      EXPECT_EQ(CountBlocks(arena.blocks), ordinary) << c.name;
    }
  }
}

TEST(ArenaAllocatorTest, BlockSizeOneGivesEveryRequestItsOwnBlock) {
  LibraryContext context;
  ArenaAllocator arena(&context, 1, 1);
  const uint64_t heapBefore = context.memory.bytesInUse;
  const uint32_t totalBefore = arena.totalBytes;
  {
    ArenaScope scope(arena);
    void* a = arena.Alloc(1);
    void* b = arena.Alloc(1);
    void* c = arena.Alloc(300);
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_EQ(CountBlocks(arena.largeBlocks), 3);
    EXPECT_EQ(arena.remaining, 0u);
  }
  EXPECT_EQ(CountBlocks(arena.largeBlocks), 0);
  EXPECT_EQ(arena.totalBytes, totalBefore);
  EXPECT_EQ(context.memory.bytesInUse, heapBefore);
}

TEST(ArenaAllocatorTest, AllocationsAreAlignedAndSizesThatWouldWrapThrow) {
  LibraryContext context;
  ArenaAllocator arena(&context, 512, 128);
  for (size_t n : {size_t{1}, size_t{3}, size_t{0}, size_t{13}, size_t{200}}) {
    EXPECT_EQ(reinterpret_cast<uintptr_t>(arena.Alloc(n)) % kArenaAlignment, 0u) << n;
  }
  // Rounding and the block header must not wrap a 32-bit block size.
  for (size_t n : {size_t{0xFFFFFFEF}, size_t{0xFFFFFFF8}, size_t{0xFFFFFFFF}, ~size_t{0}}) {
    EXPECT_EQ(RuntimeCodeOf(&context, [&] { arena.Alloc(n); }), kOverflow) << n;
  }
}

TEST(ArenaAllocatorTest, ArenaBuffersRoundTheirSizeAndTakeNothingForZero) {
  LibraryContext context;
  ArenaAllocator arena(&context, 4096, 1024);
  struct Case {
    uint32_t n, size;
  } cases[] = {{0, 0}, {1, 8}, {8, 8}, {9, 16}, {1000, 1000}};
  for (const Case& c : cases) {
    const uint32_t before = arena.remaining;
    ArenaBuffer buffer(arena, c.n);
    EXPECT_EQ(buffer.size, c.size) << c.n;
    EXPECT_EQ(buffer.data == nullptr, c.n == 0) << c.n;
    if (c.n != 0 && before >= c.size) {
      EXPECT_EQ(arena.remaining, before - c.size) << c.n;
    }
    if (buffer.data != nullptr) std::memset(buffer.data, 0xAB, buffer.size);  // all usable
  }
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { ArenaBuffer huge(arena, 0xFFFFFFFFu); }),
            kOverflow);
}

TEST(ArenaAllocatorTest, HeapExhaustionThrowsOutOfMemoryAndLeavesArenaUsable) {
  LibraryContext context;
  ArenaAllocator arena(&context, 1024, 256);
  const uint32_t before = arena.totalBytes;
  platform::GetHeapTestHooks().failAlways = true;
  const long code = RuntimeCodeOf(&context, [&] {
    ArenaScope scope(arena);
    arena.Alloc(100);
  });
  platform::GetHeapTestHooks() = {};
  EXPECT_EQ(code, kOutOfMemory);
  EXPECT_EQ(arena.totalBytes, before);
  EXPECT_EQ(arena.InnermostScope(), &arena.baseScope);
  EXPECT_NE(arena.Alloc(100), nullptr);
}

// A member that owns heap memory and registers itself, as every owning
// holder does; its destructor releases only what its cleanup left.
struct HeapMember {
  CleanupNode node;
  LibraryContext* context;
  void* storage;
  std::vector<int>* log;
  int id;

  HeapMember(LibraryContext* owner, std::vector<int>* events, int label)
      : context(owner), storage(AllocOrThrow(owner, 64)), log(events), id(label) {
    node.Register(owner, &Cleanup);
  }
  ~HeapMember() { ReleaseStorage(); }
  void ReleaseStorage() {
    if (storage != nullptr) {
      context->memory.Free(storage);
      storage = nullptr;
      log->push_back(id);
    }
    node.Unlink();
  }
  static void Cleanup(CleanupNode* raw) { reinterpret_cast<HeapMember*>(raw)->ReleaseStorage(); }
};

struct TwoMembers {
  HeapMember first;
  HeapMember second;
  TwoMembers(LibraryContext* context, std::vector<int>* log, bool failInBetween)
      : first(context, log, 1),
        second((failInBetween ? ThrowRuntime(kMalformed) : (void)0, context), log, 2) {}
};

TEST(ArenaAllocatorTest, ArenaObjectsAreDestroyedWithTheirScopeAndOnAThrow) {
  LibraryContext context;
  ArenaAllocator arena(&context, 1024, 256);
  std::vector<int> log;
  {
    ArenaScope warm(arena);  // leaves a spare block, so the heap balance below is exact
    arena.Alloc(200);
  }
  CleanupNode* chainBefore = CurrentThreadState().cleanupHead;
  const uint64_t heapBefore = context.memory.bytesInUse;
  {
    ArenaScope scope(arena);
    chainBefore = CurrentThreadState().cleanupHead;
    TwoMembers* object = NewInArena<TwoMembers>(arena, &context, &log, false);
    EXPECT_NE(object->first.storage, nullptr);
    // Committed: nothing of the object stays on the thread's chain.
    EXPECT_EQ(CurrentThreadState().cleanupHead, chainBefore);
    EXPECT_EQ(CurrentThreadState().recordCount, 0u);
    EXPECT_NE(scope.destructors, nullptr);
  }
  EXPECT_EQ(log, (std::vector<int>{2, 1}));  // the object's destructor, members in reverse
  EXPECT_EQ(context.memory.bytesInUse, heapBefore);

  log.clear();
  chainBefore = CurrentThreadState().cleanupHead;
  EXPECT_EQ(RuntimeCodeOf(&context,
                          [&] {
                            ArenaScope scope(arena);
                            NewInArena<TwoMembers>(arena, &context, &log, true);
                          }),
            kMalformed);
  EXPECT_EQ(log, (std::vector<int>{1}));  // the member built before the throw, once
  EXPECT_EQ(CurrentThreadState().cleanupHead, chainBefore);
  EXPECT_EQ(CurrentThreadState().recordCount, 0u);
  EXPECT_EQ(context.memory.bytesInUse, heapBefore);
}

TEST(ArenaAllocatorTest, DestructorsRunBeforeTheirBlocksAreRecycled) {
  LibraryContext context;
  ArenaAllocator arena(&context, 256, 64);
  struct Probe {
    CleanupNode node;
    ArenaAllocator* arena;
    ArenaBlock* homeBlock;
    uint32_t pattern;
    bool* sawLiveMemory;
    static void Run(CleanupNode* raw) {
      auto* self = reinterpret_cast<Probe*>(raw);
      // The block the probe lives in is still in use, its bytes untouched.
      *self->sawLiveMemory = self->arena->blocks == self->homeBlock && self->pattern == 0xC0FFEE;
      raw->Unlink();
    }
  };
  bool sawLiveMemory = false;
  {
    ArenaScope scope(arena);
    arena.Alloc(200);
    auto* probe =
        new (arena.Alloc(sizeof(Probe))) Probe{{}, &arena, nullptr, 0xC0FFEE, &sawLiveMemory};
    probe->homeBlock = arena.blocks;
    scope.AddDestructor(&probe->node, &Probe::Run);
  }
  EXPECT_TRUE(sawLiveMemory);
  EXPECT_EQ(arena.blocks, nullptr);
  EXPECT_EQ(CountBlocks(arena.freeBlocks), 1);
}

TEST(ArenaAllocatorTest, ThrowReleasesNestedScopesNewestFirstAndDestroyFreesAll) {
  LibraryContext context;
  {
    ArenaAllocator arena(&context, 2048, 512);
    arena.Alloc(100);
    const Snapshot opened = Take(arena);
    EXPECT_EQ(RuntimeCodeOf(&context,
                            [&] {
                              ArenaScope outer(arena);
                              arena.Alloc(2000);
                              ArenaScope inner(arena);
                              arena.Alloc(4000);
                              EXPECT_EQ(inner.enclosing, &outer);
                              ThrowRuntime(kMalformed);
                            }),
              kMalformed);
    EXPECT_EQ(arena.bump, opened.bump);
    EXPECT_EQ(arena.remaining, opened.remaining);
    EXPECT_EQ(arena.largeBlocks, nullptr);
    EXPECT_EQ(arena.InnermostScope(), &arena.baseScope);

    arena.Reset();
    EXPECT_EQ(arena.totalBytes, 0u);
    EXPECT_EQ(arena.InnermostScope(), &arena.baseScope);
    arena.Alloc(10);
    arena.Alloc(9000);
  }
  EXPECT_EQ(context.memory.bytesInUse, 0u);
}

TEST(ArenaAllocatorTest, ArenaThatGoesOnAThrowFreesEverything) {
  LibraryContext context;
  CleanupNode* chainBefore = CurrentThreadState().cleanupHead;
  EXPECT_EQ(RuntimeCodeOf(&context,
                          [&] {
                            ArenaAllocator arena(&context, 1024, 256);
                            ArenaScope scope(arena);
                            arena.Alloc(5000);
                            arena.Alloc(100);
                            ThrowRuntime(kOverflow);
                          }),
            kOverflow);
  EXPECT_EQ(context.memory.bytesInUse, 0u);
  EXPECT_EQ(CurrentThreadState().cleanupHead, chainBefore);
}

TEST(ArenaAllocatorTest, ArenaObjectDeleteDestroysArenaThenObject) {
  LibraryContext context;
  struct Owner : ArenaObject {
    bool* destroyed;
    Owner(LibraryContext* context, bool* flag)
        : ArenaObject(context, 4096, 1024), destroyed(flag) {}
    ~Owner() override { *destroyed = arena.totalBytes == 0 && !IsLive(); }
  };
  bool destroyed = false;
  CleanupNode* chainBefore = CurrentThreadState().cleanupHead;
  Owner* owner = NewObject<Owner>(&context, &context, &destroyed);
  EXPECT_EQ(CurrentThreadState().cleanupHead, chainBefore);
  EXPECT_TRUE(owner->IsLive());
  owner->arena.Alloc(3000);
  owner->arena.Alloc(8000);
  ArenaObject::Delete(&context, owner);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(context.memory.bytesInUse, 0u);
  ArenaObject::Delete(&context, nullptr);
}

TEST(ArenaAllocatorTest, RandomNestedScopesNeverOverlapLiveAllocations) {
  LibraryContext context;
  std::mt19937 random(17);
  struct Piece {
    uint8_t* bytes;
    uint32_t size;
    uint8_t fill;
    size_t depth;
  };
  for (auto [blockSize, threshold] :
       {std::pair{4096u, 1024u}, std::pair{320u, 160u}, std::pair{256u, 64u}, std::pair{1u, 1u}}) {
    {
      ArenaAllocator arena(&context, blockSize, threshold);
      std::vector<std::unique_ptr<ArenaScope>> scopes;
      std::vector<Snapshot> opened;
      std::vector<Piece> live;
      for (int step = 0; step < 3000; ++step) {
        const uint32_t action = random() % 10;
        if (action == 0 && scopes.size() < 6) {
          opened.push_back(Take(arena));
          scopes.push_back(std::make_unique<ArenaScope>(arena));
        } else if (action == 1 && !scopes.empty()) {
          scopes.pop_back();
          const Snapshot before = opened.back();
          opened.pop_back();
          EXPECT_EQ(arena.bump, before.bump);
          EXPECT_EQ(arena.remaining, before.remaining);
          EXPECT_LE(arena.totalBytes, before.totalBytes + 2 * (blockSize + kArenaBlockHeader));
          while (!live.empty() && live.back().depth > scopes.size()) live.pop_back();
        } else {
          const uint32_t size = random() % 8 == 0 ? 1 + random() % 6000 : 1 + random() % 200;
          const auto fill = static_cast<uint8_t>(random());
          auto* bytes = static_cast<uint8_t*>(arena.Alloc(size));
          std::memset(bytes, fill, size);
          live.push_back({bytes, size, fill, scopes.size()});
        }
      }
      // Every allocation still covered by an open scope kept its bytes.
      for (const Piece& piece : live) {
        for (uint32_t i = 0; i < piece.size; ++i) ASSERT_EQ(piece.bytes[i], piece.fill);
      }
      while (!scopes.empty()) scopes.pop_back();
    }
    EXPECT_EQ(context.memory.bytesInUse, 0u) << blockSize;
  }
}

}  // namespace
}  // namespace runtime
