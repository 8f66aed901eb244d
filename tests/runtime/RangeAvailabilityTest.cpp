#include "runtime/RangeAvailability.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace runtime {
namespace {

struct Listener : RangeListener {
  Listener(std::string* target, char letter) : log(target), mark(letter) {}
  void OnRangesAdded(RangeAvailability*) override { *log += mark; }
  std::string* log;
  char mark;
};

RangeSet RangeSetOf(LibraryContext* context, std::vector<Range> ranges) {
  RangeSet set(context);
  for (const Range& r : ranges) set.Add(r.start, r.end);
  return set;
}

TEST(RangeAvailabilityTest, AddMovesRangesFromWantedToArrivedAndTellsListenersInOrder) {
  LibraryContext context;
  RangeAvailability record(&context);
  std::string log;
  Listener a(&log, 'a'), b(&log, 'b');
  record.Listen(&a);
  record.Listen(&b);
  record.second = RangeSetOf(&context, {{0, 100}});

  record.Add(RangeSetOf(&context, {{10, 20}}));
  EXPECT_EQ(record.first.Ranges(), (std::vector<Range>{{10, 20}}));
  EXPECT_EQ(record.second.Ranges(), (std::vector<Range>{{0, 10}, {20, 100}}));
  EXPECT_EQ(log, "ab");

  // Wholly arrived already: nothing added, nobody told.
  record.AddNew(RangeSetOf(&context, {{12, 18}}));
  EXPECT_EQ(log, "ab");
  // Nor when the rest is in the second set.
  record.AddNew(RangeSetOf(&context, {{15, 30}}));
  EXPECT_EQ(log, "ab");
  EXPECT_EQ(record.first.Ranges(), (std::vector<Range>{{10, 20}}));
  // Only the part in neither set is added.
  record.second = RangeSetOf(&context, {{25, 100}});
  record.AddNew(RangeSetOf(&context, {{15, 30}}));
  EXPECT_EQ(record.first.Ranges(), (std::vector<Range>{{10, 25}}));
  EXPECT_EQ(record.second.Ranges(), (std::vector<Range>{{25, 100}}));
  EXPECT_EQ(log, "abab");
  EXPECT_EQ(record.lock.count, 1);
}

}  // namespace
}  // namespace runtime
