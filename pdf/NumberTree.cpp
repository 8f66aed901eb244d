#include "pdf/NumberTree.h"

#include "pdf/KeyedTree.h"

namespace pdf {

namespace {

int32_t IntegerKey(const runtime::ObjectHandle& value) {
  if (value.Tag() != runtime::ObjectTag::kInteger) runtime::ThrowRuntime(runtime::kMalformed);
  return value->AsInteger();
}

struct NumberKeys {
  static constexpr const char* kLeaf = "Nums";
  static bool Matches(const runtime::ObjectHandle& entry, int32_t key) {
    return IntegerKey(entry) == key;
  }
  static bool Claims(const runtime::ObjectHandle& kid, int32_t key) {
    const runtime::ObjectHandle limits = runtime::Dictionary::Get(kid, "Limits");
    if (limits.IsNull()) return true;
    const runtime::ObjectHandle range = limits.AsArray();
    return IntegerKey(runtime::Array::Get(range, 0)) <= key &&
           key <= IntegerKey(runtime::Array::Get(range, 1));
  }
};

}  // namespace

runtime::ObjectHandle NumberTree::Lookup(const runtime::ObjectHandle& node, int32_t key) {
  return KeyedTree::Lookup<NumberKeys>(node, key);
}

}  // namespace pdf
