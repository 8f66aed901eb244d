#pragma once
// The MD5 message digest (RFC 1321). The standard security handler derives
// every key from it; nothing here is used for anything needing collision
// resistance.
//
//   pdf::Md5 digest;
//   pdf::Md5Init(digest);
//   pdf::Md5Update(digest, bytes, count);
//   uint8_t out[16];
//   pdf::Md5Final(digest, out);
#include <cstddef>
#include <cstdint>

namespace pdf {

inline constexpr uint32_t kMd5DigestBytes = 16;

struct Md5 {
  uint32_t state[4];
  // Bytes digested so far; the final padding records it in bits.
  uint64_t length;
  // The partial 64-byte block not yet transformed.
  uint8_t buffer[64];
};

void Md5Init(Md5& digest);
void Md5Update(Md5& digest, const uint8_t* bytes, size_t count);
// Writes the 16-byte digest; the state must be initialised again before
// further use.
void Md5Final(Md5& digest, uint8_t out[kMd5DigestBytes]);
// The 64-byte block transform.
void Md5Transform(uint32_t state[4], const uint8_t block[64]);

}  // namespace pdf
