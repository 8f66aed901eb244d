#pragma once
// Converters from an ICC profile to another through an IccTransform: the
// 8-bit converter with its direct-mapped pixel cache, and the 16.16
// converter with its input ranges.
#include <cstdint>

#include "color/ColorConverter.h"
#include "color/ContextArray.h"
#include "color/IccTransform.h"

namespace color {

class IccProfile;

class IccConverter8 final : public ColorConverter {
 public:
  // Rows of the pixel cache: 512 for three inputs, else 256.
  static constexpr uint32_t kRowsForThreeInputs = 512;
  static constexpr uint32_t kRows = 256;
  // Cache misses of a rectangle run through the chain in batches of this
  // many pixels.
  static constexpr uint32_t kBatch = 256;
  // Rectangles of at least this many pixels tabulate the leading curves
  // for every input byte first.
  static constexpr int64_t kWholeLeadingPixels = 4096;

  // Takes the transform from `source` to `destination` (reused when the
  // source's last one fits, else built and kept there).
  IccConverter8(runtime::LibraryContext* context, IccProfile& source, IccProfile& destination, int32_t intent,
                int32_t cacheMode, bool linear);

  void ConvertRect(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0, int32_t y0, int32_t x1,
                   int32_t y1) override;
  void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void EncodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void DecodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;

  IccTransform& Transform() const { return *transform_; }

 private:
  void Convert(uint8_t* out, int32_t outStep, const uint8_t* in, int32_t inStep);
  // The value of input channel c for byte b after the chain's leading
  // one-channel curves, computed on first use.
  Fixed LeadingCurves(uint32_t c, uint32_t b);
  uint32_t inputs_;
  uint32_t outputs_;
  IccTransformRef transform_;
  // Row r: its key in keys_[r], its bytes at values_[r * 4].
  ContextArray<uint32_t> keys_;
  ContextArray<uint8_t> values_;
  ContextArray<Fixed> ranges_;
  // The chain's leading curves, tabulated per input byte, and where the
  // rest of the chain starts.
  const IccStage* rest_ = nullptr;
  ContextArray<Fixed> leading_;
  uint64_t leadingFilled_[kMaxColorChannels][4] = {};
  bool leadingComplete_ = false;
  ContextArray<Fixed> batch_;
};

class IccConverterFixed final : public ColorConverter {
 public:
  IccConverterFixed(runtime::LibraryContext* context, IccProfile& source, IccProfile& destination, int32_t intent,
                    int32_t cacheMode, bool linear);

  void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void EncodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void DecodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;

  IccTransform& Transform() const { return *transform_; }

 private:
  uint32_t inputs_;
  uint32_t outputs_;
  IccTransformRef transform_;
  // (minimum, maximum) per input; empty when inputs are taken as [0, 1.0].
  ContextArray<Fixed> ranges_;
};

}  // namespace color
