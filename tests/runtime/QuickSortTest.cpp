#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "runtime/QuickSort.h"

namespace runtime {
namespace {

int CompareInts(const void* a, const void* b, void* context) {
  ++*static_cast<int*>(context);
  const int x = *static_cast<const int*>(a);
  const int y = *static_cast<const int*>(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

int CompareKey(const void* key, const void* element) {
  const int x = *static_cast<const int*>(key);
  const int y = *static_cast<const int*>(element);
  return x < y ? -1 : (x > y ? 1 : 0);
}

std::vector<int> Sorted(std::vector<int> values, int* calls) {
  QuickSortRange(values.data(), values.size(), sizeof(int), calls, &CompareInts);
  return values;
}

TEST(QuickSortTest, SortsTablesIncludingEqualKeys) {
  std::mt19937 random(5);
  std::vector<int> duplicates(1000);
  for (int& value : duplicates) value = static_cast<int>(random() % 20);
  std::vector<int> distinct(1000);
  for (size_t i = 0; i < distinct.size(); ++i) distinct[i] = static_cast<int>(i);
  std::shuffle(distinct.begin(), distinct.end(), random);
  struct Case {
    const char* name;
    std::vector<int> values;
  } cases[] = {
      {"three equal", {5, 5, 5}},
      {"all equal, long", std::vector<int>(500, 9)},
      {"two", {2, 1}},
      {"already sorted", {1, 2, 3, 4, 5, 6}},
      {"reversed", {6, 5, 4, 3, 2, 1}},
      {"1000 random with duplicates", duplicates},
      {"1000 distinct shuffled", distinct},
      {"pivot is the smallest", {3, 9, 7, 1}},
  };
  for (const Case& c : cases) {
    int calls = 0;
    std::vector<int> expected = c.values;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Sorted(c.values, &calls), expected) << c.name;
    // Equal keys must split evenly, not degrade to quadratic work.
    EXPECT_LT(calls, 40 * static_cast<int>(c.values.size()) + 10) << c.name;
  }
  int calls = 0;
  EXPECT_EQ(Sorted({42}, &calls), (std::vector<int>{42}));
  EXPECT_EQ(Sorted({}, &calls), (std::vector<int>{}));
  EXPECT_EQ(calls, 0);
}

TEST(QuickSortTest, OrderedInputTakesLogLinearComparisons) {
  // Callers mostly hand in keys that are already in order (or in reverse):
  // those must cost n log n comparisons, not n² (50,000 keys took 1.25e9).
  constexpr int kCount = 50000;
  std::vector<int> ascending(kCount);
  for (int i = 0; i < kCount; ++i) ascending[i] = i * 3;
  std::vector<int> descending(ascending.rbegin(), ascending.rend());
  std::vector<int> sawtooth(kCount);
  for (int i = 0; i < kCount; ++i) sawtooth[i] = i % 1000;
  const int bound = 4 * kCount * 16;  // log2(50,000) < 16
  for (const auto* input : {&ascending, &descending, &sawtooth}) {
    int calls = 0;
    std::vector<int> expected = *input;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Sorted(*input, &calls), expected);
    EXPECT_LT(calls, bound);
  }
}

TEST(QuickSortTest, SortsRecordsLargerThanTheExchangeBuffer) {
  struct Record {
    int key;
    char text[60];
  };
  std::vector<Record> records(50);
  for (int i = 0; i < 50; ++i) {
    records[i].key = (i * 17) % 50;
    std::snprintf(records[i].text, sizeof(records[i].text), "record %d", records[i].key);
  }
  int calls = 0;
  QuickSortRange(records.data(), records.size(), sizeof(Record), &calls, &CompareInts);
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(records[i].key, i);
    EXPECT_EQ(std::string(records[i].text), "record " + std::to_string(i));
  }
}

TEST(QuickSortTest, BinarySearchFindsOrReportsNone) {
  const int values[] = {1, 3, 5, 7, 9, 11};
  struct Case {
    int key;
    int index;  // -1: none
  } cases[] = {{1, 0}, {11, 5}, {7, 3}, {0, -1}, {4, -1}, {12, -1}};
  for (const Case& c : cases) {
    const void* found = BinarySearch(&c.key, values, 6, sizeof(int), &CompareKey);
    EXPECT_EQ(found == nullptr ? -1 : static_cast<const int*>(found) - values, c.index) << c.key;
  }
  // An empty array never calls the comparator.
  EXPECT_EQ(BinarySearch(&cases[0].key, nullptr, 0, sizeof(int),
                         [](const void*, const void*) -> int {
                           ADD_FAILURE();
                           return 0;
                         }),
            nullptr);
}

}  // namespace
}  // namespace runtime
