#pragma once
// A PDF value as the parser produces it and the rest of the library reads
// it: a 32-bit type tag and a payload. The payload holds a small number
// directly (integer, boolean, 16.16 real) or a pointer into the storage
// that owns the value's bytes (names, strings, arrays, dictionaries,
// references, overflowed integers). The lexer, the content interpreter and
// the calculator all use this one layout.
//
// Typed access checks the tag and raises (runtime, 2) on a mismatch, so a
// malformed file can never make a reader misinterpret a payload.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "runtime/Fixed.h"

namespace runtime {

enum class ObjectTag : uint32_t {
  kNull = 0,
  kBoolean = 1,
  kInteger = 2,
  kReal = 3,  // Fixed
  kName = 4,
  kString = 5,
  kArray = 6,
  kDictionary = 7,
  kReference = 8,
  // An integer literal too large for 32 bits; its cell holds the clamped
  // value (0x7FFFFFFF or 0x80000000), which integer readers use.
  kOverflowedNumber = 9,
};

// The bytes of a name or string: a length, then the bytes and a
// terminating zero in the same block.
struct ByteString {
  uint32_t length = 0;

  const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(this + 1); }
  uint8_t* MutableBytes() { return reinterpret_cast<uint8_t*>(this + 1); }
  std::string_view View() const {
    return {reinterpret_cast<const char*>(Bytes()), length};
  }
  bool Equals(std::string_view other) const { return View() == other; }

  // Bytes needed for a string of `length` bytes (header, bytes, zero).
  static size_t BlockSize(uint32_t length) { return sizeof(ByteString) + size_t{length} + 1; }
};

// The target of an indirect reference.
struct ObjectReference {
  uint32_t number = 0;
  uint32_t generation = 0;
};

struct ObjectValue;
class ArenaAllocator;

// The elements of an array, or the entries of a dictionary laid out as
// key, value, key, value, ...
struct ValueList {
  const ObjectValue* items = nullptr;
  uint32_t count = 0;
  // Non-zero when the list is the head of a ContainerRecord (a parsed
  // array or dictionary), which Record() then returns.
  uint32_t hasRecord = 0;

  inline const struct ContainerRecord* Record() const;
};

// An array or dictionary as the parser built it: where it stood in the
// file, the indirect object it belongs to and, for a dictionary followed by
// "stream", the file position of the stream data (0 when there is none).
struct ContainerRecord {
  ValueList list;
  uint64_t startPosition = 0;
  uint64_t streamPosition = 0;
  uint32_t objectNumber = 0;
  uint32_t generation = 0;
};

const ContainerRecord* ValueList::Record() const {
  return hasRecord != 0 ? reinterpret_cast<const ContainerRecord*>(this) : nullptr;
}

struct ObjectValue {
  ObjectTag tag = ObjectTag::kNull;
  union Payload {
    int32_t integer;  // boolean (non-zero is true) and integer
    Fixed real;
    const ByteString* bytes;
    const ValueList* list;
    const ObjectReference* reference;
    const int32_t* overflowed;
  } payload{0};

  static constexpr ObjectValue Null() { return ObjectValue{}; }
  static constexpr ObjectValue Boolean(bool value) {
    return {ObjectTag::kBoolean, {.integer = value ? 1 : 0}};
  }
  static constexpr ObjectValue Integer(int32_t value) {
    return {ObjectTag::kInteger, {.integer = value}};
  }
  static constexpr ObjectValue Real(Fixed value) {
    return {ObjectTag::kReal, {.real = value}};
  }
  static constexpr ObjectValue Name(const ByteString* bytes) {
    return {ObjectTag::kName, {.bytes = bytes}};
  }
  static constexpr ObjectValue String(const ByteString* bytes) {
    return {ObjectTag::kString, {.bytes = bytes}};
  }
  static constexpr ObjectValue Array(const ValueList* list) {
    return {ObjectTag::kArray, {.list = list}};
  }
  static constexpr ObjectValue Dictionary(const ValueList* list) {
    return {ObjectTag::kDictionary, {.list = list}};
  }
  static constexpr ObjectValue Reference(const ObjectReference* reference) {
    return {ObjectTag::kReference, {.reference = reference}};
  }
  static constexpr ObjectValue Overflowed(const int32_t* cell) {
    return {ObjectTag::kOverflowedNumber, {.overflowed = cell}};
  }

  bool Is(ObjectTag other) const { return tag == other; }
  bool IsNull() const { return tag == ObjectTag::kNull; }
  // Integer, real or overflowed integer.
  bool IsNumber() const;

  // Each raises (runtime, 2) when the tag does not fit.
  bool AsBoolean() const;
  // Integers and overflowed integers.
  int32_t AsInteger() const;
  // Integers clamp to 0x80000000 below -32768 and 0x7FFF0000 above 32767;
  // reals come back as they are.
  Fixed AsNumber() const;
  ObjectReference AsReference() const;
  const ByteString& AsName() const;
  const ByteString& AsString() const;
  const ValueList& AsArray() const;
  const ValueList& AsDictionary() const;

  // A deep copy of `value` whose every block (bytes, elements, references)
  // lives in `arena`, for values that must outlive the storage they were
  // read from. Tags above 9 are given back as they are. (runtime, 0) when
  // the arena runs out; containers nested deeper than kMaxCopyDepth are
  // (runtime, 4).
  static constexpr uint32_t kMaxCopyDepth = 256;
  static ObjectValue CopyToArena(ArenaAllocator& arena, const ObjectValue& value);
};

static_assert(sizeof(ObjectValue) == 16, "tag word, padding and a pointer-sized payload");
static_assert(std::is_standard_layout_v<ContainerRecord> && offsetof(ContainerRecord, list) == 0,
              "a record is reached from its list");

// The one shared null value: what a lookup of a missing key returns.
extern const ObjectValue kNullValue;

// An integer seen as a Fixed the way values read from dictionaries
// convert it (see ObjectValue::AsNumber).
Fixed IntegerToNumber(int32_t value);

}  // namespace runtime
