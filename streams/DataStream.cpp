#include "streams/DataStream.h"

#include <algorithm>
#include <cstring>

#include "runtime/ErrorTrap.h"

namespace streams {

DataStream::DataStream(LibraryContext* context, uint64_t start)
    : CountedObject(context), readPos_(start), bufferEndPos_(start), nextFetchPosition_(start) {}

DataStream::~DataStream() { FreeSideBuffer(); }

uint64_t DataStream::Skip(uint64_t) { return 0; }

BlockRef DataStream::FetchCounted() {
  BlockRef block = FetchBlock();
  nextFetchPosition_ += CountOf(block);
  return block;
}

void DataStream::FreeSideBuffer() {
  if (side_ != nullptr) {
    LibraryContext* owner = Context() != nullptr ? Context() : runtime::GetDefaultContext();
    owner->memory.Free(side_);
  }
  side_ = nullptr;
  sideCapacity_ = 0;
  inSide_ = false;
}

void DataStream::LeaveSideBuffer() {
  inSide_ = false;
  bufferStart_ = current_ ? current_->Data() : nullptr;
  bufferEnd_ = blockEnd_;
  bufferEndPos_ = blockEndPos_;
}

bool DataStream::Fill(bool required) {
  while (readPos_ >= bufferEndPos_) {
    if (inSide_) {
      LeaveSideBuffer();
      continue;
    }
    if (atEnd_ && !readAhead_) break;
    if (!readAhead_ && readPos_ > bufferEndPos_) {
      uint64_t skipped = Skip(readPos_ - bufferEndPos_);
      if (skipped > 0) {
        bufferEndPos_ += skipped;
        nextFetchPosition_ += skipped;
        current_.Reset();
        bufferStart_ = bufferEnd_ = nullptr;
      }
    }
    current_ = readAhead_ ? std::move(readAhead_) : FetchCounted();
    uint32_t count = CountOf(current_);
    bufferStart_ = count > 0 ? current_->Data() : nullptr;
    bufferEnd_ = bufferStart_ + count;
    bufferEndPos_ += count;
    if (count == 0) {
      atEnd_ = true;
      break;
    }
  }
  if (readPos_ >= bufferEndPos_) {
    cursor_ = bufferEnd_;
    if (required) runtime::ThrowRuntime(runtime::kMalformed);
    return false;
  }
  cursor_ = bufferEnd_ - (bufferEndPos_ - readPos_);
  return true;
}

uint8_t DataStream::ReadU8Slow() {
  Fill(true);
  ++readPos_;
  return *cursor_++;
}

uint16_t DataStream::ReadU16BE() {
  const uint8_t* bytes = RequireContiguous(2);
  Advance(2);
  return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

int32_t DataStream::ReadS16BE() {
  const uint8_t* bytes = RequireContiguous(2);
  Advance(2);
  return static_cast<int8_t>(bytes[0]) * 256 + bytes[1];
}

void DataStream::ReadBytesAsWords(uint32_t count, uint32_t* out) {
  const uint8_t* bytes = RequireContiguous(count);
  for (uint32_t i = 0; i < count; ++i) out[i] = bytes[i];
  Advance(count);
}

void DataStream::GrowSideBuffer(uint32_t needed, uint32_t keep) {
  // `keep` bytes at the cursor move to the front of the (new) side buffer.
  if (needed <= sideCapacity_) {
    if (keep > 0) std::memmove(side_, cursor_, keep);
    return;
  }
  uint32_t capacity = std::max(needed, std::min<uint32_t>(2 * sideCapacity_, UINT32_MAX / 2));
  capacity = std::max(capacity, needed);
  auto* grown = static_cast<uint8_t*>(runtime::AllocOrThrow(Context(), capacity));
  if (keep > 0) std::memcpy(grown, cursor_, keep);
  bool wasInSide = inSide_;
  FreeSideBuffer();
  inSide_ = wasInSide;
  side_ = grown;
  sideCapacity_ = capacity;
}

uint32_t DataStream::EnsureContiguous(uint32_t count) {
  if (!Fill(false)) return 0;
  size_t available = static_cast<size_t>(bufferEnd_ - cursor_);
  if (available >= count) return static_cast<uint32_t>(std::min<size_t>(available, UINT32_MAX));

  // The run crosses the end of the buffer: gather it in the side buffer.
  const uint8_t* rest;
  const uint8_t* restEnd;
  uint64_t restEndPos;
  if (inSide_) {
    rest = blockResume_;
    restEnd = blockEnd_;
    restEndPos = blockEndPos_;
  } else {
    rest = restEnd = bufferEnd_;
    restEndPos = bufferEndPos_;
  }
  auto fill = static_cast<uint32_t>(available);
  GrowSideBuffer(count, fill);
  while (fill < count) {
    if (rest == restEnd) {
      if (atEnd_ && !readAhead_) break;
      current_ = readAhead_ ? std::move(readAhead_) : FetchCounted();
      uint32_t blockCount = CountOf(current_);
      restEndPos += blockCount;
      if (blockCount == 0) {
        atEnd_ = true;
        rest = restEnd = nullptr;
        break;
      }
      rest = current_->Data();
      restEnd = rest + blockCount;
    }
    auto take = static_cast<uint32_t>(std::min<size_t>(count - fill, restEnd - rest));
    std::memcpy(side_ + fill, rest, take);
    fill += take;
    rest += take;
  }
  inSide_ = true;
  bufferStart_ = side_;
  cursor_ = side_;
  bufferEnd_ = side_ + fill;
  bufferEndPos_ = readPos_ + fill;
  blockResume_ = rest;
  blockEnd_ = restEnd;
  blockEndPos_ = restEndPos;
  return fill;
}

const uint8_t* DataStream::RequireContiguous(uint32_t count) {
  if (EnsureContiguous(count) < count) runtime::ThrowRuntime(runtime::kMalformed);
  return cursor_;
}

bool DataStream::AtNumberStart() {
  if (!Fill(false)) return false;
  const uint8_t c = *cursor_;
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

bool DataStream::SkipPastString(std::string_view text, int64_t limit) {
  const auto n = static_cast<int64_t>(text.size());
  if (n == 0) return true;
  if (limit < n || n > UINT32_MAX) return false;
  for (;;) {
    if (EnsureContiguous(static_cast<uint32_t>(n)) < static_cast<uint32_t>(n)) return false;
    if (std::memcmp(cursor_, text.data(), text.size()) == 0) {
      Advance(static_cast<uint64_t>(n));
      return true;
    }
    --limit;
    Advance(1);
    if (limit < n) return false;
  }
}

void DataStream::Advance(uint64_t count) {
  if (readPos_ < bufferEndPos_ && count <= bufferEndPos_ - readPos_) {
    cursor_ += count;
  } else {
    cursor_ = bufferEnd_;
  }
  readPos_ += count;
}

size_t DataStream::Read(uint8_t* out, size_t count) {
  size_t done = 0;
  while (done < count && Fill(false)) {
    size_t take = std::min<size_t>(count - done, bufferEnd_ - cursor_);
    std::memcpy(out + done, cursor_, take);
    done += take;
    Advance(take);
  }
  return done;
}

void DataStream::Seek(uint64_t position) {
  bitCount_ = 0;
  uint64_t windowSize = static_cast<uint64_t>(bufferEnd_ - bufferStart_);
  if (bufferStart_ != nullptr && position < bufferEndPos_ &&
      position >= bufferEndPos_ - windowSize) {
    cursor_ = bufferEnd_ - (bufferEndPos_ - position);
    readPos_ = position;
    return;
  }
  readPos_ = position;
  ResetBuffers();
}

void DataStream::ResetBuffers() {
  FreeSideBuffer();
  current_.Reset();
  readAhead_.Reset();
  atEnd_ = false;
  bufferEndPos_ = readPos_;
  nextFetchPosition_ = readPos_;
  bufferStart_ = cursor_ = bufferEnd_ = nullptr;
  blockResume_ = blockEnd_ = nullptr;
}

bool DataStream::HasReadAhead() {
  if (!readAhead_ && !atEnd_) {
    // While the cursor runs in the side buffer, the current block's rest
    // still follows; only fetch when nothing is buffered after the cursor.
    if (inSide_ && blockResume_ != blockEnd_) return true;
    readAhead_ = FetchCounted();
  }
  return CountOf(readAhead_) > 0;
}

void DataStream::SkipLineEnd() {
  while (Fill(false)) {
    uint8_t byte = *cursor_;
    if (byte == '\r' || byte == '\n') break;
    Advance(1);
  }
  if (!Fill(false)) return;
  uint8_t first = *cursor_;
  Advance(1);
  if (first == '\r' && Fill(false) && *cursor_ == '\n') Advance(1);
}

void DataStream::ReadFieldsBE(uint64_t* out, const int32_t* widths, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint64_t value = 0;
    for (int32_t j = 0; j < widths[i]; ++j) value = value << 8 | ReadU8();
    out[i] = value;
  }
}

uint32_t DataStream::ReadBits(uint32_t count) {
  if (count == 0) return 0;
  if (count > 32) runtime::ThrowRuntime(runtime::kOverflow);
  while (bitCount_ < count) {
    bitBuffer_ = bitBuffer_ << 8 | ReadU8();
    bitCount_ += 8;
  }
  bitCount_ -= count;
  uint64_t mask = (uint64_t{1} << count) - 1;
  return static_cast<uint32_t>((bitBuffer_ >> bitCount_) & mask);
}

void DataStream::ReadLutSamples16(uint16_t* out, size_t count, uint32_t entrySize) {
  if (entrySize != 1 && entrySize != 2) runtime::ThrowRuntime(runtime::kMalformed);
  for (size_t i = 0; i < count; ++i) {
    if (entrySize == 1) {
      out[i] = static_cast<uint16_t>(ReadU8() * 257);
    } else {
      uint32_t value = ReadU16BE();
      // 16-bit samples are scaled onto 0..65536 by adding one from the
      // midpoint on; the top value is clamped so that it still fits.
      if (value >= 32768) value = std::min<uint32_t>(value + 1, 65535);
      out[i] = static_cast<uint16_t>(value);
    }
  }
}

}  // namespace streams
