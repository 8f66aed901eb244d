#include "streams/jbig2/MmrDecoder.h"

#include "runtime/ErrorTrap.h"
#include "runtime/Jbig2Heap.h"
#include "streams/ccitt/FaxBitReader.h"
#include "streams/ccitt/FaxRowDecoder.h"

namespace streams {
namespace {

// Two EOL codes in a row.
constexpr uint32_t kEndOfBlock = 0x001001;

}  // namespace

int MmrDecoder::Decode(Jbig2Cursor* cursor, Jbig2Bitmap* bitmap, bool expectEndOfBlock) {
  FaxBitReader bits(cursor->pos, cursor->end);
  const auto width = static_cast<int32_t>(bitmap->width);
  const int64_t entries = FaxRowDecoder::StorageEntries(width);
  auto* storage = static_cast<int32_t*>(
      runtime::Jbig2Heap::Alloc(static_cast<size_t>(entries) * sizeof(int32_t)));
  // Run ends past the width are cut at the width: an encoder may code the
  // last run of a row longer than the row.
  FaxRowDecoder rows(width, storage, /*clamp=*/true, /*allowUncompressed=*/false);
  bool endOfBlockSeen = false;
  for (uint32_t y = 0; y < bitmap->height && width > 0; ++y) {
    const FaxRowDecoder::Status status = rows.DecodeTwoDimensional(bits);
    if (status == FaxRowDecoder::Status::kEndOfLine) {
      // The end-of-block code ends the bitmap; the rows left stay white.
      if (bits.Peek(24) == kEndOfBlock) bits.Skip(24);
      endOfBlockSeen = true;
      break;
    }
    if (status == FaxRowDecoder::Status::kInvalid) {
      runtime::Jbig2Heap::Free(storage);
      runtime::ThrowRuntime(runtime::kMalformed);
    }
    rows.WriteRow(bitmap->Row(y), static_cast<int32_t>(bitmap->rowBytes), true);
    rows.EndRow();
  }
  runtime::Jbig2Heap::Free(storage);
  int result = 0;
  if (expectEndOfBlock && !endOfBlockSeen) {
    if (bits.Peek(24) == kEndOfBlock) {
      bits.Skip(24);
    } else {
      result = 13;
    }
  }
  cursor->pos = bits.NextBytePosition();
  if (cursor->pos > cursor->end) cursor->pos = cursor->end;
  cursor->bitPos = 8;
  return result;
}

}  // namespace streams
