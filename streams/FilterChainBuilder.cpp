#include "streams/FilterChainBuilder.h"

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace streams {
namespace {

using runtime::Dictionary;
using runtime::ObjectHandle;
using runtime::ObjectTag;

ObjectHandle Entry(const ObjectHandle& dictionary, runtime::KeyRow row, bool inlineImage) {
  if (inlineImage) return Dictionary::GetByNamePair(dictionary, row);
  return Dictionary::Get(dictionary, runtime::KeyNames(row).full);
}

// One filter's parameters: a dictionary, or nothing for null.
void SetParameters(const ObjectHandle& value, StreamOpener* opener,
                   DictionaryFilterParameters* out, bool* present) {
  if (value.IsNull()) {
    *present = false;
    return;
  }
  if (value.Tag() != ObjectTag::kDictionary) runtime::ThrowRuntime(runtime::kMalformed);
  *out = DictionaryFilterParameters(value, opener);
  *present = true;
}

}  // namespace

bool DictionaryFilterParameters::GetInteger(const char* key, int32_t* value) const {
  ObjectHandle entry = Dictionary::Get(dictionary_, key);
  if (entry.IsNull()) return false;
  *value = entry->AsInteger();
  return true;
}

bool DictionaryFilterParameters::GetBoolean(const char* key, bool* value) const {
  ObjectHandle entry = Dictionary::Get(dictionary_, key);
  if (entry.IsNull()) return false;
  *value = entry->AsBoolean();
  return true;
}

StreamRef DictionaryFilterParameters::OpenStream(const char* key) const {
  ObjectHandle entry = Dictionary::Get(dictionary_, key);
  if (entry.IsNull() || opener_ == nullptr) return {};
  return opener_->OpenStream(entry);
}

void BuildFilterChain(LibraryContext* context, StreamRef& chain, const ObjectHandle& dictionary,
                      const DecodeFilterRegistry& registry, bool inlineImage,
                      StreamOpener* opener, FilterExtras* extras) {
  ObjectHandle filter = Entry(dictionary, runtime::KeyRow::kFilter, inlineImage);
  if (filter.IsNull()) return;
  ObjectHandle parms = Entry(dictionary, runtime::KeyRow::kDecodeParms, inlineImage);

  ObjectHandle names[kMaxFilters];
  DictionaryFilterParameters parameters[kMaxFilters];
  bool present[kMaxFilters] = {};
  uint32_t count = 0;
  if (filter.Tag() == ObjectTag::kName) {
    names[0] = filter;
    count = 1;
    // A one-element parameter array goes with a single name as well.
    ObjectHandle single = parms.Tag() == ObjectTag::kArray && runtime::Array::Count(parms) == 1
                              ? runtime::Array::Get(parms, 0)
                              : parms;
    SetParameters(single, opener, &parameters[0], &present[0]);
  } else if (filter.Tag() == ObjectTag::kArray) {
    count = runtime::Array::Count(filter);
    if (count > kMaxFilters) runtime::ThrowRuntime(runtime::kMalformed);
    bool parmsArray = parms.Tag() == ObjectTag::kArray;
    if (parmsArray && runtime::Array::Count(parms) != count) {
      runtime::ThrowRuntime(runtime::kMalformed);
    }
    for (uint32_t i = 0; i < count; ++i) {
      names[i] = runtime::Array::Get(filter, i);
      if (names[i].Tag() != ObjectTag::kName) runtime::ThrowRuntime(runtime::kMalformed);
      if (parmsArray) SetParameters(runtime::Array::Get(parms, i), opener, &parameters[i], &present[i]);
    }
  } else {
    runtime::ThrowRuntime(runtime::kMalformed);
  }

  FilterStep steps[kMaxFilters];
  for (uint32_t i = 0; i < count; ++i) {
    // Names are stored with a terminating zero.
    steps[i].name = reinterpret_cast<const char*>(names[i]->AsName().Bytes());
    steps[i].params = present[i] ? &parameters[i] : nullptr;
  }
  ApplyFilters(context, chain, {steps, count}, registry, inlineImage, extras);
}

}  // namespace streams
