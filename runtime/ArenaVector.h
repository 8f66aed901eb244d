#pragma once
// A vector whose storage lives in an arena. Growing takes new arena space
// and leaves the old storage to the arena, which releases everything at
// once; so nothing here is freed and no cleanup node is needed.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

#include "runtime/ArenaAllocator.h"
#include "runtime/CheckedSize.h"
#include "runtime/ErrorTrap.h"

namespace runtime {

template <class T>
class ArenaVector {
  static_assert(std::is_trivially_copyable_v<T>, "elements are moved as bytes");
  static_assert(alignof(T) <= kArenaAlignment);

 public:
  ArenaVector(ArenaAllocator& arena, uint32_t capacity) : arena_(&arena) { Reserve(capacity); }
  // A copy on the source's arena with room for the source's elements.
  ArenaVector(const ArenaVector& source) : arena_(source.arena_) {
    Reserve(source.Size());
    if (source.Size() != 0) std::memcpy(begin_, source.begin_, source.Size() * sizeof(T));
    end_ = begin_ + source.Size();
  }
  ArenaVector& operator=(const ArenaVector&) = delete;

  // Moves the elements into new arena storage of at least `capacity`.
  void Reserve(uint32_t capacity) {
    if (capacity <= Capacity() && begin_ != nullptr) return;
    LibraryContext* context = arena_->Context();
    const uint32_t bytes =
        RoundUpSize8Checked(context, MultiplySizeChecked(context, capacity, sizeof(T)));
    T* fresh = static_cast<T*>(arena_->Alloc(bytes));
    const uint32_t size = Size();
    if (size != 0) std::memcpy(fresh, begin_, size * sizeof(T));
    begin_ = fresh;
    end_ = fresh + size;
    capacityEnd_ = fresh + capacity;
  }
  T& PushBack(const T& value) {
    if (end_ == capacityEnd_) {
      const uint32_t size = Size();
      // Grow by at least ten elements, doubling for long vectors.
      const uint32_t doubled = size > 0x7FFFFFFFu ? 0xFFFFFFFFu : size * 2;
      Reserve(std::max(AddSizeChecked(arena_->Context(), size, 10), doubled));
    }
    *end_ = value;
    return *end_++;
  }
  // Removes [first, last) by moving the elements after it down.
  void EraseRange(uint32_t first, uint32_t last) {
    const uint32_t size = Size();
    if (first > last || last > size)
      ThrowError(arena_->Context(), ErrorRecord{kRuntimeDomain, kMalformed, 0});
    if (last != size) std::memmove(begin_ + first, begin_ + last, (size - last) * sizeof(T));
    end_ -= last - first;
  }
  void Clear() { end_ = begin_; }

  uint32_t Size() const { return static_cast<uint32_t>(end_ - begin_); }
  uint32_t Capacity() const { return static_cast<uint32_t>(capacityEnd_ - begin_); }
  bool IsEmpty() const { return end_ == begin_; }
  T& operator[](uint32_t i) { return begin_[i]; }
  const T& operator[](uint32_t i) const { return begin_[i]; }
  T& AtChecked(uint32_t i) {
    if (i >= Size()) ThrowError(arena_->Context(), ErrorRecord{kRuntimeDomain, kMalformed, 0});
    return begin_[i];
  }
  T* begin() { return begin_; }
  T* end() { return end_; }
  const T* begin() const { return begin_; }
  const T* end() const { return end_; }
  std::span<T> Elements() { return {begin_, Size()}; }

 private:
  ArenaAllocator* arena_;
  T* begin_ = nullptr;
  T* end_ = nullptr;
  T* capacityEnd_ = nullptr;
};

}  // namespace runtime
