#pragma once
// Where a page's one red rectangle landed on the screen, and whether the
// view's page matrix (which links, marks and the selection use) puts it
// there too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/Fixed.h"
#include "runtime/Matrix.h"
#include "tests/support/SmallPdfFile.h"
#include "viewer/PageView.h"

namespace viewertest {

// A one-page document of `width` x `height` points whose only content is
// a red rectangle "x y w h re f"; `entries` are more page entries.
inline std::string RedRectPdf(int width, int height, const std::string& entries, const std::string& rect) {
  return testsupport::SmallPdfFile({
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(width) + " " + std::to_string(height) + "] " +
          entries + " /Contents 4 0 R >>",
      testsupport::StreamBody("", "1 0 0 rg " + rect + " re f"),
  });
}

struct PixelBox {
  int x0, y0, x1, y1;
  bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

// The bounds of the clearly red pixels of an RGB canvas.
inline PixelBox RedPixelBounds(const std::vector<uint8_t>& rgb, int width, int height) {
  PixelBox box{width, height, 0, 0};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* px = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      if (px[0] < 200 || px[1] > 60 || px[2] > 60) continue;
      box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1), std::max(box.y1, y + 1)};
    }
  }
  return box;
}

// The page rectangle (x0, y0)-(x1, y1) in points, mapped by page 0's
// page-to-view matrix, lies on `drawn` within a pixel.
inline void ExpectPageMatrixCovers(viewer::PageView& view, int x0, int y0, int x1, int y1, const PixelBox& drawn) {
  runtime::Matrix m;
  ASSERT_TRUE(view.PageToViewMatrix(0, m));
  const runtime::Rect mapped = runtime::Matrix::TransformRectBounds(
      {runtime::FixedFromInt(x0), runtime::FixedFromInt(y0), runtime::FixedFromInt(x1), runtime::FixedFromInt(y1)}, m);
  EXPECT_NEAR(runtime::FixedToDouble(mapped.x0), drawn.x0, 1.0);
  EXPECT_NEAR(runtime::FixedToDouble(mapped.y0), drawn.y0, 1.0);
  EXPECT_NEAR(runtime::FixedToDouble(mapped.x1), drawn.x1, 1.0);
  EXPECT_NEAR(runtime::FixedToDouble(mapped.y1), drawn.y1, 1.0);
}

}  // namespace viewertest
