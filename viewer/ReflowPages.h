#pragma once
// The reflowed pages of the view's reflow modes: a few pages reflowed into
// the view's column, kept while the column keeps its width, so that the
// layout (which sizes a page's cell by its reflowed length) and the
// drawing (which paints the column) use one reflow of each page. A page is
// reflowed when it is first asked for; once laid out, its run commands
// are run (repeats take their runs' places, turned runs are mapped back).
//
//   viewer::ReflowPages pages(context, document, &fonts);
//   pages.SetColumn(width, height);               // points
//   const content::ReflowModel* model = pages.Model(3);
#include <cstdint>

#include "content/ReflowModel.h"
#include "fonts/DocumentTextFontSource.h"
#include "runtime/Fixed.h"
#include "runtime/RecordCache.h"
#include "viewer/PageFlagRuns.h"
#include "viewer/ReflowSizeKey.h"

namespace content {
class FontSource;
class ReflowPage;
}  // namespace content
namespace pdf {
class Document;
}

namespace viewer {

class ReflowPages {
 public:
  // Pages kept at once; the one used longest ago and not held goes
  // first. More than the render threads that may hold one each.
  static constexpr uint32_t kKeptPages = 6;
  // A reflowed page is never shorter than this many points: a page with
  // nothing to reflow still has a cell to scroll past.
  static constexpr runtime::Fixed kMinLength = 10 << 16;

  ReflowPages(runtime::LibraryContext* context, pdf::Document& document, content::FontSource* fonts);
  ~ReflowPages();
  ReflowPages(const ReflowPages&) = delete;
  ReflowPages& operator=(const ReflowPages&) = delete;

  // The column the pages are reflowed into, in points: its width, and the
  // view's height, which bounds a picture's. Pages reflowed into another
  // column are dropped.
  void SetColumn(runtime::Fixed width, runtime::Fixed height);
  runtime::Fixed ColumnWidth() const { return width_; }
  // Page `page` reflowed into the column (reflowed now when it is not
  // kept); null when the page cannot be loaded, or when every kept page is
  // held. Errors of the page's content end its reflow where they stand;
  // cancellation passes on. The model lasts until the next call that may
  // reflow or drop pages; a holder keeps it longer.
  const content::ReflowModel* Model(int32_t page);

  // Keeps a page's model while a thread paints from it across its
  // yields: a held page is not dropped, and one the column left behind
  // goes when its last holder does.
  class Hold {
   public:
    // Holds nothing for a negative page.
    Hold(ReflowPages& pages, int32_t page);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    const content::ReflowModel* Model() const { return model_; }

   private:
    ReflowPages& pages_;
    content::ReflowPage* reflowed_ = nullptr;
    const content::ReflowModel* model_ = nullptr;
  };
  // The column's length for `page` in points, at least kMinLength: the
  // length remembered for the page's key when there is one, else the
  // page is reflowed when it is not kept (and its length remembered).
  runtime::Fixed Length(int32_t page);
  // Without reflowing anything: the remembered length, else that of a
  // kept page, else kUnknownLength.
  static constexpr runtime::Fixed kUnknownLength = static_cast<runtime::Fixed>(0xFFFF0000u);
  runtime::Fixed KnownLength(int32_t page);

  // Whether `page` shows as its reflowed column (non-zero) or as drawn
  // (0): a page the reflow finds nothing on shows as drawn. With `load`,
  // a page not yet known is reflowed to find out; without it, a page not
  // yet known counts as reflowed.
  uint8_t PageFlag(int32_t page, bool load);
  const PageFlagRuns& Flags() const { return flags_; }

  // Where reflowed lengths are remembered beyond the kept pages (null:
  // nowhere). The cache may be shared: keys carry this object's stamp.
  void SetKnownLengths(runtime::RecordCache* cache) { known_ = cache; }
  // What the lengths depend on beside the column: the page's horizontal
  // margin (page units) and the view's rotation.
  void SetKeyParts(runtime::Fixed horizontalMargin, int32_t viewRotation) {
    horizontalMargin_ = horizontalMargin;
    viewRotation_ = viewRotation;
  }
  // The key of `page`'s reflowed length in the current column.
  runtime::RecordKey SizeKey(int32_t page) const;
  // Pages reflowed so far (for tests of the cache).
  uint32_t Builds() const { return builds_; }

 private:
  struct Slot {
    int32_t page = -1;
    content::ReflowPage* reflowed = nullptr;
    uint64_t lastUse = 0;
    uint32_t holds = 0;
    // Reflowed into an earlier column: found by no one, dropped when its
    // last holder goes.
    bool stale = false;
  };

  content::ReflowPage* Build(int32_t page);
  runtime::Fixed RememberedLength(int32_t page) const;
  Slot* Find(int32_t page);
  Slot* SlotOf(const content::ReflowPage* reflowed);
  // Frees the slot's page unless it is held (then it only goes stale).
  void Drop(Slot& slot);

  runtime::LibraryContext* context_;
  pdf::Document& document_;
  content::FontSource* fonts_;
  fonts::DocumentTextFontSource unicode_;
  runtime::Fixed width_ = 0;
  runtime::Fixed height_ = 0;
  Slot slots_[kKeptPages];
  uint64_t uses_ = 0;
  uint32_t builds_ = 0;
  // The document's page-flag map: 1 for pages not yet known, 2 for pages
  // found to reflow, 0 for pages shown as drawn.
  PageFlagRuns flags_;
  runtime::RecordCache* known_ = nullptr;
  runtime::Fixed horizontalMargin_ = 0;
  int32_t viewRotation_ = 0;
  // Tells this object's keys from those of earlier documents in a shared
  // cache.
  int32_t stamp_;
};

}  // namespace viewer
