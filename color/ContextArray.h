#pragma once
// An array owned by a long-lived colour object (a profile, a tag, a stage),
// its storage from the library's memory context. It is not on the cleanup
// chain: its owner is, through the counted reference that holds the owner,
// so a throw releases the owner and the owner's destructor frees this.
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace color {

template <class T>
class ContextArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  ContextArray() = default;
  ContextArray(const ContextArray&) = delete;
  ContextArray& operator=(const ContextArray&) = delete;
  ContextArray(ContextArray&& other) noexcept
      : context_(other.context_), data_(std::exchange(other.data_, nullptr)),
        count_(std::exchange(other.count_, 0)) {}
  ContextArray& operator=(ContextArray&& other) noexcept {
    std::swap(context_, other.context_);
    std::swap(data_, other.data_);
    std::swap(count_, other.count_);
    return *this;
  }
  ~ContextArray() { Free(); }

  // Fresh zeroed storage for n elements; the old contents go. Throws
  // (runtime, 0) when the memory context refuses.
  void Allocate(runtime::LibraryContext* context, uint32_t n) {
    T* fresh = nullptr;
    if (n != 0) {
      fresh = static_cast<T*>(runtime::AllocOrThrow(context, sizeof(T) * static_cast<size_t>(n)));
      std::memset(static_cast<void*>(fresh), 0, sizeof(T) * static_cast<size_t>(n));
    }
    Free();
    context_ = context;
    data_ = fresh;
    count_ = n;
  }
  // The same for storage that is only an aid (a table that speeds a loop
  // up): false, and the array as it was, when the context refuses.
  bool TryAllocate(runtime::LibraryContext* context, uint32_t n) {
    T* fresh = n != 0 ? static_cast<T*>(context->memory.Allocate(sizeof(T) * static_cast<size_t>(n))) : nullptr;
    if (n != 0 && fresh == nullptr) return false;
    if (n != 0) std::memset(static_cast<void*>(fresh), 0, sizeof(T) * static_cast<size_t>(n));
    Free();
    context_ = context;
    data_ = fresh;
    count_ = n;
    return true;
  }
  void CopyFrom(runtime::LibraryContext* context, const T* source, uint32_t n) {
    Allocate(context, n);
    if (n != 0) std::memcpy(static_cast<void*>(data_), source, sizeof(T) * n);
  }
  void Free() {
    if (data_ != nullptr) {
      runtime::LibraryContext* owner = context_ != nullptr ? context_ : runtime::GetDefaultContext();
      owner->memory.Free(data_);
    }
    data_ = nullptr;
    count_ = 0;
  }

  uint32_t Count() const { return count_; }
  T* Data() { return data_; }
  const T* Data() const { return data_; }
  T& operator[](uint32_t i) { return data_[i]; }
  const T& operator[](uint32_t i) const { return data_[i]; }
  uint32_t ByteSize() const { return static_cast<uint32_t>(sizeof(T) * count_); }

 private:
  runtime::LibraryContext* context_ = nullptr;
  T* data_ = nullptr;
  uint32_t count_ = 0;
};

}  // namespace color
