#include "runtime/TextPosition.h"

#include "runtime/Comparators.h"

namespace runtime {

int TextPosition::Compare(const TextPosition& a, const TextPosition& b) {
  if (int order = ThreeWay(a.page, b.page)) return order;
  if (int order = ThreeWay(a.operation, b.operation)) return order;
  if (int order = ThreeWay(a.string, b.string)) return order;
  if (int order = ThreeWay(a.glyph, b.glyph)) return order;
  if (int order = ThreeWay(a.character, b.character)) return order;
  return ThreeWay(a.after, b.after);
}

}  // namespace runtime
