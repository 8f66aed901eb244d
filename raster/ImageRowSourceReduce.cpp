#include "raster/ImageRowSourceReduce.h"

#include <cstring>

#include "runtime/ErrorTrap.h"

namespace raster {
namespace {

void CheckShift(int32_t shift) {
  if (shift < 1 || shift > kMaxReductionShift) runtime::ThrowRuntime(runtime::kMalformed);
}

// [lo, hi) reduced: lo >> k and lo >> k plus ceil((hi - lo) / 2^k).
void ReduceRange(int32_t lo, int32_t hi, int32_t shift, int32_t& outLo, int32_t& outHi) {
  const int64_t size = static_cast<int64_t>(hi) - lo;
  outLo = lo >> shift;
  outHi = static_cast<int32_t>(outLo + ((size + (int64_t{1} << shift) - 1) >> shift));
}

}  // namespace

BoxReduceXSource::BoxReduceXSource(runtime::ArenaAllocator& arena, ImageRowSource* previous, int32_t shift,
                                   int32_t components)
    : previous_(previous), shift_(shift), components_(components) {
  CheckShift(shift);
  const IntRect& in = previous->Bounds();
  const uint32_t width = static_cast<uint32_t>(static_cast<int64_t>(in.x1) - in.x0);
  if (components <= 0 || uint64_t{width} * static_cast<uint32_t>(components) > previous->RowBytes()) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  wholeBlocks_ = width >> shift;
  remainder_ = width - (wholeBlocks_ << shift);
  bounds_ = in;
  ReduceRange(in.x0, in.x1, shift, bounds_.x0, bounds_.x1);
  rowBytes_ = ImageRowBytes(static_cast<int64_t>(bounds_.x1) - bounds_.x0, int64_t{components} * 8);
  row_ = AllocRowBuffer(arena, rowBytes_);
}

const uint8_t* BoxReduceXSource::NextRow() {
  const uint8_t* in = previous_->NextRow();
  const uint32_t n = static_cast<uint32_t>(components_);
  const uint32_t block = 1u << shift_;
  uint8_t* out = row_;
  for (uint32_t b = 0; b < wholeBlocks_; ++b, in += block * n, out += n) {
    for (uint32_t c = 0; c < n; ++c) {
      uint32_t sum = 0;
      for (uint32_t i = 0; i < block; ++i) sum += in[c + i * n];
      out[c] = static_cast<uint8_t>(sum >> shift_);
    }
  }
  if (remainder_ > 0) {
    for (uint32_t c = 0; c < n; ++c) {
      uint32_t sum = 0;
      for (uint32_t i = 0; i < remainder_; ++i) sum += in[c + i * n];
      sum += (block - remainder_) * in[c + (remainder_ - 1) * n];
      out[c] = static_cast<uint8_t>(sum >> shift_);
    }
  }
  return row_;
}

BoxReduceYSource::BoxReduceYSource(runtime::ArenaAllocator& arena, ImageRowSource* previous, int32_t shift)
    : previous_(previous), shift_(shift) {
  CheckShift(shift);
  const IntRect& in = previous->Bounds();
  rowBytes_ = previous->RowBytes();
  nextInputRow_ = in.y0;
  bounds_ = in;
  ReduceRange(in.y0, in.y1, shift, bounds_.y0, bounds_.y1);
  sums_ = reinterpret_cast<uint16_t*>(AllocRowBuffer(arena, uint64_t{rowBytes_} * 2));
  row_ = AllocRowBuffer(arena, rowBytes_);
}

const uint8_t* BoxReduceYSource::NextRow() {
  const int32_t block = 1 << shift_;
  const int32_t end = previous_->Bounds().y1;
  std::memset(sums_, 0, size_t{rowBytes_} * 2);
  const uint8_t* last = nullptr;
  int32_t read = 0;
  for (; read < block && nextInputRow_ < end; ++read, ++nextInputRow_) {
    last = previous_->NextRow();
    for (uint32_t i = 0; i < rowBytes_; ++i) sums_[i] = static_cast<uint16_t>(sums_[i] + last[i]);
  }
  if (last == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  // Fewer rows than a block were left: the last one counts for the rest.
  const uint32_t repeat = static_cast<uint32_t>(block - read);
  for (uint32_t i = 0; i < rowBytes_; ++i) {
    row_[i] = static_cast<uint8_t>((sums_[i] + repeat * last[i]) >> shift_);
  }
  return row_;
}

}  // namespace raster
