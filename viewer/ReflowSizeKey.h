#pragma once
// The key under which a page's reflowed length is remembered: everything
// the length depends on. The same page reflowed into another column, with
// other margins or turned otherwise, is another key.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/RecordCache.h"

namespace viewer {

struct ReflowSizeKeyInput {
  int32_t page = 0;
  // The horizontal reflow margin, in page units.
  runtime::Fixed horizontalMargin = 0;
  // The layout parameter the length depends on: the column's width.
  runtime::Fixed columnWidth = 0;
  // The page's rotation plus the view's (normalised to 0..359 here).
  int32_t rotation = 0;
};

// {page, horizontal margin, column width, rotation, pair[0], pair[1]}, the
// pair's words negated when `negate` is set.
runtime::RecordKey ReflowSizeKey(const ReflowSizeKeyInput& input, const int32_t pair[2], bool negate);

}  // namespace viewer
