// Number-tree lookups and the structure element of marked content on
// hostile bytes: the input is a whole file. Every lookup must end in a
// value, none, or an error record, whatever the tree's shape (loops,
// wrong types, limits that lie).
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzDocument.h"
#include "pdf/Document.h"
#include "pdf/NumberTree.h"
#include "pdf/StructTree.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"

namespace {

// Keys tried per input: small ones, where trees hold their entries, and
// the ends of the range.
constexpr int32_t kKeys[] = {0, 1, 2, 3, 5, 7, 10, 100, -1, INT32_MAX, INT32_MIN};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::WithDocument(data, size, [&](runtime::LibraryContext* context, pdf::Document& document) {
    runtime::ObjectHandle parents;
    runtime::CatchAllExceptCancel(context, [&] {
      const runtime::ObjectHandle catalog = runtime::Dictionary::Get(document.GetTrailer(), "Root");
      const runtime::ObjectHandle root = runtime::Dictionary::Get(catalog, "StructTreeRoot");
      parents = runtime::Dictionary::Get(root, "ParentTree");
    });
    for (const int32_t key : kKeys) {
      if (!parents.IsNull()) {
        runtime::CatchAllExceptCancel(context, [&] { pdf::NumberTree::Lookup(parents, key); });
      }
      for (int32_t mcid = -1; mcid < 4; ++mcid) {
        runtime::CatchAllExceptCancel(
            context, [&] { pdf::StructTree::FindMarkedElement(document, key, mcid); });
      }
    }
  });
  return 0;
}
