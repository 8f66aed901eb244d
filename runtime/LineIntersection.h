#pragma once
// Where two lines, or two segments, meet.
#include "runtime/Fixed.h"

namespace runtime {

// The intersection of the line through p0 and p1 with the line through p2
// and p3. In segment mode both segments must cross (a touching end counts)
// and the point is clamped to the first segment. Returns false for
// parallel lines, segments that miss, or a point that does not fit.
bool LineIntersection(Fixed& outX, Fixed& outY, Fixed x0, Fixed y0, Fixed x1, Fixed y1,
                      Fixed x2, Fixed y2, Fixed x3, Fixed y3, bool segmentMode);

inline bool SegmentIntersect(Fixed& outX, Fixed& outY, Fixed x0, Fixed y0, Fixed x1, Fixed y1,
                             Fixed x2, Fixed y2, Fixed x3, Fixed y3) {
  return LineIntersection(outX, outY, x0, y0, x1, y1, x2, y2, x3, y3, true);
}

inline bool LineIntersect(Fixed& outX, Fixed& outY, Fixed x0, Fixed y0, Fixed x1, Fixed y1,
                          Fixed x2, Fixed y2, Fixed x3, Fixed y3) {
  return LineIntersection(outX, outY, x0, y0, x1, y1, x2, y2, x3, y3, false);
}

}  // namespace runtime
