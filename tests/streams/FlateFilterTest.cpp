#include "streams/FlateFilter.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <string>

#include "streams/PredictorFilter.h"
#include "tests/streams/StreamTestSupport.h"

namespace streams {
namespace {

using testing::Capture;
using testing::DecodeWith;

std::string Compress(const std::string& raw) {
  uLongf size = compressBound(raw.size());
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 9),
            Z_OK);
  out.resize(size);
  return out;
}

// What zlib itself makes of the bytes before it stops, for any reason.
std::string InflatePrefix(const std::string& compressed) {
  z_stream stream{};
  inflateInit(&stream);
  std::string out;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  int result = Z_OK;
  while (result == Z_OK) {
    char buffer[1000];
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof(buffer);
    result = inflate(&stream, Z_SYNC_FLUSH);
    out.append(buffer, sizeof(buffer) - stream.avail_out);
  }
  inflateEnd(&stream);
  return out;
}

std::string Sample(size_t size) {
  std::string raw(size, '\0');
  for (size_t i = 0; i < size; ++i) raw[i] = static_cast<char>((i * i / 7 + i / 100) & 0xFF);
  return raw;
}

// Filters rows with PNG row filters (tag t for row t mod 5), from their
// definitions.
std::string PngEncode(const std::string& raw, size_t rowBytes, size_t bpp) {
  std::string out;
  std::string previous(rowBytes, '\0');
  for (size_t row = 0; row * rowBytes < raw.size(); ++row) {
    std::string current = raw.substr(row * rowBytes, rowBytes);
    int tag = static_cast<int>(row % 5);
    out.push_back(static_cast<char>(tag));
    for (size_t i = 0; i < rowBytes; ++i) {
      int left = i >= bpp ? uint8_t(current[i - bpp]) : 0;
      int up = uint8_t(previous[i]);
      int upperLeft = i >= bpp ? uint8_t(previous[i - bpp]) : 0;
      int p = left + up - upperLeft;
      int paeth = (std::abs(p - left) <= std::abs(p - up) && std::abs(p - left) <= std::abs(p - upperLeft))
                      ? left
                      : (std::abs(p - up) <= std::abs(p - upperLeft) ? up : upperLeft);
      const int predictions[] = {0, left, up, (left + up) / 2, paeth};
      out.push_back(static_cast<char>(uint8_t(current[i]) - predictions[tag]));
    }
    previous = current;
  }
  return out;
}

class FlateFilterTest : public ::testing::Test {
 protected:
  LibraryContext context_;
};

TEST_F(FlateFilterTest, DecodesLargeStreamsInAnyBlocking) {
  std::string raw = Sample(100000);
  std::string compressed = Compress(raw);
  for (size_t chunk : {size_t{4096}, size_t{1}, size_t{999}}) {
    EXPECT_EQ(DecodeWith(&context_, "FlateDecode", compressed, nullptr, chunk), raw) << chunk;
  }
}

TEST_F(FlateFilterTest, DamagedDataGivesThePrefixAndThenTheEnd) {
  std::string raw = Sample(50000);
  std::string compressed = Compress(raw);
  std::string badChecksum = compressed;
  badChecksum.back() = static_cast<char>(badChecksum.back() ^ 0x55);
  std::string corrupt = compressed;
  corrupt[compressed.size() / 2] = static_cast<char>(corrupt[compressed.size() / 2] ^ 0xFF);
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"bad checksum", badChecksum},
      {"truncated", compressed.substr(0, compressed.size() / 3)},
      {"corrupt middle", corrupt},
      {"not zlib at all", "this is plain text"},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_FALSE(Capture(&context_, [&] { out = DecodeWith(&context_, "FlateDecode", c.bytes); }).thrown)
        << c.name;
    EXPECT_EQ(out, InflatePrefix(c.bytes)) << c.name;
  }
  EXPECT_EQ(DecodeWith(&context_, "FlateDecode", badChecksum), raw);
}

TEST_F(FlateFilterTest, ZlibRunningOutOfMemoryIsAnError) {
  StreamRef chain = testing::Chunks(&context_, Compress("abc"));
  // Room for the filter object, not for zlib's state.
  context_.memory.hardLimit = context_.memory.bytesInUse + 1024;
  FilterStep step{"FlateDecode", nullptr};
  EXPECT_TRUE(Capture(&context_, [&] {
                ApplyFilters(&context_, chain, {&step, 1}, DecodeFilterRegistry::Document(), false);
              }).IsRuntime(runtime::kOutOfMemory));
  context_.memory.hardLimit = runtime::kNoLimit;
}

TEST_F(FlateFilterTest, PngPredictorWithEveryRowTag) {
  // Columns 5, Colors 3: 15-byte rows, 3 bytes per pixel.
  std::string raw = Sample(15 * 10);
  PlainFilterParameters params;
  params.Set("Predictor", 12).Set("Columns", 5).Set("Colors", 3);
  EXPECT_EQ(DecodeWith(&context_, "FlateDecode", Compress(PngEncode(raw, 15, 3)), &params), raw);

  // Average with left 200 and up 10 predicts 105.
  PlainFilterParameters two;
  two.Set("Predictor", 10).Set("Columns", 2);
  std::string rows = testing::Bytes({0, 0, 10, 3, 200, 0});
  EXPECT_EQ(DecodeWith(&context_, "FlateDecode", Compress(rows), &two), testing::Bytes({0, 10, 200, 105}));
  // Up on the first row reads an all-zero row.
  EXPECT_EQ(DecodeWith(&context_, "FlateDecode", Compress(testing::Bytes({2, 7, 9})), &two), testing::Bytes({7, 9}));
}

TEST_F(FlateFilterTest, PredictorParameters) {
  struct Case {
    const char* name;
    int32_t predictor, columns, colors, bits;
    bool ok;
    uint32_t code;
  };
  const Case cases[] = {
      {"predictor 3", 3, 1, 1, 8, false, runtime::kMalformed},
      {"columns 0", 12, 0, 1, 8, false, runtime::kMalformed},
      {"bits 3", 12, 4, 1, 3, false, runtime::kMalformed},
      {"colors 0", 12, 4, 0, 8, false, runtime::kMalformed},
      {"colors 33", 12, 4, 33, 8, false, runtime::kMalformed},
      {"DeviceN colours", 12, 4, 32, 16, true, 0},
      {"row size overflows", 12, 0x7FFFFFFF, 32, 16, false, runtime::kOverflow},
      {"predictor 1 adds nothing", 1, 0, 99, 3, true, 0},
  };
  for (const Case& c : cases) {
    PlainFilterParameters params;
    params.Set("Predictor", c.predictor).Set("Columns", c.columns).Set("Colors", c.colors);
    params.Set("BitsPerComponent", c.bits);
    testing::Caught caught = Capture(&context_, [&] {
      DecodeWith(&context_, "FlateDecode", Compress(""), &params);
    });
    if (c.ok) {
      EXPECT_FALSE(caught.thrown) << c.name;
    } else {
      EXPECT_TRUE(caught.IsRuntime(c.code)) << c.name << " got " << caught.record.code;
    }
  }
  // A bad row tag and an unsupported TIFF depth fail when decoding.
  PlainFilterParameters png;
  png.Set("Predictor", 15).Set("Columns", 1);
  EXPECT_TRUE(Capture(&context_, [&] {
                DecodeWith(&context_, "FlateDecode", Compress(testing::Bytes({5, 1})), &png);
              }).IsRuntime(runtime::kMalformed));
  PlainFilterParameters tiff4;
  tiff4.Set("Predictor", 2).Set("Columns", 4).Set("BitsPerComponent", 4);
  EXPECT_TRUE(Capture(&context_, [&] {
                DecodeWith(&context_, "FlateDecode", Compress("ab"), &tiff4);
              }).IsRuntime(runtime::kUnsupported));
}

TEST_F(FlateFilterTest, TiffPredictor) {
  struct Case {
    const char* name;
    int32_t bits, colors, columns;
  };
  const Case cases[] = {{"8-bit RGB", 8, 3, 7}, {"16-bit grey and alpha", 16, 2, 5}};
  for (const Case& c : cases) {
    size_t bytesPerSample = size_t(c.bits / 8);
    size_t pixel = bytesPerSample * size_t(c.colors);
    size_t rowBytes = pixel * size_t(c.columns);
    std::string raw = Sample(rowBytes * 4);
    // Horizontal differencing, sample by sample, restarting every row.
    std::string encoded = raw;
    for (size_t at = 0; at < raw.size(); at += bytesPerSample) {
      if (at % rowBytes < pixel) continue;
      auto sample = [&](size_t offset) {
        return bytesPerSample == 1 ? uint32_t(uint8_t(raw[offset]))
                                   : uint32_t(uint8_t(raw[offset])) << 8 | uint8_t(raw[offset + 1]);
      };
      uint32_t difference = sample(at) - sample(at - pixel);
      if (bytesPerSample == 1) {
        encoded[at] = static_cast<char>(difference);
      } else {
        encoded[at] = static_cast<char>(difference >> 8);
        encoded[at + 1] = static_cast<char>(difference);
      }
    }
    PlainFilterParameters params;
    params.Set("Predictor", 2).Set("Columns", c.columns).Set("Colors", c.colors);
    params.Set("BitsPerComponent", c.bits);
    EXPECT_EQ(DecodeWith(&context_, "FlateDecode", Compress(encoded), &params, 5), raw) << c.name;
  }
}

}  // namespace
}  // namespace streams
