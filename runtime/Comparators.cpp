#include "runtime/Comparators.h"

#include <cstring>

namespace runtime {

bool CStringLess(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == nullptr && b != nullptr;
  return std::strcmp(a, b) < 0;
}

int CompareCStrings(const char* key, const char* entry) {
  if (CStringLess(key, entry)) return -1;
  return CStringLess(entry, key) ? 1 : 0;
}

int CompareStringPointers(const char* const* a, const char* const* b) { return std::strcmp(*a, *b); }

int CompareTriple(const TripleKey& x, const TripleKey& y) {
  if (int order = ThreeWay(x.b, y.b)) return order;
  if (int order = ThreeWay(x.a, y.a)) return order;
  return ThreeWay(x.c, y.c);
}

bool TriplesEqual(const TripleKey& x, const TripleKey& y) {
  return x.a == y.a && x.b == y.b && x.c == y.c;
}

int CompareSixWords(const int32_t (&x)[6], const int32_t (&y)[6]) {
  static constexpr int kWordOrder[6] = {0, 1, 4, 5, 2, 3};
  for (int word : kWordOrder) {
    if (int order = ThreeWay(x[word], y[word])) return order;
  }
  return 0;
}

int CompareIntKey(int32_t key, int32_t nodeKey) { return ThreeWay(key, nodeKey); }

int CompareSecondFloat(const float (&x)[2], const float (&y)[2]) { return ThreeWay(x[1], y[1]); }

}  // namespace runtime
