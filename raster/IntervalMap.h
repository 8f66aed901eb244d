#pragma once
// Band regions kept under integer keys, in key order, for a page view: the
// view's parts still to be painted at each stage of a render. Blitting the
// view moves or rescales it; `Update` then clips what is kept to the new
// view and adds the part the old view did not cover. The render step reads
// entries by key and trims them as it goes.
//
// The map owns its entries. Every entry it removes is first handed to the
// observer when one is set, then destroyed and freed through the context.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/LibraryContext.h"
#include "runtime/Rect.h"
#include "runtime/Region.h"
#include "runtime/Tree.h"
#include "runtime/TreeNode.h"

namespace raster {

struct IntervalEntry : runtime::TreeNode {
  // The region starts as a copy of `source`; the copy is part of the
  // construction, so a failed copy frees the whole entry.
  IntervalEntry(runtime::LibraryContext* context, int32_t entryKey, const runtime::Region& source)
      : key(entryKey), region(context) {
    region.Copy(source);
  }

  int32_t key;
  runtime::Region region;
};

class IntervalMap {
 public:
  using Observer = void (*)(void* userData, IntervalEntry* removed);

  explicit IntervalMap(runtime::LibraryContext* context, Observer observer = nullptr,
                       void* userData = nullptr);
  ~IntervalMap();
  IntervalMap(const IntervalMap&) = delete;
  IntervalMap& operator=(const IntervalMap&) = delete;

  // Low mark = max(low mark, y). Of the entries with key at most y, the
  // last keeps its region under key y and the others are removed.
  void TrimBelow(int32_t y);
  // The entries with key at least y become one entry with key y holding the
  // region of the last of them; the low mark becomes min(low mark, y).
  void MergeFrom(int32_t y);
  // The region under `key`; without such an entry, the region of the last
  // view when key lies above the low mark, else an empty region.
  const runtime::Region& LookupOrDefault(int32_t key) const;
  // After a blit to the view rectangle `view`, with the earlier view and the
  // kept regions rescaled by the 16.16 `factor`: clips every entry to the
  // view (or, with `clear`, removes them all), adds to each the part of the
  // view the earlier one did not cover, and files that part under key 0.
  // `reset` (or a factor other than 1.0) brings the low mark back to 0.
  void Update(const runtime::IntRect& view, runtime::Fixed factor, bool reset, bool clear);

  // Files a copy of `region` under `key`; an entry already there is removed.
  IntervalEntry* Insert(int32_t key, const runtime::Region& region);
  IntervalEntry* Find(int32_t key) const;
  IntervalEntry* Begin() const { return Cast(tree_.Begin()); }
  static IntervalEntry* Next(const IntervalEntry* entry) {
    return Cast(runtime::Tree::Next(entry));
  }
  int32_t LowMark() const { return lowMark_; }
  const runtime::IntRect& LastView() const { return lastView_; }

 private:
  struct UpdateStep {
    const runtime::Region* view;
    runtime::Region* uncovered;
    runtime::Fixed factor;
  };
  static IntervalEntry* Cast(runtime::TreeNode* node) { return static_cast<IntervalEntry*>(node); }
  static IntervalEntry* Cast(const runtime::TreeNode* node) {
    return static_cast<IntervalEntry*>(const_cast<runtime::TreeNode*>(node));
  }
  static int CompareKey(const void* key, const runtime::TreeNode* node);
  static void DestroyEntry(void* map, runtime::TreeNode* node);

  // Detaches `entry` and destroys it as the tree's callback would.
  void Remove(IntervalEntry* entry);
  void UpdateEntries(const UpdateStep& step);
  void UpdateEntry(const UpdateStep& step, IntervalEntry* entry);

  runtime::LibraryContext* context_;
  Observer observer_;
  void* userData_;
  int32_t lowMark_ = 0;
  runtime::Region empty_;
  runtime::IntRect lastView_{};
  runtime::Region lastViewRegion_;
  runtime::Tree tree_;
};

}  // namespace raster
