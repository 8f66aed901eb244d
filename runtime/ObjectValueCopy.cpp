// ObjectValue::CopyToArena: deep copies of parsed values.
#include <cstring>

#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "runtime/ObjectValue.h"

namespace runtime {

namespace {

ObjectValue CopyValueAtDepth(ArenaAllocator& arena, const ObjectValue& value, uint32_t depth) {
  switch (value.tag) {
    case ObjectTag::kNull: return ObjectValue::Null();
    case ObjectTag::kBoolean: return ObjectValue::Boolean(value.payload.integer != 0);
    case ObjectTag::kInteger:
    case ObjectTag::kReal: return value;
    case ObjectTag::kName:
    case ObjectTag::kString: {
      const ByteString& source = *value.payload.bytes;
      auto* copy = static_cast<ByteString*>(arena.Alloc(ByteString::BlockSize(source.length)));
      copy->length = source.length;
      // The bytes and their terminating zero.
      std::memcpy(copy->MutableBytes(), source.Bytes(), size_t{source.length} + 1);
      return value.tag == ObjectTag::kName ? ObjectValue::Name(copy) : ObjectValue::String(copy);
    }
    case ObjectTag::kArray:
    case ObjectTag::kDictionary: {
      if (depth >= ObjectValue::kMaxCopyDepth) ThrowRuntime(kStackExhausted);
      const ValueList& source = *value.payload.list;
      auto* items = source.count != 0
                        ? static_cast<ObjectValue*>(arena.Alloc(sizeof(ObjectValue) * size_t{source.count}))
                        : nullptr;
      for (uint32_t i = 0; i < source.count; ++i) items[i] = CopyValueAtDepth(arena, source.items[i], depth + 1);
      auto* list = static_cast<ValueList*>(arena.Alloc(sizeof(ValueList)));
      *list = ValueList{items, source.count, 0};
      return value.tag == ObjectTag::kArray ? ObjectValue::Array(list) : ObjectValue::Dictionary(list);
    }
    case ObjectTag::kReference: {
      auto* reference = static_cast<ObjectReference*>(arena.Alloc(sizeof(ObjectReference)));
      *reference = *value.payload.reference;
      return ObjectValue::Reference(reference);
    }
    case ObjectTag::kOverflowedNumber: {
      auto* cell = static_cast<int32_t*>(arena.Alloc(sizeof(int32_t)));
      *cell = *value.payload.overflowed;
      return ObjectValue::Overflowed(cell);
    }
  }
  return value;
}

}  // namespace

ObjectValue ObjectValue::CopyToArena(ArenaAllocator& arena, const ObjectValue& value) {
  return CopyValueAtDepth(arena, value, 0);
}

}  // namespace runtime
