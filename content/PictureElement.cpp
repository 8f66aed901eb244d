#include "content/PictureElement.h"

#include "content/ReflowDevice.h"
#include "content/ReflowModel.h"

namespace content {

void PictureElement::MakeBreak() {
  notInk_ = true;
  if (record_.device != nullptr) record_.device->ParkPicture(record_);
}

void PictureElement::Place(runtime::Fixed x, runtime::Fixed y, bool) {
  if (notInk_) return;
  if (record_.device != nullptr) record_.device->PlacePicture(record_, x, y, runtime::kFixedOne, placed_);
}

}  // namespace content
