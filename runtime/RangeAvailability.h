#pragma once
// Byte ranges of a file shared between cooperative threads: which ranges
// have arrived (`first`) and which are still wanted (`second`). Threads that
// wait for data listen and are told of every addition.
#include "runtime/LibraryContext.h"
#include "runtime/ListLink.h"
#include "runtime/RangeSet.h"
#include "runtime/Semaphore.h"

namespace runtime {

class RangeAvailability;

class RangeListener : public ListLink {
 public:
  // Called after ranges were added, in list order.
  virtual void OnRangesAdded(RangeAvailability* record) = 0;
};

class RangeAvailability {
 public:
  explicit RangeAvailability(LibraryContext* context);
  RangeAvailability(const RangeAvailability&) = delete;
  RangeAvailability& operator=(const RangeAvailability&) = delete;

  // first := first + ranges, second := second - ranges, then every
  // listener is told.
  void Add(const RangeSet& ranges);
  // Under the lock: adds only what is in neither set; nothing (and no
  // notification) when that is empty.
  void AddNew(const RangeSet& ranges);
  // Listeners are told in the order they were added.
  void Listen(RangeListener* listener) { listener->Link(&listeners_, true); }

  LibraryContext* context;
  Semaphore lock;
  RangeSet first;
  RangeSet second;

 private:
  ListLink* listeners_ = nullptr;
};

}  // namespace runtime
