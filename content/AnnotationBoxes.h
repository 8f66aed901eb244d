#pragma once
// The page's annotation scan for the text layout: the rectangles of the
// page's link annotations, in "Annots" order, as upright boxes. Text that
// lines up with one stays on its line across a wide gap, and the strings
// that meet one are recorded so that a link's text can be found.
#include <cstdint>

#include "content/OrientedBox.h"
#include "runtime/ArenaVector.h"
#include "runtime/ObjectHandle.h"

namespace content {

struct AnnotationBox {
  // Index of the annotation in the page's "Annots".
  uint32_t annotIndex = 0;
  OrientedBox box;
};

// A string that meets an annotation's box: the box's index in the scan
// and the content operation that showed the string.
struct AnnotationHit {
  uint32_t box = 0;
  uint32_t operation = 0;
};

struct AnnotationBoxes {
  // Links scanned at most: a page with more keeps the first ones.
  static constexpr uint32_t kMaxBoxes = 4096;

  // Appends the link rectangles of `page`. A malformed entry (no usable
  // "Rect", a mistyped "Subtype") is passed over; an empty rectangle gives
  // no box.
  static void Scan(const runtime::ObjectHandle& page, runtime::ArenaVector<AnnotationBox>& out);
  // Whether `text` lines up with `annotation`: the two overlap across the
  // line and each end of the text lies within `tolerance` of the box's end
  // along it.
  static bool LinesUp(const OrientedBox& text, const OrientedBox& annotation, int64_t tolerance);
};

}  // namespace content
