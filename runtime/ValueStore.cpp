#include "runtime/ValueStore.h"

#include <cstring>
#include <new>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace runtime {
namespace {

// Parsed values are small and many: carve them from chunks of this size.
constexpr size_t kChunkBytes = 2048;
constexpr size_t kAlignment = 16;

size_t RoundUp(size_t bytes) { return (bytes + kAlignment - 1) & ~(kAlignment - 1); }

LibraryContext* OwnerOf(LibraryContext* context) {
  return context != nullptr ? context : GetDefaultContext();
}

}  // namespace

struct alignas(16) ValueStore::Chunk {
  Chunk* next;
};

ValueStore* ValueStore::New(LibraryContext* context) {
  void* block = AllocOrThrow(context, sizeof(ValueStore));
  return new (block) ValueStore(context);
}

void ValueStore::DeleteShared(LibraryContext* context, ValueStore* store) {
  if (store == nullptr) return;
  LibraryContext* owner = OwnerOf(store->context_ != nullptr ? store->context_ : context);
  store->~ValueStore();
  owner->memory.Free(store);
}

ValueStore::~ValueStore() {
  LibraryContext* owner = OwnerOf(context_);
  while (chunks_ != nullptr) {
    Chunk* next = chunks_->next;
    owner->memory.Free(chunks_);
    chunks_ = next;
  }
}

void* ValueStore::Allocate(size_t bytes) {
  if (bytes > SIZE_MAX / 2) ThrowRuntime(kOverflow);
  const size_t needed = RoundUp(bytes == 0 ? 1 : bytes);
  if (needed > room_) {
    // A large value gets a chunk of its own; the current chunk keeps its
    // remaining room for the small values that follow.
    const size_t payload = needed > kChunkBytes / 4 ? needed : kChunkBytes;
    void* block = AllocOrThrow(context_, sizeof(Chunk) + payload);
    auto* chunk = new (block) Chunk{chunks_};
    chunks_ = chunk;
    bytesHeld_ += sizeof(Chunk) + payload;
    uint8_t* start = reinterpret_cast<uint8_t*>(chunk + 1);
    if (payload != kChunkBytes) return start;
    cursor_ = start;
    room_ = payload;
  }
  uint8_t* result = cursor_;
  cursor_ += needed;
  room_ -= needed;
  return result;
}

const ByteString* ValueStore::NewByteString(std::string_view bytes) {
  if (bytes.size() > UINT32_MAX - sizeof(ByteString) - 1) ThrowRuntime(kOverflow);
  const auto length = static_cast<uint32_t>(bytes.size());
  auto* text = new (Allocate(ByteString::BlockSize(length))) ByteString{length};
  if (length != 0) std::memcpy(text->MutableBytes(), bytes.data(), length);
  text->MutableBytes()[length] = 0;
  return text;
}

const ValueList* ValueStore::NewList(const ObjectValue* items, uint32_t count) {
  auto* list = new (Allocate(sizeof(ValueList))) ValueList{};
  if (count != 0) {
    auto* copy = static_cast<ObjectValue*>(Allocate(sizeof(ObjectValue) * size_t{count}));
    for (uint32_t i = 0; i < count; ++i) new (copy + i) ObjectValue(items[i]);
    list->items = copy;
    list->count = count;
  }
  return list;
}

const ObjectReference* ValueStore::NewReference(uint32_t number, uint32_t generation) {
  return new (Allocate(sizeof(ObjectReference))) ObjectReference{number, generation};
}

const int32_t* ValueStore::NewOverflowCell(int32_t clamped) {
  return new (Allocate(sizeof(int32_t))) int32_t(clamped);
}

}  // namespace runtime
