#include "raster/IntervalMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "raster/BandRegionOps.h"
#include "runtime/LibraryContext.h"

namespace {

using raster::IntervalEntry;
using raster::IntervalMap;
using runtime::IntRect;
using runtime::Region;

constexpr runtime::Fixed kOne = 0x10000;

bool Covers(const Region& region, int32_t x, int32_t y) {
  runtime::RegionBand band;
  if (!region.FindBand(y, band)) return false;
  const runtime::RegionSpan* span = band.FindSpan(x);
  return span != nullptr && span->value != 0;
}

struct Removals {
  std::vector<int32_t> keys;
  static void Record(void* self, IntervalEntry* entry) {
    static_cast<Removals*>(self)->keys.push_back(entry->key);
  }
};

std::vector<int32_t> Keys(const IntervalMap& map) {
  std::vector<int32_t> keys;
  for (IntervalEntry* e = map.Begin(); e != nullptr; e = IntervalMap::Next(e)) keys.push_back(e->key);
  return keys;
}

// Entries under `keys`, entry i covering the row band [10 i, 10 i + 10).
void Fill(runtime::LibraryContext& context, IntervalMap& map, const std::vector<int32_t>& keys) {
  for (size_t i = 0; i < keys.size(); ++i) {
    Region r(&context);
    const int32_t top = static_cast<int32_t>(i) * 10;
    r.FromRect({0, top, 10, top + 10});
    map.Insert(keys[i], r);
  }
}

TEST(IntervalMapTest, TrimAndMergeKeepOneEntryAtTheMark) {
  struct Case {
    const char* name;
    bool merge;
    int32_t y;
    std::vector<int32_t> keys;
    std::vector<int32_t> after;
    std::vector<int32_t> removed;
    int32_t keptTop;  // top row of the region left under y; -1 when none
    int32_t lowMark;  // starting from 5
  } cases[] = {
      {"trim, empty map", false, 7, {}, {}, {}, -1, 7},
      {"trim, all keys above", false, 2, {3, 9}, {3, 9}, {}, -1, 5},
      {"trim keeps the last at or below", false, 6, {1, 4, 6, 9}, {6, 9}, {1, 4}, 20, 6},
      {"trim moves the last up to y", false, 7, {1, 4, 9}, {7, 9}, {1}, 10, 7},
      {"trim at the lowest key", false, INT32_MIN, {INT32_MIN, 0}, {INT32_MIN, 0}, {}, 0, 5},
      {"merge, empty map", true, 3, {}, {}, {}, -1, 3},
      {"merge, nothing at or above", true, 10, {1, 4}, {1, 4}, {}, -1, 5},
      {"merge keeps the last region", true, 4, {1, 4, 6, 9}, {1, 4}, {6, 9}, 30, 4},
      {"merge renames the first to y", true, 2, {1, 5, 8}, {1, 2}, {8}, 20, 2},
      {"merge at the highest key", true, INT32_MAX, {0, INT32_MAX}, {0, INT32_MAX}, {}, 10, 5},
  };
  for (const Case& c : cases) {
    runtime::LibraryContext context;
    Removals removals;
    IntervalMap map(&context, &Removals::Record, &removals);
    map.TrimBelow(5);
    Fill(context, map, c.keys);
    if (c.merge) {
      map.MergeFrom(c.y);
    } else {
      map.TrimBelow(c.y);
    }
    EXPECT_EQ(Keys(map), c.after) << c.name;
    EXPECT_EQ(removals.keys, c.removed) << c.name;
    EXPECT_EQ(map.LowMark(), c.lowMark) << c.name;
    const IntervalEntry* kept = map.Find(c.y);
    if (c.keptTop < 0) {
      EXPECT_EQ(kept, nullptr) << c.name;
    } else {
      ASSERT_NE(kept, nullptr) << c.name;
      EXPECT_EQ(kept->region.Bounds().y0, c.keptTop) << c.name;
    }
  }
}

TEST(IntervalMapTest, LookupFallsBackToTheViewAboveTheMarkAndEmptyBelow) {
  runtime::LibraryContext context;
  IntervalMap map(&context);
  map.Update({0, 0, 40, 30}, kOne, true, true);
  map.TrimBelow(3);  // the key 0 entry moves to 3, the mark to 3
  struct Case {
    const char* name;
    int32_t key;
    bool covers;
  } cases[] = {
      {"the entry", 3, true}, {"above the mark: the view", 4, true},
      {"far above", INT32_MAX, true}, {"below the mark", 2, false},
      {"lowest key", INT32_MIN, false},
  };
  for (const Case& c : cases) {
    const Region& region = map.LookupOrDefault(c.key);
    EXPECT_EQ(Covers(region, 39, 29), c.covers) << c.name;
    EXPECT_FALSE(Covers(region, 40, 0)) << c.name;
  }
}

TEST(IntervalMapTest, UpdateClipsToTheViewAndFilesWhatIsNew) {
  runtime::LibraryContext context;
  Removals removals;
  IntervalMap map(&context, &Removals::Record, &removals);

  // A fresh bitmap: everything is new.
  map.Update({0, 0, 100, 100}, kOne, true, true);
  ASSERT_EQ(Keys(map), (std::vector<int32_t>{0}));
  EXPECT_EQ(map.Find(0)->region.Bounds(), (IntRect{0, 0, 100, 100}));

  // Painting moved it on; then the view scrolls down by 30 rows.
  map.TrimBelow(2);
  Region strip(&context);
  strip.FromRect({0, 0, 100, 10});
  map.Insert(5, strip);  // a part the next scroll moves out of view
  map.Update({0, 30, 100, 130}, kOne, false, false);
  EXPECT_EQ(Keys(map), (std::vector<int32_t>{0, 2}));
  EXPECT_EQ(removals.keys, (std::vector<int32_t>{5}));
  EXPECT_EQ(map.Find(0)->region.Bounds(), (IntRect{0, 100, 100, 130}));
  const Region& kept = map.Find(2)->region;
  EXPECT_FALSE(Covers(kept, 50, 29));  // clipped to the new view
  EXPECT_TRUE(Covers(kept, 50, 30));
  EXPECT_TRUE(Covers(kept, 50, 129));  // and given the newly exposed rows
  EXPECT_EQ(map.LowMark(), 2);

  // Zooming by 2 rescales what is kept and resets the mark.
  map.Update({0, 60, 200, 260}, 2 * kOne, false, false);
  EXPECT_EQ(map.LowMark(), 0);
  EXPECT_TRUE(Covers(map.Find(2)->region, 199, 259));
  EXPECT_EQ(map.Find(0)->region.Bounds().x1, 200);

  // The same view again adds nothing; clearing hands every entry over.
  removals.keys.clear();
  map.Update({0, 60, 200, 260}, kOne, false, true);
  std::sort(removals.keys.begin(), removals.keys.end());  // clearing goes in tree order
  EXPECT_EQ(removals.keys, (std::vector<int32_t>{0, 2}));
  EXPECT_EQ(Keys(map), (std::vector<int32_t>{0}));  // the whole view, new again
  map.Update({0, 60, 200, 260}, kOne, false, false);
  EXPECT_EQ(map.Find(0)->region.Bounds(), (IntRect{0, 60, 200, 260}));
  EXPECT_EQ(map.LastView(), (IntRect{0, 60, 200, 260}));
}

TEST(IntervalMapTest, EmptyAndHostileViews) {
  struct Case {
    const char* name;
    IntRect view;
    runtime::Fixed factor;
  } cases[] = {
      {"empty view", {5, 5, 5, 5}, kOne},
      {"inverted view", {50, 50, 10, 10}, kOne},
      {"extreme view", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, kOne},
      {"huge zoom", {0, 0, 30000, 30000}, 0x7fffffff},
      {"zero zoom", {0, 0, 100, 100}, 0},
  };
  for (const Case& c : cases) {
    runtime::LibraryContext context;
    IntervalMap map(&context);
    map.Update({0, 0, 64, 64}, kOne, true, true);
    map.Update(c.view, c.factor, false, false);
    for (IntervalEntry* e = map.Begin(); e != nullptr; e = IntervalMap::Next(e)) {
      EXPECT_FALSE(raster::BandRegion::IsEmpty(e->region)) << c.name;
    }
    EXPECT_EQ(map.LastView(), c.view) << c.name;
  }
}

}  // namespace
