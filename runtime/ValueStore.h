#pragma once
// The shared storage of parsed PDF values: every name, string, array,
// dictionary and reference cell that one parse produces lives here and dies
// together when the last handle on any of them goes away. Handles
// (ObjectHandle) count the store, not the values.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/ArenaAllocator.h"
#include "runtime/CountedRef.h"
#include "runtime/ObjectValue.h"

namespace runtime {

class LibraryContext;

class ValueStore {
 public:
  // A new store with a count of 1, which the caller owns (see StoreRef).
  static ValueStore* New(LibraryContext* context);
  // Use New: a store must be built in a transient-block bracket so that its
  // arena's node stays off the stack's cleanup chain.
  explicit ValueStore(LibraryContext* context);
  // Frees every value in the store and the store itself.
  static void DeleteShared(LibraryContext* context, ValueStore* store);

  ValueStore(const ValueStore&) = delete;
  ValueStore& operator=(const ValueStore&) = delete;

  // Storage that lives as long as the store, 8-byte aligned; raises
  // (runtime, 0) when memory is exhausted.
  void* Allocate(size_t bytes);

  const ByteString* NewByteString(std::string_view bytes);
  // A copy of `count` values.
  const ValueList* NewList(const ObjectValue* items, uint32_t count);
  const ObjectReference* NewReference(uint32_t number, uint32_t generation);
  const int32_t* NewOverflowCell(int32_t clamped);

  // Shorthands that build the value and its storage in one step.
  ObjectValue Name(std::string_view bytes) { return ObjectValue::Name(NewByteString(bytes)); }
  ObjectValue String(std::string_view bytes) {
    return ObjectValue::String(NewByteString(bytes));
  }
  ObjectValue Array(const ObjectValue* items, uint32_t count) {
    return ObjectValue::Array(NewList(items, count));
  }
  ObjectValue Dictionary(const ObjectValue* items, uint32_t count) {
    return ObjectValue::Dictionary(NewList(items, count));
  }
  ObjectValue Reference(uint32_t number, uint32_t generation) {
    return ObjectValue::Reference(NewReference(number, generation));
  }
  ObjectValue Overflowed(int32_t clamped) {
    return ObjectValue::Overflowed(NewOverflowCell(clamped));
  }

  LibraryContext* Context() const { return context_; }
  // Bytes taken from the memory context so far.
  size_t BytesHeld() const { return arena_.totalBytes; }
  // The arena the values live in, for parsers that build their own records
  // beside the values.
  ArenaAllocator& Arena() { return arena_; }

  uint32_t refCount = 1;

 private:
  LibraryContext* context_;
  ArenaAllocator arena_;
};

struct ValueStoreCount {
  static void CountUp(ValueStore* store) { ++store->refCount; }
  static bool CountDown(ValueStore* store) { return --store->refCount == 0; }
  static uint32_t Count(const ValueStore* store) { return store->refCount; }
  static void Destroy(LibraryContext* context, ValueStore* store) {
    ValueStore::DeleteShared(context, store);
  }
};

using StoreRef = CountedRef<ValueStore, ValueStoreCount>;

}  // namespace runtime
