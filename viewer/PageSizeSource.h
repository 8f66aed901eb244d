#pragma once
// What the page layout needs to know of the document's pages: their count,
// their records (box and rotation) and the largest page seen so far. The
// document's page-information table answers it in the viewer; tests give
// fixed sizes.
#include <cstdint>

#include "pdf/PageInfo.h"
#include "runtime/Fixed.h"

namespace viewer {

class PageSizeSource {
 public:
  virtual ~PageSizeSource() = default;
  virtual int32_t PageCount() const = 0;
  // The page's record; `index` is within 0..PageCount()-1.
  virtual pdf::PageInfo Page(int32_t index) = 0;
  // The largest width and height of the pages seen, after their rotation
  // and the view rotation, in points.
  virtual runtime::Fixed LargestWidth() const = 0;
  virtual runtime::Fixed LargestHeight() const = 0;
  // The view turned: the largest size answers for the new rotation.
  virtual void SetViewRotation(int32_t degrees) { (void)degrees; }
};

}  // namespace viewer
