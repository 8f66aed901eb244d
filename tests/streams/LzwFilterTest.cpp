#include "streams/LzwFilter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/streams/StreamTestSupport.h"

namespace streams {
namespace {

using testing::Chunks;
using testing::DecodeWith;
using testing::Drain;

// Writes codes of chosen widths, most significant bit first.
class CodeWriter {
 public:
  void Put(uint32_t code, uint32_t width) {
    for (uint32_t bit = width; bit-- > 0;) {
      current_ = static_cast<uint8_t>(current_ << 1 | ((code >> bit) & 1));
      if (++used_ == 8) {
        bytes_.push_back(static_cast<char>(current_));
        used_ = 0;
      }
    }
  }
  std::string Finish() {
    if (used_ > 0) Put(0, 8 - used_);
    return bytes_;
  }

 private:
  std::string bytes_;
  uint8_t current_ = 0;
  uint32_t used_ = 0;
};

std::string KnownBytes() {
  std::string bytes(20000, '\0');
  uint32_t seed = 12345;
  for (size_t i = 0; i < bytes.size(); ++i) {
    seed = seed * 1103515245 + 12345;
    if (i < 9000) {
      bytes[i] = static_cast<char>(seed >> 24);  // noise: fills the table
    } else if (i < 13000) {
      bytes[i] = 'r';  // a long run: long strings
    } else {
      bytes[i] = static_cast<char>((i / 3) % 256 ^ (seed >> 29));
    }
  }
  return bytes;
}

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

uint32_t GetLe(const std::string& in, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(in.at(at + i));
  return value;
}

// A one-strip, 8-bit grey TIFF of 200 x 100 pixels holding `pixels`.
std::string UncompressedTiff(const std::string& pixels) {
  const uint32_t tags[][3] = {{256, 4, 200}, {257, 4, 100}, {258, 3, 8},   {259, 3, 1},
                              {262, 3, 1},   {273, 4, 122}, {277, 3, 1},   {278, 4, 100},
                              {279, 4, 20000}};
  std::string tiff = "II";
  PutLe(tiff, 42, 2);
  PutLe(tiff, 8, 4);
  PutLe(tiff, 9, 2);
  for (const auto& tag : tags) {
    PutLe(tiff, tag[0], 2);
    PutLe(tiff, tag[1], 2);
    PutLe(tiff, 1, 4);
    PutLe(tiff, tag[2], 4);
  }
  PutLe(tiff, 0, 4);
  return tiff + pixels;
}

// The compressed strip of a TIFF that tiffcp wrote with one strip.
std::string StripOf(const std::string& tiff) {
  uint32_t ifd = GetLe(tiff, 4, 4);
  uint32_t count = GetLe(tiff, ifd, 2);
  uint32_t offset = 0;
  uint32_t size = 0;
  for (uint32_t i = 0; i < count; ++i) {
    size_t entry = ifd + 2 + 12 * i;
    uint32_t tag = GetLe(tiff, entry, 2);
    uint32_t type = GetLe(tiff, entry + 2, 2);
    uint32_t value = GetLe(tiff, entry + 8, type == 3 ? 2 : 4);
    if (tag == 273) offset = value;
    if (tag == 279) size = value;
  }
  return tiff.substr(offset, size);
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class LzwFilterTest : public ::testing::Test {
 protected:
  // The known bytes compressed by tiffcp with the given compression.
  std::string TiffcpStrip(const char* compression) {
    auto directory = std::filesystem::temp_directory_path() / ("lzw-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    {
      std::string tiff = UncompressedTiff(KnownBytes());
      std::ofstream(directory / "in.tif", std::ios::binary).write(tiff.data(), std::streamsize(tiff.size()));
    }
    std::string command = std::string("tiffcp -c ") + compression + " -r 100 " +
                          (directory / "in.tif").string() + " " + (directory / "out.tif").string();
    int status = std::system(command.c_str());
    std::string strip = status == 0 ? StripOf(ReadAll(directory / "out.tif")) : std::string();
    std::filesystem::remove_all(directory);
    EXPECT_EQ(status, 0) << command;
    return strip;
  }

  LibraryContext context_;
};

TEST_F(LzwFilterTest, DecodesTheStripThatTiffcpWrites) {
  std::string strip = TiffcpStrip("lzw");
  ASSERT_FALSE(strip.empty());
  ASSERT_LT(strip.size(), 20000u);
  for (size_t chunk : {size_t{4096}, size_t{7}}) {
    EXPECT_EQ(DecodeWith(&context_, "LZWDecode", strip, nullptr, chunk), KnownBytes()) << chunk;
  }
  // A restart decodes the same bytes again.
  StreamRef chain = Chunks(&context_, strip);
  FilterStep step{"LZWDecode", nullptr};
  ApplyFilters(&context_, chain, {&step, 1}, DecodeFilterRegistry::Document(), false);
  Drain(*chain);
  chain->Restart(0);
  EXPECT_EQ(Drain(*chain), KnownBytes());
}

TEST_F(LzwFilterTest, PredictedStripsDecode) {
  // LZW takes the predictor parameters as Flate does.
  std::string strip = TiffcpStrip("lzw:2");
  ASSERT_FALSE(strip.empty());
  PlainFilterParameters params;
  params.Set("Predictor", 2).Set("Columns", 200);
  EXPECT_EQ(DecodeWith(&context_, "LZWDecode", strip, &params), KnownBytes());
}

TEST_F(LzwFilterTest, CodesWidenAfterTheRightNumberOfCodes) {
  // After a clear, the first 10-, 11- and 12-bit codes are the 256th, 768th
  // and 1792nd, one code earlier with EarlyChange 1.
  for (int early : {0, 1}) {
    CodeWriter writer;
    writer.Put(256, 9);
    auto widthOf = [early](uint32_t k) -> uint32_t {
      if (k >= uint32_t(1792 - early)) return 12;
      if (k >= uint32_t(768 - early)) return 11;
      if (k >= uint32_t(256 - early)) return 10;
      return 9;
    };
    std::string expected;
    const uint32_t total = 2000;
    for (uint32_t k = 1; k <= total; ++k) {
      writer.Put(k % 256, widthOf(k));
      expected.push_back(static_cast<char>(k % 256));
    }
    writer.Put(257, widthOf(total + 1));
    PlainFilterParameters params;
    params.Set("EarlyChange", early);
    EXPECT_EQ(DecodeWith(&context_, "LZWDecode", writer.Finish(), &params), expected)
        << "EarlyChange " << early;
  }
}

TEST_F(LzwFilterTest, ShortCodeSequences) {
  struct Case {
    const char* name;
    std::vector<uint32_t> codes;
    std::string expected;
  };
  const Case cases[] = {
      {"code defined by itself", {256, 65, 258, 257}, "AAA"},
      {"strings grow", {256, 65, 66, 258, 260, 257}, "ABABABA"},
      {"undefined code ends", {256, 65, 300, 66, 257}, "A"},
      {"clear resets the table", {256, 65, 66, 256, 67, 258, 257}, "ABCCC"},
      {"source ends without end code", {256, 72, 105}, "Hi"},
  };
  for (const Case& c : cases) {
    CodeWriter writer;
    for (uint32_t code : c.codes) writer.Put(code, 9);
    EXPECT_EQ(DecodeWith(&context_, "LZWDecode", writer.Finish(), nullptr, 1), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace streams
