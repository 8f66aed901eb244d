#pragma once
// Rendered pages as RGB pixels, read from PNG files, and their comparison
// with a reference rendering: the PSNR after a 3 x 3 box blur of both, so
// that anti-aliasing differences do not dominate.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace pageimages {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // RGB, row by row
};

inline bool ReadPng(const std::string& path, RgbImage& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&png, path.c_str()) == 0) return false;
  png.format = PNG_FORMAT_RGB;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.pixels.resize(PNG_IMAGE_SIZE(png));
  const bool read = png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr) != 0;
  png_image_free(&png);
  return read;
}

// The 3 x 3 box blur of the image's w x h top-left part, each pixel the
// mean of its neighbours inside that part, times 9 (integer sums: separable,
// a row pass and a column pass).
inline std::vector<double> Blurred(const RgbImage& image, int w, int h) {
  std::vector<int> rows(static_cast<size_t>(w) * h * 3), counts(static_cast<size_t>(w));
  for (int x = 0; x < w; ++x) counts[x] = 1 + (x > 0) + (x + 1 < w);
  for (int y = 0; y < h; ++y) {
    const uint8_t* in = &image.pixels[static_cast<size_t>(y) * image.width * 3];
    int* out = &rows[static_cast<size_t>(y) * w * 3];
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) {
        int sum = in[x * 3 + c];
        if (x > 0) sum += in[(x - 1) * 3 + c];
        if (x + 1 < w) sum += in[(x + 1) * 3 + c];
        out[x * 3 + c] = sum;
      }
  }
  std::vector<double> out(rows.size());
  for (int y = 0; y < h; ++y) {
    const int above = y > 0 ? 1 : 0, below = y + 1 < h ? 1 : 0;
    for (int x = 0; x < w; ++x) {
      const double count = counts[x] * (1 + above + below);
      for (int c = 0; c < 3; ++c) {
        const size_t at = (static_cast<size_t>(y) * w + x) * 3 + c;
        int sum = rows[at];
        if (above) sum += rows[at - static_cast<size_t>(w) * 3];
        if (below) sum += rows[at + static_cast<size_t>(w) * 3];
        out[at] = sum / count;
      }
    }
  }
  return out;
}

// PSNR over the common part of the two images (sizes may differ by the
// rounding of the page size to pixels); 99 for identical images.
inline double Psnr(const RgbImage& ours, const RgbImage& reference) {
  const int w = std::min(ours.width, reference.width), h = std::min(ours.height, reference.height);
  if (w <= 0 || h <= 0) return 0.0;
  const std::vector<double> a = Blurred(ours, w, h), b = Blurred(reference, w, h);
  double squares = 0;
  for (size_t i = 0; i < a.size(); ++i) squares += (a[i] - b[i]) * (a[i] - b[i]);
  const double mse = squares / static_cast<double>(a.size());
  return mse <= 1e-10 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace pageimages
