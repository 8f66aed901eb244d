#include "viewer/ReflowPages.h"

#include <algorithm>
#include <atomic>

#include "content/ReflowPage.h"
#include "pdf/Document.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"

namespace viewer {

namespace {

// Line spacing of the reflowed text: a fifth of this size below each line.
constexpr runtime::Fixed kReflowFontSize = 10 << 16;

// Page-flag values.
constexpr uint8_t kFlagDrawn = 0;
constexpr uint8_t kFlagUnknown = 1;
constexpr uint8_t kFlagReflowed = 2;

// Each reflow cache takes its own stamp, so that a document opened after
// another never reads the lengths of the other's pages.
std::atomic<int32_t> nextStamp{1};

}  // namespace

ReflowPages::ReflowPages(runtime::LibraryContext* context, pdf::Document& document, content::FontSource* fonts)
    : context_(context),
      document_(document),
      fonts_(fonts),
      unicode_(document),
      flags_(context),
      stamp_(nextStamp.fetch_add(1, std::memory_order_relaxed)) {}

ReflowPages::~ReflowPages() {
  // Every holder is gone: the render threads end before the region goes.
  for (Slot& slot : slots_) {
    slot.holds = 0;
    Drop(slot);
  }
}

void ReflowPages::Drop(Slot& slot) {
  if (slot.holds > 0) {
    slot.stale = true;
    return;
  }
  if (slot.reflowed != nullptr) runtime::DestroyAndFree(context_, slot.reflowed);
  slot = Slot{};
}

ReflowPages::Slot* ReflowPages::Find(int32_t page) {
  for (Slot& slot : slots_) {
    if (slot.reflowed != nullptr && !slot.stale && slot.page == page) return &slot;
  }
  return nullptr;
}

ReflowPages::Slot* ReflowPages::SlotOf(const content::ReflowPage* reflowed) {
  for (Slot& slot : slots_) {
    if (slot.reflowed == reflowed) return &slot;
  }
  return nullptr;
}

ReflowPages::Hold::Hold(ReflowPages& pages, int32_t page) : pages_(pages) {
  if (page < 0) return;
  model_ = pages.Model(page);
  if (model_ == nullptr) return;
  Slot* slot = pages.Find(page);
  if (slot == nullptr) {
    model_ = nullptr;
    return;
  }
  reflowed_ = slot->reflowed;
  ++slot->holds;
}

ReflowPages::Hold::~Hold() {
  if (reflowed_ == nullptr) return;
  Slot* slot = pages_.SlotOf(reflowed_);
  if (slot == nullptr || slot->holds == 0) return;
  --slot->holds;
  if (slot->holds == 0 && slot->stale) pages_.Drop(*slot);
}

void ReflowPages::SetColumn(runtime::Fixed width, runtime::Fixed height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  for (Slot& slot : slots_) Drop(slot);
}

content::ReflowPage* ReflowPages::Build(int32_t page) {
  content::ReflowPage* reflowed = nullptr;
  runtime::ErrorTrap trap(context_);
  if (!trap.Run([&] {
        reflowed = runtime::NewObject<content::ReflowPage>(context_, context_, document_, page, fonts_, &unicode_,
                                                           width_, height_);
      })) {
    trap.SetHandled();
    if (!trap.HoldsRecord() || runtime::IsCancelOrNoDataError(trap.Held())) trap.Rethrow();
    trap.Close();
    return nullptr;
  }
  ++builds_;
  runtime::ErrorTrap build(context_);
  if (!build.Run([&] { reflowed->Build(content::ReflowPage::PageStyle(kReflowFontSize)); })) {
    build.SetHandled();
    if (!build.HoldsRecord() || runtime::IsCancelOrNoDataError(build.Held())) {
      runtime::DestroyAndFree(context_, reflowed);
      build.Rethrow();
    }
    // What was shown before the error is placed and stays.
    build.Close();
  }
  // The page is laid out: repeats take the places of the runs they
  // repeat, then turned runs have their offsets mapped back.
  const auto& commands = reflowed->Model().Commands();
  runtime::ChargeWork(context_, static_cast<int32_t>(std::min<uint32_t>(commands.Size(), INT32_MAX)));
  for (content::ReflowCommand* command : commands) command->Complete();
  for (content::ReflowCommand* command : commands) command->Remap();
  return reflowed;
}

const content::ReflowModel* ReflowPages::Model(int32_t page) {
  ++uses_;
  if (Slot* kept = Find(page)) {
    kept->lastUse = uses_;
    return &kept->reflowed->Model();
  }
  // The column may change while the page reflows (the reflow yields):
  // a page reflowed into a column that is no longer wanted is not kept.
  const runtime::Fixed width = width_, height = height_;
  content::ReflowPage* reflowed = Build(page);
  if (reflowed == nullptr) return nullptr;
  Slot* oldest = nullptr;
  for (Slot& slot : slots_) {
    if (slot.holds > 0) continue;
    if (slot.reflowed == nullptr) {
      oldest = &slot;
      break;
    }
    if (oldest == nullptr || slot.lastUse < oldest->lastUse) oldest = &slot;
  }
  if (oldest == nullptr || width != width_ || height != height_) {
    runtime::DestroyAndFree(context_, reflowed);
    return nullptr;
  }
  Drop(*oldest);
  *oldest = Slot{page, reflowed, uses_, 0, false};
  return &reflowed->Model();
}

namespace {

runtime::Fixed ModelLength(const content::ReflowModel& model) {
  int32_t overflow = 0;
  return std::max(ReflowPages::kMinLength, runtime::FixedMulChecked(model.Height(), model.Unit(), overflow));
}

}  // namespace

runtime::RecordKey ReflowPages::SizeKey(int32_t page) const {
  ReflowSizeKeyInput input;
  input.page = page;
  input.horizontalMargin = horizontalMargin_;
  input.columnWidth = width_;
  input.rotation = viewRotation_;
  const int32_t pair[2] = {height_, stamp_};
  return ReflowSizeKey(input, pair, false);
}

runtime::Fixed ReflowPages::RememberedLength(int32_t page) const {
  if (known_ == nullptr) return kUnknownLength;
  const runtime::RecordCache::Ref record = known_->Find(SizeKey(page));
  return record ? static_cast<runtime::Fixed>(record->value) : kUnknownLength;
}

runtime::Fixed ReflowPages::KnownLength(int32_t page) {
  const runtime::Fixed remembered = RememberedLength(page);
  if (remembered != kUnknownLength) return remembered;
  if (Slot* kept = Find(page)) return ModelLength(kept->reflowed->Model());
  return kUnknownLength;
}

runtime::Fixed ReflowPages::Length(int32_t page) {
  const runtime::Fixed remembered = RememberedLength(page);
  if (remembered != kUnknownLength) return remembered;
  // The column may change while the page reflows: the length is
  // remembered only under the key it was reflowed for.
  const runtime::RecordKey key = SizeKey(page);
  const content::ReflowModel* model = Model(page);
  if (model == nullptr) return kMinLength;
  const runtime::Fixed length = ModelLength(*model);
  const runtime::RecordKey now = SizeKey(page);
  if (known_ != nullptr && !(key < now) && !(now < key)) {
    known_->Lookup(runtime::RecordRequest{key, static_cast<uint32_t>(length)});
  }
  return length;
}

uint8_t ReflowPages::PageFlag(int32_t page, bool load) {
  if (flags_.RunCount() == 0) flags_.Assign(0, INT32_MAX, kFlagUnknown);
  const uint8_t flag = flags_.Find(page);
  if (flag != kFlagUnknown || !load || page < 0) return flag;
  const content::ReflowModel* model = Model(page);
  // No model (every kept page held, or the column changed meanwhile) says
  // nothing of the page: it is asked again next time.
  if (model == nullptr) return flag;
  const uint8_t found = model->Runs().Size() == 0 ? kFlagDrawn : kFlagReflowed;
  flags_.Assign(page, page + 1, found);
  return found;
}

}  // namespace viewer
