#pragma once
// An array of fixed-size elements on the heap, owned by a holder that is
// registered on the cleanup chain: a throw that passes frees the storage.
// The storage comes from the storage owner's MemoryContext.
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <utility>

#include "runtime/CheckedSize.h"
#include "runtime/CleanupNode.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace runtime {

template <class T>
class OwnedArray {
  static_assert(std::is_trivially_copyable_v<T>, "elements are moved as bytes");

 public:
  OwnedArray(LibraryContext* context, LibraryContext* storageOwner, uint32_t n)
      : context_(context), storageOwner_(storageOwner != nullptr ? storageOwner : context) {
    node_.Register(context_, &Cleanup);
    if (n != 0) Adopt(Allocate(n), n);
  }
  // Copy: same contexts and count, new storage with the source's bytes.
  OwnedArray(const OwnedArray& source)
      : context_(source.context_), storageOwner_(source.storageOwner_) {
    node_.Register(context_, &Cleanup);
    if (source.byteSize_ != 0) {
      T* copy = Allocate(source.count_);
      std::memcpy(copy, source.storage_, source.byteSize_);
      Adopt(copy, source.count_);
    }
  }
  OwnedArray& operator=(const OwnedArray& source) {
    if (this != &source) {
      OwnedArray temporary(source);
      ExchangeStorage(temporary);  // the temporary frees the old storage
    }
    return *this;
  }
  ~OwnedArray() { Release(); }

  // New storage for n elements; the contents are dropped.
  void Resize(uint32_t n) {
    T* fresh = n != 0 ? Allocate(n) : nullptr;  // may throw: change nothing before
    FreeStorage();
    Adopt(fresh, n);
  }
  // New storage for n elements keeping min(old, n) of them; nothing
  // happens when n is the current count.
  void ResizeKeep(uint32_t n) {
    if (n == count_) return;
    T* fresh = n != 0 ? Allocate(n) : nullptr;
    if (fresh != nullptr && storage_ != nullptr) {
      std::memcpy(fresh, storage_, sizeof(T) * (n < count_ ? n : count_));
    }
    FreeStorage();
    Adopt(fresh, n);
  }
  // Exchanges the contents of two arrays.
  static void Swap(OwnedArray& a, OwnedArray& b) { a.ExchangeStorage(b); }

  uint32_t Count() const { return count_; }
  uint32_t ByteSize() const { return byteSize_; }
  T* Data() { return storage_; }
  const T* Data() const { return storage_; }
  std::span<T> Elements() { return {storage_, count_}; }
  std::span<const T> Elements() const { return {storage_, count_}; }
  T& operator[](uint32_t i) { return storage_[i]; }
  const T& operator[](uint32_t i) const { return storage_[i]; }
  bool IsLinked() const { return node_.IsLinked(); }
  LibraryContext* Context() const { return context_; }
  LibraryContext* StorageOwner() const { return storageOwner_; }

 private:
  static void Cleanup(CleanupNode* node) {
    // The node is the first member, so the holder starts where it does.
    reinterpret_cast<OwnedArray*>(node)->Release();
  }
  void Release() {
    FreeStorage();
    count_ = 0;
    byteSize_ = 0;
    node_.Unlink();
  }
  T* Allocate(uint32_t n) {
    const uint32_t bytes = MultiplySizeChecked(context_, n, sizeof(T));
    return static_cast<T*>(AllocOrThrow(storageOwner_, bytes));
  }
  void FreeStorage() {
    if (storage_ == nullptr) return;
    LibraryContext* owner = storageOwner_ != nullptr ? storageOwner_ : GetDefaultContext();
    owner->memory.Free(storage_);
    storage_ = nullptr;
  }
  void Adopt(T* storage, uint32_t n) {
    storage_ = storage;
    count_ = storage != nullptr ? n : 0;
    byteSize_ = count_ * static_cast<uint32_t>(sizeof(T));
  }
  void ExchangeStorage(OwnedArray& other) {
    std::swap(count_, other.count_);
    std::swap(byteSize_, other.byteSize_);
    std::swap(storage_, other.storage_);
  }

  CleanupNode node_;
  LibraryContext* context_;
  LibraryContext* storageOwner_;
  uint32_t count_ = 0;
  uint32_t byteSize_ = 0;
  T* storage_ = nullptr;
};

// 16-bit code and depth tables.
using OwnedArray16 = OwnedArray<uint16_t>;

}  // namespace runtime
