#pragma once
// A registered pointer to a heap block: a throw that passes frees the block.
// For code that keeps a raw MemoryContext block in a local for a while.
#include "runtime/CleanupNode.h"
#include "runtime/LibraryContext.h"

namespace runtime {

class OwnedBufferPtr {
 public:
  explicit OwnedBufferPtr(LibraryContext* context, void* block = nullptr)
      : context_(context), block_(block) {
    node_.Register(context, &Release);
  }
  ~OwnedBufferPtr() { Release(&node_); }
  OwnedBufferPtr(const OwnedBufferPtr&) = delete;
  OwnedBufferPtr& operator=(const OwnedBufferPtr&) = delete;

  void* Get() const { return block_; }
  void Reset(void* block) {
    FreeBlock();
    block_ = block;
  }
  // Hands the block to the caller, who now frees it.
  void* Take() {
    void* block = block_;
    block_ = nullptr;
    return block;
  }

  // Frees the block, clears the pointer and unlinks.
  static void Release(CleanupNode* node) {
    auto* self = reinterpret_cast<OwnedBufferPtr*>(node);
    self->FreeBlock();
    node->Unlink();
  }

 private:
  void FreeBlock() {
    if (block_ == nullptr) return;
    LibraryContext* owner = context_ != nullptr ? context_ : GetDefaultContext();
    owner->memory.Free(block_);
    block_ = nullptr;
  }

  CleanupNode node_;
  LibraryContext* context_;
  void* block_;
};

}  // namespace runtime
