#include "fonts/CharacterCollection.h"

namespace fonts {

namespace {

// Our own registry name, and the one that real files carry.
bool KnownRegistry(std::string_view registry) {
  return registry == "Vantrel" || registry == "Adobe";
}

}  // namespace

Collection CharacterCollection::Ordering(std::string_view registry, std::string_view ordering) {
  if (!KnownRegistry(registry)) return Collection::kNone;
  if (ordering == "Japan1") return Collection::kJapan1;
  if (ordering == "CNS1") return Collection::kCNS1;
  if (ordering == "GB1") return Collection::kGB1;
  if (ordering == "Korea1") return Collection::kKorea1;
  return Collection::kNone;
}

uint32_t CharacterCollection::WordSpaceCid(std::string_view registry, std::string_view ordering) {
  switch (Ordering(registry, ordering)) {
    case Collection::kJapan1: return 633;
    case Collection::kCNS1: return 99;
    case Collection::kGB1: return 96;
    case Collection::kKorea1: return 101;
    default: return 0;
  }
}

int SubstituteFaceIndex(Collection collection, bool flag) {
  const int pick = flag ? 0 : 1;
  switch (collection) {
    case Collection::kJapan1: return 0 + pick;
    case Collection::kCNS1: return 2 + pick;
    case Collection::kGB1: return 4 + pick;
    case Collection::kKorea1: return 6 + pick;
    default: return -1;
  }
}

}  // namespace fonts
