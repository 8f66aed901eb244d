#pragma once
// Short-lived memory handed out by bumping a pointer through chained blocks
// of one size taken from the context's MemoryContext. Nothing is freed one
// allocation at a time: an ArenaScope marks a point to roll back to.
//
// Configurations in use (block size / large threshold): 16384/4096,
// 4096/1024 (scratch arenas, function objects, most parser objects),
// 2048/1024, 2048/512, 1024/256, 512/128, 320/160, 256/64 and 1/1 (every
// request gets a block of its own).
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "runtime/ArenaScope.h"
#include "runtime/CleanupNode.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"

namespace runtime {

// Arena bytes that are not handed out (the unused rest of a block, spare
// blocks, what a scope gave back) are poisoned for AddressSanitizer, so that
// a read past an allocation (rounded up to 8 bytes, all of which is the
// caller's) or through a released scope is reported.
void ArenaPoison(const void* bytes, size_t n);
void ArenaUnpoison(const void* bytes, size_t n);

// The header in front of every block's usable bytes. On the 64-bit build
// the pointer makes it 16 bytes, which also keeps the usable bytes 16-byte
// aligned.
struct ArenaBlock {
  uint32_t size = 0;  // usable bytes
  ArenaBlock* next = nullptr;

  uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(this + 1); }
};
inline constexpr uint32_t kArenaBlockHeader = sizeof(ArenaBlock);

// Allocations are rounded up to this, so that every object built in an arena
// is aligned for its pointer and 64-bit members.
inline constexpr uint32_t kArenaAlignment = 8;

// At most this many spare blocks survive a scope release.
inline constexpr int kArenaSpareBlocks = 2;

class ArenaAllocator {
 public:
  ArenaAllocator(LibraryContext* context, uint32_t blockSize, uint32_t largeThreshold);
  ~ArenaAllocator() { Destroy(); }
  ArenaAllocator(const ArenaAllocator&) = delete;
  ArenaAllocator& operator=(const ArenaAllocator&) = delete;

  // n bytes (rounded up to 8), never null; exhaustion throws (runtime, 0),
  // a size whose block would not fit in 32 bits (runtime, 1).
  void* Alloc(size_t n);
  // Empties the arena and keeps it usable.
  void Reset();
  // Releases every scope and block; harmless when repeated.
  void Destroy();

  ArenaScope* InnermostScope() const { return innermostScope; }
  LibraryContext* Context() const { return context; }

  // Fields, in this order: the node must stay first (the cleanup finds the
  // arena from it).
  CleanupNode node;
  uint32_t blockSize;
  uint32_t largeThreshold;
  ArenaBlock* blocks = nullptr;       // in use, newest (current) first
  ArenaBlock* freeBlocks = nullptr;   // spare ordinary blocks
  ArenaBlock* largeBlocks = nullptr;  // newest first
  uint8_t* bump = nullptr;
  uint32_t remaining = 0;
  uint32_t totalBytes = 0;  // size + header over every block held
  LibraryContext* context;
  ArenaScope* innermostScope = nullptr;
  ArenaScope baseScope;

 private:
  friend class ArenaScope;
  static void DestroyNode(CleanupNode* node);
  ArenaBlock* NewBlock(uint32_t size);
  void FreeBlock(ArenaBlock* block);
  void FreeSpareBlocks();
  void ReleaseAllScopes();
};

// The destructor-list entry of an arena object that needs its destructor.
struct ArenaDestructorNode : CleanupNode {
  void* object = nullptr;
  void (*destroy)(void* object) = nullptr;

  static void Run(CleanupNode* node) {
    auto* self = static_cast<ArenaDestructorNode*>(node);
    self->destroy(self->object);
    self->Unlink();
  }
};

// Builds a T in the arena. Members that register cleanup nodes while T is
// built are committed to the innermost scope's destructor list, and a T that
// needs its destructor gets a node of its own in front of them; the scope's
// release destroys the object. A throw during construction runs the nodes
// registered so far; the arena space is reclaimed with the scope.
template <class T, class... Args>
T* NewInArena(ArenaAllocator& arena, Args&&... args) {
  static_assert(alignof(T) <= kArenaAlignment, "arena memory is 8-byte aligned");
  LibraryContext* context = arena.Context();
  ArenaDestructorNode* entry = nullptr;
  if constexpr (!std::is_trivially_destructible_v<T>) {
    entry = new (arena.Alloc(sizeof(ArenaDestructorNode))) ArenaDestructorNode;
  }
  void* place = arena.Alloc(sizeof(T));
  TransientBlocks::Push(context, nullptr);
  T* object = new (place) T(std::forward<Args>(args)...);
  TransientBlocks::PopTransfer(context, &arena);
  if (entry != nullptr) {
    entry->object = object;
    entry->destroy = [](void* built) { static_cast<T*>(built)->~T(); };
    // Linked last, so it runs first: the object's destructor releases its
    // members itself, and their own nodes then find nothing left to do.
    arena.InnermostScope()->AddDestructor(entry, &ArenaDestructorNode::Run);
  }
  return object;
}

}  // namespace runtime
