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
  // Rectangles of at least this many pixels tabulate the trailing curves
  // (see trailing_), whose table is as large as such a rectangle.
  static constexpr int64_t kWholeTrailingPixels = 65536;
  // Entries of the trailing table per output channel: one per 16.16 value
  // in [0, 1.0].
  static constexpr uint32_t kTrailingEntries = 65537;

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
  template <uint32_t kInputs>
  void ConvertRows(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0, int32_t y0, int32_t x1,
                   int32_t y1);
  // Tabulates the trailing curves (once) when the chain ends in them.
  void TabulateTrailing();
  // Writes the bytes of `count` batch vectors that ran the chain up to the
  // trailing curves: from the table where every value lies in [0, 1.0],
  // through the curves themselves for the others.
  void TrailingToBytes(uint32_t count, uint8_t* const* pending, int32_t componentStep, const uint32_t* rows);
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
  // The chain's trailing run of one-channel stages (output curves and the
  // clamp), where it has one, and, once a large rectangle asks for it, the
  // byte it gives for every 16.16 value in [0, 1.0], per output channel
  // (kTrailingEntries each): exact, as every such value is tabulated.
  const IccStage* tail_ = nullptr;
  ContextArray<uint8_t> trailing_;
  // kBatch vectors, then kBatch more for values the table does not cover.
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
