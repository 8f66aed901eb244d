#include "raster/OutputConverter565.h"

namespace raster {

void Rgb565Tables::Build() {
  for (uint32_t i = 0; i < 264; ++i) {
    red[i] = static_cast<uint16_t>(((15 + 31 * i) / 255) << 11);
    blue[i] = static_cast<uint16_t>((15 + 31 * i) / 255);
  }
  for (uint32_t i = 0; i < 260; ++i) green[i] = static_cast<uint16_t>(((31 + 63 * i) / 255) << 5);
  // The slots past the last index a dither offset reaches (263 and 259)
  // repeat the full value rather than overflow their field.
  red[263] = red[262];
  blue[263] = blue[262];
  green[259] = green[258];
}

const Rgb565Tables* Rgb565Tables::Create(runtime::ArenaAllocator& arena) {
  auto* tables = static_cast<Rgb565Tables*>(arena.Alloc(sizeof(Rgb565Tables)));
  tables->Build();
  return tables;
}

namespace {

template <Combine565 combine, ByteOrder565 order>
OutputConverter565* Choose(runtime::ArenaAllocator& arena, const PixelFormatDesc& format) {
  const Rgb565Tables* tables = Rgb565Tables::Create(arena);
  if (format.Is3x2Tag4()) {
    return runtime::NewInArena<Converter565<combine, order, Source565::kBgrx>>(arena, format, tables);
  }
  if (format.Is3x2Tag0()) {
    return runtime::NewInArena<Converter565<combine, order, Source565::kConstant>>(arena, format, tables);
  }
  return runtime::NewInArena<Converter565<combine, order, Source565::kGeneric>>(arena, format, tables);
}

}  // namespace

OutputConverter565* OutputConverter565::Create(runtime::ArenaAllocator& arena,
                                               const PixelFormatDesc& format) {
  return Choose<Combine565::kStore, ByteOrder565::kNative>(arena, format);
}

OutputConverter565* OutputConverter565::CreateSwapped(runtime::ArenaAllocator& arena,
                                                      const PixelFormatDesc& format) {
  return Choose<Combine565::kStore, ByteOrder565::kSwapped>(arena, format);
}

OutputConverter565* OutputConverter565::CreateXor(runtime::ArenaAllocator& arena,
                                                  const PixelFormatDesc& format, bool zeroPlane) {
  if (zeroPlane) return runtime::NewInArena<NullConverter565>(arena);
  return Choose<Combine565::kXor, ByteOrder565::kNative>(arena, format);
}

OutputConverter565* OutputConverter565::CreateXorSwapped(runtime::ArenaAllocator& arena,
                                                         const PixelFormatDesc& format,
                                                         bool zeroPlane) {
  if (zeroPlane) return runtime::NewInArena<NullConverter565>(arena);
  return Choose<Combine565::kXor, ByteOrder565::kSwapped>(arena, format);
}

}  // namespace raster
