#include "runtime/Dictionary.h"

#include "runtime/ErrorTrap.h"

namespace runtime {
namespace {

// The one walk behind every lookup: `matches` decides on a key's bytes.
template <class Matches>
const ObjectValue* FindKey(const ObjectValue& dictionary, Matches&& matches) {
  const ValueList& entries = dictionary.AsDictionary();
  for (uint32_t i = 0; i < entries.count; i += 2) {
    const ByteString& key = entries.items[i].AsName();
    // A key with nothing after it: the dictionary is cut short.
    if (entries.count - i < 2) ThrowRuntime(kMalformed);
    if (matches(key)) return &entries.items[i + 1];
  }
  return &kNullValue;
}

ObjectHandle Lookup(const ObjectHandle& dictionary, const ObjectValue* found) {
  return dictionary.Sibling(found == &kNullValue ? nullptr : found).Resolved();
}

}  // namespace

const ObjectValue* Dictionary::FindByName(const ObjectValue& dictionary, std::string_view key) {
  return FindKey(dictionary, [key](const ByteString& name) { return name.Equals(key); });
}

const ObjectValue* Dictionary::FindInlineImageKey(const ObjectValue& dictionary, KeyRow row,
                                                  bool allowAbbreviation) {
  const KeyNamePair& names = KeyNames(row);
  // A key given twice, in full and abbreviated ("W" and "Width") or twice
  // alike, takes its later value, as other readers take it.
  const ObjectValue* found = &kNullValue;
  const ValueList& entries = dictionary.AsDictionary();
  for (uint32_t i = 0; i < entries.count; i += 2) {
    const ByteString& key = entries.items[i].AsName();
    if (entries.count - i < 2) ThrowRuntime(kMalformed);
    if (key.Equals(names.full) || (allowAbbreviation && key.Equals(names.abbreviation))) {
      found = &entries.items[i + 1];
    }
  }
  return found;
}

ObjectHandle Dictionary::Get(const ObjectHandle& dictionary, std::string_view key) {
  return Lookup(dictionary, FindByName(dictionary.Value(), key));
}

ObjectHandle Dictionary::GetRequired(const ObjectHandle& dictionary, std::string_view key) {
  ObjectHandle value = Get(dictionary, key);
  if (value.IsNull()) ThrowRuntime(kMalformed);
  return value;
}

ObjectHandle Dictionary::GetByNamePair(const ObjectHandle& dictionary, KeyRow row) {
  return Lookup(dictionary, FindInlineImageKey(dictionary.Value(), row, true));
}

int32_t Dictionary::GetIntegerOr(const ObjectHandle& dictionary, std::string_view key,
                                 int32_t fallback) {
  ObjectHandle value = Get(dictionary, key);
  return value.IsNull() ? fallback : value->AsInteger();
}

int32_t Dictionary::GetInteger(const ObjectHandle& dictionary, std::string_view key) {
  return Get(dictionary, key)->AsInteger();
}

Fixed Dictionary::GetNumberOr(const ObjectHandle& dictionary, std::string_view key,
                                    Fixed fallback) {
  ObjectHandle value = Get(dictionary, key);
  return value.IsNull() ? fallback : value->AsNumber();
}

Fixed Dictionary::GetNumberByKey(const ObjectHandle& dictionary, std::string_view key) {
  return Get(dictionary, key)->AsNumber();
}

bool Dictionary::GetBooleanOr(const ObjectHandle& dictionary, std::string_view key,
                              bool fallback) {
  ObjectHandle value = Get(dictionary, key);
  return value.IsNull() ? fallback : value->AsBoolean();
}

ObjectHandle Dictionary::GetString(const ObjectHandle& dictionary, std::string_view key) {
  return Get(dictionary, key).AsString();
}

ObjectHandle Dictionary::GetName(const ObjectHandle& dictionary, std::string_view key) {
  return Get(dictionary, key).AsName();
}

uint32_t Array::Count(const ObjectHandle& array) { return array->AsArray().count; }

ObjectHandle Array::Get(const ObjectHandle& array, uint32_t index) {
  const ValueList& elements = array->AsArray();
  if (index >= elements.count) ThrowRuntime(kMalformed);
  return array.Sibling(&elements.items[index]).Resolved();
}

int32_t Array::GetInteger(const ObjectHandle& array, uint32_t index) {
  return Get(array, index)->AsInteger();
}

ObjectHandle Array::GetArrayAt(const ObjectHandle& array, uint32_t index) {
  ObjectHandle element = Get(array, index);
  if (!element->Is(ObjectTag::kArray)) ThrowRuntime(kMalformed);
  return element;
}

namespace {

ObjectHandle Checked(ObjectHandle value, ObjectTag tag, bool required) {
  if (value.IsNull()) {
    if (required) ThrowRuntime(kMalformed);
    return value;
  }
  if (value.Tag() != tag) ThrowRuntime(kMalformed);
  return value;
}

}  // namespace

ObjectHandle Dictionary::GetDict(const ObjectHandle& dictionary, std::string_view key) {
  return Checked(Get(dictionary, key), ObjectTag::kDictionary, true);
}

ObjectHandle Dictionary::GetArray(const ObjectHandle& dictionary, std::string_view key) {
  return Checked(Get(dictionary, key), ObjectTag::kArray, true);
}

ObjectHandle Dictionary::GetOptionalDict(const ObjectHandle& dictionary, std::string_view key) {
  return Checked(Get(dictionary, key), ObjectTag::kDictionary, false);
}

ObjectHandle Dictionary::GetOptionalArray(const ObjectHandle& dictionary, std::string_view key) {
  return Checked(Get(dictionary, key), ObjectTag::kArray, false);
}

ObjectHandle Dictionary::GetOptionalTyped(const ObjectHandle& dictionary, std::string_view key) {
  return Checked(Get(dictionary, key), ObjectTag::kName, false);
}

ObjectHandle Dictionary::GetTyped(const ObjectHandle& dictionary, std::string_view key,
                                  ObjectTag tag) {
  return Checked(Get(dictionary, key), tag, true);
}

bool Dictionary::GetOptionalRef(const ObjectHandle& dictionary, std::string_view key,
                                ObjectReference* out) {
  const ObjectValue* value = FindByName(dictionary.Value(), key);
  if (value->IsNull()) return false;
  if (!value->Is(ObjectTag::kReference)) ThrowRuntime(kMalformed);
  *out = value->AsReference();
  return true;
}

Dictionary::Entry Dictionary::GetEntryAt(const ObjectHandle& dictionary, uint32_t i) {
  DictionaryIterator iterator(dictionary);
  iterator.Seek(i);
  return iterator.GetEntry();
}

DictionaryIterator::DictionaryIterator(const ObjectHandle& dictionary)
    : dictionary_(dictionary), count_(dictionary.Value().AsDictionary().count) {}

Dictionary::Entry DictionaryIterator::GetEntry() const {
  const ValueList& entries = dictionary_->AsDictionary();
  if (position_ >= count_ || count_ - position_ < 2) ThrowRuntime(kMalformed);
  const std::string_view key = entries.items[position_].AsName().View();
  return Dictionary::Entry{key, dictionary_.Sibling(&entries.items[position_ + 1]).Resolved()};
}

}  // namespace runtime
