#include "runtime/ValueStore.h"

#include <cstring>
#include <new>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace runtime {
namespace {

// Block size and large-request threshold of a store's arena: parsed values
// are small and many.
constexpr uint32_t kStoreBlockBytes = 2048;
constexpr uint32_t kStoreLargeBytes = 512;

}  // namespace

ValueStore::ValueStore(LibraryContext* context)
    : context_(context), arena_(context, kStoreBlockBytes, kStoreLargeBytes) {}

ValueStore* ValueStore::New(LibraryContext* context) {
  return NewObject<ValueStore>(context, context);
}

void ValueStore::DeleteShared(LibraryContext* context, ValueStore* store) {
  if (store == nullptr) return;
  DestroyAndFree(store->context_ != nullptr ? store->context_ : context, store);
}

void* ValueStore::Allocate(size_t bytes) { return arena_.Alloc(bytes == 0 ? 1 : bytes); }

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
