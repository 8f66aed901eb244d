#pragma once
// The per-page records a document view lays its pages out with before
// their content has been read. Pages not yet read take the record of the
// last page read before them (or the default), marked as estimated; a
// page's own record replaces the estimate when the page is loaded, and the
// listeners are told when that changes what was shown.
#include <cstdint>
#include <span>
#include <utility>

#include "pdf/PageInfo.h"
#include "runtime/Fixed.h"
#include "runtime/RangeSet.h"
#include "runtime/RecordVector.h"

namespace pdf {

class Document;

class PageInfoListener {
 public:
  virtual ~PageInfoListener() = default;
  virtual void OnPageInfoChanged(int32_t pageIndex) = 0;
};

class PageInfoTable {
 public:
  // The record every page has until one is read: US Letter, upright.
  static constexpr PageInfo kDefaultRecord{
      1, 0, {0, 0, runtime::FixedFromInt(612), runtime::FixedFromInt(792)}};

  PageInfoTable(runtime::LibraryContext* context, Document& document, int32_t pageCount);

  // Runs of pages sharing one record, sorted by their exclusive end; the
  // last run reaches to the largest index.
  struct Run {
    int32_t end;
    PageInfo record;
  };
  class RangeMap {
   public:
    // Runs are kept in `context`'s memory (the default context when null).
    explicit RangeMap(runtime::LibraryContext* context = nullptr);
    // The run holding `index`.
    const Run& Find(int32_t index) const;
    size_t FindSlot(int32_t index) const;
    // Pages from..to-1 take `record`; runs with equal records (the
    // estimated byte included) merge.
    void Assign(int32_t from, int32_t to, const PageInfo& record);
    void AssignOne(int32_t index, const PageInfo& record) { Assign(index, index + 1, record); }
    std::span<const Run> Runs() const { return runs_.Records(); }

   private:
    void InsertAt(size_t slot, const Run& run);
    void EraseAt(size_t first, size_t last);

    runtime::RecordVector<Run> runs_;
  };

  // The page's own record; its box rotated by the page and view rotation
  // raises the largest width and height seen.
  PageInfo ComputeRecord(int32_t index);
  // Reads the page when its record is an estimate; the pages after it that
  // are still estimates take a copy of its record. A failure leaves the
  // table as it was.
  void Load(int32_t index);
  // Loads the page's record when it is still an estimate and answers true;
  // false for a page read before or outside the document.
  bool EnsureLoaded(int32_t index);
  // The page's record, loading it first when `load` is set and the page is
  // available.
  PageInfo Get(int32_t index, bool load);

  void AddListener(PageInfoListener* listener) { listeners_.Append(listener); }
  // Pages whose bytes have arrived; only those are loaded by Get.
  runtime::RangeSet& AvailablePages() { return available_; }
  // The largest width and height seen were measured under the old
  // rotation: a quarter turn exchanges them, or fitting to the width would
  // go on fitting the unturned pages.
  void SetViewRotation(int32_t degrees) {
    if ((degrees - viewRotation_) / 90 % 2 != 0) std::swap(largestWidth_, largestHeight_);
    viewRotation_ = degrees;
  }
  int32_t PageCount() const { return pageCount_; }
  runtime::Fixed LargestWidth() const { return largestWidth_; }
  runtime::Fixed LargestHeight() const { return largestHeight_; }
  const RangeMap& Map() const { return map_; }

 private:
  Document& document_;
  int32_t pageCount_;
  runtime::RangeSet available_;
  RangeMap map_;
  runtime::RecordVector<PageInfoListener*> listeners_;
  int32_t viewRotation_ = 0;
  runtime::Fixed largestWidth_ = 0;
  runtime::Fixed largestHeight_ = 0;
};

}  // namespace pdf
