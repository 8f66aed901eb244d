#pragma once
// MMR (group 4 two-dimensional) decoding of JBIG2 bitmaps: generic regions,
// collective symbol and pattern bitmaps and halftone bit planes.
#include "streams/jbig2/Jbig2Bitmap.h"
#include "streams/jbig2/Jbig2Cursor.h"

namespace streams {

class MmrDecoder {
 public:
  // Decodes the bitmap's rows from the cursor (at a byte boundary) and
  // leaves the cursor at the byte after the last one used. Returns 0, or
  // 13 when `expectEndOfBlock` is set and no end-of-block code follows the
  // last row. Codes that fit no table, and changing elements that run
  // backwards, throw (runtime, 2).
  static int Decode(Jbig2Cursor* cursor, Jbig2Bitmap* bitmap, bool expectEndOfBlock);
};

}  // namespace streams
