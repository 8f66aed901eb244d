#pragma once
// 8-bit red, green and blue to RGB565 with a 2×2 ordered dither: the last
// step of writing a span into a 16-bit host bitmap.
//
// The dither offset of target pixel (x, y) is picked by k = (y & 1)·2 +
// (x & 1): red and blue add 0, 5, 7, 2, green 0, 2, 3, 1, to the 8-bit value
// before the table lookup. The tables replace the rounding arithmetic, so a
// pixel is three lookups and two additions.
//
// Twelve converters: store or exclusive-or, native (low byte first) or
// swapped byte order, and three source arrangements (interleaved 4-byte
// pixels with blue first, one constant pixel, any other format), each its
// own class so that the inner loop has no per-pixel branch.
#include <cstdint>
#include <cstring>

#include "runtime/ArenaAllocator.h"
#include "runtime/PixelBuffer.h"

namespace raster {

using runtime::PixelFormatDesc;

// Quantisation tables whose fields never overlap, so that a pixel is the sum
// of its three entries. Red and blue hold 263 entries (255 plus the largest
// offset 7) in 264 slots, green 259 in 260.
struct Rgb565Tables {
  uint16_t red[264];
  uint16_t green[260];
  uint16_t blue[264];

  // red[i] = ((15 + 31·i) / 255) << 11, green[i] = ((31 + 63·i) / 255) << 5,
  // blue[i] = (15 + 31·i) / 255.
  void Build();
  static const Rgb565Tables* Create(runtime::ArenaAllocator& arena);
};

// Dither offsets by k = (y & 1)·2 + (x & 1).
inline constexpr uint8_t kDitherRedBlue[4] = {0, 5, 7, 2};
inline constexpr uint8_t kDitherGreen[4] = {0, 2, 3, 1};

class OutputConverter565 {
 public:
  // Writes pixels x0 <= x < x1 of target row y: `source` points at the bytes
  // of pixel x0, `targetRow` at the word of column `targetOrigin`. y and x
  // choose the dither phase only.
  virtual void ConvertSpan(int32_t x0, int32_t x1, int32_t y, const uint8_t* source,
                           int32_t targetOrigin, uint16_t* targetRow) const = 0;

  // The four choosers. The exclusive-or ones make a converter that writes
  // nothing for a source whose colour plane is the shared zero plane.
  static OutputConverter565* Create(runtime::ArenaAllocator& arena, const PixelFormatDesc& format);
  static OutputConverter565* CreateSwapped(runtime::ArenaAllocator& arena,
                                           const PixelFormatDesc& format);
  static OutputConverter565* CreateXor(runtime::ArenaAllocator& arena, const PixelFormatDesc& format,
                                       bool zeroPlane);
  static OutputConverter565* CreateXorSwapped(runtime::ArenaAllocator& arena,
                                              const PixelFormatDesc& format, bool zeroPlane);

 protected:
  ~OutputConverter565() = default;
};

enum class Combine565 : uint8_t { kStore, kXor };
enum class ByteOrder565 : uint8_t { kNative, kSwapped };
enum class Source565 : uint8_t { kBgrx, kConstant, kGeneric };

template <Combine565 combine, ByteOrder565 order, Source565 source>
class Converter565 final : public OutputConverter565 {
 public:
  Converter565(const PixelFormatDesc& format, const Rgb565Tables* tables)
      : format_(format), step_(format.columnStep), tables_(tables) {}

  void ConvertSpan(int32_t x0, int32_t x1, int32_t y, const uint8_t* pixels, int32_t targetOrigin,
                   uint16_t* targetRow) const override {
    const Rgb565Tables& t = *tables_;
    uint16_t* out = targetRow + (x0 - targetOrigin);
    const int32_t row = (y & 1) * 2;
    int32_t redAt = 2, greenAt = 1, blueAt = 0;
    int32_t step = 4;
    if constexpr (source == Source565::kGeneric) {
      redAt = format_.firstOffset;
      greenAt = redAt + format_.channelStep;
      blueAt = redAt + 2 * format_.channelStep;
      step = step_;
    }
    // The tables shifted by each column's dither offsets: even and odd
    // columns of this row alternate between two sets.
    const uint16_t* red[2] = {t.red + kDitherRedBlue[row], t.red + kDitherRedBlue[row + 1]};
    const uint16_t* green[2] = {t.green + kDitherGreen[row], t.green + kDitherGreen[row + 1]};
    const uint16_t* blue[2] = {t.blue + kDitherRedBlue[row], t.blue + kDitherRedBlue[row + 1]};
    auto one = [&](int phase) {
      uint16_t v = static_cast<uint16_t>(red[phase][pixels[redAt]] + green[phase][pixels[greenAt]] +
                                         blue[phase][pixels[blueAt]]);
      if constexpr (order == ByteOrder565::kSwapped) v = static_cast<uint16_t>((v >> 8) | (v << 8));
      if constexpr (combine == Combine565::kXor) {
        *out ^= v;
      } else {
        *out = v;
      }
      ++out;
      if constexpr (source != Source565::kConstant) pixels += step;
    };
    int32_t x = x0;
    if (x < x1 && (x & 1) != 0) {
      one(1);
      ++x;
    }
    if constexpr (source == Source565::kBgrx) {
      // Pages are mostly runs of one colour: a pair of pixels like the pair
      // before it (the fourth byte aside) repeats the pair's two words.
      constexpr uint64_t kColour = 0x00FFFFFF00FFFFFFull;
      uint64_t lastPair = ~uint64_t{0};
      uint16_t words[2] = {};
      for (; x + 1 < x1; x += 2) {
        uint64_t pair;
        std::memcpy(&pair, pixels, 8);
        pair &= kColour;
        if (pair == lastPair && x + 7 < x1) {
          // Inside a run: four pairs at once while they last.
          uint16_t quad[8];
          for (int i = 0; i < 8; i += 2) std::memcpy(quad + i, words, 4);
          for (; x + 7 < x1; x += 8, out += 8, pixels += 32) {
            uint64_t next[4];
            std::memcpy(next, pixels, 32);
            if (((next[0] & kColour) != pair) | ((next[1] & kColour) != pair) |
                ((next[2] & kColour) != pair) | ((next[3] & kColour) != pair)) {
              break;
            }
            if constexpr (combine == Combine565::kXor) {
              for (int i = 0; i < 8; ++i) out[i] ^= quad[i];
            } else {
              std::memcpy(out, quad, 16);
            }
          }
          if (x + 1 >= x1) break;
          std::memcpy(&pair, pixels, 8);
          pair &= kColour;
        }
        if (pair == lastPair) {
          if constexpr (combine == Combine565::kXor) {
            out[0] ^= words[0];
            out[1] ^= words[1];
          } else {
            std::memcpy(out, words, 4);
          }
          out += 2;
          pixels += 8;
          continue;
        }
        lastPair = pair;
        const uint16_t* written = out;
        one(0);
        one(1);
        if constexpr (combine == Combine565::kXor) {
          // The words themselves, not what the exclusive-or left.
          words[0] = static_cast<uint16_t>(red[0][pixels[redAt - 8]] + green[0][pixels[greenAt - 8]] +
                                           blue[0][pixels[blueAt - 8]]);
          words[1] = static_cast<uint16_t>(red[1][pixels[redAt - 4]] + green[1][pixels[greenAt - 4]] +
                                           blue[1][pixels[blueAt - 4]]);
          if constexpr (order == ByteOrder565::kSwapped) {
            words[0] = static_cast<uint16_t>((words[0] >> 8) | (words[0] << 8));
            words[1] = static_cast<uint16_t>((words[1] >> 8) | (words[1] << 8));
          }
        } else {
          std::memcpy(words, written, 4);
        }
      }
    }
    for (; x + 1 < x1; x += 2) {
      one(0);
      one(1);
    }
    if (x < x1) one(0);
  }

 private:
  PixelFormatDesc format_;
  int32_t step_;
  const Rgb565Tables* tables_;
};

using Xor565BgrxConverter = Converter565<Combine565::kXor, ByteOrder565::kNative, Source565::kBgrx>;
using Xor565ConstConverter = Converter565<Combine565::kXor, ByteOrder565::kNative, Source565::kConstant>;
using Xor565GenericConverter = Converter565<Combine565::kXor, ByteOrder565::kNative, Source565::kGeneric>;
using XorSwapped565BgrxConverter = Converter565<Combine565::kXor, ByteOrder565::kSwapped, Source565::kBgrx>;
using XorSwapped565ConstConverter =
    Converter565<Combine565::kXor, ByteOrder565::kSwapped, Source565::kConstant>;
using XorSwapped565GenericConverter =
    Converter565<Combine565::kXor, ByteOrder565::kSwapped, Source565::kGeneric>;
using Store565BgrxConverter = Converter565<Combine565::kStore, ByteOrder565::kNative, Source565::kBgrx>;
using Store565ConstConverter = Converter565<Combine565::kStore, ByteOrder565::kNative, Source565::kConstant>;
using Store565GenericConverter =
    Converter565<Combine565::kStore, ByteOrder565::kNative, Source565::kGeneric>;
using StoreSwapped565BgrxConverter =
    Converter565<Combine565::kStore, ByteOrder565::kSwapped, Source565::kBgrx>;
using StoreSwapped565ConstConverter =
    Converter565<Combine565::kStore, ByteOrder565::kSwapped, Source565::kConstant>;
using StoreSwapped565GenericConverter =
    Converter565<Combine565::kStore, ByteOrder565::kSwapped, Source565::kGeneric>;

// Writes nothing: the exclusive-or of the zero plane.
class NullConverter565 final : public OutputConverter565 {
 public:
  void ConvertSpan(int32_t, int32_t, int32_t, const uint8_t*, int32_t, uint16_t*) const override {}
};

}  // namespace raster
