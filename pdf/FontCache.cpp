#include "pdf/FontCache.h"

#include "runtime/ErrorTrap.h"

namespace pdf {

FontCache::Key FontCache::KeyOf(const runtime::ObjectHandle& fontDictionary) {
  const runtime::ContainerRecord* record = fontDictionary->AsDictionary().Record();
  if (record == nullptr) return Key{0, 0, 0};
  return Key{record->objectNumber, record->generation, record->startPosition};
}

FontCache::Ref FontCache::GetOrCreate(Document& document,
                                      const runtime::ObjectHandle& fontDictionary,
                                      FontFactory& factory) {
  const Key key = KeyOf(fontDictionary);
  // A dictionary written directly in a resource dictionary has no record
  // of its own: all such share the empty key, so none is remembered.
  const bool rememberable = key.number != 0 || key.position != 0;
  if (rememberable && FailedBefore(key)) runtime::ThrowMalformed();
  Ref result;
  runtime::ErrorTrap trap;
  if (!trap.Run([&] {
        result = cache_.Get(key, [&] {
          Ref font = factory.CreateFont(document, fontDictionary);
          const uint32_t size = font ? font->MemorySize() : 0;
          return decltype(cache_)::Built{std::move(font), size};
        });
      })) {
    if (rememberable && trap.Held().IsRuntime(runtime::kMalformed)) RememberFailure(key);
    trap.Rethrow();
  }
  return result;
}

bool FontCache::FailedBefore(const Key& key) const {
  for (uint32_t i = 0; i < failedCount_; ++i) {
    if (!(failed_[i] < key) && !(key < failed_[i])) return true;
  }
  return false;
}

void FontCache::RememberFailure(const Key& key) {
  if (FailedBefore(key)) return;
  failed_[failedNext_] = key;
  failedNext_ = (failedNext_ + 1) % kRememberedFailures;
  if (failedCount_ < kRememberedFailures) ++failedCount_;
}

}  // namespace pdf
