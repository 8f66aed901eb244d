#pragma once
// Converters between colour spaces. A colour space makes one for a target
// space (ColorSpace::MakeConverter8 for 8-bit components,
// MakeConverterFixed for 16.16 components); it converts single pixels,
// rectangles of a pixel buffer, and applies the display gamma (encode:
// power 1/2.2, decode: power 2.2) in the converter's output space.
//
// Pixel pointers are typed by the converter's component type (uint8_t for
// 8-bit converters, Fixed for the Fixed ones); the component steps given
// with a pixel count components of that type. Buffer layouts count bytes.
#include <cstdint>
#include <utility>

#include "runtime/Fixed.h"
#include "runtime/LibraryContext.h"
#include "runtime/PixelBuffer.h"
#include "runtime/TransientBlocks.h"

namespace color {

using runtime::Fixed;

// A pixel buffer as the raster side describes it: the address of pixel
// (x, y) is base + offset + (x - originX) x pixelStep + (y - originY) x
// rowStep, and component c lies c x componentStep bytes further.
struct ColorBuffer {
  uint8_t* base = nullptr;
  int32_t originX = 0;
  int32_t originY = 0;
  int32_t offset = 0;
  int32_t componentStep = 1;
  int32_t pixelStep = 0;
  int32_t rowStep = 0;

  uint8_t* PixelAt(int32_t x, int32_t y) const {
    return base + offset + (static_cast<ptrdiff_t>(x) - originX) * pixelStep +
           (static_cast<ptrdiff_t>(y) - originY) * rowStep;
  }
};

// Sample scaling between bytes and 16.16 values: 255 is exactly 1.0 and
// back, 128 is 0x8081 and back.
constexpr Fixed ByteToFixed(uint32_t b) { return static_cast<Fixed>(b * 257 + (b >= 128 ? 1 : 0)); }
constexpr uint8_t FixedToByte(Fixed v) {
  return static_cast<uint8_t>(v >= 0x8000 ? (v - 1) >> 8 : v >> 8);
}
// A 16.16 value clamped to [0, 1.0] and scaled to a byte.
constexpr uint8_t ClampedFixedToByte(Fixed v) {
  return FixedToByte(v < 0 ? 0 : (v > runtime::kFixedOne ? runtime::kFixedOne : v));
}

// Component c of a pixel whose components lie `step` apart. A step may be
// negative (the raster device lays three components out from the highest
// byte down), so the offset is formed signed.
template <class T>
T& ComponentAt(T* pixel, uint32_t c, int32_t step) {
  return pixel[static_cast<ptrdiff_t>(c) * step];
}

class ColorConverter {
 public:
  enum ComponentType : int32_t { kBytes = 0, kFixed = 1 };

  ColorConverter(runtime::LibraryContext* context, ComponentType type) : context_(context), type_(type) {}
  virtual ~ColorConverter() = default;
  ColorConverter(const ColorConverter&) = delete;
  ColorConverter& operator=(const ColorConverter&) = delete;

  // Every pixel of [x0, x1) x [y0, y1), row by row.
  virtual void ConvertRect(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0, int32_t y0,
                           int32_t x1, int32_t y1);
  virtual void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) = 0;
  // One row of `width` pixels from the source cursor (at its first pixel,
  // with its channel and column steps) into the destination cursor: the
  // form pipeline stages call once per span.
  void ConvertRow(const runtime::SpanCursor& destination, int32_t width, const runtime::SpanCursor& source);
  // Pixels x0 .. x1 - 1 of the buffers' origin rows, each component raised
  // to the power 1/2.2 (encode) or 2.2 (decode) in the target's terms.
  virtual void EncodeSpan(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0, int32_t x1);
  virtual void EncodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) = 0;
  virtual void DecodeSpan(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0, int32_t x1);
  virtual void DecodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) = 0;

  ComponentType Type() const { return type_; }
  runtime::LibraryContext* Context() const { return context_; }

 protected:
  // The component step of a buffer in components of this converter's type.
  int32_t StepOf(const ColorBuffer& buffer) const {
    return type_ == kFixed ? buffer.componentStep / static_cast<int32_t>(sizeof(Fixed)) : buffer.componentStep;
  }

 private:
  using PixelOperation = void (ColorConverter::*)(void*, int32_t, const void*, int32_t);
  void WalkSpan(PixelOperation operation, const ColorBuffer& destination, const ColorBuffer& source, int32_t x0,
                int32_t x1);

  runtime::LibraryContext* context_;
  ComponentType type_;
};

// The owner of a converter: destroys it through its destructor and gives
// its block back to the context.
class ColorConverterPtr {
 public:
  ColorConverterPtr() = default;
  explicit ColorConverterPtr(ColorConverter* converter) : converter_(converter) {}
  ~ColorConverterPtr() { Reset(); }
  ColorConverterPtr(ColorConverterPtr&& other) noexcept : converter_(std::exchange(other.converter_, nullptr)) {}
  ColorConverterPtr& operator=(ColorConverterPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      converter_ = std::exchange(other.converter_, nullptr);
    }
    return *this;
  }
  ColorConverterPtr(const ColorConverterPtr&) = delete;
  ColorConverterPtr& operator=(const ColorConverterPtr&) = delete;

  void Reset() {
    if (ColorConverter* old = std::exchange(converter_, nullptr)) runtime::DestroyAndFree(old->Context(), old);
  }
  ColorConverter* Get() const { return converter_; }
  ColorConverter* operator->() const { return converter_; }
  ColorConverter& operator*() const { return *converter_; }
  explicit operator bool() const { return converter_ != nullptr; }

 private:
  ColorConverter* converter_ = nullptr;
};

// What converters written for either component type need of it: the
// converter type, the value of full intensity, the clamp a converter
// applies to what it reads, and a palette byte as a component.
template <class Component>
struct ComponentTraits;

template <>
struct ComponentTraits<uint8_t> {
  static constexpr ColorConverter::ComponentType kType = ColorConverter::kBytes;
  static constexpr uint8_t kOne = 255;
  static constexpr uint8_t Clamp(uint8_t v) { return v; }
  static constexpr uint8_t FromByte(uint8_t b) { return b; }
};

template <>
struct ComponentTraits<Fixed> {
  static constexpr ColorConverter::ComponentType kType = ColorConverter::kFixed;
  static constexpr Fixed kOne = runtime::kFixedOne;
  static constexpr Fixed Clamp(Fixed v) { return v < 0 ? 0 : (v > kOne ? kOne : v); }
  static constexpr Fixed FromByte(uint8_t b) { return ByteToFixed(b); }
};

// A converter that hands its result space's work to a converter it wraps:
// the encode and decode operations are the wrapped converter's.
class WrappingConverter : public ColorConverter {
 public:
  WrappingConverter(runtime::LibraryContext* context, ComponentType type, ColorConverterPtr wrapped)
      : ColorConverter(context, type), wrapped_(std::move(wrapped)) {}

  void EncodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override {
    wrapped_->EncodePixel(destination, destinationStep, source, sourceStep);
  }
  void DecodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override {
    wrapped_->DecodePixel(destination, destinationStep, source, sourceStep);
  }

 protected:
  ColorConverter& Wrapped() const { return *wrapped_; }

 private:
  ColorConverterPtr wrapped_;
};

// Builds a converter in the context's memory; an empty owner when the
// memory context cannot supply the block.
template <class T, class... Args>
ColorConverterPtr NewConverter(runtime::LibraryContext* context, Args&&... args) {
  return ColorConverterPtr(runtime::TryNewObject<T>(context, context, std::forward<Args>(args)...));
}

}  // namespace color
