#include "platform/Surface.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace platform {
namespace {

uint16_t Pack565(Rgb color) {
  return static_cast<uint16_t>(((color.red >> 3) << 11) | ((color.green >> 2) << 5) | (color.blue >> 3));
}

Rgb Unpack565(uint16_t value) {
  const auto red = static_cast<uint8_t>((value >> 11) & 0x1F);
  const auto green = static_cast<uint8_t>((value >> 5) & 0x3F);
  const auto blue = static_cast<uint8_t>(value & 0x1F);
  return Rgb{static_cast<uint8_t>((red << 3) | (red >> 2)), static_cast<uint8_t>((green << 2) | (green >> 4)),
             static_cast<uint8_t>((blue << 3) | (blue >> 2))};
}

}  // namespace

bool IntersectRect(const RECT& a, const RECT& b, RECT& out) {
  out = RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (out.left >= out.right || out.top >= out.bottom) {
    out = RECT{};
    return false;
  }
  return true;
}

bool IsEmptyRect(const RECT& rect) { return rect.left >= rect.right || rect.top >= rect.bottom; }

Rgb ColorOf(COLORREF color) { return Rgb{GetRValue(color), GetGValue(color), GetBValue(color)}; }

Rgb ReadPixel(const Surface& surface, int x, int y) {
  const uint8_t* pixel = surface.Row(y) + static_cast<ptrdiff_t>(x) * surface.BytesPerPixel();
  if (surface.bitsPerPixel == 16) {
    uint16_t value;
    std::memcpy(&value, pixel, 2);
    return Unpack565(value);
  }
  return Rgb{pixel[2], pixel[1], pixel[0]};
}

void WritePixel(const Surface& surface, int x, int y, Rgb color) {
  uint8_t* pixel = surface.Row(y) + static_cast<ptrdiff_t>(x) * surface.BytesPerPixel();
  if (surface.bitsPerPixel == 16) {
    const uint16_t value = Pack565(color);
    std::memcpy(pixel, &value, 2);
    return;
  }
  pixel[0] = color.blue;
  pixel[1] = color.green;
  pixel[2] = color.red;
  if (surface.bitsPerPixel == 32) pixel[3] = 0;
}

int ClampToInt(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

void FillSurface(const Surface& surface, const RECT& rect, Rgb color) {
  RECT area;
  if (!IntersectRect(rect, surface.Bounds(), area)) return;
  const int bytes = surface.BytesPerPixel();
  // One row is made pixel by pixel, the others are copies of it.
  uint8_t* first = surface.Row(area.top) + static_cast<ptrdiff_t>(area.left) * bytes;
  for (int x = area.left; x < area.right; ++x) WritePixel(surface, x, area.top, color);
  const size_t rowBytes = static_cast<size_t>(area.right - area.left) * static_cast<size_t>(bytes);
  for (int y = area.top + 1; y < area.bottom; ++y) {
    std::memcpy(surface.Row(y) + static_cast<ptrdiff_t>(area.left) * bytes, first, rowBytes);
  }
}

void CopySurface(const Surface& target, const RECT& rect, const Surface& source, int sourceX, int sourceY) {
  // Clip the destination against both surfaces.
  RECT area;
  if (!IntersectRect(rect, target.Bounds(), area)) return;
  const int64_t dx = int64_t{sourceX} - rect.left, dy = int64_t{sourceY} - rect.top;
  const RECT sourceArea{ClampToInt(area.left + dx), ClampToInt(area.top + dy), ClampToInt(area.right + dx),
                        ClampToInt(area.bottom + dy)};
  RECT visible;
  if (!IntersectRect(sourceArea, source.Bounds(), visible)) return;
  area = RECT{area.left + visible.left - sourceArea.left, area.top + visible.top - sourceArea.top,
              area.right + visible.right - sourceArea.right, area.bottom + visible.bottom - sourceArea.bottom};
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (target.bitsPerPixel == source.bitsPerPixel) {
    const int bytes = target.BytesPerPixel();
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(bytes);
    const bool sameMemory = target.top == source.top;
    // Within one surface, copy rows in the order that never reads a row
    // after it was overwritten.
    const bool upwards = sameMemory && visible.top < area.top;
    for (int i = 0; i < height; ++i) {
      const int row = upwards ? height - 1 - i : i;
      std::memmove(target.Row(area.top + row) + static_cast<ptrdiff_t>(area.left) * bytes,
                   source.Row(visible.top + row) + static_cast<ptrdiff_t>(visible.left) * bytes, rowBytes);
    }
    return;
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      WritePixel(target, area.left + x, area.top + y, ReadPixel(source, visible.left + x, visible.top + y));
    }
  }
}

void StretchSurface(const Surface& target, const RECT& targetRect, const Surface& source, const RECT& sourceRect,
                    const RECT& clip) {
  const int64_t targetWidth = int64_t{targetRect.right} - targetRect.left;
  const int64_t targetHeight = int64_t{targetRect.bottom} - targetRect.top;
  const int64_t sourceWidth = int64_t{sourceRect.right} - sourceRect.left;
  const int64_t sourceHeight = int64_t{sourceRect.bottom} - sourceRect.top;
  if (targetWidth == 0 || targetHeight == 0 || sourceWidth == 0 || sourceHeight == 0) return;
  if (targetWidth == sourceWidth && targetHeight == sourceHeight && targetWidth > 0 && targetHeight > 0) {
    RECT area;
    if (!IntersectRect(targetRect, clip, area)) return;
    CopySurface(target, area, source, ClampToInt(int64_t{sourceRect.left} + area.left - targetRect.left),
                ClampToInt(int64_t{sourceRect.top} + area.top - targetRect.top));
    return;
  }
  // Negative sizes mirror, as on the device.
  const RECT ordered{std::min(targetRect.left, targetRect.right), std::min(targetRect.top, targetRect.bottom),
                     std::max(targetRect.left, targetRect.right), std::max(targetRect.top, targetRect.bottom)};
  RECT area;
  if (!IntersectRect(ordered, clip, area) || !IntersectRect(area, target.Bounds(), area)) return;
  const int64_t absTargetWidth = std::abs(targetWidth);
  const int64_t absTargetHeight = std::abs(targetHeight);
  std::vector<int> columns(static_cast<size_t>(area.right - area.left));
  for (int x = area.left; x < area.right; ++x) {
    int64_t offset = int64_t{x} - ordered.left;
    if ((targetWidth < 0) != (sourceWidth < 0)) offset = absTargetWidth - 1 - offset;
    const int64_t sourceOffset = (2 * offset + 1) * std::abs(sourceWidth) / (2 * absTargetWidth);
    columns[static_cast<size_t>(x - area.left)] = ClampToInt(std::min(sourceRect.left, sourceRect.right) + sourceOffset);
  }
  for (int y = area.top; y < area.bottom; ++y) {
    int64_t offset = int64_t{y} - ordered.top;
    if ((targetHeight < 0) != (sourceHeight < 0)) offset = absTargetHeight - 1 - offset;
    const int sourceY = ClampToInt(std::min(sourceRect.top, sourceRect.bottom) +
                                   (2 * offset + 1) * std::abs(sourceHeight) / (2 * absTargetHeight));
    if (sourceY < 0 || sourceY >= source.height) continue;
    for (int x = area.left; x < area.right; ++x) {
      const int sourceX = columns[static_cast<size_t>(x - area.left)];
      if (sourceX < 0 || sourceX >= source.width) continue;
      WritePixel(target, x, y, ReadPixel(source, sourceX, sourceY));
    }
  }
}

void BlendMask(const Surface& target, int x, int y, const uint8_t* mask, int maskWidth, int maskHeight,
               ptrdiff_t maskPitch, Rgb color, const RECT& clip) {
  RECT area;
  if (!IntersectRect(RECT{x, y, ClampToInt(int64_t{x} + maskWidth), ClampToInt(int64_t{y} + maskHeight)}, clip, area) ||
      !IntersectRect(area, target.Bounds(), area)) {
    return;
  }
  for (int row = area.top; row < area.bottom; ++row) {
    const uint8_t* coverage = mask + (row - y) * maskPitch;
    for (int column = area.left; column < area.right; ++column) {
      const int alpha = coverage[column - x];
      if (alpha == 0) continue;
      if (alpha == 255) {
        WritePixel(target, column, row, color);
        continue;
      }
      const Rgb under = ReadPixel(target, column, row);
      const auto mix = [alpha](int below, int above) {
        return static_cast<uint8_t>(below + ((above - below) * alpha + 127) / 255);
      };
      WritePixel(target, column, row,
                 Rgb{mix(under.red, color.red), mix(under.green, color.green), mix(under.blue, color.blue)});
    }
  }
}

}  // namespace platform
