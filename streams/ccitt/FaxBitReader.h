#pragma once
// Bit reader of the facsimile decoders: most significant bit first, with up
// to 32 bits of look-ahead. Bits past the end of the data read as 0, which
// every fax table treats as no valid code, so a decoder that runs dry stops
// on its own.
#include <cstddef>
#include <cstdint>

namespace streams {

class FaxBitReader {
 public:
  // Supplies the next chunk of input; false at the end of the data.
  using Refill = bool (*)(void* user, const uint8_t** begin, const uint8_t** end);

  FaxBitReader(const uint8_t* begin, const uint8_t* end, Refill refill = nullptr,
               void* user = nullptr)
      : pos_(begin), end_(end), refill_(refill), user_(user) {}

  // The next n bits (1 to 32), most significant first.
  uint32_t Peek(int n) {
    if (count_ < n) Fill();
    return static_cast<uint32_t>(buffer_ >> (64 - n));
  }
  void Skip(int n) {
    if (count_ < n) Fill();
    if (n >= count_) {
      consumedPastEnd_ += n - count_;
      buffer_ = 0;
      count_ = 0;
      return;
    }
    buffer_ <<= n;
    count_ -= n;
  }
  uint32_t Read(int n) {
    const uint32_t bits = Peek(n);
    Skip(n);
    return bits;
  }
  // Drops the bits up to the next byte boundary of the input.
  void AlignToByte() { Skip(count_ % 8); }
  // True when every byte has been taken from the input and no buffered bit
  // is left.
  bool Exhausted() {
    Fill();
    return count_ == 0;
  }
  // True when the input has ended and the buffered bits hold no 1 bit.
  bool OnlyZerosLeft() {
    Fill();
    return sourceEnded_ && buffer_ == 0;
  }
  bool SourceEnded() {
    Fill();
    return sourceEnded_;
  }
  // Whole bytes taken from the input but not used yet.
  size_t UnusedBytes() const { return static_cast<size_t>(count_ / 8); }
  // Where the next whole byte of the current chunk starts, once the bits of
  // a partly used byte are dropped.
  const uint8_t* NextBytePosition() const { return pos_ - UnusedBytes(); }

 private:
  void Fill() {
    while (count_ <= 56) {
      if (pos_ == end_) {
        if (sourceEnded_ || refill_ == nullptr || !refill_(user_, &pos_, &end_) ||
            pos_ == end_) {
          sourceEnded_ = true;
          return;
        }
      }
      buffer_ |= static_cast<uint64_t>(*pos_++) << (56 - count_);
      count_ += 8;
    }
  }

  const uint8_t* pos_;
  const uint8_t* end_;
  Refill refill_;
  void* user_;
  uint64_t buffer_ = 0;
  int count_ = 0;
  bool sourceEnded_ = false;
  uint64_t consumedPastEnd_ = 0;
};

}  // namespace streams
