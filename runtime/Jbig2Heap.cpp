#include "runtime/Jbig2Heap.h"

#include <cstdint>
#include <cstring>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"

namespace runtime {
namespace {

Jbig2Heap* g_current = nullptr;

MemoryContext& MemoryOf(LibraryContext* context) {
  LibraryContext* owner = context != nullptr ? context : GetDefaultContext();
  return owner->memory;
}

}  // namespace

// Kept at 16 bytes so that the caller's bytes stay suitably aligned.
struct alignas(16) Jbig2Heap::BlockHeader {
  BlockHeader* next;
  BlockHeader* prev;
  size_t size;  // with the header; 0 once detached
};

Jbig2Heap::Jbig2Heap(LibraryContext* context) : context_(context) {
  previous_ = g_current;
  g_current = this;
  node_.Register(context, &Jbig2Heap::Cleanup);
}

Jbig2Heap::~Jbig2Heap() { FreeAll(this); }

void Jbig2Heap::Cleanup(CleanupNode* node) {
  FreeAll(reinterpret_cast<Jbig2Heap*>(reinterpret_cast<uint8_t*>(node) -
                                       offsetof(Jbig2Heap, node_)));
}

Jbig2Heap* Jbig2Heap::Current() { return g_current; }

uint64_t Jbig2Heap::Remaining() {
  const Jbig2Heap* scope = g_current;
  if (scope == nullptr || scope->used_ >= scope->limit_) return 0;
  return scope->limit_ - scope->used_;
}

void Jbig2Heap::Charge(int32_t units) {
  Jbig2Heap* scope = g_current;
  if (scope == nullptr) return;
  // Restored on the way out, also when the thread is killed in its yield.
  struct Suspended {
    Jbig2Heap* scope;
    explicit Suspended(Jbig2Heap* s) : scope(s) { g_current = nullptr; }
    ~Suspended() { g_current = scope; }
  } suspended(scope);
  ChargeWork(scope->context_ != nullptr ? scope->context_ : GetDefaultContext(), units);
}

void* Jbig2Heap::Alloc(size_t bytes) {
  Jbig2Heap* scope = g_current;
  if (scope == nullptr || bytes > SIZE_MAX - sizeof(BlockHeader)) ThrowRuntime(kOutOfMemory);
  const size_t total = bytes + sizeof(BlockHeader);
  if (total > Remaining()) ThrowRuntime(kOutOfMemory);
  auto* header = static_cast<BlockHeader*>(AllocOrThrow(scope->context_, total));
  header->size = total;
  scope->used_ += total;
  if (scope->used_ > scope->peak_) scope->peak_ = scope->used_;
  header->prev = nullptr;
  header->next = scope->head_;
  if (scope->head_ != nullptr) scope->head_->prev = header;
  scope->head_ = header;
  return header + 1;
}

void* Jbig2Heap::Calloc(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  size_t bytes = count * size;
  void* block = Alloc(bytes);
  std::memset(block, 0, bytes);
  return block;
}

void* Jbig2Heap::Realloc(void* block, size_t bytes) {
  if (block == nullptr) return Alloc(bytes);
  Jbig2Heap* scope = g_current;
  BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
  BlockHeader* prev = header->prev;
  BlockHeader* next = header->next;
  const size_t oldSize = header->size;
  void* moved = nullptr;
  if (bytes <= SIZE_MAX - sizeof(BlockHeader) &&
      bytes + sizeof(BlockHeader) <= Remaining() + oldSize) {
    moved = MemoryOf(scope->context_).Reallocate(header, bytes + sizeof(BlockHeader));
  }
  if (moved == nullptr) {
    Free(block);
    ThrowRuntime(kOutOfMemory);
  }
  auto* fresh = static_cast<BlockHeader*>(moved);
  fresh->size = bytes + sizeof(BlockHeader);
  scope->used_ = scope->used_ - oldSize + fresh->size;
  if (scope->used_ > scope->peak_) scope->peak_ = scope->used_;
  if (prev != nullptr) prev->next = fresh; else scope->head_ = fresh;
  if (next != nullptr) next->prev = fresh;
  return fresh + 1;
}

void Jbig2Heap::Free(void* block) {
  if (block == nullptr) return;
  Jbig2Heap* scope = g_current;
  Detach(block);
  MemoryOf(scope != nullptr ? scope->context_ : nullptr).Free(static_cast<BlockHeader*>(block) - 1);
}

void* Jbig2Heap::Detach(void* block) {
  Jbig2Heap* scope = g_current;
  BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
  if (header->prev != nullptr) header->prev->next = header->next;
  else if (scope != nullptr && scope->head_ == header) scope->head_ = header->next;
  if (header->next != nullptr) header->next->prev = header->prev;
  header->next = header->prev = nullptr;
  if (scope != nullptr) scope->used_ -= header->size <= scope->used_ ? header->size : scope->used_;
  header->size = 0;
  return block;
}

void Jbig2Heap::FreeDetached(LibraryContext* context, void* block) {
  if (block == nullptr) return;
  MemoryOf(context).Free(static_cast<BlockHeader*>(block) - 1);
}

void Jbig2Heap::FreeAll(Jbig2Heap* scope) {
  MemoryContext& memory = MemoryOf(scope->context_);
  while (scope->head_ != nullptr) {
    BlockHeader* block = scope->head_;
    scope->head_ = block->next;
    memory.Free(block);
  }
  scope->used_ = 0;
  if (g_current == scope) g_current = scope->previous_;
  scope->node_.Unlink();
}

}  // namespace runtime
