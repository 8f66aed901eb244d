#pragma once
// "CCITTFaxDecode": group 3 and group 4 facsimile data to packed rows of
// (Columns + 7) / 8 bytes.
#include <optional>

#include "streams/FilterBase.h"
#include "streams/ccitt/CcittDecoder.h"

namespace streams {

class FilterParameters;

class CcittFaxFilter final : public FilterBase {
 public:
  // Reads Rows, Columns, K, DamagedRowsBeforeError, EncodedByteAlign,
  // EndOfBlock, EndOfLine and BlackIs1; a Columns value out of range throws
  // (runtime, 2).
  static CcittParams ReadParams(const FilterParameters* params);

  CcittFaxFilter(LibraryContext* context, StreamRef source, const CcittParams& params);
  ~CcittFaxFilter() override;
  uint32_t Decode(uint8_t* buffer, uint32_t capacity) override;
  void Restart(uint64_t position) override;
  uint32_t MemorySize() const override;

 private:
  static bool Refill(void* user, const uint8_t** begin, const uint8_t** end);
  void Start();
  // Puts the whole bytes the bit reader took but did not use back into the
  // source block, so that the source position stays after the data.
  void GiveBackUnused();

  CcittParams params_;
  const uint8_t* chunkBegin_ = nullptr;
  std::optional<FaxBitReader> bits_;
  std::optional<CcittDecoder> decoder_;
  uint8_t* row_ = nullptr;
  int32_t rowBytes_ = 0;
  int32_t rowPosition_ = 0;
  bool finished_ = false;
};

}  // namespace streams
