#pragma once
// What the raster code needs of a colour space. The colour subsystem, which
// sits above this one, implements it; the raster device keeps one for its
// colour plane and asks it for converters when a pipeline reads in another
// space.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/PixelConverter.h"

namespace raster {

class ColorSpace {
 public:
  virtual int32_t ComponentCount() const = 0;
  // True when the components are colorants (more ink is darker): paper is
  // then 0, not 1, and blend modes work on complemented values.
  virtual bool IsSubtractive() const = 0;
  // A converter from this space into `target`, allocated in the arena for
  // one paint.
  virtual runtime::PixelConverter* MakeConverter(runtime::ArenaAllocator& arena, const ColorSpace& target) = 0;

 protected:
  ~ColorSpace() = default;
};

}  // namespace raster
