#pragma once
// The document's cross-reference data: the chain of sections from the
// newest back through "Prev" (and, in hybrid files, the cross-reference
// stream a classic section names with "XRefStm"), each section loaded once
// into a cost cache, and the entry lookup that asks them newest first.
#include <cstdint>

#include "runtime/CountedRef.h"
#include "runtime/ObjectCache.h"
#include "runtime/ObjectHandle.h"
#include "runtime/RecordVector.h"
#include "runtime/XrefSection.h"

namespace pdf {

class Document;

class XrefTable {
 public:
  using SectionRef = runtime::CountedRef<runtime::XrefSection>;

  explicit XrefTable(Document& document);

  // The newest section, where lookups start.
  void SetNewest(int64_t offset);
  // The section at an absolute file offset, loaded on first use: a classic
  // table when "xref" stands there, a cross-reference stream otherwise.
  SectionRef GetSection(int64_t offset);
  // The entry of object `number` in the first section of the chain that
  // lists it (even as free); kind 0 when none does. A chain that leads back
  // to a section already searched ends there.
  runtime::XrefEntry LookupEntry(uint32_t number);
  // The newest section's trailer.
  runtime::ObjectHandle GetTrailer();
  // One past the largest object number any section of the chain holds an
  // entry for (loading the whole chain): what bounds a walk over every
  // object, whatever the trailer's "Size" claims.
  uint32_t ListedEnd();
  // Sections of the chain found so far (for tests and the probe).
  uint32_t ChainLength() const { return chain_.Size(); }

 private:
  SectionRef LoadSection(int64_t offset);
  // Appends the next section of the chain; false once the chain is whole.
  bool ExtendChain();
  bool Visited(int64_t offset) const;
  // The absolute offset of the cross-reference stream a classic section
  // names with "XRefStm"; 0 when it names none.
  int64_t HybridOffset(runtime::XrefSection& section);

  Document& document_;
  runtime::ObjectCache<runtime::XrefSection, int64_t> sections_;
  // Offsets of the sections in lookup order, and those still to visit.
  runtime::RecordVector<int64_t> chain_;
  runtime::RecordVector<int64_t> pending_;
  uint32_t pendingHead_ = 0;
  int64_t newest_ = 0;
};

}  // namespace pdf
