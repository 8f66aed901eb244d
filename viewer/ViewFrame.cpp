#include "viewer/ViewFrame.h"

#include "runtime/Fixed.h"

namespace viewer {
namespace {

int64_t NegateFrameValue(int64_t v) { return v == INT64_MIN ? INT64_MAX : -v; }

}  // namespace

Point64 Point64::Rotate(int32_t rotation, const Point64& p) {
  switch (rotation) {
    case 0:
      return p;
    case 90:
      return {NegateFrameValue(p.y), p.x};
    case 180:
      return {NegateFrameValue(p.x), NegateFrameValue(p.y)};
    default:
      return {p.y, NegateFrameValue(p.x)};
  }
}

runtime::Rect64 ViewFrame::MapRect(const ViewFrame& frame, const runtime::Rect64& r) {
  return runtime::Rect64::OffsetSaturating(runtime::Rect64::Rotate(frame.rotation, r),
                                           frame.origin.x, frame.origin.y);
}

Point64 ViewFrame::FromLocal(const ViewFrame& frame, const Point64& p) {
  const Point64 turned = Point64::Rotate(frame.rotation, p);
  return {runtime::Int64::AddSaturating(turned.x, frame.origin.x),
          runtime::Int64::AddSaturating(turned.y, frame.origin.y)};
}

}  // namespace viewer
