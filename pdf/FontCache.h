#pragma once
// The fonts of one document, built once per font dictionary and shared by
// every page that uses them. Building a font is among the most expensive
// things a page asks for, so each is kept in a cost cache with its build
// time and size, and the context's purge weighs the two. The font layer
// builds the fonts through a FontFactory it implements.
//
//   FontCache::Ref font = document.Fonts().GetOrCreate(fontDictionary, factory);
#include <cstdint>

#include "runtime/FontBase.h"
#include "runtime/ObjectCache.h"
#include "runtime/ObjectHandle.h"

namespace pdf {

class Document;

// Builds the font object of a font dictionary (implemented by the fonts).
class FontFactory {
 public:
  virtual ~FontFactory() = default;
  virtual runtime::CountedRef<runtime::FontBase> CreateFont(
      Document& document, const runtime::ObjectHandle& fontDictionary) = 0;
};

class FontCache {
 public:
  using Ref = runtime::CountedRef<runtime::FontBase>;

  // Which dictionary a font was built from: the object it is written in and
  // where it starts there, so that a font dictionary written directly in a
  // resource dictionary has a key of its own too.
  struct Key {
    uint32_t number;
    uint32_t generation;
    uint64_t position;
    bool operator<(const Key& other) const {
      if (number != other.number) return number < other.number;
      if (generation != other.generation) return generation < other.generation;
      return position < other.position;
    }
  };

  explicit FontCache(runtime::LibraryContext* context) : cache_(context) {}

  // (runtime, 2) when `fontDictionary` is no dictionary.
  static Key KeyOf(const runtime::ObjectHandle& fontDictionary);

  // The font of `fontDictionary`: the one built before (now the most
  // recently used), else a new one from `factory`, charged at the size the
  // font reports. When the factory yields and another thread adds the same
  // font meanwhile, that one is used and the new one dropped. A factory's
  // error passes on and caches no font; a dictionary whose data is
  // malformed (runtime, 2) is remembered, and asked again it fails at once
  // rather than being parsed again at every text operator that selects it.
  // Other errors (memory, cancellation) are not remembered.
  Ref GetOrCreate(Document& document, const runtime::ObjectHandle& fontDictionary,
                  FontFactory& factory);

  uint32_t Count() const { return cache_.Cache().Count(); }

 private:
  // Few fonts of a document are broken: a small ring of their keys, the
  // oldest forgotten first, keeps the cache free of allocation.
  static constexpr uint32_t kRememberedFailures = 32;

  bool FailedBefore(const Key& key) const;
  void RememberFailure(const Key& key);

  runtime::ObjectCache<runtime::FontBase, Key> cache_;
  Key failed_[kRememberedFailures] = {};
  uint32_t failedCount_ = 0;
  uint32_t failedNext_ = 0;
};

}  // namespace pdf
