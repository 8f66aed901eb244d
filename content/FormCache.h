#pragma once
// The parsed programs of form XObjects, kept per document so that a form
// drawn many times (an appearance shared by annotations, a logo on every
// page) is parsed once. A cost-aware cache keyed by the form's object and,
// for a form without resources of its own, the resources it borrows; its
// entries are purged under memory pressure like every other cache.
#include <cstdint>

#include "content/ContentMachine.h"
#include "runtime/CountedRef.h"
#include "runtime/ObjectCache.h"
#include "runtime/ObjectHandle.h"

namespace pdf {
class Document;
}

namespace content {

// A form's program held by the cache and by its players.
struct CachedForm {
  CachedForm(runtime::LibraryContext* context, ContentMachine* machine) : context(context), machine(machine) {}
  ~CachedForm();
  CachedForm(const CachedForm&) = delete;
  CachedForm& operator=(const CachedForm&) = delete;

  runtime::LibraryContext* context;
  ContentMachine* machine;
  uint32_t refCount = 1;
};

class FormCache {
 public:
  struct Key {
    uint32_t objectNumber = 0;
    uint32_t generation = 0;
    // The enclosing resources' identity, for a form that has none.
    uint64_t borrowed = 0;
    bool operator<(const Key& other) const {
      if (objectNumber != other.objectNumber) return objectNumber < other.objectNumber;
      if (generation != other.generation) return generation < other.generation;
      return borrowed < other.borrowed;
    }
  };
  using Ref = runtime::CountedRef<CachedForm>;

  explicit FormCache(runtime::LibraryContext* context) : forms_(context) {}

  // The program of `form` (a form XObject's stream dictionary) played with
  // `enclosing` around it: from the cache, or parsed on a miss. A form that
  // is no indirect object is parsed each time and not kept. (runtime, 0)
  // when memory cannot hold it; other errors of building it pass on.
  Ref Get(pdf::Document& document, const runtime::ObjectHandle& form, const runtime::ObjectHandle* enclosing);

  // Programs built so far (misses).
  uint32_t Builds() const { return builds_; }
  runtime::CostCache& Cache() { return forms_.Cache(); }

 private:
  runtime::ObjectCache<CachedForm, Key> forms_;
  uint32_t builds_ = 0;
};

}  // namespace content
