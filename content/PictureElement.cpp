#include "content/PictureElement.h"

#include "content/ReflowModel.h"

namespace content {

void PictureElement::MakeBreak() {
  notInk_ = true;
  model_.PlaceInRun(run_, {box_.x0, box_.y0}, ReflowModel::kParked, ReflowModel::kParked, true);
}

void PictureElement::Place(runtime::Fixed x, runtime::Fixed y, bool) {
  // The box's lower-left corner sits on the line's baseline.
  model_.PlaceInRun(run_, {box_.x0, box_.y0}, x, y, true);
}

}  // namespace content
