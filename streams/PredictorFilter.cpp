#include "streams/PredictorFilter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "runtime/ErrorTrap.h"
#include "streams/FilterParameters.h"

namespace streams {
namespace {

void Read(const FilterParameters* params, const char* key, int32_t* value) {
  if (params != nullptr) params->GetInteger(key, value);
}

uint8_t Paeth(int left, int up, int upperLeft) {
  int estimate = left + up - upperLeft;
  int toLeft = std::abs(estimate - left);
  int toUp = std::abs(estimate - up);
  int toUpperLeft = std::abs(estimate - upperLeft);
  if (toLeft <= toUp && toLeft <= toUpperLeft) return static_cast<uint8_t>(left);
  if (toUp <= toUpperLeft) return static_cast<uint8_t>(up);
  return static_cast<uint8_t>(upperLeft);
}

}  // namespace

PredictorParams PredictorFilter::ReadParams(const FilterParameters* params,
                                            bool allowAbbreviations) {
  PredictorParams result;
  Read(params, "Predictor", &result.predictor);
  Read(params, "Columns", &result.columns);
  Read(params, "Colors", &result.colors);
  if (params != nullptr && !params->GetInteger("BitsPerComponent", &result.bitsPerComponent) &&
      allowAbbreviations) {
    params->GetInteger("BPC", &result.bitsPerComponent);
  }
  return result;
}

void PredictorFilter::Create(LibraryContext* context, StreamRef& chain,
                             const PredictorParams& params) {
  if (params.predictor == 1) return;
  bool validPredictor = params.predictor == 2 || (params.predictor >= 10 && params.predictor <= 15);
  int32_t bits = params.bitsPerComponent;
  bool validBits = bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16;
  if (!validPredictor || params.columns <= 0 || params.colors < 1 ||
      params.colors > kMaxColors || !validBits) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  // All three are bounded above, so the product fits in 64 bits.
  uint64_t rowBits = uint64_t(params.columns) * uint64_t(params.colors) * uint64_t(bits);
  uint64_t rowBytes = (rowBits + 7) / 8;
  if (rowBytes > kMaxRowBytes) runtime::ThrowRuntime(runtime::kOverflow);
  chain = MakeRef<PredictorFilter>(context, std::move(chain), params,
                                   static_cast<uint32_t>(rowBytes));
}

PredictorFilter::PredictorFilter(LibraryContext* context, StreamRef source,
                                 const PredictorParams& params, uint32_t rowBytes)
    : FilterBase(context, std::move(source)),
      png_(params.predictor >= 10),
      bitsPerComponent_(static_cast<uint32_t>(params.bitsPerComponent)),
      rowBytes_(rowBytes),
      bytesPerPixel_((static_cast<uint32_t>(params.bitsPerComponent * params.colors) + 7) / 8),
      current_(static_cast<uint8_t*>(runtime::AllocOrThrow(context, 2 * size_t{rowBytes}))),
      previous_(current_ + rowBytes) {
  std::memset(current_, 0, 2 * size_t{rowBytes});
}

PredictorFilter::~PredictorFilter() {
  LibraryContext* owner = Context() != nullptr ? Context() : runtime::GetDefaultContext();
  owner->memory.Free(std::min(current_, previous_));
}

void PredictorFilter::Restart(uint64_t position) {
  FilterBase::Restart(position);
  std::memset(std::min(current_, previous_), 0, 2 * size_t{rowBytes_});
  rowPosition_ = 0;
  tag_ = -1;
}

uint32_t PredictorFilter::MemorySize() const {
  return FilterBase::MemorySize() + 2 * rowBytes_ + 48;
}

uint32_t PredictorFilter::Decode(uint8_t* buffer, uint32_t capacity) {
  uint32_t written = 0;
  while (written < capacity) {
    if (!SourceAvailable()) {
      // A partial last row stands as far as it goes.
      end_ = true;
      break;
    }
    uint32_t made = png_ ? DecodePng(buffer + written, capacity - written)
                         : DecodeTiff(buffer + written, capacity - written);
    if (made == 0 && !png_) break;
    written += made;
  }
  return written;
}

uint32_t PredictorFilter::DecodePng(uint8_t* out, uint32_t room) {
  if (tag_ < 0) {
    tag_ = *sourceCursor_++;
    if (tag_ > 4) runtime::ThrowRuntime(runtime::kMalformed);
    return 0;
  }
  uint32_t count = std::min({room, rowBytes_ - rowPosition_,
                             static_cast<uint32_t>(sourceEnd_ - sourceCursor_)});
  const uint8_t* in = sourceCursor_;
  uint8_t* row = current_;
  const uint8_t* above = previous_;
  uint32_t bpp = bytesPerPixel_;
  uint32_t start = rowPosition_;
  uint32_t end = start + count;
  switch (tag_) {
    case 0:
      for (uint32_t i = start; i < end; ++i) row[i] = *in++;
      break;
    case 1:
      for (uint32_t i = start; i < end; ++i) {
        row[i] = static_cast<uint8_t>(*in++ + (i >= bpp ? row[i - bpp] : 0));
      }
      break;
    case 2:
      for (uint32_t i = start; i < end; ++i) row[i] = static_cast<uint8_t>(*in++ + above[i]);
      break;
    case 3:
      for (uint32_t i = start; i < end; ++i) {
        uint32_t left = i >= bpp ? row[i - bpp] : 0;
        row[i] = static_cast<uint8_t>(*in++ + ((left + above[i]) >> 1));
      }
      break;
    default:
      for (uint32_t i = start; i < end; ++i) {
        int left = i >= bpp ? row[i - bpp] : 0;
        int upperLeft = i >= bpp ? above[i - bpp] : 0;
        row[i] = static_cast<uint8_t>(*in++ + Paeth(left, above[i], upperLeft));
      }
      break;
  }
  std::memcpy(out, row + start, count);
  sourceCursor_ = in;
  rowPosition_ = end;
  if (rowPosition_ == rowBytes_) {
    std::swap(current_, previous_);
    rowPosition_ = 0;
    tag_ = -1;
  }
  return count;
}

uint32_t PredictorFilter::DecodeTiff(uint8_t* out, uint32_t room) {
  uint32_t bpp = bytesPerPixel_;
  uint8_t* row = current_;
  uint32_t made = 0;
  if (bitsPerComponent_ == 8) {
    uint32_t count = std::min({room, rowBytes_ - rowPosition_,
                               static_cast<uint32_t>(sourceEnd_ - sourceCursor_)});
    for (uint32_t i = rowPosition_, end = rowPosition_ + count; i < end; ++i) {
      row[i] = static_cast<uint8_t>(*sourceCursor_++ + (i >= bpp ? row[i - bpp] : 0));
      out[made++] = row[i];
    }
    rowPosition_ += count;
  } else if (bitsPerComponent_ == 16) {
    // The first byte of a sample waits for the second; the pair is written
    // once the sample is known.
    while (sourceCursor_ < sourceEnd_ && rowPosition_ < rowBytes_) {
      uint32_t i = rowPosition_;
      if ((i & 1) == 0) {
        row[i] = *sourceCursor_++;
        ++rowPosition_;
        continue;
      }
      if (room - made < 2) break;
      uint32_t sample = uint32_t(row[i - 1]) << 8 | *sourceCursor_++;
      if (i >= bpp + 1) sample += uint32_t(row[i - 1 - bpp]) << 8 | row[i - bpp];
      row[i - 1] = static_cast<uint8_t>(sample >> 8);
      row[i] = static_cast<uint8_t>(sample);
      out[made++] = row[i - 1];
      out[made++] = row[i];
      ++rowPosition_;
    }
  } else {
    runtime::ThrowRuntime(runtime::kUnsupported);
  }
  if (rowPosition_ == rowBytes_) rowPosition_ = 0;
  return made;
}

}  // namespace streams
