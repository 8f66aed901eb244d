#include "viewer/ActionRunner.h"

#include "pdf/Document.h"
#include "pdf/NameTree.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/HostServices.h"
#include "runtime/ObjectValue.h"
#include "runtime/Scheduler.h"
#include "viewer/PendingDestination.h"
#include "viewer/PageView.h"

namespace viewer {

using runtime::Dictionary;
using runtime::ObjectHandle;
using runtime::ObjectTag;

class ActionRunner::DepthScope {
 public:
  explicit DepthScope(ActionRunner& runner) : runner_(runner) {
    runtime::CheckStackSpace(runner.context_->scheduler);
    // The main thread has no stack check; the depth bounds a cycle there.
    if (runner.depth_ >= kMaxDepth) runtime::ThrowRuntime(runtime::kStackExhausted);
    ++runner.depth_;
  }
  ~DepthScope() { --runner_.depth_; }
  DepthScope(const DepthScope&) = delete;
  DepthScope& operator=(const DepthScope&) = delete;

 private:
  ActionRunner& runner_;
};

ActionRunner::ActionRunner(runtime::LibraryContext* context, pdf::Document& document, PageView& view,
                           runtime::HostServices* host)
    : context_(context), document_(document), view_(view), host_(host) {}

ObjectHandle ActionRunner::LookUpName(std::string_view name) {
  const ObjectHandle dests = Dictionary::Get(document_.GetRoot(), "Dests");
  if (dests.Tag() != ObjectTag::kDictionary) runtime::ThrowMalformed();
  const ObjectHandle value = Dictionary::Get(dests, name);
  if (value.IsNull()) runtime::ThrowMalformed();
  return value;
}

ObjectHandle ActionRunner::LookUpString(std::string_view key) {
  const ObjectHandle names = Dictionary::Get(document_.GetRoot(), "Names");
  if (names.Tag() != ObjectTag::kDictionary) runtime::ThrowMalformed();
  const ObjectHandle tree = Dictionary::Get(names, "Dests");
  if (tree.Tag() != ObjectTag::kDictionary) runtime::ThrowMalformed();
  return pdf::NameTree::Lookup(tree, key);
}

void ActionRunner::GoToResolved(const ObjectHandle& value, int32_t currentPage) {
  ObjectHandle array = value.Resolved();
  if (array.Tag() != ObjectTag::kArray) {
    if (array.Tag() != ObjectTag::kDictionary) runtime::ThrowMalformed();
    array = Dictionary::Get(array, "D");
    if (array.Tag() != ObjectTag::kArray) runtime::ThrowMalformed();
  }
  view_.GoToDestinationArray(document_, array, currentPage);
}

void ActionRunner::LookupNamedDestination(const ObjectHandle& value, int32_t currentPage) {
  DepthScope depth(*this);
  const ObjectHandle v = value.Resolved();
  switch (v.Tag()) {
    case ObjectTag::kName: GoToResolved(LookUpName(v->AsName().View()), currentPage); break;
    case ObjectTag::kString: GoToResolved(LookUpString(v->AsString().View()), currentPage); break;
    case ObjectTag::kArray: view_.GoToDestinationArray(document_, v, currentPage); break;
    case ObjectTag::kDictionary: ExecuteAction(v, currentPage); break;
    default: break;
  }
}

void ActionRunner::ExecuteAction(const ObjectHandle& action, int32_t currentPage) {
  DepthScope depth(*this);
  const ObjectHandle type = Dictionary::Get(action, "S");
  if (type.Tag() != ObjectTag::kName) runtime::ThrowMalformed();
  const std::string_view kind = type->AsName().View();
  if (kind == "GoTo") {
    const ObjectHandle target = Dictionary::GetRequired(action, "D");
    // A dictionary is no go-to target (it would otherwise run as an action).
    if (target.Tag() == ObjectTag::kDictionary) runtime::ThrowMalformed();
    LookupNamedDestination(target, currentPage);
  } else if (kind == "GoToR") {
    PendingDestination target(context_);
    target.Fill(Dictionary::GetRequired(action, "D"));
    Dictionary::GetRequired(action, "F");
    if (host_ != nullptr) runtime::RunOnMainStack(context_, [&] { host_->OnRemoteGoTo(); });
  } else if (kind == "URI") {
    if (Dictionary::Get(action, "URI").Tag() != ObjectTag::kString) runtime::ThrowMalformed();
    if (host_ != nullptr) runtime::RunOnMainStack(context_, [&] { host_->OnOpenUri(); });
  }
  const ObjectHandle next = Dictionary::GetOptionalDict(action, "Next");
  if (!next.IsNull()) ExecuteAction(next, view_.CurrentPage());
}

void ActionRunner::FollowOutlineItem(const ObjectHandle& item) {
  const ObjectHandle action = Dictionary::GetOptionalDict(item, "A");
  if (!action.IsNull()) {
    ExecuteAction(action, view_.CurrentPage());
    return;
  }
  const ObjectHandle dest = Dictionary::Get(item, "Dest");
  if (!dest.IsNull()) LookupNamedDestination(dest, view_.CurrentPage());
}

void ActionRunner::FollowLink(int32_t page, const ObjectHandle& link) {
  if (Dictionary::Get(link, "Subtype").IsNull() && Dictionary::Get(link, "S").Tag() == ObjectTag::kName) {
    ExecuteAction(link, page);
    return;
  }
  const ObjectHandle action = Dictionary::GetOptionalDict(link, "A");
  if (!action.IsNull()) {
    ExecuteAction(action, page);
    return;
  }
  LookupNamedDestination(Dictionary::Get(link, "Dest"), page);
}

void ActionRunner::ApplyPendingDestination(const PendingDestination& target) {
  if (target.HasInitialPage()) view_.GoToPage(target.InitialPage(), false);
  switch (target.kind()) {
    case PendingDestination::kName: GoToResolved(LookUpName(target.Name()), 0); break;
    case PendingDestination::kString: GoToResolved(LookUpString(target.Name()), 0); break;
    case PendingDestination::kExplicit: view_.GoToDestinationArray(document_, target.ExplicitDestination(), 0); break;
    case PendingDestination::kNothing: break;
  }
}

}  // namespace viewer
