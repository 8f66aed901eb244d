#pragma once
// Renders a scan converter's coverage over its whole target into a byte
// image (0 empty, 255 full, the converter's byte where partial), walking the
// runs exactly as the pipeline driver does.
#include <cstdint>
#include <vector>

#include "raster/PathScanConverter.h"

namespace testsupport {

inline std::vector<uint8_t> RenderCoverage(raster::ScanConverter& converter) {
  const runtime::IntRect t = converter.Target();
  const int32_t width = t.x1 - t.x0;
  std::vector<uint8_t> image(static_cast<size_t>(width) * static_cast<size_t>(t.y1 - t.y0), 0);
  for (int32_t y = t.y0; y < t.y1; ++y) {
    converter.BeginRow(y);
    int32_t x = t.x0;
    while (x < t.x1) {
      const int32_t end = converter.CoverageRun(x, t.x1);
      uint8_t* row = image.data() + static_cast<size_t>(y - t.y0) * width;
      for (int32_t i = x; i < end; ++i) {
        switch (converter.Kind()) {
          case raster::RunKind::kEmpty: row[i - t.x0] = 0; break;
          case raster::RunKind::kFull: row[i - t.x0] = 255; break;
          case raster::RunKind::kPartial: row[i - t.x0] = converter.CoverageAt(i); break;
        }
      }
      x = end;
    }
  }
  return image;
}

}  // namespace testsupport
