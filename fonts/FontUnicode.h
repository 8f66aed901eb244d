#pragma once
// Builds the code-to-Unicode map of a font dictionary: its "ToUnicode"
// stream when it has one; else, for simple fonts, its named encoding, its
// Differences or its program's own encoding; for composite fonts, its
// encoding followed by the "-UCS2" map of its character collection.
#include <cstdint>
#include <string_view>

#include "fonts/CMapCache.h"
#include "fonts/CharacterCollection.h"
#include "fonts/UnicodeMap.h"
#include "pdf/Document.h"
#include "runtime/ObjectCache.h"
#include "runtime/ObjectHandle.h"
#include "pdf/FontCache.h"

namespace fonts {

class FontUnicode {
 public:
  // The map of `fontDict`. A missing "Subtype", or a Type0 font without
  // "Encoding" or with one of another type, raises (runtime, 2); a broken
  // ToUnicode stream gives way to the encoding; unknown names lead to the
  // program's encoding or to the fallback map.
  static UnicodeMapRef Parse(pdf::Document& document, const runtime::ObjectHandle& fontDict,
                             CMapCache& cmaps);

  // The "-UCS2" map name of a composite font (Registry-Ordering-UCS2, from
  // its descendant's CIDSystemInfo) and its collection; the name is empty
  // when the descendant gives none. It is written to `buffer`.
  static std::string_view UcsCMapName(const runtime::ObjectHandle& fontDict, char* buffer,
                                      uint32_t size, Collection* collection);
};

// The Unicode maps of a document's fonts, built once per font dictionary.
class UnicodeMapCache {
 public:
  explicit UnicodeMapCache(runtime::LibraryContext* context) : cmaps_(context), cache_(context) {}

  // The map of `fontDict` (built on a miss; its errors pass on and cache
  // nothing).
  UnicodeMapRef Get(pdf::Document& document, const runtime::ObjectHandle& fontDict);

  CMapCache& CMaps() { return cmaps_; }
  uint32_t Count() const { return cache_.Cache().Count(); }

 private:
  CMapCache cmaps_;
  runtime::ObjectCache<UnicodeMap, pdf::FontCache::Key> cache_;
};

}  // namespace fonts
