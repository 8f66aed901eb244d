#include "viewer/PageViewBusy.h"

#include "viewer/Viewer.h"

namespace viewer {

bool PageViewBusy::Set(bool deferred, uint32_t value) {
  if (deferred) {
    pending_ = value;
    pendingPresent_ = true;
    return true;
  }
  pendingPresent_ = false;
  const uint32_t before = value_;
  value_ = value;
  if (viewer_ != nullptr) {
    if (before == 0 && value != 0) viewer_->BeginBusy(kBusyPageView);
    if (before != 0 && value == 0) viewer_->EndBusy(kBusyPageView);
  }
  return false;
}

void PageViewBusy::ApplyPending() {
  if (pendingPresent_) Set(false, pending_);
}

}  // namespace viewer
