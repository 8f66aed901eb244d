#pragma once
// The pages a multi-page view keeps at hand: a grid of `perRow` slots per
// row over `rows` rows of pages from `first`, of which only a window of
// columns and rows is live. Each live slot holds a counted reference.
//
//   PageSlotWindow<PageImage> window(context, 10, 3, 5, {0, 2, 3, 4});
//   window.Slot(1) = image;                 // row 2, column 1: page 17
//   PageImageRef page = window.Get(17);     // the same image
#include <cstdint>

#include "runtime/CheckedSize.h"
#include "runtime/CountedRef.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace pdf {

struct SlotRect {
  int32_t x0, y0, x1, y1;  // columns x0..x1-1 of rows y0..y1-1
};

template <class T>
class PageSlotWindow {
 public:
  using Ref = runtime::CountedRef<T>;

  // (runtime, 2) for a window outside the grid or a grid of no slots;
  // (runtime, 1) for a window of more slots than a size can count.
  PageSlotWindow(runtime::LibraryContext* context, int32_t first, int32_t perRow, int32_t rows,
                 SlotRect window)
      : context_(context), first_(first), perRow_(perRow), rows_(rows), window_(window) {
    if (perRow <= 0 || rows <= 0 || window.x0 < 0 || window.y0 < 0 || window.x1 > perRow ||
        window.y1 > rows || window.x1 < window.x0 || window.y1 < window.y0) {
      runtime::ThrowRuntime(runtime::kMalformed);
    }
    // Counted in 64 bits: a window of two large sides overflows 32.
    const int64_t count = int64_t{window.x1 - window.x0} * (window.y1 - window.y0);
    if (count > INT32_MAX) runtime::ThrowRuntime(runtime::kOverflow);
    count_ = static_cast<uint32_t>(count);
    if (count_ != 0) {
      slots_ = static_cast<Ref*>(runtime::AllocOrThrow(
          context, runtime::MultiplySizeChecked(context, count_, sizeof(Ref))));
      for (uint32_t i = 0; i < count_; ++i) new (slots_ + i) Ref();
    }
  }
  ~PageSlotWindow() {
    for (uint32_t i = 0; i < count_; ++i) slots_[i].~Ref();
    context_->memory.Free(slots_);
  }
  PageSlotWindow(const PageSlotWindow&) = delete;
  PageSlotWindow& operator=(const PageSlotWindow&) = delete;

  // The slot of page `index`, or -1 when the page lies outside the grid or
  // outside the live window.
  int32_t SlotOf(int32_t index) const {
    const int64_t offset = int64_t{index} - first_;
    if (offset < 0 || offset >= int64_t{perRow_} * rows_) return -1;
    const auto row = static_cast<int32_t>(offset / perRow_);
    const auto column = static_cast<int32_t>(offset % perRow_);
    if (column < window_.x0 || column >= window_.x1 || row < window_.y0 || row >= window_.y1) {
      return -1;
    }
    return (row - window_.y0) * (window_.x1 - window_.x0) + (column - window_.x0);
  }
  // A new reference to what page `index`'s slot holds; empty outside the
  // window.
  Ref Get(int32_t index) const {
    const int32_t slot = SlotOf(index);
    return slot < 0 ? Ref() : slots_[slot];
  }
  // Slot `i` of the window, row by row; (runtime, 2) beyond the last.
  Ref& Slot(uint32_t i) {
    if (i >= count_) runtime::ThrowRuntime(runtime::kMalformed);
    return slots_[i];
  }
  uint32_t SlotCount() const { return count_; }

 private:
  runtime::LibraryContext* context_;
  int32_t first_;
  int32_t perRow_;
  int32_t rows_;
  SlotRect window_;
  uint32_t count_ = 0;
  Ref* slots_ = nullptr;
};

}  // namespace pdf
