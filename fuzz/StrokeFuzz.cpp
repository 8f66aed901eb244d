// libFuzzer entry: stroking arbitrary paths (any 16.16 coordinates, curves,
// closes) with a style and matrix taken from the first bytes, and reading
// the coverage back.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "raster/PaintObject.h"
#include "raster/PathEdges.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"

namespace {

int32_t Word(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return static_cast<int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 40) return 0;
  static runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 1 << 16, 4096);
  runtime::ErrorTrap trap(&context);
  if (!trap.Run([&] {
        runtime::StrokeStyle style(&context);
        style.width = Word(data);
        style.miterLimit = Word(data + 4);
        style.lineCap = data[8] % 4;
        style.lineJoin = data[9] % 4;
        const runtime::Fixed dashes[3] = {Word(data + 10), Word(data + 14), Word(data + 18)};
        style.SetDash({dashes, static_cast<size_t>(data[22] % 4)}, Word(data + 23));
        const runtime::Matrix matrix{Word(data + 27) >> (data[31] % 16), 0, 0,
                                     Word(data + 27) >> (data[31] % 16), 0, 0};
        raster::StoredPath path(arena);
        for (size_t i = 32; i + 8 <= size && i < 32 + 8 * 256; i += 8) {
          const runtime::FixedPoint p{Word(data + i), Word(data + i + 4)};
          switch ((p.x ^ p.y) & 7) {
            case 0:
              path.MoveTo(p);
              break;
            case 1:
              path.CurveTo(p, {p.y, p.x}, {p.x / 2, p.y});
              break;
            case 2:
              path.Close();
              break;
            default:
              path.LineTo(p);
              break;
          }
        }
        raster::ScanConverter* coverage =
            raster::PaintObject::CreateStroke(&context, arena, {0, 0, 64, 64}, path.Points(), style, matrix);
        for (int32_t y = 0; y < 64; ++y) {
          coverage->BeginRow(y);
          for (int32_t x = 0; x < 64;) x = coverage->CoverageRun(x, 64);
        }
      })) {
    trap.SetHandled();
    trap.Close();
  }
  return 0;
}
