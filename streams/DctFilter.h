#pragma once
// "DCTDecode" over the JPEG library (6b interface, decompression only). The
// library's memory comes from the memory context and its errors become
// error records: its error exit jumps back to this filter's wrapper, which
// throws from there, so no error ever unwinds through the library's frames.
// Output is one scanline per block.
#include <cstdint>

#include "streams/FilterBase.h"

namespace streams {

struct DctDecoder;

// Reduced-size decoding: before the first block, a factor of 1, 2, 4 or 8
// divides the output size (rounding up); any other request returns 1 and
// changes nothing.
class DctScaling {
 public:
  virtual uint32_t RequestReduction(uint32_t factor) = 0;

 protected:
  ~DctScaling() = default;
};

class DctFilter final : public FilterBase {
 public:
  // Reads the JPEG header; an empty or malformed header throws (runtime, 2).
  DctFilter(LibraryContext* context, StreamRef source);
  ~DctFilter() override;

  BlockRef FillBlock() override;
  // Reads one scanline into `buffer` (which must hold a whole row) and
  // returns its size.
  uint32_t Decode(uint8_t* buffer, uint32_t capacity) override;
  void Restart(uint64_t position) override;
  uint32_t MemorySize() const override;

  DctScaling* Scaling();
  uint32_t Width() const;
  uint32_t Height() const;
  uint32_t Components() const;
  // Warnings the library raised (a premature end of data, for instance);
  // they are not errors.
  uint32_t WarningCount() const;
  int32_t FirstWarning() const;

 private:
  friend struct DctDecoder;

  void CreateDecoder();
  void DestroyDecoder();
  void StartIfNeeded();
  void ReadRow(uint8_t* row);
  [[noreturn]] void ThrowRecorded();

  // Lives as long as the filter (a restart replaces the decoder, not this).
  class ReductionRequest final : public DctScaling {
   public:
    explicit ReductionRequest(DctFilter* filter) : filter_(filter) {}
    uint32_t RequestReduction(uint32_t factor) override;

   private:
    DctFilter* filter_;
  };

  DctDecoder* decoder_ = nullptr;
  // The granted reduction factor; a restart decodes at the same size.
  uint32_t reduction_ = 1;
  ReductionRequest scaling_{this};
};

}  // namespace streams
