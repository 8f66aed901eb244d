#include "fonts/CMapCache.h"

#include "fonts/CMapParser.h"
#include "fonts/PredefinedCMaps.h"

namespace fonts {
namespace {

// The identity maps have no table; this byte stands for them in the key.
constexpr uint8_t kIdentityKey[2] = {'H', 'V'};

}  // namespace

CMapRef CMapCache::Get(int selector, std::string_view name, CMapDestination kind) {
  runtime::LibraryContext* context = cache_.Cache().Context();
  const bool identity = IsIdentityCMapName(name);
  PredefinedCMap table;
  if (identity) {
    table.data = &kIdentityKey[name.back() == 'V' ? 1 : 0];
  } else {
    table = LookupPredefinedCMap(selector, name);
    if (!table) return CMapRef();
  }
  const Key key{table.data, static_cast<uint32_t>(kind)};
  return cache_.Get(key, [&] {
    CMapRef map;
    if (identity) {
      map = CMapRef::Adopt(context, CMap::New(context, kind));
      map->AddIdentity();
      map->SetWMode(name.back() == 'V' ? 1 : 0);
    } else {
      map = CMapParser::ParseBuiltin(context, table.data, table.length, kind);
    }
    const uint32_t size = map->Size();
    return runtime::ObjectCache<CMap, Key>::Built{std::move(map), size};
  });
}

}  // namespace fonts
