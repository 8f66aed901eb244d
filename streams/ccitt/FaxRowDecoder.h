#pragma once
// Decodes one row of facsimile coding, one- or two-dimensional, into the
// row's changing elements: the positions where the colour changes, starting
// from white, followed by the width as a terminator. The previous row's
// list is the reference of two-dimensional coding. Shared by the CCITTFax
// filter and the JBIG2 decoder's MMR regions; what each does with a row
// that goes wrong is its own business.
#include <cstdint>

#include "streams/ccitt/FaxBitReader.h"

namespace streams {

class FaxRowDecoder {
 public:
  enum class Status {
    kComplete,    // the row holds exactly `width` pixels
    kEndOfLine,   // an EOL stands where a code was expected (not consumed)
    kInvalid,     // no valid code, a run past the width, a changing element
                  // before the previous one or too many of them
  };

  // Entries of storage the caller provides for a row of `width` pixels.
  static int64_t StorageEntries(int32_t width) { return 2 * (int64_t{width} + kSlack); }

  // `storage` holds StorageEntries(width) entries. With `clamp`, run ends
  // past the width are cut at the width instead of failing the row.
  FaxRowDecoder(int32_t width, int32_t* storage, bool clamp, bool allowUncompressed);

  // Makes the reference row all white.
  void ResetReference();
  Status DecodeOneDimensional(FaxBitReader& bits);
  Status DecodeTwoDimensional(FaxBitReader& bits);
  // Makes the row just decoded (complete or not) the reference of the next
  // one; an incomplete row is taken as decoded so far, white after that.
  void EndRow();
  // Replaces the current row by one white run.
  void MakeRowWhite() { codingCount_ = 0; }

  // Writes the current row: `rowBytes` bytes, black pixels as `blackValue`,
  // bits past the width 0.
  void WriteRow(uint8_t* row, int32_t rowBytes, bool blackValue) const;
  // Sets the black pixels of the current row in a row whose other pixels
  // are already 0.
  void PaintBlack(uint8_t* row) const;

  int32_t width() const { return width_; }

 private:
  // Room after the changing elements for the terminators that stop a scan.
  static constexpr int32_t kSlack = 4;

  bool Append(int32_t position);
  // Reads one run of the given colour; -1 when no valid code ends it.
  int32_t ReadRun(FaxBitReader& bits, bool black, Status* failure);
  // Uncompressed mode: appends pixels from `*position` until its exit code.
  Status ReadUncompressed(FaxBitReader& bits, int32_t* position, bool* black);
  int32_t CurrentEnd() const;

  int32_t width_;
  bool clamp_;
  bool allowUncompressed_;
  int32_t* reference_;
  int32_t* coding_;
  int32_t referenceCount_ = 0;
  int32_t codingCount_ = 0;
  int32_t capacity_;
};

}  // namespace streams
