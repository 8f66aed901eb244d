#include "streams/Jbig2Filter.h"

#include <gtest/gtest.h>

#include <string>

#include "streams/CcittFaxFilter.h"
#include "streams/DecodeFilterRegistry.h"
#include "streams/FilterParameters.h"
#include "tests/streams/StreamTestSupport.h"

namespace streams {
namespace {

using testing::Capture;
using testing::Chunks;
using testing::Drain;

// Parameters with a stream-valued "JBIG2Globals".
class GlobalsParameters final : public FilterParameters {
 public:
  explicit GlobalsParameters(StreamRef globals) : globals_(std::move(globals)) {}
  bool GetInteger(const char*, int32_t*) const override { return false; }
  bool GetBoolean(const char*, bool*) const override { return false; }
  StreamRef OpenStream(const char* key) const override {
    return std::string(key) == "JBIG2Globals" ? globals_ : StreamRef();
  }

 private:
  StreamRef globals_;
};

std::string U32(uint32_t v) {
  return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 8), static_cast<char>(v)};
}

// A segment header (short form) and its data.
std::string Segment(uint32_t number, uint8_t type, uint8_t page, const std::string& data) {
  return U32(number) + static_cast<char>(type) + '\0' + static_cast<char>(page) +
         U32(static_cast<uint32_t>(data.size())) + data;
}

std::string PageInformation(uint32_t width, uint32_t height, uint8_t flags) {
  return Segment(0, 48, 1, U32(width) + U32(height) + U32(0) + U32(0) +
                               static_cast<char>(flags) + std::string(2, '\0'));
}

class StreamFiltersTest : public ::testing::Test {
 protected:
  LibraryContext context_;
};

TEST_F(StreamFiltersTest, CcittDecodesAcrossSmallSourceBlocks) {
  // Two one-dimensional rows of 10 pixels (white 3, black 2, white 5 and
  // all white), fed one byte at a time.
  const std::string rows("\x8F\x0E", 2);  // 1000 11 1100 00111, then a fill bit
  PlainFilterParameters params;
  params.Set("Columns", 10).Set("K", 0).Set("Rows", 2);
  StreamRef chain = Chunks(&context_, rows, 1);
  const FilterStep steps[] = {{"CCITTFaxDecode", &params}};
  ApplyFilters(&context_, chain, steps, DecodeFilterRegistry::Document(), false);
  EXPECT_EQ(Drain(*chain), std::string("\xE7\xC0\xFF\xC0", 4));
  // A restart decodes the same rows again.
  chain->Restart(0);
  EXPECT_EQ(Drain(*chain), std::string("\xE7\xC0\xFF\xC0", 4));
}

TEST_F(StreamFiltersTest, CcittColumnsAreCheckedWhenTheFilterIsBuilt) {
  for (int32_t columns : {0, -7, CcittDecoder::kMaxColumns + 1}) {
    PlainFilterParameters params;
    params.Set("Columns", columns);
    StreamRef chain = Chunks(&context_, "\xFF");
    const FilterStep steps[] = {{"CCF", &params}};
    EXPECT_TRUE(Capture(&context_, [&] {
                  ApplyFilters(&context_, chain, steps, DecodeFilterRegistry::Inline(), true);
                }).IsRuntime(runtime::kMalformed))
        << columns;
  }
}

TEST_F(StreamFiltersTest, Jbig2DecodesThePageWithItsGlobals) {
  // A 13 x 3 page of default pixel 1 (black): rows of 0x00 0x07 after the
  // inversion to 0 = black (the three bits past the width come out 1).
  const std::string page = PageInformation(13, 3, 0x04);
  GlobalsParameters params(Chunks(&context_, ""));
  StreamRef chain = Chunks(&context_, page, 5);
  const FilterStep steps[] = {{"JBIG2Decode", &params}};
  ApplyFilters(&context_, chain, steps, DecodeFilterRegistry::Document(), false);
  EXPECT_EQ(Drain(*chain), std::string("\x00\x07\x00\x07\x00\x07", 6));
  chain->Restart(0);
  EXPECT_EQ(Drain(*chain), std::string("\x00\x07\x00\x07\x00\x07", 6));
}

TEST_F(StreamFiltersTest, Jbig2FailureGivesNoData) {
  struct Case {
    const char* name;
    std::string data;
  };
  const Case cases[] = {
      {"too short", "\x00\x00\x00\x00\x30"},
      {"no page information", Segment(1, 49, 1, "")},
      {"truncated segment", PageInformation(8, 8, 0).substr(0, 20)},
  };
  for (const Case& c : cases) {
    StreamRef chain = Chunks(&context_, c.data);
    const FilterStep steps[] = {{"JBIG2Decode", nullptr}};
    ApplyFilters(&context_, chain, steps, DecodeFilterRegistry::Document(), false);
    EXPECT_EQ(Drain(*chain), "") << c.name;
  }
}

}  // namespace
}  // namespace streams
