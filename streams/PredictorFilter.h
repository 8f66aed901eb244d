#pragma once
// The predictor stage behind a Flate or LZW filter: TIFF predictor 2 and
// the PNG row filters (Predictor 10 to 15, where each row's tag decides).
#include "streams/FilterBase.h"

namespace streams {

class FilterParameters;

struct PredictorParams {
  int32_t predictor = 1;
  int32_t columns = 1;
  int32_t bitsPerComponent = 8;
  int32_t colors = 1;
};

class PredictorFilter final : public FilterBase {
 public:
  // DeviceN images may have up to 32 components.
  static constexpr int32_t kMaxColors = 32;
  // Rows beyond this many bytes are refused rather than allocated.
  static constexpr uint64_t kMaxRowBytes = uint64_t{1} << 26;

  // Reads "Predictor", "Columns", "BitsPerComponent" (inline also "BPC")
  // and "Colors"; all absent means the defaults.
  static PredictorParams ReadParams(const FilterParameters* params, bool allowAbbreviations);
  // Puts a predictor stage on the chain unless Predictor is 1. Invalid
  // parameters throw (runtime, 2); a row size that overflows throws
  // (runtime, 1).
  static void Create(LibraryContext* context, StreamRef& chain, const PredictorParams& params);

  PredictorFilter(LibraryContext* context, StreamRef source, const PredictorParams& params,
                  uint32_t rowBytes);
  ~PredictorFilter() override;

  uint32_t Decode(uint8_t* buffer, uint32_t capacity) override;
  void Restart(uint64_t position) override;
  uint32_t MemorySize() const override;

 private:
  uint32_t DecodePng(uint8_t* out, uint32_t room);
  uint32_t DecodeTiff(uint8_t* out, uint32_t room);

  bool png_;
  uint32_t bitsPerComponent_;
  uint32_t rowBytes_;
  uint32_t bytesPerPixel_;
  uint32_t rowPosition_ = 0;
  int32_t tag_ = -1;
  uint8_t* current_;
  uint8_t* previous_;
};

}  // namespace streams
