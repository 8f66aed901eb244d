// libFuzzer entry: a text-showing operator on hostile numbers. The first
// bytes give the matrices, font size, spacings and render mode; the rest
// are the shown string, painted (or clipped) into a small page device.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "raster/ConstantSources.h"
#include "raster/Renderer.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "tests/raster/StubFont.h"
#include "tests/raster/TestColorSpace.h"

namespace {

// A 16.16 value from four input bytes, any bit pattern allowed.
runtime::Fixed FuzzFixed(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return static_cast<runtime::Fixed>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kHeader = 4 * 16 + 1;
  if (size < kHeader) return 0;
  static rastertest::StubFont font;
  static runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 65536, 4096);
  runtime::ErrorTrap trap(&context);
  if (!trap.Run([&] {
        raster::TextState text;
        text.font = &font;
        text.fontSize = FuzzFixed(data);
        text.charSpacing = FuzzFixed(data + 4);
        text.wordSpacing = FuzzFixed(data + 8);
        text.horizontalScale = FuzzFixed(data + 12);
        text.rise = FuzzFixed(data + 16);
        text.renderMode = data[64] & 7;
        font.vertical = (data[64] & 8) != 0;
        const runtime::Matrix textMatrix{FuzzFixed(data + 16), FuzzFixed(data + 20), FuzzFixed(data + 24),
                                         FuzzFixed(data + 28), FuzzFixed(data + 32), FuzzFixed(data + 36)};
        const runtime::Matrix device{FuzzFixed(data + 40), FuzzFixed(data + 44), FuzzFixed(data + 48),
                                     FuzzFixed(data + 52), FuzzFixed(data + 56), FuzzFixed(data + 60)};
        raster::RasterDevice* page = raster::RasterDevice::CreateForTarget(
            &context, arena, {0, 0, 64, 64}, &rastertest::TestColorSpace::Rgb());
        raster::Renderer renderer(&context, arena, *page);
        renderer.SetFillSource(raster::SolidColorSource::FromRgbFixed(arena, 0, 0, 0));
        renderer.glyphDrawing = (data[64] & 16) != 0 ? raster::GlyphDrawing::kBoxes : raster::GlyphDrawing::kGlyphs;
        font.noBitmaps = (data[64] & 32) != 0;
        raster::GlyphRun run(&context, arena, text, textMatrix, device);
        run.ShowString(data + kHeader, static_cast<uint32_t>(size - kHeader));
        renderer.ShowGlyphs(run);
        renderer.EndText();
        raster::RasterDevice::FillRegion(*page, {0, 0, 64, 64}, renderer.ClipNode(), 0, 0, 0);
      })) {
    trap.SetHandled();
    trap.Close();
  }
  return 0;
}
