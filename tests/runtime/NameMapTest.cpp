#include "runtime/NameMap.h"

#include <gtest/gtest.h>

#include "runtime/LibraryContext.h"

namespace runtime {
namespace {

TEST(NameMapTest, FindsByNameKeepsTheFirstOfATwiceAddedNameAndSkipsEmptyOnes) {
  LibraryContext context;
  ArenaAllocator arena(&context, 1024, 1024);
  NameMap map(arena, 2);
  const char* names[] = {".notdef", "B", "A", "", "A", "space", nullptr};
  for (uint32_t i = 0; i < 7; ++i) map.Insert(names[i], i);
  EXPECT_EQ(map.Count(), 5u);
  ASSERT_NE(map.Find("A"), nullptr);
  EXPECT_EQ(*map.Find("A"), 2u);
  EXPECT_EQ(*map.Find("space"), 5u);
  EXPECT_EQ(*map.Find(".notdef"), 0u);
  EXPECT_EQ(map.Find(""), nullptr);
  EXPECT_EQ(map.Find("C"), nullptr);
  EXPECT_EQ(map.Find(nullptr), nullptr);
  map.Insert("C", 9);  // inserting after a lookup sorts again
  EXPECT_EQ(*map.Find("C"), 9u);
}

}  // namespace
}  // namespace runtime
