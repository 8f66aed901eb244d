#pragma once
// The character collections of CID fonts, numbered 0 none, 1 Japan1,
// 2 GB1, 3 CNS1, 4 Korea1 (the numbering that selects predefined CMaps and
// device fonts).
#include <cstdint>
#include <string_view>

namespace fonts {

enum class Collection : int { kNone = 0, kJapan1 = 1, kGB1 = 2, kCNS1 = 3, kKorea1 = 4 };

class CharacterCollection {
 public:
  // The collection of a CIDSystemInfo's Registry and Ordering strings,
  // compared byte for byte over their whole length.
  static Collection Ordering(std::string_view registry, std::string_view ordering);
  // The CID of the collection's ideographic space; 0 for none.
  static uint32_t WordSpaceCid(std::string_view registry, std::string_view ordering);
};

// Which of the eight substitute CID fonts serves a collection (the flag
// picks one of its two faces); -1 for none.
int SubstituteFaceIndex(Collection collection, bool flag);

}  // namespace fonts
