#include "viewer/BusyHold.h"

#include "viewer/Viewer.h"

namespace viewer {

BusyHold::BusyHold(Viewer* viewer, uint8_t reason) : viewer_(nullptr), reason_(reason) {
  viewer->BeginBusy(reason);
  // Registered only once the state is held: a BeginBusy that fails holds
  // nothing to end.
  viewer_ = viewer;
  node_.Register(viewer->context, &BusyHold::Release);
}

void BusyHold::Release(runtime::CleanupNode* node) {
  auto* self = reinterpret_cast<BusyHold*>(node);
  Viewer* viewer = self->viewer_;
  if (viewer == nullptr) return;
  self->viewer_ = nullptr;
  node->Unlink();
  viewer->EndBusy(self->reason_);
}

}  // namespace viewer
