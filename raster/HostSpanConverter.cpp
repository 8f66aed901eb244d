#include "raster/HostSpanConverter.h"

namespace raster {

namespace {

template <bool exclusiveOr>
HostSpanConverter* ForKind(runtime::ArenaAllocator& arena, int32_t kind,
                           const runtime::PixelFormatDesc& format) {
  switch (kind) {
    case runtime::kHostBgr24:
      return runtime::NewInArena<Converter888<3, 2, 1, 0, exclusiveOr>>(arena, format);
    case runtime::kHostBgrx32:
      return runtime::NewInArena<Converter888<4, 2, 1, 0, exclusiveOr>>(arena, format);
    case runtime::kHostXrgb32:
      return runtime::NewInArena<Converter888<4, 1, 2, 3, exclusiveOr>>(arena, format);
    default:
      return nullptr;
  }
}

}  // namespace

HostSpanConverter* HostSpanConverter::Create(runtime::ArenaAllocator& arena, int32_t kind,
                                             const runtime::PixelFormatDesc& format,
                                             bool exclusiveOr, bool zeroPlane) {
  if (kind < runtime::kHostBgr24 || kind > runtime::kHostXrgb32) return nullptr;
  if (exclusiveOr && zeroPlane) return runtime::NewInArena<NullHostSpanConverter>(arena);
  return exclusiveOr ? ForKind<true>(arena, kind, format) : ForKind<false>(arena, kind, format);
}

}  // namespace raster
