#pragma once
// The sample rows of an image, one packed row at a time, from its decoded
// data. Rows are handed out in place when they lie within one block; a
// truncated image yields one zero-padded row where its data ends.
#include <cstdint>

#include "streams/BlockSource.h"
#include "streams/ChainedStream.h"

namespace streams {

struct ImageGeometry {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerComponent = 8;
  int32_t components = 1;
};

struct ImageRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

class ImageRowSource {
 public:
  // Rows beyond this many bytes are refused (runtime, 1).
  static constexpr uint64_t kMaxRowBytes = uint64_t{1} << 28;
  // Work charged per row handed out.
  static constexpr int32_t kWorkPerRow = 100000;

  // Throws (runtime, 2) for a geometry with no pixels or no bits.
  ImageRowSource(LibraryContext* context, const ImageGeometry& geometry, StreamRef stream);
  virtual ~ImageRowSource();
  ImageRowSource(const ImageRowSource&) = delete;
  ImageRowSource& operator=(const ImageRowSource&) = delete;

  // The next row's bytes, valid until the next call; the caller must not
  // write through it. After the padded short row, (runtime, 2).
  virtual const uint8_t* NextRow();
  virtual ImageRect Rect() const { return rect_; }
  virtual uint32_t RowBytes() const { return rowBytes_; }
  // Replaces the rectangle and recomputes the row size from its width.
  virtual void SetRect(const ImageRect& rect);

  // Rows past the end of the data are all zero, as the short row is,
  // instead of (runtime, 2): a painter shows what a truncated image holds.
  // At most kMaxPaddedRows of them: an image whose data end that far before
  // its height (a height of 2^31 over a few bytes) is refused all the same
  // rather than drawn from billions of empty rows.
  void PadPastEnd() { padPastEnd_ = true; }
  static constexpr uint32_t kMaxPaddedRows = 65536;

  // Every row of the rectangle, one after another, into `destination`,
  // which must hold Rect().height x RowBytes() bytes. A rectangle of no
  // rows copies nothing.
  void CopyAllRows(uint8_t* destination);

 private:
  LibraryContext* context_;
  uint8_t* shortRow_ = nullptr;
  Ref<ChainedStream> stream_;
  uint32_t rowBytes_ = 0;
  uint32_t bitsPerPixel_ = 0;
  ImageRect rect_;
  bool firstRow_ = true;
  bool padPastEnd_ = false;
  uint32_t paddedRows_ = 0;
};

}  // namespace streams
