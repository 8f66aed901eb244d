#include "viewer/ReflowSizeKey.h"

#include <climits>

namespace viewer {

namespace {

int32_t NegatedWord(int32_t v) { return v == INT32_MIN ? INT32_MAX : -v; }

}  // namespace

runtime::RecordKey ReflowSizeKey(const ReflowSizeKeyInput& input, const int32_t pair[2], bool negate) {
  const int32_t rotation = ((input.rotation % 360) + 360) % 360;
  const int32_t a = negate ? NegatedWord(pair[0]) : pair[0];
  const int32_t b = negate ? NegatedWord(pair[1]) : pair[1];
  return runtime::RecordKey{{input.page, input.horizontalMargin, input.columnWidth, rotation, a, b}};
}

}  // namespace viewer
