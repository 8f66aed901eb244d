#include "fonts/PredefinedCMaps.h"

#include "resources/CMapTables.h"

namespace fonts {
namespace {

struct CollectionTables {
  const resources::PackedCMap* maps;
  const uint32_t* count;
  std::string_view ordering;
};

// By collection number - 1.
const CollectionTables kCollectionTables[] = {
    {resources::kJapan1CMaps, &resources::kJapan1CMapCount, "Japan1"},
    {resources::kGB1CMaps, &resources::kGB1CMapCount, "GB1"},
    {resources::kCNS1CMaps, &resources::kCNS1CMapCount, "CNS1"},
    {resources::kKorea1CMaps, &resources::kKorea1CMapCount, "Korea1"},
};

// Our registry's name of a "-UCS2" map spelled with the registry real
// files carry; the name itself otherwise.
std::string_view OwnRegistrySpelling(std::string_view name, char* buffer, size_t size) {
  constexpr std::string_view kFileRegistry = "Adobe-";
  constexpr std::string_view kOwnRegistry = "Vantrel-";
  if (name.substr(0, kFileRegistry.size()) != kFileRegistry) return name;
  const size_t length = kOwnRegistry.size() + name.size() - kFileRegistry.size();
  if (length > size) return name;
  size_t at = 0;
  for (char c : kOwnRegistry) buffer[at++] = c;
  for (char c : name.substr(kFileRegistry.size())) buffer[at++] = c;
  return {buffer, length};
}

PredefinedCMap FindIn(const CollectionTables& tables, std::string_view name) {
  for (uint32_t i = 0; i < *tables.count; ++i) {
    const resources::PackedCMap& map = tables.maps[i];
    if (name == map.name) {
      return {reinterpret_cast<const uint8_t*>(map.data), map.length};
    }
  }
  return {};
}

}  // namespace

PredefinedCMap LookupPredefinedCMap(int selector, std::string_view name) {
  if (selector < 0 || selector > 4) return {};
  char buffer[64];
  const std::string_view key = OwnRegistrySpelling(name, buffer, sizeof(buffer));
  if (selector == 0) {
    for (const CollectionTables& tables : kCollectionTables) {
      if (PredefinedCMap found = FindIn(tables, key)) return found;
    }
    return {};
  }
  return FindIn(kCollectionTables[selector - 1], key);
}

bool IsIdentityCMapName(std::string_view name) {
  return name == "Identity-H" || name == "Identity-V";
}

bool CMapPairAvailable(std::string_view encodingName, std::string_view secondName, int selector) {
  const bool encoding =
      IsIdentityCMapName(encodingName) || LookupPredefinedCMap(selector, encodingName);
  return encoding && LookupPredefinedCMap(selector, secondName);
}

}  // namespace fonts
