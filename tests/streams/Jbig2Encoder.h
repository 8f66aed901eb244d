#pragma once
// Test support: the encoder side of JBIG2 arithmetic coding (the MQ coder of
// T.88 Annex E), with the generic and refinement region contexts written
// out pixel by pixel as the standard draws them, so that tests can build
// region data for any image.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "streams/jbig2/MqDecoder.h"

namespace streams_test {

// A test image: one byte per pixel, 1 = black.
struct TestImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;

  TestImage() = default;
  TestImage(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h), 0) {}
  int At(int x, int y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? 0 : pixels[size_t(y) * width + x];
  }
  void Set(int x, int y, int v) { pixels[size_t(y) * width + x] = static_cast<uint8_t>(v); }
  // A pattern with structure and noise, so that every context is exercised.
  static TestImage Sample(int w, int h, uint32_t seed) {
    TestImage image(w, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        seed = seed * 1103515245u + 12345u;
        const bool shape = ((x / 5 + y / 3) % 4 == 0) || (x - y > 3 && x - y < 7);
        image.Set(x, y, shape != ((seed >> 16) % 11 == 0));
      }
    }
    return image;
  }
};

class MqEncoder {
 public:
  // Generic and refinement contexts below 2^16; integer procedures above.
  static constexpr uint32_t kContexts = 1u << 20;

  MqEncoder() : index_(kContexts, 0), mps_(kContexts, 0) { bytes_.push_back(0); }

  void Encode(uint32_t context, int bit) {
    const streams::MqState& s = streams::kMqStates[index_[context]];
    const uint32_t qe = s.qe;
    a_ -= qe;
    if (bit == mps_[context]) {
      if ((a_ & 0x8000) != 0) {
        c_ += qe;
        return;
      }
      if (a_ < qe) {
        a_ = qe;
      } else {
        c_ += qe;
      }
      index_[context] = s.nmps;
    } else {
      if (a_ < qe) {
        c_ += qe;
      } else {
        a_ = qe;
      }
      if (s.swap) mps_[context] ^= 1;
      index_[context] = s.nlps;
    }
    do {
      a_ <<= 1;
      c_ <<= 1;
      if (--ct_ == 0) ByteOut();
    } while ((a_ & 0x8000) == 0);
  }

  // Starts the generic and refinement contexts where another coder left
  // them (a dictionary that reuses retained contexts); the integer
  // procedures start afresh.
  void TakeBitmapContexts(const MqEncoder& other) {
    std::copy(other.index_.begin(), other.index_.begin() + (1 << 16), index_.begin());
    std::copy(other.mps_.begin(), other.mps_.begin() + (1 << 16), mps_.begin());
  }

  // Flushes the coder and ends the data with the 0xFF 0xAC marker.
  std::vector<uint8_t> Finish() {
    const uint32_t sum = c_ + a_;
    c_ |= 0xFFFF;
    if (c_ >= sum) c_ -= 0x8000;
    c_ <<= ct_;
    ByteOut();
    c_ <<= ct_;
    ByteOut();
    if (bytes_.back() != 0xFF) bytes_.push_back(0xFF);
    bytes_.push_back(0xAC);
    return std::vector<uint8_t>(bytes_.begin() + 1, bytes_.end());
  }

 private:
  void ByteOut() {
    if (bytes_.back() == 0xFF) {
      bytes_.push_back(static_cast<uint8_t>(c_ >> 20));
      c_ &= 0xFFFFF;
      ct_ = 7;
      return;
    }
    if (c_ >= 0x8000000) {
      ++bytes_.back();  // the carry
      if (bytes_.back() == 0xFF) {
        c_ &= 0x7FFFFFF;
        bytes_.push_back(static_cast<uint8_t>(c_ >> 20));
        c_ &= 0xFFFFF;
        ct_ = 7;
        return;
      }
    }
    bytes_.push_back(static_cast<uint8_t>(c_ >> 19));
    c_ &= 0x7FFFF;
    ct_ = 8;
  }

  std::vector<uint8_t> index_;
  std::vector<uint8_t> mps_;
  std::vector<uint8_t> bytes_;  // the first byte stands before the data
  uint32_t a_ = 0x8000;
  uint32_t c_ = 0;
  int ct_ = 12;
};

// Integer arithmetic coding (T.88 A.2): every procedure (IADH, IADW, ...)
// has its own 512 contexts, `procedure` numbering them.
inline void EncodeInteger(MqEncoder& coder, int procedure, int64_t value, bool oob = false) {
  const uint32_t base = (1u << 16) + static_cast<uint32_t>(procedure) * 512;
  uint32_t prev = 1;
  auto bit = [&](int b) {
    coder.Encode(base + prev, b);
    prev = prev < 256 ? (prev << 1) | static_cast<uint32_t>(b)
                      : ((((prev << 1) | static_cast<uint32_t>(b)) & 511) | 256);
  };
  if (oob) {
    for (int b : {1, 0, 0, 0}) bit(b);
    return;
  }
  const int64_t magnitude = value < 0 ? -value : value;
  struct Range {
    int64_t low;
    int prefixBits;
    uint32_t prefix;
    int bits;
  };
  constexpr Range kRanges[] = {{0, 1, 0b0, 2},       {4, 2, 0b10, 4},      {20, 3, 0b110, 6},
                               {84, 4, 0b1110, 8},   {340, 5, 0b11110, 12}, {4436, 5, 0b11111, 32}};
  const Range* range = &kRanges[5];
  for (const Range& r : kRanges) {
    if (magnitude >= r.low && (&r == &kRanges[5] || magnitude < (&r)[1].low)) {
      range = &r;
      break;
    }
  }
  bit(value < 0 ? 1 : 0);
  for (int i = range->prefixBits - 1; i >= 0; --i) bit(static_cast<int>((range->prefix >> i) & 1));
  const uint64_t offset = static_cast<uint64_t>(magnitude - range->low);
  for (int i = range->bits - 1; i >= 0; --i) bit(static_cast<int>((offset >> i) & 1));
}

// A symbol ID through IAID's own contexts (codes of up to 8 bits).
inline void EncodeId(MqEncoder& coder, uint32_t id, int codeLength) {
  const uint32_t base = (1u << 16) + 6 * 512;  // IAID's procedure number
  uint32_t prev = 1;
  for (int i = codeLength - 1; i >= 0; --i) {
    const int b = static_cast<int>((id >> i) & 1);
    coder.Encode(base + prev, b);
    prev = (prev << 1) | static_cast<uint32_t>(b);
  }
}

// Generic region coding, template 0 or 1, any adaptive pixels (A1 only for
// template 1), optional typical prediction.
struct GenericCoding {
  int gbTemplate = 0;
  bool tpgd = false;
  int atX[4] = {3, -3, 2, -2};
  int atY[4] = {-1, -1, -2, -2};
};

inline uint32_t GenericContext(const TestImage& im, int x, int y, const GenericCoding& g) {
  auto p = [&](int dx, int dy) { return static_cast<uint32_t>(im.At(x + dx, y + dy)); };
  if (g.gbTemplate == 0) {
    return p(-1, 0) | p(-2, 0) << 1 | p(-3, 0) << 2 | p(-4, 0) << 3 | p(g.atX[0], g.atY[0]) << 4 |
           p(2, -1) << 5 | p(1, -1) << 6 | p(0, -1) << 7 | p(-1, -1) << 8 | p(-2, -1) << 9 |
           p(g.atX[1], g.atY[1]) << 10 | p(g.atX[2], g.atY[2]) << 11 | p(1, -2) << 12 |
           p(0, -2) << 13 | p(-1, -2) << 14 | p(g.atX[3], g.atY[3]) << 15;
  }
  return p(-1, 0) | p(-2, 0) << 1 | p(-3, 0) << 2 | p(g.atX[0], g.atY[0]) << 3 | p(2, -1) << 4 |
         p(1, -1) << 5 | p(0, -1) << 6 | p(-1, -1) << 7 | p(-2, -1) << 8 | p(2, -2) << 9 |
         p(1, -2) << 10 | p(0, -2) << 11 | p(-1, -2) << 12;
}

inline void EncodeGenericInto(MqEncoder& coder, const TestImage& im, const GenericCoding& g) {
  int ltp = 0;
  for (int y = 0; y < im.height; ++y) {
    if (g.tpgd) {
      bool same = true;
      for (int x = 0; x < im.width && same; ++x) same = im.At(x, y) == im.At(x, y - 1);
      const int now = same ? 1 : 0;
      coder.Encode(g.gbTemplate == 0 ? 0x9B25 : 0x0795, now ^ ltp);
      ltp = now;
      if (ltp) continue;
    }
    for (int x = 0; x < im.width; ++x) coder.Encode(GenericContext(im, x, y, g), im.At(x, y));
  }
}

inline std::vector<uint8_t> EncodeGeneric(const TestImage& im, const GenericCoding& g = {}) {
  MqEncoder coder;
  EncodeGenericInto(coder, im, g);
  return coder.Finish();
}

// Refinement coding of `target` against `reference` placed at (dx, dy).
struct RefinementCoding {
  int grTemplate = 0;
  bool tpgr = false;
  int dx = 0;
  int dy = 0;
  int atX[2] = {-1, -1};
  int atY[2] = {-1, -1};
};

inline std::vector<uint8_t> EncodeRefinement(const TestImage& target, const TestImage& reference,
                                             const RefinementCoding& r) {
  MqEncoder coder;
  auto ref = [&](int x, int y, int ox, int oy) {
    return static_cast<uint32_t>(reference.At(x - r.dx + ox, y - r.dy + oy));
  };
  auto typical = [&](int x, int y, int* value) {
    const uint32_t first = ref(x, y, -1, -1);
    for (int oy = -1; oy <= 1; ++oy) {
      for (int ox = -1; ox <= 1; ++ox) {
        if (ref(x, y, ox, oy) != first) return false;
      }
    }
    *value = static_cast<int>(first);
    return true;
  };
  int ltp = 0;
  for (int y = 0; y < target.height; ++y) {
    if (r.tpgr) {
      bool rowTypical = true;
      for (int x = 0; x < target.width && rowTypical; ++x) {
        int value = 0;
        if (typical(x, y, &value) && value != target.At(x, y)) rowTypical = false;
      }
      const int now = rowTypical ? 1 : 0;
      // The context with only the reference pixel at the current position set.
      coder.Encode(r.grTemplate == 0 ? 0x0100 : 0x0080, now ^ ltp);
      ltp = now;
    }
    for (int x = 0; x < target.width; ++x) {
      int value = 0;
      if (ltp && typical(x, y, &value)) continue;
      auto t = [&](int ox, int oy) { return static_cast<uint32_t>(target.At(x + ox, y + oy)); };
      uint32_t context;
      if (r.grTemplate == 0) {
        context = t(-1, 0) | t(1, -1) << 1 | t(0, -1) << 2 | t(r.atX[0], r.atY[0]) << 3 |
                  ref(x, y, 1, 1) << 4 | ref(x, y, 0, 1) << 5 | ref(x, y, -1, 1) << 6 |
                  ref(x, y, 1, 0) << 7 | ref(x, y, 0, 0) << 8 | ref(x, y, -1, 0) << 9 |
                  ref(x, y, 1, -1) << 10 | ref(x, y, 0, -1) << 11 |
                  ref(x, y, r.atX[1], r.atY[1]) << 12;
      } else {
        context = t(-1, 0) | t(1, -1) << 1 | t(0, -1) << 2 | t(-1, -1) << 3 |
                  ref(x, y, 1, 1) << 4 | ref(x, y, 0, 1) << 5 | ref(x, y, 1, 0) << 6 |
                  ref(x, y, 0, 0) << 7 | ref(x, y, -1, 0) << 8 | ref(x, y, 0, -1) << 9;
      }
      coder.Encode(context, target.At(x, y));
    }
  }
  return coder.Finish();
}

}  // namespace streams_test
