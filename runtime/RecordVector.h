#pragma once
// A growable vector of fixed-size records on the heap, registered on the
// cleanup chain. Records are moved as bytes, so growth never runs a
// constructor that could throw halfway through.
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <utility>

#include "runtime/CheckedSize.h"
#include "runtime/CleanupNode.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace runtime {

template <class T>
class RecordVector {
  static_assert(std::is_trivially_copyable_v<T>, "records are moved as bytes");

 public:
  RecordVector(LibraryContext* context, LibraryContext* storageOwner, uint32_t capacity)
      : context_(context), storageOwner_(storageOwner != nullptr ? storageOwner : context) {
    node_.Register(context_, &Cleanup);
    Reserve(capacity);
  }
  ~RecordVector() { Release(); }
  RecordVector(const RecordVector&) = delete;
  RecordVector& operator=(const RecordVector&) = delete;

  // Moves the records into new storage of at least `capacity` records.
  void Reserve(uint32_t capacity) {
    if (capacity <= Capacity()) return;
    const uint32_t bytes = MultiplySizeChecked(context_, capacity, sizeof(T));
    T* fresh = static_cast<T*>(AllocOrThrow(storageOwner_, bytes));
    const uint32_t size = Size();
    if (size != 0) std::memcpy(fresh, begin_, size * sizeof(T));
    FreeStorage();
    begin_ = fresh;
    end_ = fresh + size;
    capacityEnd_ = fresh + capacity;
  }
  // Appends a record, doubling the capacity when full.
  T& Append(const T& record) {
    if (end_ == capacityEnd_) {
      const uint32_t capacity = Capacity();
      Reserve(capacity < 4 ? 4 : MultiplySizeChecked(context_, capacity, 2));
    }
    *end_ = record;
    return *end_++;
  }
  // Appends `record` unless an equal one is already held (a set of small
  // records kept in insertion order); growth leaves ten spare slots.
  void AddUnique(const T& record) {
    for (const T* at = begin_; at != end_; ++at) {
      if (*at == record) return;
    }
    if (end_ == capacityEnd_) Reserve(AddSizeChecked(context_, Size(), 11));
    *end_++ = record;
  }
  // Adds every record of `source` in order (as AddUnique), then empties it.
  void MergeFrom(RecordVector& source) {
    if (&source == this) return;
    for (const T& record : source.Records()) AddUnique(record);
    source.Clear();
  }
  void Clear() { end_ = begin_; }
  // Drops the records from `size` on; a size past the end changes nothing.
  void Truncate(uint32_t size) {
    if (size < Size()) end_ = begin_ + size;
  }
  // Exchanges the records of two vectors, each storage going with the
  // context that owns it; each vector keeps its node and error context.
  static void Swap(RecordVector& a, RecordVector& b) {
    std::swap(a.storageOwner_, b.storageOwner_);
    std::swap(a.begin_, b.begin_);
    std::swap(a.end_, b.end_);
    std::swap(a.capacityEnd_, b.capacityEnd_);
  }

  uint32_t Size() const { return static_cast<uint32_t>(end_ - begin_); }
  uint32_t Capacity() const { return static_cast<uint32_t>(capacityEnd_ - begin_); }
  // Element i; past the end throws (runtime, 2).
  T& AtChecked(uint32_t i) {
    if (i >= Size()) ThrowError(context_, ErrorRecord{kRuntimeDomain, kMalformed, 0});
    return begin_[i];
  }
  T& operator[](uint32_t i) { return begin_[i]; }
  const T& operator[](uint32_t i) const { return begin_[i]; }
  std::span<T> Records() { return {begin_, Size()}; }
  std::span<const T> Records() const { return {begin_, Size()}; }

 private:
  static void Cleanup(CleanupNode* node) { reinterpret_cast<RecordVector*>(node)->Release(); }
  void Release() {
    FreeStorage();
    begin_ = end_ = capacityEnd_ = nullptr;
    node_.Unlink();
  }
  void FreeStorage() {
    if (begin_ == nullptr) return;
    LibraryContext* owner = storageOwner_ != nullptr ? storageOwner_ : GetDefaultContext();
    owner->memory.Free(begin_);
  }

  CleanupNode node_;
  LibraryContext* context_;
  LibraryContext* storageOwner_;
  T* begin_ = nullptr;
  T* end_ = nullptr;
  T* capacityEnd_ = nullptr;
};

// A record of four 32-bit words (span and segment records of the raster
// code), and the two vectors the raster support keeps most.
struct Record16 {
  uint32_t words[4] = {};
  bool operator==(const Record16&) const = default;
};
static_assert(sizeof(Record16) == 16);
using RecordVector16 = RecordVector<Record16>;
using WordVector = RecordVector<uint32_t>;

}  // namespace runtime
