#include "runtime/RangeAvailability.h"

namespace runtime {

RangeAvailability::RangeAvailability(LibraryContext* owner)
    : context(owner), lock(owner, 1), first(owner), second(owner) {}

void RangeAvailability::Add(const RangeSet& ranges) {
  first.Union(first, ranges);
  second.Difference(second, ranges);
  // A listener may unlink itself while it is told: take the next one first.
  for (ListLink* link = listeners_; link != nullptr;) {
    ListLink* next = link->Next();
    static_cast<RangeListener*>(link)->OnRangesAdded(this);
    link = next;
  }
}

void RangeAvailability::AddNew(const RangeSet& ranges) {
  SemaphoreLock held(context, &lock);
  RangeSet fresh(context);
  fresh.Difference(ranges, first);
  fresh.Difference(fresh, second);
  if (!fresh.IsEmpty()) Add(fresh);
}

}  // namespace runtime
