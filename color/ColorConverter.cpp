#include "color/ColorConverter.h"

namespace color {

void ColorConverter::ConvertRect(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0, int32_t y0,
                                 int32_t x1, int32_t y1) {
  const int32_t destinationStep = StepOf(destination);
  const int32_t sourceStep = StepOf(source);
  for (int32_t y = y0; y < y1; ++y) {
    uint8_t* out = destination.PixelAt(x0, y);
    const uint8_t* in = source.PixelAt(x0, y);
    for (int32_t x = x0; x < x1; ++x) {
      ConvertPixel(out, destinationStep, in, sourceStep);
      out += destination.pixelStep;
      in += source.pixelStep;
    }
  }
}

namespace {

ColorBuffer RowOf(const runtime::SpanCursor& cursor) {
  ColorBuffer buffer;
  buffer.base = cursor.pixel;
  buffer.offset = cursor.firstOffset;
  buffer.componentStep = cursor.channelStep;
  buffer.pixelStep = cursor.columnStep;
  return buffer;
}

}  // namespace

void ColorConverter::ConvertRow(const runtime::SpanCursor& destination, int32_t width,
                                const runtime::SpanCursor& source) {
  if (width > 0) ConvertRect(RowOf(destination), RowOf(source), 0, 0, width, 1);
}

void ColorConverter::WalkSpan(PixelOperation operation, const ColorBuffer& destination, const ColorBuffer& source,
                              int32_t x0, int32_t x1) {
  const int32_t destinationStep = StepOf(destination);
  const int32_t sourceStep = StepOf(source);
  uint8_t* out = destination.PixelAt(x0, destination.originY);
  const uint8_t* in = source.PixelAt(x0, source.originY);
  for (int32_t x = x0; x < x1; ++x) {
    (this->*operation)(out, destinationStep, in, sourceStep);
    out += destination.pixelStep;
    in += source.pixelStep;
  }
}

void ColorConverter::EncodeSpan(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0, int32_t x1) {
  WalkSpan(&ColorConverter::EncodePixel, destination, source, x0, x1);
}

void ColorConverter::DecodeSpan(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0, int32_t x1) {
  WalkSpan(&ColorConverter::DecodePixel, destination, source, x0, x1);
}

}  // namespace color
