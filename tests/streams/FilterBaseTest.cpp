#include "streams/FilterBase.h"

#include <gtest/gtest.h>

#include <string>

#include "streams/DecodeFilterRegistry.h"
#include "tests/streams/StreamTestSupport.h"

namespace streams {
namespace {

using testing::Bytes;
using testing::Capture;
using testing::Chunks;
using testing::DecodeWith;
using testing::Drain;

class FilterBaseTest : public ::testing::Test {
 protected:
  LibraryContext context_;
};

TEST_F(FilterBaseTest, RegistryLookups) {
  struct Case {
    const char* name;
    bool abbreviations;
    const char* found;
  };
  const Case cases[] = {
      {"AHx", false, nullptr},
      {"AHx", true, "AHx"},
      {"ASCIIHexDecode", false, "ASCIIHexDecode"},
      {"Fl", true, "Fl"},
      {"Crypt", true, nullptr},
      {"flatedecode", true, nullptr},
  };
  for (const DecodeFilterRegistry* registry :
       {&DecodeFilterRegistry::Inline(), &DecodeFilterRegistry::Document()}) {
    for (const Case& c : cases) {
      const FilterRow* row = registry->Find(c.name, c.abbreviations);
      if (c.found == nullptr) {
        EXPECT_EQ(row, nullptr) << c.name;
      } else {
        ASSERT_NE(row, nullptr) << c.name;
        EXPECT_STREQ(row->name, c.found);
      }
    }
  }
  EXPECT_TRUE(IsAsciiFilterName("A85"));
  EXPECT_TRUE(IsAsciiFilterName("ASCIIHexDecode"));
  EXPECT_FALSE(IsAsciiFilterName("FlateDecode"));
}

TEST_F(FilterBaseTest, ChainsAndTheirFailures) {
  // ASCIIHex over ASCII85: the first filter reads the raw bytes.
  StreamRef chain = Chunks(&context_, "1bggB4o~>");
  const FilterStep steps[] = {{"A85", nullptr}, {"AHx", nullptr}};
  ApplyFilters(&context_, chain, steps, DecodeFilterRegistry::Inline(), true);
  EXPECT_EQ(Drain(*chain), "AB");

  StreamRef unknown = Chunks(&context_, "41");
  const FilterStep bad[] = {{"AHx", nullptr}, {"Crypt", nullptr}};
  EXPECT_TRUE(Capture(&context_, [&] {
                ApplyFilters(&context_, unknown, bad, DecodeFilterRegistry::Document(), false);
              }).IsRuntime(runtime::kUnsupported));
  const FilterStep abbreviated[] = {{"AHx", nullptr}};
  EXPECT_TRUE(Capture(&context_, [&] {
                ApplyFilters(&context_, unknown, abbreviated, DecodeFilterRegistry::Document(),
                             false);
              }).IsRuntime(runtime::kUnsupported));
  const FilterStep jbig2[] = {{"JBIG2Decode", nullptr}};
  EXPECT_TRUE(Capture(&context_, [&] {
                ApplyFilters(&context_, unknown, jbig2, DecodeFilterRegistry::Inline(), true);
              }).IsRuntime(runtime::kMalformed));
}

TEST_F(FilterBaseTest, OutputBlocksKeepTheLastByteBack) {
  // One decoded byte: one block of one byte, then empty blocks.
  StreamRef one = Chunks(&context_, "41>");
  const FilterStep hex[] = {{"ASCIIHexDecode", nullptr}};
  ApplyFilters(&context_, one, hex, DecodeFilterRegistry::Document(), false);
  BlockRef first = one->FetchBlock();
  ASSERT_EQ(CountOf(first), 1u);
  EXPECT_EQ(first->Data()[0], 0x41);
  EXPECT_EQ(CountOf(one->FetchBlock()), 0u);
  EXPECT_EQ(CountOf(one->FetchBlock()), 0u);

  // A first Decode that fills all 4096 bytes gives 4095; the 4096th byte
  // leads the next block.
  std::string digits;
  for (int i = 0; i < 5000; ++i) digits += "0123456789ABCDEF"[i % 16] + std::string(1, '0');
  StreamRef many = Chunks(&context_, digits);
  ApplyFilters(&context_, many, hex, DecodeFilterRegistry::Document(), false);
  BlockRef a = many->FetchBlock();
  ASSERT_EQ(CountOf(a), 4095u);
  BlockRef b = many->FetchBlock();
  ASSERT_GT(CountOf(b), 0u);
  EXPECT_EQ(b->Data()[0], (4095 % 16) << 4);
  EXPECT_EQ(CountOf(a) + CountOf(b) + Drain(*many).size(), 5000u);
}

struct ByteCase {
  const char* name;
  const char* filter;
  std::string input;
  std::string expected;
  bool malformed;
};

TEST_F(FilterBaseTest, AsciiAndRunLengthCases) {
  std::string literal128(128, 'x');
  for (int i = 0; i < 128; ++i) literal128[i] = static_cast<char>(i);
  const ByteCase cases[] = {
      {"hex odd digit padded", "ASCIIHexDecode", "41 6>", Bytes({0x41, 0x60}), false},
      {"hex bad byte ends", "ASCIIHexDecode", "41G42", "A", false},
      {"hex VT is not white space", "ASCIIHexDecode", "41\v42", "A", false},
      {"hex lower case and NUL", "ASCIIHexDecode", std::string("6a\0 6B", 6), "jk", false},
      {"hex source ends", "ASCIIHexDecode", "414", Bytes({0x41, 0x40}), false},
      {"85 lone z", "ASCII85Decode", "z", std::string(4, '\0'), false},
      {"85 z inside a group", "ASCII85Decode", "!z", "", true},
      {"85 full group", "ASCII85Decode", "8804j", Bytes({0x48, 0x69, 0x21, 0x21}), false},
      {"85 partial group", "ASCII85Decode", "5sb~>", "AB", false},
      {"85 one digit writes nothing", "ASCII85Decode", "8804j5~>", Bytes({0x48, 0x69, 0x21, 0x21}), false},
      {"85 white space", "ASCII85Decode", " 88\n04 j~>", Bytes({0x48, 0x69, 0x21, 0x21}), false},
      {"85 group too large", "ASCII85Decode", "uuuuu", "", true},
      {"85 bytes after the end", "ASCII85Decode", "5sb~>zzzz", "AB", false},
      {"85 partial group at source end dropped", "ASCII85Decode", "8804j5s", Bytes({0x48, 0x69, 0x21, 0x21}), false},
      {"RL repeat", "RunLengthDecode", Bytes({255, 0x41}), "AA", false},
      {"RL end code", "RunLengthDecode", Bytes({128, 1, 2, 3}), "", false},
      {"RL literal", "RunLengthDecode", Bytes({2, 'a', 'b', 'c', 254, 'z', 128}), "abczzz", false},
      {"RL literal of 128", "RunLengthDecode", Bytes({127}) + literal128 + Bytes({128}), literal128, false},
      {"RL truncated literal", "RunLengthDecode", Bytes({5, 'a', 'b'}), "ab", false},
      {"RL truncated repeat", "RunLengthDecode", Bytes({200}), "", false},
  };
  for (const ByteCase& c : cases) {
    // Whole and one byte per source block: refills must not change a thing.
    for (size_t chunk : {size_t{4096}, size_t{1}}) {
      std::string out;
      testing::Caught caught =
          Capture(&context_, [&] { out = DecodeWith(&context_, c.filter, c.input, nullptr, chunk); });
      if (c.malformed) {
        EXPECT_TRUE(caught.IsRuntime(runtime::kMalformed)) << c.name << " chunk " << chunk;
      } else {
        EXPECT_FALSE(caught.thrown) << c.name << " chunk " << chunk;
        EXPECT_EQ(out, c.expected) << c.name << " chunk " << chunk;
      }
    }
  }
}

TEST_F(FilterBaseTest, ARestartForgetsWhatTheFailedPassHeld) {
  // The source fails after one digit; the retry reads the data afresh.
  const std::pair<const char*, std::string> cases[] = {
      {"ASCIIHexDecode", "414243"},
      {"ASCII85Decode", "5sdp~>"},
  };
  for (const auto& [filter, input] : cases) {
    auto source = MakeRef<testing::ChunkSource>(&context_, input, 1);
    StreamRef chain = source;
    FilterStep step{filter, nullptr};
    ApplyFilters(&context_, chain, {&step, 1}, DecodeFilterRegistry::Document(), false);
    source->failAtFetch = 2;
    EXPECT_TRUE(Capture(&context_, [&] { chain->FetchBlock(); }).IsRuntime(runtime::kMalformed))
        << filter;
    chain->Restart(0);
    EXPECT_EQ(Drain(*chain), "ABC") << filter;
  }
}

TEST_F(FilterBaseTest, RunsWaitForRoomInTheNextBlock) {
  // 4000 literal bytes, then a 128-byte run that does not fit in what is
  // left of the first block: it is copied whole into the next one.
  std::string input;
  std::string expected;
  for (int run = 0; run < 31; ++run) {
    input += Bytes({127});
    for (int i = 0; i < 128; ++i) input.push_back(static_cast<char>(run + i));
    expected += input.substr(input.size() - 128);
  }
  input += Bytes({128});
  EXPECT_EQ(DecodeWith(&context_, "RunLengthDecode", input), expected);
}

}  // namespace
}  // namespace streams
