#include "pdf/NameTree.h"

#include "pdf/KeyedTree.h"

namespace pdf {

int NameTree::CompareByteRanges(std::string_view a, std::string_view b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    const auto x = static_cast<uint8_t>(a[i]);
    const auto y = static_cast<uint8_t>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

namespace {

struct NameKeys {
  static constexpr const char* kLeaf = "Names";
  static bool Matches(const runtime::ObjectHandle& entry, std::string_view key) {
    return entry.AsString()->AsString().View() == key;
  }
  static bool Claims(const runtime::ObjectHandle& kid, std::string_view key) {
    const runtime::ObjectHandle limits =
        runtime::Dictionary::GetRequired(kid, "Limits").AsArray();
    const runtime::ObjectHandle low = runtime::Array::Get(limits, 0).AsString();
    const runtime::ObjectHandle high = runtime::Array::Get(limits, 1).AsString();
    return NameTree::CompareByteRanges(low->AsString().View(), key) <= 0 &&
           NameTree::CompareByteRanges(key, high->AsString().View()) <= 0;
  }
};

}  // namespace

runtime::ObjectHandle NameTree::Lookup(const runtime::ObjectHandle& node, std::string_view key) {
  return KeyedTree::Lookup<NameKeys>(node, key);
}

}  // namespace pdf
