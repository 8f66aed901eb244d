#pragma once
// Lookups in PDF dictionaries. A dictionary's entries alternate key and
// value; keys must be names. The raw lookups work on values; the accessors
// work on handles, resolve indirect references through the handle's owner
// and check the type they promise, raising (runtime, 2) otherwise.
#include <cstdint>
#include <string_view>

#include "runtime/KeyNameTable.h"
#include "runtime/ObjectHandle.h"
#include "runtime/ObjectValue.h"

namespace runtime {

class Dictionary {
 public:
  // The value stored under `key`, or the shared null value when the key is
  // absent. (runtime, 2) when `dictionary` is not one, when a key before the
  // match is not a name, or when the walk ends on a key without a value.
  static const ObjectValue* FindByName(const ObjectValue& dictionary, std::string_view key);
  // As FindByName for the row's full name, or also its abbreviation when
  // `allowAbbreviation` is set.
  static const ObjectValue* FindInlineImageKey(const ObjectValue& dictionary, KeyRow row,
                                               bool allowAbbreviation);

  // A handle on the key's value, indirect references resolved; the null
  // value when the key is absent.
  static ObjectHandle Get(const ObjectHandle& dictionary, std::string_view key);
  // As Get; (runtime, 2) when the key is absent or null.
  static ObjectHandle GetRequired(const ObjectHandle& dictionary, std::string_view key);
  // As Get, with the key given by its row of the key-name table; the full
  // name and the abbreviation both match.
  static ObjectHandle GetByNamePair(const ObjectHandle& dictionary, KeyRow row);

  // Typed values. The "Or" forms give `fallback` when the key is absent or
  // null, and raise (runtime, 2) when it holds another type.
  static int32_t GetIntegerOr(const ObjectHandle& dictionary, std::string_view key,
                              int32_t fallback);
  static int32_t GetInteger(const ObjectHandle& dictionary, std::string_view key);
  static Fixed GetNumberOr(const ObjectHandle& dictionary, std::string_view key,
                                 Fixed fallback);
  static bool GetBooleanOr(const ObjectHandle& dictionary, std::string_view key, bool fallback);
  // The number under `key` (an integer or a real); (runtime, 2) when the
  // key is absent, null or of another type.
  static Fixed GetNumberByKey(const ObjectHandle& dictionary, std::string_view key);
  // A handle on a string or name value; (runtime, 2) when absent or of
  // another type.
  static ObjectHandle GetString(const ObjectHandle& dictionary, std::string_view key);
  static ObjectHandle GetName(const ObjectHandle& dictionary, std::string_view key);

  // Typed getters. The required ones raise (runtime, 2) when the key is
  // absent (or null); the optional ones give the null value then. A present
  // value of another kind raises (runtime, 2) in both.
  static ObjectHandle GetDict(const ObjectHandle& dictionary, std::string_view key);
  static ObjectHandle GetArray(const ObjectHandle& dictionary, std::string_view key);
  static ObjectHandle GetOptionalDict(const ObjectHandle& dictionary, std::string_view key);
  static ObjectHandle GetOptionalArray(const ObjectHandle& dictionary, std::string_view key);
  // A name.
  static ObjectHandle GetOptionalTyped(const ObjectHandle& dictionary, std::string_view key);
  // Any kind asked for, required.
  static ObjectHandle GetTyped(const ObjectHandle& dictionary, std::string_view key,
                               ObjectTag tag);
  // The same two lookups under the names their callers know them by, the
  // key being one of the fixed names the format defines ("Resources",
  // "Font", ...): the value as a dictionary, or as the kind asked for;
  // (runtime, 2) when it is absent or of another kind.
  static ObjectHandle GetDictByAtom(const ObjectHandle& dictionary, std::string_view key) {
    return GetDict(dictionary, key);
  }
  static ObjectHandle GetTypedByAtom(const ObjectHandle& dictionary, std::string_view key,
                                     ObjectTag tag) {
    return GetTyped(dictionary, key, tag);
  }
  // An indirect reference as written, not followed: false when the key is
  // absent; (runtime, 2) when it holds anything else.
  static bool GetOptionalRef(const ObjectHandle& dictionary, std::string_view key,
                             ObjectReference* out);

  struct Entry {
    std::string_view key;
    ObjectHandle value;  // resolved
  };
  // The i-th entry (from 0); (runtime, 2) beyond the last.
  static Entry GetEntryAt(const ObjectHandle& dictionary, uint32_t i);
};

// Walks a dictionary's entries in the order written.
//
//   for (DictionaryIterator it(filters); !it.AtEnd(); it.Next()) {
//     const Dictionary::Entry entry = it.GetEntry();
//   }
class DictionaryIterator {
 public:
  // (runtime, 2) when `dictionary` is not one.
  explicit DictionaryIterator(const ObjectHandle& dictionary);

  bool AtEnd() const { return position_ >= count_; }
  void Next() { position_ += 2; }
  // Places the iterator at the `entry`-th entry.
  void Seek(uint32_t entry) { position_ = 2 * entry; }
  // The key (which must be a name, and have a value after it) and the
  // value at the iterator, a reference followed; (runtime, 2) otherwise.
  Dictionary::Entry GetEntry() const;

 private:
  ObjectHandle dictionary_;
  uint32_t count_;
  uint32_t position_ = 0;
};

class Array {
 public:
  // (runtime, 2) when `array` is not an array.
  static uint32_t Count(const ObjectHandle& array);
  // A handle on element `index`, indirect references resolved; (runtime, 2)
  // when the index is not below the count.
  static ObjectHandle Get(const ObjectHandle& array, uint32_t index);
  static int32_t GetInteger(const ObjectHandle& array, uint32_t index);
  // Element `index` as an array; (runtime, 2) for a bad index or an
  // element of another type.
  static ObjectHandle GetArrayAt(const ObjectHandle& array, uint32_t index);
};

}  // namespace runtime
