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
  return cache_.Get(key, [&] {
    Ref font = factory.CreateFont(document, fontDictionary);
    const uint32_t size = font ? font->MemorySize() : 0;
    return decltype(cache_)::Built{std::move(font), size};
  });
}

}  // namespace pdf
