#pragma once
// Helpers of the colour tests: writing small ICC profiles and tag bodies
// byte by byte, and parsing them.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "color/EmbeddedProfiles.h"
#include "color/IccProfile.h"
#include "tests/support/CaughtError.h"
#include "runtime/LibraryContext.h"
#include "streams/MemoryDataSource.h"

namespace color::testing {

// Big-endian byte writer.
struct Bytes {
  std::string data;
  Bytes& U8(uint32_t v) {
    data.push_back(static_cast<char>(v & 0xFF));
    return *this;
  }
  Bytes& U16(uint32_t v) { return U8(v >> 8).U8(v); }
  Bytes& U32(uint32_t v) { return U16(v >> 16).U16(v); }
  Bytes& S15(double v) { return U32(static_cast<uint32_t>(static_cast<int32_t>(v * 65536 + (v < 0 ? -0.5 : 0.5)))); }
  Bytes& Sig(const char* s) {
    data.append(s, 4);
    return *this;
  }
  Bytes& Zeros(size_t n) {
    data.append(n, '\0');
    return *this;
  }
  Bytes& Append(const std::string& more) {
    data += more;
    return *this;
  }
  Bytes& Align4() { return Zeros(-data.size() & 3); }
  size_t Size() const { return data.size(); }
};

inline std::string XyzTag(double x, double y, double z) {
  return Bytes().Sig("XYZ ").U32(0).S15(x).S15(y).S15(z).data;
}
inline std::string CurveTag(const std::vector<uint16_t>& entries) {
  Bytes b;
  b.Sig("curv").U32(0).U32(static_cast<uint32_t>(entries.size()));
  for (uint16_t e : entries) b.U16(e);
  return b.data;
}
inline std::string GammaTag(uint16_t u8Fixed8) { return Bytes().Sig("curv").U32(0).U32(1).U16(u8Fixed8).data; }

struct Tag {
  std::string signature;
  std::string body;
  // When set, the table entry's size field (else the body's length).
  int64_t sizeOverride = -1;
};

// A version 2 profile of the given class and spaces with the tags in order
// (each body written once, 4-byte aligned).
inline std::string MakeProfile(const char* deviceClass, const char* space, const char* pcs,
                               const std::vector<Tag>& tags, int64_t sizeField = -1) {
  Bytes table;
  table.U32(static_cast<uint32_t>(tags.size()));
  Bytes bodies;
  const size_t start = 128 + 4 + 12 * tags.size();
  for (const Tag& tag : tags) {
    size_t offset = start + bodies.Size();
    table.Sig(tag.signature.c_str()).U32(static_cast<uint32_t>(offset));
    table.U32(static_cast<uint32_t>(tag.sizeOverride >= 0 ? tag.sizeOverride : tag.body.size()));
    bodies.Append(tag.body).Align4();
  }
  const size_t total = start + bodies.Size();
  Bytes header;
  header.U32(static_cast<uint32_t>(sizeField >= 0 ? sizeField : total)).Zeros(4).U32(0x02100000);
  header.Sig(deviceClass).Sig(space).Sig(pcs).Zeros(12).Sig("acsp").Zeros(28);
  header.S15(0.9642).S15(1.0).S15(0.8249).Zeros(48);
  return header.data + table.data + bodies.data;
}

// A source over bytes the caller keeps alive.
inline streams::DataStoreRef SourceOver(runtime::LibraryContext* context, const std::string& bytes) {
  return streams::MakeRef<streams::MemoryDataSource>(context, reinterpret_cast<const uint8_t*>(bytes.data()),
                                                     static_cast<uint32_t>(bytes.size()));
}

// Parses the bytes: the runtime code raised, or -1 when the parse worked.
inline long TryParse(runtime::LibraryContext* context, const std::string& bytes, IccProfileRef* out = nullptr) {
  return testsupport::RuntimeCodeOf(context, [&] {
    IccProfileRef profile = IccProfile::Parse(context, SourceOver(context, bytes));
    if (out != nullptr) *out = profile;
  });
}

// A profile over bytes that live as long as the program (built-in data).
inline IccProfileRef ParseStatic(runtime::LibraryContext* context, const uint8_t* bytes, uint32_t size) {
  return IccProfile::Parse(context, streams::MakeRef<streams::MemoryDataSource>(context, bytes, size));
}
inline IccProfileRef DisplayProfile(runtime::LibraryContext* context) {
  return ParseStatic(context, GetEmbeddedRgbProfile(), GetEmbeddedRgbProfileSize());
}
inline IccProfileRef PrinterCmykProfile(runtime::LibraryContext* context) {
  return ParseStatic(context, GetEmbeddedCmykProfile(), GetEmbeddedCmykProfileSize());
}

// The device spaces as the colour context builds them: calibrated gray
// and RGB with the D50 white, gamma 2.2 and the display's primaries.
inline constexpr runtime::Fixed kDeviceWhite[3] = {0xF6D5, 0x10000, 0xD32D};
inline constexpr runtime::Fixed kDeviceBlack[3] = {0, 0, 0};
inline IccProfileRef DeviceGrayProfile(runtime::LibraryContext* context) {
  return IccProfile::SynthesiseGray(context, kDeviceWhite, kDeviceBlack, 0x23333);
}
inline IccProfileRef DeviceRgbProfile(runtime::LibraryContext* context) {
  static constexpr runtime::Fixed kRed[3] = {0x6FA2, 0x38F5, 0x390};
  static constexpr runtime::Fixed kGreen[3] = {0x6299, 0xB784, 0x18DA};
  static constexpr runtime::Fixed kBlue[3] = {0x24A0, 0xF84, 0xB6CF};
  static constexpr runtime::Fixed kGamma[3] = {0x23333, 0x23333, 0x23333};
  return IccProfile::SynthesiseRgb(context, kDeviceWhite, kDeviceBlack, kRed, kGreen, kBlue, kGamma, true);
}

}  // namespace color::testing
