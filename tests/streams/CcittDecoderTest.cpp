#include "streams/ccitt/CcittDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <unistd.h>
#include <string>
#include <vector>

#include "runtime/ErrorTrap.h"
#include "tests/streams/BitStrings.h"
#include "runtime/LibraryContext.h"
#include "tests/streams/CorpusImages.h"

namespace streams {
namespace {

struct Decoded {
  std::vector<uint8_t> rows;  // RowBytes() per row
  int32_t rowCount = 0;
  int32_t rowBytes = 0;
  bool threw = false;
  runtime::ErrorRecord error;
};

Decoded Decode(const std::vector<uint8_t>& data, const CcittParams& params,
               int32_t maxRows = 1 << 20) {
  runtime::LibraryContext context;
  Decoded out;
  runtime::ErrorTrap trap(&context);
  if (!trap.Run([&] {
        FaxBitReader bits(data.data(), data.data() + data.size());
        CcittDecoder decoder(&context, params, bits);
        out.rowBytes = decoder.RowBytes();
        std::vector<uint8_t> row(static_cast<size_t>(decoder.RowBytes()));
        while (out.rowCount < maxRows && decoder.ReadRow(row.data())) {
          out.rows.insert(out.rows.end(), row.begin(), row.end());
          ++out.rowCount;
        }
      })) {
    trap.SetHandled();
    out.threw = true;
    out.error = trap.Held();
    trap.Close();
  }
  return out;
}

CcittParams ParamsOf(const streams_test::CorpusImage& image) {
  CcittParams params;
  auto integer = [&](const char* key, int32_t* target) {
    auto it = image.params.find(key);
    if (it != image.params.end()) *target = std::atoi(it->second.c_str());
  };
  auto boolean = [&](const char* key, bool* target) {
    auto it = image.params.find(key);
    if (it != image.params.end()) *target = it->second == "true";
  };
  integer("K", &params.k);
  integer("Columns", &params.columns);
  integer("Rows", &params.rows);
  integer("DamagedRowsBeforeError", &params.damagedRowsBeforeError);
  boolean("EncodedByteAlign", &params.encodedByteAlign);
  boolean("EndOfBlock", &params.endOfBlock);
  boolean("EndOfLine", &params.endOfLine);
  boolean("BlackIs1", &params.blackIs1);
  return params;
}


using streams_test::Bits;

constexpr const char* kEol = "000000000001";

TEST(CcittDecoderTest, ColumnsOutsideTheAcceptedRangeAreMalformed) {
  for (int32_t columns : {0, -1, -2147483647 - 1, CcittDecoder::kMaxColumns + 1, 2147483647}) {
    CcittParams params;
    params.columns = columns;
    const Decoded decoded = Decode(Bits("1"), params);
    EXPECT_TRUE(decoded.threw) << columns;
    EXPECT_TRUE(decoded.error.IsRuntime(runtime::kMalformed)) << columns;
  }
  CcittParams widest;
  widest.columns = CcittDecoder::kMaxColumns;
  widest.k = -1;
  const Decoded decoded = Decode(Bits("1"), widest);  // one V0: an all-white row
  ASSERT_FALSE(decoded.threw);
  EXPECT_EQ(decoded.rowBytes, CcittDecoder::kMaxColumns / 8);
  EXPECT_EQ(decoded.rowCount, 1);
}

TEST(CcittDecoderTest, RowBytesAndFillBitsFollowBlackIs1) {
  struct Case {
    const char* name;
    bool blackIs1;
    const char* code;  // one one-dimensional row of 10 pixels
    std::vector<uint8_t> row;
  };
  const Case cases[] = {
      {"white, BlackIs1 false", false, "00111", {0xFF, 0xC0}},
      {"white, BlackIs1 true", true, "00111", {0x00, 0x00}},
      // white 3, black 2, white 5
      {"mixed, BlackIs1 false", false, "1000 11 1100", {0xE7, 0xC0}},
      {"mixed, BlackIs1 true", true, "1000 11 1100", {0x18, 0x00}},
  };
  for (const Case& c : cases) {
    CcittParams params;
    params.columns = 10;
    params.blackIs1 = c.blackIs1;
    const Decoded decoded = Decode(Bits(c.code), params);
    ASSERT_GE(decoded.rowCount, 1) << c.name;
    EXPECT_EQ(std::vector<uint8_t>(decoded.rows.begin(), decoded.rows.begin() + 2), c.row)
        << c.name;
  }
}

TEST(CcittDecoderTest, EndOfDataRules) {
  const std::string whiteRow = "00111";  // 10 white pixels
  std::string rtc;
  for (int i = 0; i < 6; ++i) rtc += kEol;
  struct Case {
    const char* name;
    int32_t k;
    int32_t rows;
    bool endOfBlock;
    std::string data;
    int32_t expectedRows;
  };
  const Case cases[] = {
      {"six EOLs end one-dimensional data", 0, 0, true,
       std::string(kEol) + whiteRow + kEol + whiteRow + rtc + whiteRow + whiteRow, 2},
      {"data that runs out ends it too", 0, 0, true, whiteRow + whiteRow + whiteRow, 3},
      {"Rows without EndOfBlock stops after Rows rows", 0, 2, false,
       whiteRow + whiteRow + whiteRow + whiteRow, 2},
      {"two EOLs end two-dimensional data", -1, 0, true,
       std::string("1 1 1") + kEol + kEol + "1 1", 3},
      {"mixed coding: tag 1 one-dimensional, tag 0 two-dimensional", 2, 0, true,
       std::string(kEol) + "1" + whiteRow + kEol + "0" + "1" + kEol + "1" + whiteRow + rtc, 3},
  };
  for (const Case& c : cases) {
    CcittParams params;
    params.columns = 10;
    params.k = c.k;
    params.rows = c.rows;
    params.endOfBlock = c.endOfBlock;
    const Decoded decoded = Decode(Bits(c.data), params);
    ASSERT_FALSE(decoded.threw) << c.name;
    EXPECT_EQ(decoded.rowCount, c.expectedRows) << c.name;
    for (int32_t y = 0; y < decoded.rowCount; ++y) {
      EXPECT_EQ(decoded.rows[y * 2], 0xFF) << c.name << " row " << y;
    }
  }
}

TEST(CcittDecoderTest, HostileRowsEndTheDataQuickly) {
  struct Case {
    const char* name;
    int32_t k;
    std::vector<uint8_t> data;
  };
  std::vector<uint8_t> zeros(4096, 0x00);
  std::vector<uint8_t> makeUps;
  // Black make-ups of 64 over and over: a run that never terminates.
  for (int i = 0; i < 2000; ++i) {
    for (uint8_t b : Bits("0000001111 0000001111 0000001111 0000001111")) makeUps.push_back(b);
  }
  const Case cases[] = {
      {"only zero bits", -1, zeros},
      {"only zero bits, one-dimensional", 0, zeros},
      {"endless make-up codes", 0, makeUps},
      // Vertical-left codes would put a1 left of a0.
      {"a1 left of a0", -1, Bits("1 0000010 0000010 0000010")},
      {"run past the row", 0, Bits("11011 11011")},
  };
  for (const Case& c : cases) {
    CcittParams params;
    params.columns = 40;
    params.k = c.k;
    params.rows = 0;
    const Decoded decoded = Decode(c.data, params);
    EXPECT_FALSE(decoded.threw) << c.name;
    EXPECT_LE(decoded.rowCount, 1) << c.name;
  }
}

// A bilevel test image with runs of every size class: whole rows of one
// colour, short alternations and runs longer than the largest make-up code.
std::vector<uint8_t> TestBitmap(int width, int height) {
  const int rowBytes = (width + 7) / 8;
  std::vector<uint8_t> bits(static_cast<size_t>(rowBytes) * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      bool black;
      switch (y % 6) {
        case 0: black = true; break;
        case 1: black = false; break;
        case 2: black = x > 2600; break;
        default: black = ((x * x + 7 * y * y) / 97 + x / (y + 1)) % 3 == 0; break;
      }
      if (black) bits[y * rowBytes + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return bits;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// An uncompressed little-endian TIFF in which 1 bits are black.
std::vector<uint8_t> UncompressedTiff(int width, int height, const std::vector<uint8_t>& bits) {
  std::vector<uint8_t> out = {'I', 'I', 42, 0};
  Put32(out, 8);
  const uint32_t tags[][3] = {{256, 4, static_cast<uint32_t>(width)},
                              {257, 4, static_cast<uint32_t>(height)},
                              {258, 3, 1},
                              {259, 3, 1},
                              {262, 3, 0},
                              {273, 4, 0},  // patched below
                              {277, 3, 1},
                              {278, 4, static_cast<uint32_t>(height)},
                              {279, 4, static_cast<uint32_t>(bits.size())}};
  const uint32_t count = std::size(tags);
  const uint32_t dataOffset = 8 + 2 + count * 12 + 4;
  Put16(out, count);
  for (const auto& tag : tags) {
    Put16(out, tag[0]);
    Put16(out, tag[1]);
    Put32(out, 1);
    Put32(out, tag[0] == 273 ? dataOffset : tag[2]);
  }
  Put32(out, 0);
  out.insert(out.end(), bits.begin(), bits.end());
  return out;
}

uint32_t Get(const std::vector<uint8_t>& in, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | in.at(at + static_cast<size_t>(i));
  return v;
}

// The one strip of a little-endian TIFF, and its T4Options.
std::vector<uint8_t> SingleStrip(const std::vector<uint8_t>& tiff, uint32_t* t4Options) {
  const uint32_t ifd = Get(tiff, 4, 4);
  const uint32_t count = Get(tiff, ifd, 2);
  uint32_t offset = 0, length = 0;
  *t4Options = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = ifd + 2 + i * 12;
    const uint32_t tag = Get(tiff, entry, 2);
    const int size = Get(tiff, entry + 2, 2) == 3 ? 2 : 4;
    const uint32_t value = Get(tiff, entry + 8, size);
    if (tag == 273) offset = value;
    if (tag == 279) length = value;
    if (tag == 292) *t4Options = value;
  }
  return std::vector<uint8_t>(tiff.begin() + offset, tiff.begin() + offset + length);
}

TEST(CcittDecoderTest, DecodesWhatTheTiffToolsEncode) {
  const int width = 2700;
  const int height = 24;
  const std::vector<uint8_t> bitmap = TestBitmap(width, height);
  const std::string dir = std::filesystem::temp_directory_path() /
                          ("folvane-ccitt-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  {
    const std::vector<uint8_t> tiff = UncompressedTiff(width, height, bitmap);
    FILE* f = std::fopen((dir + "/in.tif").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(tiff.data(), 1, tiff.size(), f);
    std::fclose(f);
  }
  struct Case {
    const char* compression;
    int32_t k;
    bool endOfLine;
  };
  const Case cases[] = {{"g3", 0, true}, {"g3:2d", 4, true}, {"g4", -1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.compression);
    const std::string out = dir + "/out.tif";
    const std::string command = std::string("tiffcp -r ") + std::to_string(height) + " -c " +
                                c.compression + " " + dir + "/in.tif " + out + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << "tiffcp (libtiff-tools) is needed";
    uint32_t t4Options = 0;
    const std::vector<uint8_t> strip = SingleStrip(streams_test::ReadFileBytes(out), &t4Options);
    CcittParams params;
    params.columns = width;
    params.rows = height;
    params.k = c.k;
    params.endOfLine = c.endOfLine;
    params.encodedByteAlign = (t4Options & 4) != 0;
    params.blackIs1 = true;
    const Decoded decoded = Decode(strip, params, height);
    ASSERT_FALSE(decoded.threw);
    ASSERT_EQ(decoded.rowCount, height);
    EXPECT_TRUE(decoded.rows == bitmap);
  }
  std::filesystem::remove_all(dir);
}

class CcittCorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CcittCorpusTest, MatchesReferenceDecoder) {
  const auto images = streams_test::LoadCorpusImages(GetParam());
  for (const auto& image : images) {
    SCOPED_TRACE(image.name);
    ASSERT_TRUE(image.reference.ok);
    const CcittParams params = ParamsOf(image);
    const Decoded decoded = Decode(image.data, params, image.height);
    ASSERT_FALSE(decoded.threw);
    ASSERT_EQ(decoded.rowBytes, (image.width + 7) / 8);
    const size_t rowBytes = static_cast<size_t>(decoded.rowBytes);
    // pdfimages writes the decoded samples of an image inverted (so that a
    // 0 sample shows black) and the samples of a mask as they are.
    const bool inverted = image.kind == "image";
    int mismatches = 0;
    int first = -1;
    for (int y = 0; y < image.height; ++y) {
      for (size_t x = 0; x < rowBytes; ++x) {
        uint8_t ours = 0x00;
        if (y < decoded.rowCount) {
          ours = decoded.rows[y * rowBytes + x];
          if (inverted) ours = static_cast<uint8_t>(~ours);
        }
        const int padBits = static_cast<int>(rowBytes * 8) - image.width;
        if (x + 1 == rowBytes && padBits > 0) ours &= static_cast<uint8_t>(0xFF << padBits);
        uint8_t theirs = image.reference.bits[y * rowBytes + x];
        if (x + 1 == rowBytes && padBits > 0) theirs &= static_cast<uint8_t>(0xFF << padBits);
        if (ours != theirs) {
          if (first < 0) first = y;
          ++mismatches;
        }
      }
    }
    EXPECT_EQ(mismatches, 0) << image.kind << " first differing row " << first << " of " << image.height
                             << ", rows decoded " << decoded.rowCount;
  }
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CcittCorpusTest);
INSTANTIATE_TEST_SUITE_P(Corpus, CcittCorpusTest,
                         ::testing::ValuesIn(streams_test::CorpusFiles("ccitt")),
                         [](const auto& info) {
                           std::string name = std::filesystem::path(info.param).stem().string();
                           std::replace_if(name.begin(), name.end(),
                                           [](char c) { return !std::isalnum(c); }, '_');
                           return name;
                         });

}  // namespace
}  // namespace streams
