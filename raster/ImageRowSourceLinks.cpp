#include "raster/ImageRowSourceLinks.h"

#include <array>
#include <cstring>
#include <numeric>

#include "runtime/ErrorTrap.h"

namespace raster {
namespace {

// Nibble tables of the unpacking link, for the three ways of reading a
// sample: scaled to 0..255, scaled and inverted, raw.
enum UnpackStyle { kScaled = 0, kInverted = 1, kRaw = 2 };

constexpr uint8_t UnpackedSample(uint32_t v, uint32_t bits, int style) {
  const uint32_t max = (1u << bits) - 1;
  if (style == kRaw) return static_cast<uint8_t>(v);
  const uint32_t scaled = v * (255 / max);
  return static_cast<uint8_t>(style == kInverted ? 255 - scaled : scaled);
}

// A nibble holds 4 / bits samples; each table row lists them in order.
template <uint32_t Bits>
constexpr auto MakeNibbleTable() {
  constexpr uint32_t per = 4 / Bits;
  std::array<std::array<std::array<uint8_t, per>, 16>, 3> table{};
  for (int style = 0; style < 3; ++style) {
    for (uint32_t nibble = 0; nibble < 16; ++nibble) {
      for (uint32_t i = 0; i < per; ++i) {
        const uint32_t shift = 4 - Bits * (i + 1);
        table[style][nibble][i] = UnpackedSample((nibble >> shift) & ((1u << Bits) - 1), Bits, style);
      }
    }
  }
  return table;
}

constexpr auto kUnpack1 = MakeNibbleTable<1>();
constexpr auto kUnpack2 = MakeNibbleTable<2>();
constexpr auto kUnpack4 = MakeNibbleTable<4>();

// Bits of sample i of a packed row, MSB first.
inline uint32_t ReadSample(const uint8_t* row, uint64_t index, int32_t bits) {
  if (bits == 8) return row[index];
  if (bits == 16) return (uint32_t{row[2 * index]} << 8) | row[2 * index + 1];
  const uint64_t bit = index * static_cast<uint64_t>(bits);
  const uint32_t shift = 8 - static_cast<uint32_t>(bits) - static_cast<uint32_t>(bit & 7);
  return (row[bit >> 3] >> shift) & ((1u << bits) - 1);
}

void SetAllOnes(uint8_t* row, uint64_t index, int32_t bits) {
  if (bits == 8) {
    row[index] = 255;
  } else if (bits == 16) {
    row[2 * index] = 255;
    row[2 * index + 1] = 255;
  } else {
    const uint64_t bit = index * static_cast<uint64_t>(bits);
    const uint32_t shift = 8 - static_cast<uint32_t>(bits) - static_cast<uint32_t>(bit & 7);
    row[bit >> 3] = static_cast<uint8_t>(row[bit >> 3] | (((1u << bits) - 1) << shift));
  }
}

bool IsSupportedDepth(int32_t bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16; }

uint32_t WidthOf(const IntRect& r) { return static_cast<uint32_t>(static_cast<int64_t>(r.x1) - r.x0); }

}  // namespace

SubRectRowSource::SubRectRowSource(ImageRowSource* previous, const IntRect& rect, int32_t bitsPerPixel)
    : previous_(previous) {
  const IntRect& outer = previous->Bounds();
  if (bitsPerPixel <= 0 || rect.x0 < outer.x0 || rect.y0 < outer.y0 || rect.x1 > outer.x1 ||
      rect.y1 > outer.y1 || rect.x0 >= rect.x1 || rect.y0 >= rect.y1) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  // The nearest pixel at or left of x0 that starts on a byte boundary:
  // pixels start on a byte every 8 / gcd(bits, 8) pixels.
  const int64_t alignment = 8 / std::gcd(bitsPerPixel, 8);
  const int64_t offset = static_cast<int64_t>(rect.x0) - outer.x0;
  const int64_t alignedOffset = offset - offset % alignment;
  rect_ = IntRect{static_cast<int32_t>(outer.x0 + alignedOffset), rect.y0, rect.x1, rect.y1};
  byteOffset_ = static_cast<uint32_t>(alignedOffset * bitsPerPixel / 8);
  rowBytes_ = ImageRowBytes(static_cast<int64_t>(rect.x1) - rect_.x0, bitsPerPixel);
  if (uint64_t{byteOffset_} + rowBytes_ > previous->RowBytes()) runtime::ThrowRuntime(runtime::kMalformed);
  rowsToSkip_ = static_cast<uint32_t>(static_cast<int64_t>(rect.y0) - outer.y0);
}

const uint8_t* SubRectRowSource::NextRow() {
  for (; rowsToSkip_ > 0; --rowsToSkip_) previous_->NextRow();
  return previous_->NextRow() + byteOffset_;
}

ColorKeyMaskSource::ColorKeyMaskSource(runtime::ArenaAllocator& arena, ImageRowSource* previous,
                                       int32_t components, int32_t bitsPerComponent, const int32_t* ranges)
    : previous_(previous), components_(components), bits_(bitsPerComponent), ranges_(ranges) {
  if (!IsSupportedDepth(bitsPerComponent) || components <= 0) runtime::ThrowRuntime(runtime::kMalformed);
  pixels_ = WidthOf(previous->Bounds());
  if (ImageRowBytes(pixels_, int64_t{components} * bitsPerComponent) > previous->RowBytes()) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  rowBytes_ = ImageRowBytes(pixels_, bitsPerComponent);
  row_ = AllocRowBuffer(arena, rowBytes_);
}

const uint8_t* ColorKeyMaskSource::NextRow() {
  const uint8_t* in = previous_->NextRow();
  std::memset(row_, 0, rowBytes_);
  uint64_t sample = 0;
  for (uint32_t x = 0; x < pixels_; ++x) {
    bool outside = false;
    for (int32_t c = 0; c < components_; ++c, ++sample) {
      const int64_t v = ReadSample(in, sample, bits_);
      if (v < ranges_[2 * c] || v > ranges_[2 * c + 1]) outside = true;
    }
    if (outside) SetAllOnes(row_, x, bits_);
  }
  return row_;
}

SampleUnpackSource::SampleUnpackSource(runtime::ArenaAllocator& arena, ImageRowSource* previous,
                                       int32_t components, int32_t bitsPerComponent, bool invertedDecode,
                                       bool rawSamples)
    : previous_(previous), bits_(bitsPerComponent), table_(nullptr) {
  const int style = rawSamples ? kRaw : (invertedDecode ? kInverted : kScaled);
  switch (bitsPerComponent) {
    case 1: table_ = kUnpack1[style][0].data(); break;
    case 2: table_ = kUnpack2[style][0].data(); break;
    case 4: table_ = kUnpack4[style][0].data(); break;
    case 16: break;
    default: runtime::ThrowRuntime(runtime::kMalformed);
  }
  // The 16-bit routine reads the inversion from the style, not a table.
  if (bitsPerComponent == 16) bits_ = invertedDecode && !rawSamples ? -16 : 16;
  const uint64_t capacity = uint64_t{previous->RowBytes()} * 8 / static_cast<uint32_t>(bitsPerComponent);
  const uint64_t length = uint64_t{WidthOf(previous->Bounds())} * static_cast<uint32_t>(components);
  if (components <= 0 || length > capacity) runtime::ThrowRuntime(runtime::kMalformed);
  rowLength_ = static_cast<uint32_t>(length);
  // Whole input bytes unpack at once, so the buffer holds every sample of
  // the input row, padding included.
  row_ = AllocRowBuffer(arena, capacity);
}

const uint8_t* SampleUnpackSource::NextRow() {
  const uint8_t* in = previous_->NextRow();
  const uint32_t bytes = previous_->RowBytes();
  uint8_t* out = row_;
  switch (bits_) {
    case 1:
      for (uint32_t i = 0; i < bytes; ++i, out += 8) {
        std::memcpy(out, table_ + 4 * (in[i] >> 4), 4);
        std::memcpy(out + 4, table_ + 4 * (in[i] & 15), 4);
      }
      break;
    case 2:
      for (uint32_t i = 0; i < bytes; ++i, out += 4) {
        std::memcpy(out, table_ + 2 * (in[i] >> 4), 2);
        std::memcpy(out + 2, table_ + 2 * (in[i] & 15), 2);
      }
      break;
    case 4:
      for (uint32_t i = 0; i < bytes; ++i, out += 2) {
        out[0] = table_[in[i] >> 4];
        out[1] = table_[in[i] & 15];
      }
      break;
    case 16:
      for (uint32_t i = 0; i < rowLength_; ++i) out[i] = in[2 * i];
      break;
    default:  // 16 bits, inverted
      for (uint32_t i = 0; i < rowLength_; ++i) out[i] = static_cast<uint8_t>(255 - in[2 * i]);
      break;
  }
  return row_;
}

DecodeMapSource::DecodeMapSource(runtime::ArenaAllocator& arena, ImageRowSource* previous, const DecodeMap& map)
    : previous_(previous), map_(map) {
  row_ = AllocRowBuffer(arena, previous->RowBytes());
}

const uint8_t* DecodeMapSource::NextRow() {
  const uint8_t* in = previous_->NextRow();
  map_.MapRow(row_, in, previous_->RowBytes());
  return row_;
}

ColorConvertSource::ColorConvertSource(runtime::ArenaAllocator& arena, ImageRowSource* previous,
                                       ColorSpace& space, const ColorSpace& target, int32_t components)
    : previous_(previous), inComponents_(components), outComponents_(target.ComponentCount()) {
  const uint32_t width = WidthOf(previous->Bounds());
  if (components <= 0 || outComponents_ <= 0 ||
      uint64_t{width} * static_cast<uint32_t>(components) > previous->RowBytes()) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  rowBytes_ = ImageRowBytes(width, int64_t{outComponents_} * 8);
  row_ = AllocRowBuffer(arena, rowBytes_);
  converter_ = space.MakeConverter(arena, target);
}

const uint8_t* ColorConvertSource::NextRow() {
  const uint8_t* in = previous_->NextRow();
  const int32_t width = static_cast<int32_t>(WidthOf(previous_->Bounds()));
  if (width == 0) return row_;
  runtime::SpanCursor source{0, 1, inComponents_, inComponents_, const_cast<uint8_t*>(in)};
  runtime::SpanCursor destination{0, 1, outComponents_, outComponents_, row_};
  converter_->ConvertSpan(destination, 0, source, width);
  return row_;
}

}  // namespace raster
