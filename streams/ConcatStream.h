#pragma once
// Several streams read one after another as one sequence (a page's
// "Contents" array). Members are opened one at a time, when the previous
// one ends, through the members list that the document layer provides.
#include <cstddef>

#include "streams/BlockSource.h"

namespace streams {

// The members of a concatenation, as the document layer opens them.
class ConcatMembers : public CountedObject {
 public:
  using CountedObject::CountedObject;
  virtual size_t Count() const = 0;
  // Opens member `index` (decoded, ready to fetch from its start).
  virtual StreamRef Open(size_t index) = 0;
};

class ConcatStream final : public BlockSource {
 public:
  // With `separator`, a block holding one space is read between members so
  // that they read as if separated by white space.
  ConcatStream(LibraryContext* context, Ref<ConcatMembers> members, bool separator);

  BlockRef FetchBlock() override;
  void Restart(uint64_t position) override;
  bool AtEnd() const override;
  uint32_t MemorySize() const override;

 private:
  Ref<ConcatMembers> members_;
  bool separator_;
  // Index of the member that `current_` reads; Count() once all are read.
  size_t index_ = 0;
  StreamRef current_;
  bool separatorDue_ = false;
};

}  // namespace streams
