#include "pdf/Md5.h"

#include <cstring>

namespace pdf {
namespace {

// Per-step shift amounts and the sine-derived constants of RFC 1321.
constexpr uint8_t kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391};

uint32_t RotateLeft(uint32_t value, uint32_t count) {
  return (value << count) | (value >> (32 - count));
}

}  // namespace

void Md5Transform(uint32_t state[4], const uint8_t block[64]) {
  uint32_t words[16];
  for (int i = 0; i < 16; ++i) {
    words[i] = uint32_t{block[4 * i]} | uint32_t{block[4 * i + 1]} << 8 |
               uint32_t{block[4 * i + 2]} << 16 | uint32_t{block[4 * i + 3]} << 24;
  }
  uint32_t a = state[0];
  uint32_t b = state[1];
  uint32_t c = state[2];
  uint32_t d = state[3];
  for (uint32_t i = 0; i < 64; ++i) {
    uint32_t f = 0;
    uint32_t g = 0;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) & 15;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) & 15;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) & 15;
    }
    const uint32_t next = b + RotateLeft(a + f + kSine[i] + words[g], kShift[i]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

void Md5Init(Md5& digest) {
  digest.state[0] = 0x67452301;
  digest.state[1] = 0xefcdab89;
  digest.state[2] = 0x98badcfe;
  digest.state[3] = 0x10325476;
  digest.length = 0;
}

void Md5Update(Md5& digest, const uint8_t* bytes, size_t count) {
  size_t used = static_cast<size_t>(digest.length & 63);
  digest.length += count;
  if (used != 0) {
    const size_t take = count < 64 - used ? count : 64 - used;
    std::memcpy(digest.buffer + used, bytes, take);
    bytes += take;
    count -= take;
    used += take;
    if (used < 64) return;
    Md5Transform(digest.state, digest.buffer);
  }
  for (; count >= 64; bytes += 64, count -= 64) Md5Transform(digest.state, bytes);
  if (count != 0) std::memcpy(digest.buffer, bytes, count);
}

void Md5Final(Md5& digest, uint8_t out[kMd5DigestBytes]) {
  const uint64_t bits = digest.length * 8;
  static constexpr uint8_t kPadding[64] = {0x80};
  const size_t used = static_cast<size_t>(digest.length & 63);
  Md5Update(digest, kPadding, used < 56 ? 56 - used : 120 - used);
  uint8_t tail[8];
  for (int i = 0; i < 8; ++i) tail[i] = static_cast<uint8_t>(bits >> (8 * i));
  Md5Update(digest, tail, 8);
  for (int i = 0; i < 4; ++i) {
    for (int k = 0; k < 4; ++k) out[4 * i + k] = static_cast<uint8_t>(digest.state[i] >> (8 * k));
  }
}

}  // namespace pdf
