#pragma once
// The decoding core of the CCITTFax filter: group 3 (one-dimensional and
// mixed) and group 4 facsimile data in, packed rows out. It reads through a
// FaxBitReader, so the filter can feed it block by block and a test can
// hand it one byte span.
#include <cstddef>
#include <cstdint>

#include "streams/ccitt/FaxBitReader.h"
#include "streams/ccitt/FaxRowDecoder.h"

namespace runtime {
class LibraryContext;
}

namespace streams {

struct CcittParams {
  int32_t rows = 0;  // 0: unknown
  int32_t columns = 1728;
  int32_t k = 0;     // < 0 two-dimensional, 0 one-dimensional, > 0 mixed
  int32_t damagedRowsBeforeError = 0;
  bool encodedByteAlign = false;
  bool endOfBlock = true;
  bool endOfLine = false;
  bool blackIs1 = false;
};

class CcittDecoder {
 public:
  // Widest row accepted; a larger Columns value is malformed rather than a
  // request for gigabytes of row buffers.
  static constexpr int32_t kMaxColumns = 1 << 20;

  // Throws (runtime, 2) when Columns is below 1 or above kMaxColumns.
  CcittDecoder(runtime::LibraryContext* context, const CcittParams& params, FaxBitReader& bits);
  ~CcittDecoder();
  CcittDecoder(const CcittDecoder&) = delete;
  CcittDecoder& operator=(const CcittDecoder&) = delete;

  int32_t RowBytes() const { return rowBytes_; }
  // Decodes the next row into `row` (RowBytes() bytes). False once the data
  // has ended; the rows given out so far stand.
  bool ReadRow(uint8_t* row);
  int32_t RowsDecoded() const { return rowsDecoded_; }

 private:
  enum class Start { kRow, kEnd, kDamaged };

  bool IsEndOfLineHere() { return bits_.Peek(12) == 1; }
  // Skips to the next EOL and leaves it unread; false when none is left.
  bool SeekEndOfLine();
  bool EndTestPasses();
  Start HandleRowStart();
  // Judges a damaged row; true when decoding goes on.
  bool AfterDamagedRow();
  FaxRowDecoder::Status DecodeRow();

  runtime::LibraryContext* context_;
  CcittParams params_;
  FaxBitReader& bits_;
  int32_t* storage_ = nullptr;
  FaxRowDecoder rows_;
  int32_t rowBytes_;
  int32_t rowsDecoded_ = 0;
  int32_t damagedRows_ = 0;
  int32_t consecutiveDamaged_ = 0;
  bool previousDamaged_ = false;
  bool finished_ = false;
};

}  // namespace streams
