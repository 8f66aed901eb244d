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
  // The implementing subsystem's own object behind this interface when
  // `family` is that subsystem's tag (the address of a constant it owns),
  // else null: an implementation finds its own type behind a target without
  // run-time type information, and refuses a target of another kind.
  virtual const void* ImplementationOf(const void* family) const {
    (void)family;
    return nullptr;
  }

  // The two questions an image source chain asks to place its conversion
  // before or after reducing the image by averaging: samples that are
  // palette indices cannot be averaged, and a conversion that is not linear
  // in its inputs gives other colours for averages than averages of colours.
  virtual bool SamplesAreIndices() const { return false; }
  virtual bool ConvertsNonlinearly() const { return false; }

 protected:
  ~ColorSpace() = default;
};

}  // namespace raster
