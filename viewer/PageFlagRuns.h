#pragma once
// A byte per page, stored as runs: which pages of a reflowed layout are
// sized from their reflowed text (non-zero) and which as drawn (0).
#include <cstdint>

#include "runtime/LibraryContext.h"
#include "runtime/RecordVector.h"

namespace viewer {

class PageFlagRuns {
 public:
  struct Run {
    // Exclusive end of the run; the last run reaches every later page.
    int32_t bound;
    uint8_t value;
  };

  explicit PageFlagRuns(runtime::LibraryContext* context) : runs_(context, context, 0) {}

  // The page's value: that of the first run whose bound lies above the
  // page, or of the last run; 0 while nothing was assigned.
  uint8_t Find(int32_t page) const;
  // Pages from..to-1 take `value`; neighbouring runs of one value merge.
  void Assign(int32_t from, int32_t to, uint8_t value);
  uint32_t RunCount() const { return runs_.Size(); }

 private:
  uint32_t FindSlot(int32_t page) const;
  void SplitAt(int32_t page);

  runtime::RecordVector<Run> runs_;
};

}  // namespace viewer
