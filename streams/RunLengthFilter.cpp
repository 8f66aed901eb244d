#include "streams/RunLengthFilter.h"

#include <algorithm>
#include <cstring>

namespace streams {

uint32_t RunLengthFilter::EndOfSource(uint32_t written) {
  // A truncated source ends the data with what was decoded.
  end_ = true;
  return written;
}

uint32_t RunLengthFilter::Decode(uint8_t* buffer, uint32_t capacity) {
  uint32_t written = 0;
  while (written < capacity) {
    if (!SourceAvailable()) return EndOfSource(written);
    uint32_t length = *sourceCursor_;
    if (length == 128) {
      end_ = true;
      return written;
    }
    uint32_t room = capacity - written;
    if (length < 128) {
      uint32_t run = length + 1;
      // A run waits for the next call rather than being split.
      if (room < run) return written;
      ++sourceCursor_;
      while (run > 0) {
        if (!SourceAvailable()) return EndOfSource(written);
        auto take = static_cast<uint32_t>(std::min<size_t>(run, sourceEnd_ - sourceCursor_));
        std::memcpy(buffer + written, sourceCursor_, take);
        sourceCursor_ += take;
        written += take;
        run -= take;
      }
    } else {
      uint32_t repeat = 257 - length;
      if (room < repeat) return written;
      ++sourceCursor_;
      if (!SourceAvailable()) return EndOfSource(written);
      std::memset(buffer + written, *sourceCursor_++, repeat);
      written += repeat;
    }
  }
  return written;
}

}  // namespace streams
