#include "viewer/DocumentSelection.h"

namespace viewer {

void DocumentSelection::NotifyBefore() {
  for (uint32_t i = 0; i < listenerCount_; ++i) listeners_[i]->BeforeSelectionChange();
}

void DocumentSelection::NotifyAfter() {
  for (uint32_t i = 0; i < listenerCount_; ++i) listeners_[i]->AfterSelectionChange();
}

void DocumentSelection::Set(const runtime::TextRange& range) {
  if (has_ && runtime::TextPosition::Equals(range_.start, range.start) &&
      runtime::TextPosition::Equals(range_.end, range.end)) {
    return;
  }
  NotifyBefore();
  range_ = range;
  has_ = true;
  NotifyAfter();
}

void DocumentSelection::Clear() {
  NotifyBefore();
  range_.Clear();
  has_ = false;
  NotifyAfter();
}

bool DocumentSelection::AddListener(SelectionListener* listener) {
  if (listenerCount_ >= kMaxListeners) return false;
  listeners_[listenerCount_++] = listener;
  return true;
}

void DocumentSelection::RemoveListener(SelectionListener* listener) {
  for (uint32_t i = 0; i < listenerCount_; ++i) {
    if (listeners_[i] != listener) continue;
    for (uint32_t j = i + 1; j < listenerCount_; ++j) listeners_[j - 1] = listeners_[j];
    --listenerCount_;
    return;
  }
}

}  // namespace viewer
