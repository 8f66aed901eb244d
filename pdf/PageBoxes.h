#pragma once
// A page's boxes and rotation, inherited through the page tree.
#include <cstdint>

#include "runtime/ObjectHandle.h"
#include "runtime/Rect.h"

namespace pdf {

class PageBoxes {
 public:
  // "MediaBox" when absent anywhere or without area.
  static constexpr runtime::Rect kDefaultMediaBox{0, 0, runtime::FixedFromInt(612),
                                                  runtime::FixedFromInt(792)};

  // The media box, normalised.
  runtime::Rect media;
  // The media box clipped by the crop box (a crop box without area counts
  // as none): the part of the page shown.
  runtime::Rect box;
  // Degrees clockwise, one of 0, 90, 180, 270.
  int32_t rotation = 0;

  // (runtime, 2) for a box that is not an array of at least four numbers,
  // or a "Rotate" that is not an integer multiple of 90.
  static PageBoxes Read(const runtime::ObjectHandle& page);
  // Points per unit of the page's user space ("UserUnit"): 1 unless the
  // page gives a positive number.
  static runtime::Fixed ReadUnit(const runtime::ObjectHandle& page);
  // `degrees` reduced to 0..359; (runtime, 2) when it is not a multiple of 90.
  static int32_t NormaliseRotation(int32_t degrees);
};

}  // namespace pdf
