#include "runtime/UIntMap.h"

#include <gtest/gtest.h>

#include "runtime/LibraryContext.h"

namespace runtime {
namespace {

TEST(UIntMapTest, FindsByKeyAcrossTheFullUnsignedRangeAndKeepsTheFirstOfATwiceAddedKey) {
  LibraryContext context;
  ArenaAllocator arena(&context, 1024, 1024);
  UIntMap map(arena, 2);
  // Keys above 0x7fffffff sort after the small ones, not before them.
  const uint32_t keys[] = {0x80000000u, 7, 0, 0xFFFFFFFFu, 7, 300};
  for (uint32_t i = 0; i < 6; ++i) map.Insert(keys[i], i);
  EXPECT_EQ(map.Count(), 6u);
  struct Case {
    uint32_t key;
    int value;  // -1: absent
  } cases[] = {{0, 2}, {7, 1}, {300, 5}, {0x80000000u, 0}, {0xFFFFFFFFu, 3}, {8, -1}, {0x7FFFFFFFu, -1}};
  for (const Case& c : cases) {
    const uint32_t* found = map.Find(c.key);
    if (c.value < 0) {
      EXPECT_EQ(found, nullptr) << c.key;
    } else {
      ASSERT_NE(found, nullptr) << c.key;
      EXPECT_EQ(*found, static_cast<uint32_t>(c.value)) << c.key;
    }
  }
  map.Insert(8, 9);  // inserting after a lookup sorts again
  EXPECT_EQ(*map.Find(8), 9u);
  EXPECT_EQ(UIntMap::Compare(1, 0xFFFFFFFFu), -1);
  EXPECT_EQ(UIntMap::Compare(0xFFFFFFFFu, 1), 1);
  EXPECT_EQ(UIntMap::Compare(5, 5), 0);
}

}  // namespace
}  // namespace runtime
