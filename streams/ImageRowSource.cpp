#include "streams/ImageRowSource.h"

#include <cstring>

#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace streams {
namespace {

uint32_t RowBytesFor(int64_t width, uint32_t bitsPerPixel) {
  if (width <= 0) runtime::ThrowRuntime(runtime::kMalformed);
  uint64_t bytes = (static_cast<uint64_t>(width) * bitsPerPixel + 7) / 8;
  if (bytes > ImageRowSource::kMaxRowBytes) runtime::ThrowRuntime(runtime::kOverflow);
  return static_cast<uint32_t>(bytes);
}

}  // namespace

ImageRowSource::ImageRowSource(LibraryContext* context, const ImageGeometry& geometry,
                               StreamRef stream)
    : context_(context) {
  if (geometry.height <= 0 || geometry.bitsPerComponent <= 0 || geometry.bitsPerComponent > 16 ||
      geometry.components <= 0 || geometry.components > 32) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  bitsPerPixel_ = static_cast<uint32_t>(geometry.bitsPerComponent * geometry.components);
  rowBytes_ = RowBytesFor(geometry.width, bitsPerPixel_);
  rect_ = ImageRect{0, 0, geometry.width, geometry.height};
  stream_ = MakeRef<ChainedStream>(context, std::move(stream));
}

ImageRowSource::~ImageRowSource() {
  if (shortRow_ != nullptr) {
    LibraryContext* owner = context_ != nullptr ? context_ : runtime::GetDefaultContext();
    owner->memory.Free(shortRow_);
  }
}

void ImageRowSource::SetRect(const ImageRect& rect) {
  rowBytes_ = RowBytesFor(rect.width, bitsPerPixel_);
  rect_ = rect;
}

void ImageRowSource::CopyAllRows(uint8_t* destination) {
  const ImageRect rect = Rect();
  const uint32_t size = RowBytes();
  if (rect.height <= 0) return;
  for (int32_t row = 0; row < rect.height; ++row) {
    std::memcpy(destination, NextRow(), size);
    destination += size;
  }
}

const uint8_t* ImageRowSource::NextRow() {
  if (shortRow_ != nullptr && padPastEnd_ && paddedRows_ < kMaxPaddedRows) {
    ++paddedRows_;
    std::memset(shortRow_, 0, rowBytes_);
    runtime::ChargeWork(context_, kWorkPerRow);
    return shortRow_;
  }
  // The previous row was handed out in place and is consumed only now.
  if (!firstRow_) stream_->Advance(rowBytes_);
  firstRow_ = false;
  const uint8_t* row;
  uint32_t available = stream_->EnsureContiguous(rowBytes_);
  if (available >= rowBytes_) {
    row = stream_->Cursor();
  } else {
    if (shortRow_ != nullptr) runtime::ThrowRuntime(runtime::kMalformed);
    shortRow_ = static_cast<uint8_t*>(runtime::AllocOrThrow(context_, rowBytes_));
    std::memset(shortRow_, 0, rowBytes_);
    if (available > 0) std::memcpy(shortRow_, stream_->Cursor(), available);
    row = shortRow_;
  }
  // Decoding a large image lets the other cooperative threads run.
  runtime::ChargeWork(context_, kWorkPerRow);
  return row;
}

}  // namespace streams
