#include "pdf/PageInfoTable.h"

#include <algorithm>
#include <cstring>

#include "pdf/Document.h"
#include "pdf/LinearizedPages.h"
#include "pdf/PageBoxes.h"

namespace pdf {
namespace {

// Field by field, the estimated byte included: an estimate and a read
// record with the same box stay apart.
bool SameRecord(const PageInfo& a, const PageInfo& b) {
  return a.estimated == b.estimated && a == b;
}

}  // namespace

PageInfoTable::RangeMap::RangeMap(runtime::LibraryContext* context)
    : runs_(context != nullptr ? context : runtime::GetDefaultContext(),
            context != nullptr ? context : runtime::GetDefaultContext(), 0) {
  runs_.Append(Run{INT32_MAX, kDefaultRecord});
}

void PageInfoTable::RangeMap::InsertAt(size_t slot, const Run& run) {
  runs_.Append(run);
  const std::span<Run> runs = runs_.Records();
  for (size_t i = runs.size() - 1; i > slot; --i) runs[i] = runs[i - 1];
  runs[slot] = run;
}

void PageInfoTable::RangeMap::EraseAt(size_t first, size_t last) {
  const std::span<Run> runs = runs_.Records();
  const size_t removed = last - first;
  for (size_t i = first; i + removed < runs.size(); ++i) runs[i] = runs[i + removed];
  runs_.Truncate(static_cast<uint32_t>(runs.size() - removed));
}

size_t PageInfoTable::RangeMap::FindSlot(int32_t index) const {
  const std::span<const Run> runs = runs_.Records();
  const auto at = std::upper_bound(runs.begin(), runs.end(), index,
                                   [](int32_t i, const Run& run) { return i < run.end; });
  return at == runs.end() ? runs.size() - 1 : static_cast<size_t>(at - runs.begin());
}

const PageInfoTable::Run& PageInfoTable::RangeMap::Find(int32_t index) const {
  return runs_[static_cast<uint32_t>(FindSlot(index))];
}

void PageInfoTable::RangeMap::Assign(int32_t from, int32_t to, const PageInfo& record) {
  if (from < 0 || to <= from) return;
  // Split so that from and to are both run edges.
  const auto split = [&](int32_t at) {
    if (at == 0 || at >= INT32_MAX) return;
    const size_t slot = FindSlot(at);
    const int32_t start = slot == 0 ? 0 : runs_[static_cast<uint32_t>(slot - 1)].end;
    if (start == at) return;
    InsertAt(slot, Run{at, runs_[static_cast<uint32_t>(slot)].record});
  };
  split(from);
  split(to);
  // Runs ending in (from, to] are replaced by one.
  size_t first = FindSlot(from);
  if (runs_[static_cast<uint32_t>(first)].end <= from) ++first;
  size_t last = first;
  while (last < runs_.Size() && runs_[static_cast<uint32_t>(last)].end <= to) ++last;
  EraseAt(first, last);
  InsertAt(first, Run{to, record});
  // Merge with equal neighbours.
  if (first + 1 < runs_.Size() && SameRecord(runs_[static_cast<uint32_t>(first + 1)].record, record)) {
    EraseAt(first, first + 1);
  }
  if (first > 0 && SameRecord(runs_[static_cast<uint32_t>(first - 1)].record,
                              runs_[static_cast<uint32_t>(first)].record)) {
    runs_[static_cast<uint32_t>(first - 1)].end = runs_[static_cast<uint32_t>(first)].end;
    EraseAt(first, first + 1);
  }
}

PageInfoTable::PageInfoTable(runtime::LibraryContext* context, Document& document,
                             int32_t pageCount)
    : document_(document),
      pageCount_(pageCount),
      available_(context),
      map_(context),
      listeners_(context, context, 0) {}

PageInfo PageInfoTable::ComputeRecord(int32_t index) {
  // A progressive source fetches the page's bytes first.
  LinearizedPages::RequestPage(document_, index);
  const PageBoxes boxes = PageBoxes::Read(document_.GetPageDict(index));
  PageInfo record{0, boxes.rotation, boxes.box};
  int32_t total = (boxes.rotation + viewRotation_) % 360;
  if (total < 0) total += 360;
  const runtime::Rect rotated = runtime::Rect::Rotate(total, boxes.box);
  largestWidth_ = std::max(largestWidth_, runtime::FixedSubSat(rotated.x1, rotated.x0));
  largestHeight_ = std::max(largestHeight_, runtime::FixedSubSat(rotated.y1, rotated.y0));
  return record;
}

void PageInfoTable::Load(int32_t index) {
  const PageInfo shown = map_.Find(index).record;
  if (!shown.estimated) return;
  const PageInfo record = ComputeRecord(index);
  const bool changed = !(record == shown);
  map_.AssignOne(index, record);
  // Later pages still estimated look like this page until read.
  int32_t end = index + 1;
  for (size_t slot = map_.FindSlot(index + 1); slot < map_.Runs().size(); ++slot) {
    const Run& run = map_.Runs()[slot];
    if (!run.record.estimated) break;
    end = std::min(run.end, pageCount_);
    if (run.end >= pageCount_) break;
  }
  PageInfo estimate = record;
  estimate.estimated = 1;
  map_.Assign(index + 1, end, estimate);
  if (changed) {
    for (PageInfoListener* listener : listeners_.Records()) listener->OnPageInfoChanged(index);
  }
}

bool PageInfoTable::EnsureLoaded(int32_t index) {
  if (index < 0 || index >= pageCount_ || !map_.Find(index).record.estimated) return false;
  Load(index);
  return true;
}

PageInfo PageInfoTable::Get(int32_t index, bool load) {
  PageInfo record = map_.Find(index).record;
  if (load && record.estimated && available_.Contains(index)) {
    Load(index);
    record = map_.Find(index).record;
  }
  return record;
}

}  // namespace pdf
