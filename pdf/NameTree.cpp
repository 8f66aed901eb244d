#include "pdf/NameTree.h"

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"

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

runtime::ObjectHandle NameTree::Lookup(const runtime::ObjectHandle& node, std::string_view key) {
  return LookupAt(node.Resolved().AsDictionary(), key, 0);
}

runtime::ObjectHandle NameTree::LookupAt(const runtime::ObjectHandle& node, std::string_view key,
                                         uint32_t depth) {
  if (depth >= kMaxDepth) runtime::ThrowRuntime(runtime::kMalformed);
  if (node.Context() != nullptr) runtime::CheckStackSpace(node.Context()->scheduler);

  const runtime::ObjectHandle names = runtime::Dictionary::Get(node, "Names");
  if (!names.IsNull()) {
    // Leaves are searched from the start: writers do not always sort them.
    const runtime::ObjectHandle leaf = names.AsArray();
    const uint32_t count = runtime::Array::Count(leaf);
    for (uint32_t i = 0; i < count; i += 2) {
      const runtime::ObjectHandle entryKey = runtime::Array::Get(leaf, i).AsString();
      if (entryKey->AsString().View() != key) continue;
      if (i + 1 >= count) runtime::ThrowRuntime(runtime::kMalformed);
      return runtime::Array::Get(leaf, i + 1);
    }
    return {};
  }

  const runtime::ObjectHandle kids = runtime::Dictionary::GetRequired(node, "Kids").AsArray();
  const uint32_t count = runtime::Array::Count(kids);
  for (uint32_t i = 0; i < count; ++i) {
    const runtime::ObjectHandle kid = runtime::Array::Get(kids, i).AsDictionary();
    const runtime::ObjectHandle limits =
        runtime::Dictionary::GetRequired(kid, "Limits").AsArray();
    const runtime::ObjectHandle low = runtime::Array::Get(limits, 0).AsString();
    const runtime::ObjectHandle high = runtime::Array::Get(limits, 1).AsString();
    if (CompareByteRanges(low->AsString().View(), key) <= 0 &&
        CompareByteRanges(key, high->AsString().View()) <= 0) {
      // Overlapping limits are the writer's fault; the first child that
      // claims the key answers for the whole tree.
      return LookupAt(kid, key, depth + 1);
    }
  }
  return {};
}

}  // namespace pdf
