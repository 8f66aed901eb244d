#include "runtime/ObjectValue.h"

#include "runtime/ErrorTrap.h"

namespace runtime {
namespace {

const ByteString& CheckedBytes(const ObjectValue& value, ObjectTag tag) {
  if (value.tag != tag || value.payload.bytes == nullptr) ThrowRuntime(kMalformed);
  return *value.payload.bytes;
}

const ValueList& CheckedList(const ObjectValue& value, ObjectTag tag) {
  if (value.tag != tag || value.payload.list == nullptr) ThrowRuntime(kMalformed);
  return *value.payload.list;
}

}  // namespace

const ObjectValue kNullValue{};

bool ObjectValue::IsNumber() const {
  return tag == ObjectTag::kInteger || tag == ObjectTag::kReal ||
         tag == ObjectTag::kOverflowedNumber;
}

bool ObjectValue::AsBoolean() const {
  if (tag != ObjectTag::kBoolean) ThrowRuntime(kMalformed);
  return payload.integer != 0;
}

int32_t ObjectValue::AsInteger() const {
  if (tag == ObjectTag::kInteger) return payload.integer;
  // "/Length 2147483648" must clamp rather than fail, so the clamped cell
  // of an overflowed literal reads as an integer too.
  if (tag == ObjectTag::kOverflowedNumber && payload.overflowed != nullptr) {
    return *payload.overflowed;
  }
  ThrowRuntime(kMalformed);
}

Fixed IntegerToNumber(int32_t value) {
  if (value < -32768) return static_cast<Fixed>(0x80000000u);
  if (value > 32767) return 0x7FFF0000;
  return static_cast<Fixed>(static_cast<uint32_t>(value) << 16);
}

Fixed ObjectValue::AsNumber() const {
  if (tag == ObjectTag::kReal) return payload.real;
  return IntegerToNumber(AsInteger());
}

ObjectReference ObjectValue::AsReference() const {
  if (tag != ObjectTag::kReference || payload.reference == nullptr) ThrowRuntime(kMalformed);
  return *payload.reference;
}

const ByteString& ObjectValue::AsName() const { return CheckedBytes(*this, ObjectTag::kName); }
const ByteString& ObjectValue::AsString() const {
  return CheckedBytes(*this, ObjectTag::kString);
}
const ValueList& ObjectValue::AsArray() const { return CheckedList(*this, ObjectTag::kArray); }
const ValueList& ObjectValue::AsDictionary() const {
  return CheckedList(*this, ObjectTag::kDictionary);
}

}  // namespace runtime
