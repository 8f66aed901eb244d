#include "content/SegmentPicture.h"

#include "content/ReflowDevice.h"

namespace content {

void SegmentPicture::Place(runtime::Fixed x, runtime::Fixed y, runtime::Fixed scale, bool firstInLine) {
  if (record_.device != nullptr) record_.device->PlacePicture(record_, x, y, scale, firstInLine);
}

}  // namespace content
