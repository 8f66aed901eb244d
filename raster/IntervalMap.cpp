#include "raster/IntervalMap.h"

#include "raster/BandRegionOps.h"
#include "runtime/TransientBlocks.h"

namespace raster {

namespace {

constexpr runtime::Fixed kUnitFactor = 0x10000;  // 1.0: the view keeps its scale

}  // namespace

IntervalMap::IntervalMap(runtime::LibraryContext* context, Observer observer, void* userData)
    : context_(context),
      observer_(observer),
      userData_(userData),
      empty_(context),
      lastViewRegion_(context),
      tree_(context, &CompareKey, &DestroyEntry, this) {}

IntervalMap::~IntervalMap() { tree_.Clear(); }

int IntervalMap::CompareKey(const void* key, const runtime::TreeNode* node) {
  const int32_t wanted = *static_cast<const int32_t*>(key);
  const int32_t held = static_cast<const IntervalEntry*>(node)->key;
  return wanted < held ? -1 : (wanted > held ? 1 : 0);
}

void IntervalMap::DestroyEntry(void* map, runtime::TreeNode* node) {
  auto* self = static_cast<IntervalMap*>(map);
  auto* entry = static_cast<IntervalEntry*>(node);
  if (self->observer_ != nullptr) self->observer_(self->userData_, entry);
  runtime::DestroyAndFree(self->context_, entry);
}

void IntervalMap::Remove(IntervalEntry* entry) {
  const int32_t key = entry->key;
  tree_.RemoveKey(&key);
  DestroyEntry(this, entry);
}

IntervalEntry* IntervalMap::Insert(int32_t key, const runtime::Region& region) {
  IntervalEntry* fresh = runtime::NewObject<IntervalEntry>(context_, context_, key, region);
  tree_.InsertOrReplace(fresh, &fresh->key);
  return fresh;
}

IntervalEntry* IntervalMap::Find(int32_t key) const { return Cast(tree_.Find(&key)); }

void IntervalMap::TrimBelow(int32_t y) {
  if (y > lowMark_) lowMark_ = y;
  IntervalEntry* kept = nullptr;
  for (IntervalEntry* entry = Begin(); entry != nullptr && entry->key <= y;) {
    IntervalEntry* next = Next(entry);
    if (kept != nullptr) Remove(kept);
    kept = entry;
    entry = next;
  }
  // Every entry before it is gone and every one after it has a key above
  // y, so the new key keeps the order.
  if (kept != nullptr) kept->key = y;
}

void IntervalMap::MergeFrom(int32_t y) {
  IntervalEntry* kept = nullptr;
  for (IntervalEntry* entry = Begin(); entry != nullptr;) {
    IntervalEntry* next = Next(entry);
    if (entry->key >= y) {
      if (kept == nullptr) {
        kept = entry;
        kept->key = y;  // the entries before it all have keys below y
      } else {
        runtime::Region::Swap(kept->region, entry->region);
        Remove(entry);
      }
    }
    entry = next;
  }
  if (y < lowMark_) lowMark_ = y;
}

const runtime::Region& IntervalMap::LookupOrDefault(int32_t key) const {
  if (const IntervalEntry* entry = Find(key)) return entry->region;
  if (key > lowMark_) return lastViewRegion_;
  return empty_;
}

void IntervalMap::UpdateEntry(const UpdateStep& step, IntervalEntry* entry) {
  if (step.factor != kUnitFactor) BandRegion::ScaleBy(entry->region, step.factor);
  entry->region.CombineInPlace(*step.view, runtime::RegionOp::kIntersection);
  if (BandRegion::IsEmpty(entry->region)) {
    Remove(entry);
    return;
  }
  entry->region.CombineInPlace(*step.uncovered, runtime::RegionOp::kUnion);
}

void IntervalMap::UpdateEntries(const UpdateStep& step) {
  // Step on before the entry is handled: handling may remove it.
  for (IntervalEntry* entry = Begin(); entry != nullptr;) {
    IntervalEntry* next = Next(entry);
    UpdateEntry(step, entry);
    entry = next;
  }
}

void IntervalMap::Update(const runtime::IntRect& view, runtime::Fixed factor, bool reset,
                         bool clear) {
  runtime::Region uncovered(context_);
  uncovered.FromRect(view);
  if (factor != kUnitFactor || reset) lowMark_ = 0;
  if (!clear) {
    runtime::Region viewRegion(context_);
    viewRegion.FromRect(view);
    runtime::Region previous(context_);
    previous.FromRect(lastView_);
    if (factor != kUnitFactor) BandRegion::ScaleBy(previous, factor);
    uncovered.CombineInPlace(previous, runtime::RegionOp::kDifference);
    UpdateEntries(UpdateStep{&viewRegion, &uncovered, factor});
  } else {
    tree_.Clear();
  }
  if (!BandRegion::IsEmpty(uncovered)) {
    if (IntervalEntry* first = Find(0)) {
      first->region.CombineInPlace(uncovered, runtime::RegionOp::kUnion);
    } else {
      Insert(0, uncovered);
    }
  }
  lastViewRegion_.FromRect(view);
  lastView_ = view;
}

}  // namespace raster
