#include "streams/ccitt/FaxRowDecoder.h"

#include <algorithm>
#include <cstring>

#include "streams/ccitt/FaxCodes.h"

namespace streams {
namespace {

// Sets (or clears) the pixels [from, to) of a packed row.
void SetRun(uint8_t* row, int32_t from, int32_t to, bool one) {
  if (from >= to) return;
  int32_t first = from >> 3;
  const int32_t last = (to - 1) >> 3;
  const uint8_t head = static_cast<uint8_t>(0xFF >> (from & 7));
  const uint8_t tail = static_cast<uint8_t>(0xFF << (7 - ((to - 1) & 7)));
  if (first == last) {
    const uint8_t mask = head & tail;
    row[first] = one ? (row[first] | mask) : (row[first] & ~mask);
    return;
  }
  row[first] = one ? (row[first] | head) : (row[first] & ~head);
  ++first;
  if (last > first) std::memset(row + first, one ? 0xFF : 0x00, static_cast<size_t>(last - first));
  row[last] = one ? (row[last] | tail) : (row[last] & ~tail);
}

}  // namespace

FaxRowDecoder::FaxRowDecoder(int32_t width, int32_t* storage, bool clamp, bool allowUncompressed)
    : width_(width),
      clamp_(clamp),
      allowUncompressed_(allowUncompressed),
      reference_(storage),
      coding_(storage + width + kSlack),
      capacity_(width + kSlack) {
  ResetReference();
}

void FaxRowDecoder::ResetReference() {
  referenceCount_ = 0;
  codingCount_ = 0;
  std::fill(reference_, reference_ + kSlack, width_);
}

// Keeps the list strictly increasing: a change at the position of the
// previous one is a run of no pixels, and the two cancel.
bool FaxRowDecoder::Append(int32_t position) {
  if (position >= width_) return true;
  if (codingCount_ > 0 && coding_[codingCount_ - 1] == position) {
    --codingCount_;
    return true;
  }
  if (codingCount_ >= capacity_ - kSlack) return false;
  coding_[codingCount_++] = position;
  return true;
}

int32_t FaxRowDecoder::ReadRun(FaxBitReader& bits, bool black, Status* failure) {
  int32_t total = 0;
  for (bool first = true;; first = false) {
    const FaxCode code = FaxCodes::Run(black, bits.Peek(FaxCodes::kLookupBits));
    if (code.value == FaxCodes::kEndOfLine) {
      *failure = Status::kEndOfLine;
      return -1;
    }
    if (code.value == FaxCodes::kExtension && first && allowUncompressed_ &&
        (bits.Peek(12) & 7) == 7) {
      bits.Skip(12);
      return -2;
    }
    if (code.value < 0) {
      *failure = Status::kInvalid;
      return -1;
    }
    bits.Skip(code.length);
    // Make-ups may repeat without end in hostile data; the sum stays
    // bounded by stopping once it passes the row.
    total += code.value;
    if (total > width_) {
      if (!clamp_) {
        *failure = Status::kInvalid;
        return -1;
      }
      total = width_;
    }
    if (code.value < 64) return total;
  }
}

FaxRowDecoder::Status FaxRowDecoder::ReadUncompressed(FaxBitReader& bits, int32_t* position,
                                                      bool* black) {
  int32_t pos = *position;
  bool colour = *black;
  auto paint = [&](int32_t count, bool asBlack) {
    if (count == 0) return true;
    if (colour != asBlack) {
      if (!Append(pos)) return false;
      colour = asBlack;
    }
    if (count > width_ - pos) return false;
    pos += count;
    return true;
  };
  for (;;) {
    const uint32_t next = bits.Peek(12);
    int zeros = 0;
    while (zeros < 12 && ((next >> (11 - zeros)) & 1) == 0) ++zeros;
    if (zeros <= 4) {
      bits.Skip(zeros + 1);
      if (!paint(zeros, false) || !paint(1, true)) return Status::kInvalid;
    } else if (zeros == 5) {
      bits.Skip(6);
      if (!paint(5, false)) return Status::kInvalid;
    } else if (zeros <= 10) {
      bits.Skip(zeros + 1);
      const bool nextBlack = bits.Read(1) != 0;
      if (!paint(zeros - 6, false)) return Status::kInvalid;
      // The exit code names the colour of the next run; a mismatch is a
      // run of no pixels.
      if (nextBlack != colour) {
        if (!Append(pos)) return Status::kInvalid;
        colour = nextBlack;
      }
      *position = pos;
      *black = colour;
      return Status::kComplete;
    } else {
      return Status::kInvalid;
    }
  }
}

FaxRowDecoder::Status FaxRowDecoder::DecodeOneDimensional(FaxBitReader& bits) {
  codingCount_ = 0;
  int32_t position = 0;
  bool black = false;
  while (position < width_) {
    Status failure = Status::kInvalid;
    const int32_t run = ReadRun(bits, black, &failure);
    if (run == -2) {
      const Status status = ReadUncompressed(bits, &position, &black);
      if (status != Status::kComplete) return status;
      continue;
    }
    if (run < 0) return failure;
    if (run > width_ - position) {
      if (!clamp_) return Status::kInvalid;
      position = width_;
    } else {
      position += run;
    }
    if (!Append(position)) return Status::kInvalid;
    black = !black;
  }
  return Status::kComplete;
}

FaxRowDecoder::Status FaxRowDecoder::DecodeTwoDimensional(FaxBitReader& bits) {
  codingCount_ = 0;
  int32_t a0 = -1;  // before the first pixel
  bool black = false;
  int32_t index = 0;
  while (a0 < width_) {
    // b1: the first change of the reference row right of a0 towards the
    // colour opposite to a0's; black-starting changes sit at even indices.
    while (index > 0 && reference_[index - 1] > a0) --index;
    while (reference_[index] <= a0) ++index;
    if ((index & 1) != (black ? 1 : 0)) ++index;
    const int32_t b1 = reference_[index];
    const int32_t b2 = reference_[index + 1];
    const int32_t start = a0 < 0 ? 0 : a0;

    const FaxCode code = FaxCodes::Mode(bits.Peek(FaxCodes::kLookupBits));
    if (code.value == FaxCodes::kEndOfLine) return Status::kEndOfLine;
    if (code.value == FaxCodes::kInvalid) return Status::kInvalid;
    bits.Skip(code.length);
    if (code.value == FaxCodes::kExtension) {
      if (bits.Read(3) != 7 || !allowUncompressed_) return Status::kInvalid;
      int32_t position = start;
      const Status status = ReadUncompressed(bits, &position, &black);
      if (status != Status::kComplete) return status;
      a0 = position;
    } else if (code.value == FaxCodes::kPass) {
      a0 = b2;
    } else if (code.value == FaxCodes::kHorizontal) {
      Status failure = Status::kInvalid;
      const int32_t first = ReadRun(bits, black, &failure);
      if (first < 0) return failure;
      const int32_t second = ReadRun(bits, !black, &failure);
      if (second < 0) return failure;
      int32_t a1 = start + first;
      int32_t a2 = a1 + second;  // both runs are at most the width
      if (a2 > width_) {
        if (!clamp_) return Status::kInvalid;
        a1 = std::min(a1, width_);
        a2 = width_;
      }
      if (!Append(a1) || !Append(a2)) return Status::kInvalid;
      a0 = a2;
    } else {
      int32_t a1 = b1 + (code.value - FaxCodes::kVertical0);
      if (a1 < start) return Status::kInvalid;
      if (a1 > width_) {
        if (!clamp_) return Status::kInvalid;
        a1 = width_;
      }
      if (!Append(a1)) return Status::kInvalid;
      a0 = a1;
      black = !black;
    }
  }
  return Status::kComplete;
}

void FaxRowDecoder::EndRow() {
  std::swap(reference_, coding_);
  referenceCount_ = codingCount_;
  std::fill(reference_ + referenceCount_, reference_ + referenceCount_ + kSlack, width_);
  codingCount_ = 0;
}

void FaxRowDecoder::WriteRow(uint8_t* row, int32_t rowBytes, bool blackValue) const {
  std::memset(row, blackValue ? 0x00 : 0xFF, static_cast<size_t>(rowBytes));
  for (int32_t i = 0; i < codingCount_; i += 2) {
    const int32_t end = i + 1 < codingCount_ ? coding_[i + 1] : width_;
    SetRun(row, coding_[i], end, blackValue);
  }
  SetRun(row, width_, rowBytes * 8, false);
}

void FaxRowDecoder::PaintBlack(uint8_t* row) const {
  for (int32_t i = 0; i < codingCount_; i += 2) {
    const int32_t end = i + 1 < codingCount_ ? coding_[i + 1] : width_;
    SetRun(row, coding_[i], end, true);
  }
}

}  // namespace streams
