#pragma once
// What the viewer lays a page out with before its content has been read.
#include <cstdint>

#include "runtime/Rect.h"

namespace pdf {

struct PageInfo {
  // 1 while the record is a copy of another page's record or the default,
  // 0 once the page itself has been read.
  uint8_t estimated = 1;
  int32_t rotation = 0;
  // The media box clipped by the crop box, in default user space.
  runtime::Rect box;

  // The estimated byte takes no part: a page read to be what it was
  // guessed to be changes nothing on screen.
  friend bool operator==(const PageInfo& a, const PageInfo& b) {
    return a.rotation == b.rotation && a.box == b.box;
  }
};

}  // namespace pdf
