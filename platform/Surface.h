#pragma once
// A rectangle of pixels in one of the device's formats (16-bit RGB565,
// 24-bit BGR, 32-bit BGRX), with the drawing operations the GDI needs.
// Rows may run bottom-up: pitch is then negative.
#include <cstddef>
#include <cstdint>

#include "platform/Types.h"

namespace platform {

struct Rgb {
  uint8_t red;
  uint8_t green;
  uint8_t blue;
};

struct Surface {
  uint8_t* top = nullptr;  // first byte of the top row
  int width = 0;
  int height = 0;
  ptrdiff_t pitch = 0;  // bytes from one row to the next one down
  int bitsPerPixel = 16;

  uint8_t* Row(int y) const { return top + pitch * y; }
  int BytesPerPixel() const { return bitsPerPixel / 8; }
  RECT Bounds() const { return RECT{0, 0, width, height}; }
};

Rgb ColorOf(COLORREF color);
Rgb ReadPixel(const Surface& surface, int x, int y);
void WritePixel(const Surface& surface, int x, int y, Rgb color);

// Sums of caller coordinates are taken wide and brought back into the range
// of an int, so extreme coordinates clamp instead of overflowing.
int ClampToInt(int64_t value);

// All operations clip to the surfaces' bounds.
void FillSurface(const Surface& surface, const RECT& rect, Rgb color);
// Copies source (at sourceX, sourceY) into rect of target, converting the
// format when the two differ; overlapping copies within one surface work.
void CopySurface(const Surface& target, const RECT& rect, const Surface& source, int sourceX, int sourceY);
// Nearest-neighbour scaling of a source rectangle onto a target rectangle;
// equal sizes copy exactly.
void StretchSurface(const Surface& target, const RECT& targetRect, const Surface& source, const RECT& sourceRect,
                    const RECT& clip);
// Blends a coverage mask (one byte per pixel, 255 = solid) in one colour.
void BlendMask(const Surface& target, int x, int y, const uint8_t* mask, int maskWidth, int maskHeight,
               ptrdiff_t maskPitch, Rgb color, const RECT& clip);

bool IntersectRect(const RECT& a, const RECT& b, RECT& out);
bool IsEmptyRect(const RECT& rect);

}  // namespace platform
