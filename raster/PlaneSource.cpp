#include "raster/PlaneSource.h"

namespace raster {

PlaneSource::PlaneSource(runtime::ArenaAllocator& arena, const PixelTriple& planes)
    : planes_(PixelTriple::CopyOf(arena, planes)) {
  InitHeader(1, &planes_, kUnboundedPixels, kSingleVariant | kNotRowClient);
}

}  // namespace raster
