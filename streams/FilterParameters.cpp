#include "streams/FilterParameters.h"

#include <cstring>

#include "runtime/ErrorTrap.h"

namespace streams {

const PlainFilterParameters::Entry* PlainFilterParameters::Find(const char* key) const {
  for (int i = 0; i < count_; ++i) {
    if (std::strcmp(entries_[i].key, key) == 0) return &entries_[i];
  }
  return nullptr;
}

PlainFilterParameters& PlainFilterParameters::Set(const char* key, int32_t value) {
  if (count_ == kMaxEntries) runtime::ThrowRuntime(runtime::kBeyondLimit);
  entries_[count_++] = Entry{key, value, false};
  return *this;
}

PlainFilterParameters& PlainFilterParameters::SetBoolean(const char* key, bool value) {
  if (count_ == kMaxEntries) runtime::ThrowRuntime(runtime::kBeyondLimit);
  entries_[count_++] = Entry{key, value ? 1 : 0, true};
  return *this;
}

bool PlainFilterParameters::GetInteger(const char* key, int32_t* value) const {
  const Entry* entry = Find(key);
  if (entry == nullptr) return false;
  if (entry->isBoolean) runtime::ThrowRuntime(runtime::kMalformed);
  *value = entry->value;
  return true;
}

bool PlainFilterParameters::GetBoolean(const char* key, bool* value) const {
  const Entry* entry = Find(key);
  if (entry == nullptr) return false;
  if (!entry->isBoolean) runtime::ThrowRuntime(runtime::kMalformed);
  *value = entry->value != 0;
  return true;
}

}  // namespace streams
