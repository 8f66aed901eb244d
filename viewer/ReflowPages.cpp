#include "viewer/ReflowPages.h"

#include <algorithm>

#include "content/ReflowPage.h"
#include "pdf/Document.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"

namespace viewer {

namespace {

// Line spacing of the reflowed text: a fifth of this size below each line.
constexpr runtime::Fixed kReflowFontSize = 10 << 16;

}  // namespace

ReflowPages::ReflowPages(runtime::LibraryContext* context, pdf::Document& document, content::FontSource* fonts)
    : context_(context), document_(document), fonts_(fonts), unicode_(document) {}

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

runtime::Fixed ReflowPages::Length(int32_t page) {
  const content::ReflowModel* model = Model(page);
  if (model == nullptr) return kMinLength;
  int32_t overflow = 0;
  return std::max(kMinLength, runtime::FixedMulChecked(model->Height(), model->Unit(), overflow));
}

}  // namespace viewer
