#include "streams/LzwFilter.h"

namespace streams {

LzwFilter::LzwFilter(LibraryContext* context, StreamRef source, bool earlyChange)
    : FilterBase(context, std::move(source)), earlyChange_(earlyChange ? 1 : 0) {
  for (uint32_t code = 0; code < 256; ++code) {
    prefix_[code] = 0;
    length_[code] = 1;
    first_[code] = last_[code] = static_cast<uint8_t>(code);
  }
  Clear();
}

void LzwFilter::Clear() {
  entryCount_ = 0;
  openEntry_ = -1;
}

void LzwFilter::Restart(uint64_t position) {
  FilterBase::Restart(position);
  Clear();
  pendingCode_ = -1;
  bitBuffer_ = 0;
  bitCount_ = 0;
}

uint32_t LzwFilter::MemorySize() const {
  return FilterBase::MemorySize() + static_cast<uint32_t>(sizeof(*this) - sizeof(FilterBase));
}

uint32_t LzwFilter::Width() const {
  // The k-th code after a clear (k = entryCount_ + 1) is the first of 10,
  // 11 and 12 bits at k = 256, 768 and 1792, one code earlier with
  // EarlyChange 1.
  uint32_t k = entryCount_ + 1 + earlyChange_;
  if (k >= 1792) return 12;
  if (k >= 768) return 11;
  if (k >= 256) return 10;
  return 9;
}

uint32_t LzwFilter::ReadCode() {
  uint32_t width = Width();
  while (bitCount_ < width) {
    if (!SourceAvailable()) return kEnd;
    bitBuffer_ = bitBuffer_ << 8 | *sourceCursor_++;
    bitCount_ += 8;
  }
  bitCount_ -= width;
  return (bitBuffer_ >> bitCount_) & ((1u << width) - 1);
}

void LzwFilter::WriteString(uint32_t code, uint8_t* out) const {
  // Written backwards from the last byte, walking the prefixes.
  uint8_t* at = out + length_[code] - 1;
  while (code >= kFirstEntry) {
    *at-- = last_[code];
    code = prefix_[code];
  }
  *at = static_cast<uint8_t>(code);
}

uint32_t LzwFilter::Decode(uint8_t* buffer, uint32_t capacity) {
  uint32_t written = 0;
  if (pendingCode_ >= 0) {
    auto code = static_cast<uint32_t>(pendingCode_);
    if (length_[code] > capacity) return 0;
    WriteString(code, buffer);
    written = length_[code];
    pendingCode_ = -1;
  }
  while (written < capacity) {
    uint32_t code = ReadCode();
    if (code == kClear) {
      Clear();
      continue;
    }
    // The end code, an exhausted source and a code not yet defined all end
    // the data; the rest of the source block is dropped.
    if (code == kEnd || code >= kFirstEntry + entryCount_) {
      sourceCursor_ = sourceEnd_;
      end_ = true;
      break;
    }
    if (openEntry_ >= 0) {
      last_[openEntry_] = first_[code];
      openEntry_ = -1;
    }
    uint32_t next = kFirstEntry + entryCount_;
    if (next < kTableSize) {
      prefix_[next] = static_cast<uint16_t>(code);
      first_[next] = first_[code];
      length_[next] = static_cast<uint16_t>(length_[code] + 1);
      openEntry_ = static_cast<int32_t>(next);
      ++entryCount_;
    }
    if (length_[code] > capacity - written) {
      pendingCode_ = static_cast<int32_t>(code);
      break;
    }
    WriteString(code, buffer + written);
    written += length_[code];
  }
  return written;
}

}  // namespace streams
