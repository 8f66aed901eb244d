#pragma once
// A fixed number of byte-range records (24 bytes each: start, end and a
// word of the caller's, such as the request a range was made for) in one
// block of the context's memory, owned by a holder on the cleanup chain: a
// throw that passes frees the block. The records are written from the
// front with Append; Records() is what has been written.
//
//   RangeArray24 ranges(context, context, 3);
//   ranges.Append({0, 1024, kFirstPage});
#include <cstdint>
#include <span>

#include "runtime/ErrorTrap.h"
#include "runtime/OwnedArray.h"

namespace pdf {

class RangeArray24 {
 public:
  struct Record {
    uint64_t start;
    uint64_t end;
    uint64_t tag;
  };
  static_assert(sizeof(Record) == 24);

  // Room for `n` records from `owner`'s memory (`context`'s when null):
  // (runtime, 1) when n records overflow a size, (runtime, 0) when the
  // memory cannot be had.
  RangeArray24(runtime::LibraryContext* context, runtime::LibraryContext* owner, uint32_t n)
      : records_(context, owner, n) {}

  // Writes the next record; (runtime, 1) when all n are written.
  void Append(const Record& record) {
    if (written_ >= records_.Count()) runtime::ThrowRuntime(runtime::kOverflow);
    records_[written_++] = record;
  }

  std::span<const Record> Records() const { return records_.Elements().first(written_); }
  uint32_t Capacity() const { return records_.Count(); }
  bool Full() const { return written_ == records_.Count(); }

 private:
  runtime::OwnedArray<Record> records_;
  uint32_t written_ = 0;
};

}  // namespace pdf
