#pragma once
// An array of 4-byte elements that keeps up to kInline of them inside the
// holder and larger counts in an owned heap array. Resize drops the
// contents, ResizeKeep keeps them; CopyFrom copies them.
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

#include "runtime/OwnedArray.h"

namespace runtime {

template <class T, uint32_t kInline>
class SmallArray {
  static_assert(sizeof(T) == 4 && std::is_trivially_copyable_v<T>);

 public:
  SmallArray(LibraryContext* context, uint32_t n) : owned_(context, context, 0) { Resize(n); }
  SmallArray(const SmallArray& source)
      : owned_(source.owned_.Context(), source.owned_.StorageOwner(), 0) {
    CopyFrom(source);
  }
  SmallArray& operator=(const SmallArray& source) {
    if (this != &source) CopyFrom(source);
    return *this;
  }

  // n = 0 clears; n <= kInline uses the inline slots and frees owned
  // storage; larger counts resize the owned array.
  void Resize(uint32_t n) {
    if (n > kInline) {
      owned_.Resize(n);  // may throw: the count changes only after
    } else if (owned_.Count() != 0) {
      owned_.Resize(0);
    }
    count_ = n;
  }
  // As Resize, keeping the first min(old, n) values wherever they move:
  // from the owned array into the inline slots when the count drops to
  // kInline or below, and the other way when it grows past it.
  void ResizeKeep(uint32_t n) {
    if (n == count_) return;
    if (n > kInline) {
      const bool wasInline = IsInline();
      owned_.ResizeKeep(n);  // may throw: the count changes only after
      if (wasInline && count_ != 0) std::memcpy(owned_.Data(), inline_, count_ * sizeof(T));
    } else {
      if (!IsInline() && n != 0) std::memcpy(inline_, owned_.Data(), n * sizeof(T));
      if (owned_.Count() != 0) owned_.Resize(0);
    }
    count_ = n;
  }
  void CopyFrom(const SmallArray& source) {
    Resize(source.count_);
    if (count_ != 0) std::memcpy(Data(), source.Data(), count_ * sizeof(T));
  }
  // Exchanges the contents of two arrays, inline or owned.
  static void Swap(SmallArray& a, SmallArray& b) {
    for (uint32_t i = 0; i < kInline; ++i) std::swap(a.inline_[i], b.inline_[i]);
    std::swap(a.count_, b.count_);
    OwnedArray<T>::Swap(a.owned_, b.owned_);
  }

  uint32_t Count() const { return count_; }
  uint32_t ByteSize() const { return count_ * static_cast<uint32_t>(sizeof(T)); }
  bool IsInline() const { return count_ <= kInline; }
  T* Data() { return IsInline() ? inline_ : owned_.Data(); }
  const T* Data() const { return IsInline() ? inline_ : owned_.Data(); }
  std::span<T> Elements() { return {Data(), count_}; }
  std::span<const T> Elements() const { return {Data(), count_}; }
  T& operator[](uint32_t i) { return Data()[i]; }
  const T& operator[](uint32_t i) const { return Data()[i]; }
  const OwnedArray<T>& Owned() const { return owned_; }

 private:
  OwnedArray<T> owned_;
  uint32_t count_ = 0;
  T inline_[kInline] = {};
};

// The two sizes in use.
template <class T>
using SmallArray8 = SmallArray<T, 8>;
template <class T>
using SmallArray4 = SmallArray<T, 4>;
// Word buffers of path and colour records: most hold four words or fewer.
using SmallWordBuffer = SmallArray4<uint32_t>;

}  // namespace runtime
