#include "content/ProgramArrayOperands.h"

#include <cstring>

#include "runtime/ErrorTrap.h"

namespace content {

using runtime::ObjectTag;
using runtime::ObjectValue;

namespace {

const runtime::ByteString* CopyBytes(runtime::ArenaAllocator& arena,
                                     const runtime::ByteString& source) {
  auto* copy = new (arena.Alloc(runtime::ByteString::BlockSize(source.length)))
      runtime::ByteString;
  copy->length = source.length;
  if (source.length != 0) std::memcpy(copy->MutableBytes(), source.Bytes(), source.length);
  copy->MutableBytes()[source.length] = 0;
  return copy;
}

void CopyInto(runtime::ArenaAllocator& arena, const ObjectValue& value, ObjectValue& out,
              uint32_t depth) {
  switch (value.tag) {
    case ObjectTag::kNull:
    case ObjectTag::kBoolean:
    case ObjectTag::kInteger:
    case ObjectTag::kReal:
      out = value;
      return;
    case ObjectTag::kOverflowedNumber:
      out = ObjectValue::Integer(value.AsInteger());
      return;
    case ObjectTag::kName:
      out = ObjectValue::Name(CopyBytes(arena, value.AsName()));
      return;
    case ObjectTag::kString:
      out = ObjectValue::String(CopyBytes(arena, value.AsString()));
      return;
    case ObjectTag::kArray: {
      if (depth >= ProgramArrayOperands::kMaxCopyDepth) runtime::ThrowMalformed();
      const runtime::ValueList& source = value.AsArray();
      auto* list = new (arena.Alloc(sizeof(runtime::ValueList))) runtime::ValueList;
      if (source.count != 0) {
        auto* items = static_cast<ObjectValue*>(
            arena.Alloc(sizeof(ObjectValue) * size_t{source.count}));
        for (uint32_t i = 0; i < source.count; ++i) {
          new (&items[i]) ObjectValue;
          CopyInto(arena, source.items[i], items[i], depth + 1);
        }
        list->items = items;
      }
      list->count = source.count;
      out = ObjectValue::Array(list);
      return;
    }
    default:
      // A content program holds no dictionaries or references in a colour
      // space.
      runtime::ThrowMalformed();
  }
}

}  // namespace

ProgramArrayOperands::ProgramArrayOperands(const ObjectValue& array,
                                           runtime::ArenaAllocator& arena)
    : list_(&array.AsArray()), arena_(&arena) {}

const ObjectValue& ProgramArrayOperands::CopyToArena(runtime::ArenaAllocator& arena,
                                                     const ObjectValue& value) {
  auto* copy = new (arena.Alloc(sizeof(ObjectValue))) ObjectValue;
  CopyInto(arena, value, *copy, 0);
  return *copy;
}

const ObjectValue& ProgramArrayOperands::At(uint32_t i) const {
  if (i >= list_->count) runtime::ThrowMalformed();
  return list_->items[i];
}

std::string_view ProgramArrayOperands::NameAt(uint32_t i) { return At(i).AsName().View(); }

int32_t ProgramArrayOperands::IntAt(uint32_t i) { return At(i).AsInteger(); }

ColorSpaceOperands* ProgramArrayOperands::SubArrayAt(uint32_t i) {
  const ObjectValue& element = At(i);
  if (!element.Is(ObjectTag::kArray)) runtime::ThrowMalformed();
  return new (arena_->Alloc(sizeof(ProgramArrayOperands))) ProgramArrayOperands(element, *arena_);
}

std::string_view ProgramArrayOperands::NameInArrayAt(uint32_t i, uint32_t j) {
  const runtime::ValueList& inner = At(i).AsArray();
  if (j >= inner.count) runtime::ThrowMalformed();
  return inner.items[j].AsName().View();
}

uint32_t ProgramArrayOperands::CountOfArrayAt(uint32_t i) { return At(i).AsArray().count; }

ObjectTag ProgramArrayOperands::TypeAt(uint32_t i) { return At(i).tag; }

uint32_t ProgramArrayOperands::Count() { return list_->count; }

runtime::ObjectHandle ProgramArrayOperands::DictionaryAt(uint32_t) { runtime::ThrowMalformed(); }

runtime::ObjectHandle ProgramArrayOperands::ArrayHandle() { runtime::ThrowMalformed(); }

std::pair<const uint8_t*, const uint8_t*> ProgramArrayOperands::StringAt(uint32_t i) {
  const runtime::ByteString& string = At(i).AsString();
  return {string.Bytes(), string.Bytes() + string.length};
}

runtime::ObjectHandle ProgramArrayOperands::StreamAt(uint32_t) { runtime::ThrowMalformed(); }

}  // namespace content
