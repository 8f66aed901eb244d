#pragma once
// The orders that sorting and trees share: three-way comparisons answer
// negative, zero or positive; tests answer a truth value.
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace runtime {

// -1, 0 or 1 as x sorts before, with or after y.
template <class T>
constexpr int ThreeWay(T x, T y) {
  return x < y ? -1 : (x > y ? 1 : 0);
}

// Records {a, b, c}: by b (signed), then a (unsigned), then c (unsigned).
struct TripleKey {
  uint32_t a;
  int32_t b;
  uint32_t c;
};
int CompareTriple(const TripleKey& x, const TripleKey& y);
bool TriplesEqual(const TripleKey& x, const TripleKey& y);

// Records of six signed words: by word 0, then 1, then 4, 5, 2 and 3.
int CompareSixWords(const int32_t (&x)[6], const int32_t (&y)[6]);

// A tree's integer key against the key stored in a node: -1 when the
// node's key is greater, 1 when it is smaller, 0 when equal.
int CompareIntKey(int32_t key, int32_t nodeKey);

// Records ordered by their second float field: -1, 0 or 1.
int CompareSecondFloat(const float (&x)[2], const float (&y)[2]);

// strcmp order for zero-terminated byte strings, a null string before
// every non-null one (the empty string included).
bool CStringLess(const char* a, const char* b);
// A string key against an entry's string by CStringLess both ways: -1, 0, 1.
int CompareCStrings(const char* key, const char* entry);
// Two pointers to string pointers, by strcmp of the strings (tables of
// names sorted and searched through pointers to their entries).
int CompareStringPointers(const char* const* a, const char* const* b);

// Records ordered by their second 32-bit word (unsigned): -1, 0 or 1.
template <class Record>
int CompareSecondWord(const Record& x, const Record& y) {
  static_assert(std::is_trivially_copyable_v<Record> && sizeof(Record) >= 8);
  uint32_t a = 0, b = 0;
  std::memcpy(&a, reinterpret_cast<const unsigned char*>(&x) + 4, 4);
  std::memcpy(&b, reinterpret_cast<const unsigned char*>(&y) + 4, 4);
  return ThreeWay(a, b);
}

// Two unsigned 16-bit values: their difference, which cannot overflow.
constexpr int CompareUInt16(uint16_t a, uint16_t b) { return static_cast<int>(a) - static_cast<int>(b); }

// A sign-extended 32-bit value against a 64-bit one.
constexpr bool Int32BelowInt64(int32_t a, int64_t b) { return static_cast<int64_t>(a) < b; }
constexpr bool Int32AboveInt64(int32_t a, int64_t b) { return static_cast<int64_t>(a) > b; }
// An unsigned 32-bit value against a signed 64-bit one: every negative b is
// exceeded, no b of 2^32 or more is.
constexpr bool U32GreaterThanI64(uint32_t a, int64_t b) { return static_cast<int64_t>(a) > b; }

// A span {x0, x1, value} covers nothing: it is empty or its value is 0.
struct ValueSpan {
  int32_t x0;
  int32_t x1;
  int32_t value;
};
constexpr bool SpanIsBlank(const ValueSpan& span) { return span.x0 == span.x1 || span.value == 0; }

}  // namespace runtime
