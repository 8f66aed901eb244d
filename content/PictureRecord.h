#pragma once
// What a reflowed picture keeps until it is placed: its run, its area on
// the page, how page space reaches the view, and the links over it. An
// image among the text and a segment laid out whole share it.
#include <cstdint>

#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace content {

class ReflowDevice;
struct RunRecord;

struct PictureRecord {
  ReflowDevice* device = nullptr;
  RunRecord* run = nullptr;
  // Page space.
  runtime::Rect box;
  // Page space to the view's space (identity for an image among text).
  runtime::Matrix view;
  bool startsSegment = false;
  // The links over it: [linkFirst, linkFirst + linkCount) of the device's
  // link index list.
  uint32_t linkFirst = 0;
  uint32_t linkCount = 0;

  // Its area in the view's space: what the column lays out.
  runtime::Rect ViewBox() const { return runtime::Matrix::TransformRectBounds(box, view); }
};

}  // namespace content
