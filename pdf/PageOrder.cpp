#include "pdf/PageOrder.h"

#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"

namespace pdf {
namespace {

using runtime::ObjectHandle;
using runtime::ObjectReference;
using runtime::ObjectTag;
using runtime::ObjectValue;

enum class Kind { kNode, kPage, kSkip };

// As PageTree::Classify, but a "Type" that is no name makes the kid one to
// pass over rather than an error that would end the walk.
Kind KindOf(const ObjectValue& kid) {
  const ObjectValue* type = runtime::Dictionary::FindByName(kid, "Type");
  if (!type->IsNull()) {
    if (!type->Is(ObjectTag::kName)) return Kind::kSkip;
    if (type->payload.bytes->Equals("Pages")) return Kind::kNode;
    if (type->payload.bytes->Equals("Page")) return Kind::kPage;
    return Kind::kSkip;
  }
  return runtime::Dictionary::FindByName(kid, "Count")->IsNull() ? Kind::kPage : Kind::kNode;
}

}  // namespace

PageOrder::PageOrder(Document& document, ObjectHandle root, uint32_t rootNumber)
    : document_(document),
      root_(std::move(root)),
      rootNumber_(rootNumber),
      pages_(document.Context(), document.Context(), 0) {}

bool PageOrder::OnPath(uint32_t number) const {
  if (number == rootNumber_ && rootNumber_ != 0) return true;
  for (uint32_t i = 1; i < depth_; ++i) {
    if (frames_[i].node.number == number) return true;
  }
  return false;
}

ObjectHandle PageOrder::KidsOf(const Frame& frame) {
  ObjectHandle node = frame.node.number == 0
                          ? root_
                          : document_.GetObject(frame.node.number, frame.node.generation);
  ObjectHandle kids = runtime::Dictionary::Get(node, "Kids");
  return kids.Tag() == ObjectTag::kArray ? kids : ObjectHandle();
}

bool PageOrder::Advance() {
  if (finished_) return false;
  if (!started_) {
    started_ = true;
    kids_ = KidsOf(Frame{});
    if (kids_.IsNull()) {
      // A root without kids is a tree of no pages.
      finished_ = true;
      return false;
    }
    frames_[0] = Frame{{}, 0, runtime::Array::Count(kids_)};
    depth_ = 1;
  }
  runtime::LibraryContext* context = document_.Context();
  while (depth_ > 0) {
    Frame& frame = frames_[depth_ - 1];
    if (frame.next >= frame.count) {
      --depth_;
      kids_ = depth_ > 0 ? KidsOf(frames_[depth_ - 1]) : ObjectHandle();
      continue;
    }
    if (kids_.IsNull()) kids_ = KidsOf(frame);
    // The node may have been reloaded with fewer kids than first seen.
    if (kids_.IsNull() || frame.next >= runtime::Array::Count(kids_)) {
      frame.next = frame.count;
      continue;
    }
    const ObjectValue& raw = kids_->AsArray().items[frame.next++];
    runtime::ChargeWork(context, runtime::kWorkCostLight);
    if (++kidsSeen_ > kMaxKids) break;
    if (!raw.Is(ObjectTag::kReference)) continue;
    const ObjectReference reference = raw.AsReference();
    ObjectHandle kid = document_.GetObject(reference.number, reference.generation);
    if (kid.Tag() != ObjectTag::kDictionary) continue;
    switch (KindOf(kid.Value())) {
      case Kind::kPage:
        pages_.Append(reference);
        return true;
      case Kind::kNode: {
        if (depth_ >= DepthBudget::kSteps - 1 || OnPath(reference.number)) break;
        ObjectHandle kids = runtime::Dictionary::Get(kid, "Kids");
        if (kids.Tag() != ObjectTag::kArray) break;
        frames_[depth_++] = Frame{reference, 0, runtime::Array::Count(kids)};
        kids_ = std::move(kids);
        break;
      }
      case Kind::kSkip: break;
    }
  }
  depth_ = 0;
  kids_ = ObjectHandle();
  finished_ = true;
  return false;
}

bool PageOrder::Find(int32_t index, ObjectReference* out) {
  if (index < 0) return false;
  while (pages_.Size() <= static_cast<uint32_t>(index)) {
    if (!Advance()) return false;
  }
  *out = pages_[static_cast<uint32_t>(index)];
  return true;
}

int32_t PageOrder::IndexOf(const ObjectReference& page) {
  const auto same = [&](const ObjectReference& r) {
    return r.number == page.number && r.generation == page.generation;
  };
  for (uint32_t i = 0; i < pages_.Size(); ++i) {
    if (same(pages_[i])) return static_cast<int32_t>(i);
  }
  while (Advance()) {
    if (same(pages_[pages_.Size() - 1])) return static_cast<int32_t>(pages_.Size() - 1);
  }
  return -1;
}

int32_t PageOrder::CountAll() {
  while (Advance()) {
  }
  return static_cast<int32_t>(pages_.Size());
}

}  // namespace pdf
