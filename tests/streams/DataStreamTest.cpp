#include "streams/DataStream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <string>

#include "streams/ChainedStream.h"
#include "streams/ConcatStream.h"
#include "streams/FileRange.h"
#include "streams/FileStream.h"
#include "streams/MemoryDataSource.h"
#include "streams/StreamDataStore.h"
#include "streams/SubRangeStream.h"
#include "tests/streams/StreamTestSupport.h"

namespace streams {
namespace {

using testing::Capture;
using testing::ChunkSource;
using testing::Chunks;
using testing::Drain;

// Counts the blocks asked of a data source.
class CountingSource final : public DataSource {
 public:
  CountingSource(LibraryContext* context, DataStoreRef inner)
      : DataSource(context), inner_(std::move(inner)) {}
  BlockRef GetBlock(uint64_t offset) override {
    ++fetches;
    return inner_->GetBlock(offset);
  }
  uint64_t Length() override { return inner_->Length(); }
  uint32_t MemorySize() const override { return inner_->MemorySize(); }
  int fetches = 0;

 private:
  DataStoreRef inner_;
};

std::u16string ToU16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class DataStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() /
                 ("streams-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  std::string WriteFile(const std::string& name, const std::string& bytes) {
    std::filesystem::path path = directory_ / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return path.string();
  }
  Ref<FileStream> OpenFile(const std::string& path) {
    return FileStream::Open(&context_, ToU16(path).c_str());
  }
  static std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
    return bytes;
  }

  LibraryContext context_;
  std::filesystem::path directory_;
};

TEST_F(DataStreamTest, FileBlocksEqualTheFileAtEveryOffset) {
  std::string bytes = Pattern(10000);
  Ref<FileStream> file = OpenFile(WriteFile("pattern.bin", bytes));
  EXPECT_EQ(file->Length(), 10000u);
  for (uint64_t offset = 0; offset <= 10001; ++offset) {
    BlockRef block = file->GetBlock(offset);
    uint64_t pageEnd = std::min<uint64_t>((offset / 4096 + 1) * 4096, 10000);
    uint64_t expected = offset < 10000 ? pageEnd - offset : 0;
    ASSERT_EQ(CountOf(block), expected) << "offset " << offset;
    if (expected > 0) {
      ASSERT_EQ(0, std::memcmp(block->Data(), bytes.data() + offset, expected)) << offset;
    }
  }
  // Three pages, each read from the file once.
  EXPECT_EQ(file->PageReads(), 3u);
  EXPECT_EQ(CountOf(file->GetBlock(uint64_t{1} << 31)), 0u);

  // Memory pressure drops the pages nobody holds; a page in use stays.
  BlockRef held = file->GetBlock(5000);
  EXPECT_GT(file->MemorySize(), 3 * 4096u);
  context_.memory.PurgeCaches(1 << 20, true);
  EXPECT_LT(file->MemorySize(), 2 * 4096u + FileStream::kRunPages * FileStream::kPageSize);
  EXPECT_EQ(file->GetBlock(5000)->Data()[0], 5000 % 251);
  EXPECT_EQ(file->PageReads(), 3u);
  // One read brings page 0 back and, in the same run, the dropped page 2.
  EXPECT_EQ(file->GetBlock(0)->Data()[1], 1);
  EXPECT_EQ(file->PageReads(), 5u);
  EXPECT_EQ(file->FileReads(), 2u);
}

TEST_F(DataStreamTest, SequentialFileReadsTakeRunsOfPagesWithoutSeeking) {
  const std::string bytes = Pattern(1 << 20);
  Ref<FileStream> file = OpenFile(WriteFile("large.bin", bytes));
  auto stream = MakeRef<SubRangeStream>(&context_, file, 0);
  std::string read;
  while (uint32_t available = stream->EnsureContiguous(1)) {
    read.append(reinterpret_cast<const char*>(stream->Cursor()), available);
    stream->Advance(available);
  }
  EXPECT_TRUE(read == bytes);
  // The pages, then the empty page that tells the end.
  EXPECT_EQ(file->PageReads(), 257u);
  EXPECT_EQ(file->FileReads(), 256u / FileStream::kRunPages + 1);
  // Only the first read positions the file.
  EXPECT_EQ(file->Seeks(), 1u);
}

TEST_F(DataStreamTest, FileOfExactlyOnePage) {
  Ref<FileStream> file = OpenFile(WriteFile("page.bin", Pattern(4096)));
  EXPECT_EQ(CountOf(file->GetBlock(4096)), 0u);
  EXPECT_EQ(CountOf(file->GetBlock(4095)), 1u);
}

TEST_F(DataStreamTest, DevicePathsUseBackslashesAndWideNames) {
  std::string path = WriteFile("caf\xC3\xA9.bin", Pattern(300));
  std::u16string device;
  for (char c : directory_.string()) device.push_back(c == '/' ? u'\\' : char16_t(c));
  device += u"\\caf\u00e9.bin";
  Ref<FileStream> file = FileStream::Open(&context_, device.c_str());
  EXPECT_EQ(file->Length(), 300u);

  testing::Caught missing = Capture(&context_, [&] { OpenFile(path + ".missing"); });
  EXPECT_TRUE(missing.IsRuntime(runtime::kOverflow));
  const char16_t unpaired[] = {u'/', 0xD800, u'x', 0};
  EXPECT_EQ(platform::_wfopen(unpaired, u"rb"), nullptr);
}

TEST_F(DataStreamTest, SeekInsideTheBufferFetchesNothing) {
  Ref<FileStream> file = OpenFile(WriteFile("seek.bin", Pattern(10000)));
  auto counting = MakeRef<CountingSource>(&context_, file);
  auto stream = MakeRef<SubRangeStream>(&context_, counting, 0);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(stream->ReadU8(), i % 251);
  EXPECT_EQ(counting->fetches, 1);

  stream->Seek(10);
  EXPECT_EQ(stream->ReadU8(), 10);
  EXPECT_EQ(counting->fetches, 1);

  stream->Seek(9000);
  EXPECT_EQ(stream->Position(), 9000u);
  EXPECT_EQ(stream->ReadU8(), 9000 % 251);
  EXPECT_EQ(counting->fetches, 2);
  stream->Seek(20);
  EXPECT_EQ(stream->ReadU8(), 20);
  EXPECT_EQ(counting->fetches, 3);
}

TEST_F(DataStreamTest, ContiguousRunsAcrossBlocks) {
  auto stream = MakeRef<ChainedStream>(&context_, Chunks(&context_, "abcdefghij", 3));
  ASSERT_GE(stream->EnsureContiguous(7), 7u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream->Cursor()), 7), "abcdefg");
  EXPECT_EQ(stream->Position(), 0u);
  stream->Advance(2);
  // A longer run from inside the side buffer.
  ASSERT_GE(stream->EnsureContiguous(6), 6u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream->Cursor()), 6), "cdefgh");
  std::string rest;
  while (!stream->AtEnd()) rest.push_back(static_cast<char>(stream->ReadU8()));
  EXPECT_EQ(rest, "cdefghij");

  auto shortStream = MakeRef<ChainedStream>(&context_, Chunks(&context_, "abcdefghij", 4));
  shortStream->Advance(1);
  EXPECT_EQ(shortStream->EnsureContiguous(20), 9u);
  EXPECT_TRUE(Capture(&context_, [&] { shortStream->RequireContiguous(20); })
                  .IsRuntime(runtime::kMalformed));
  shortStream->Advance(9);
  EXPECT_EQ(shortStream->EnsureContiguous(1), 0u);
  EXPECT_TRUE(Capture(&context_, [&] { shortStream->ReadU8(); }).IsRuntime(runtime::kMalformed));
}

TEST_F(DataStreamTest, SkipLineEnd) {
  struct Case {
    const char* name;
    std::string bytes;
    uint64_t position;
  };
  const Case cases[] = {
      {"first of CR CR LF", "ab\r\r\nx", 3},
      {"CR LF together", "ab\r\nx", 4},
      {"LF alone", "\nx", 1},
      {"end of data", "abc", 3},
  };
  for (const Case& c : cases) {
    auto stream = MakeRef<ChainedStream>(&context_, Chunks(&context_, c.bytes, 1));
    stream->SkipLineEnd();
    EXPECT_EQ(stream->Position(), c.position) << c.name;
  }
}

TEST_F(DataStreamTest, NumberStartsAndStringSearches) {
  struct Search {
    const char* name;
    std::string bytes;
    std::string text;
    int64_t limit;
    bool found;
    uint64_t position;  // where the stream stands afterwards
  };
  const Search searches[] = {
      {"empty text: found, nothing read", "xyz", "", 0, true, 0},
      {"limit below the text's length: nothing read", "d1", "d1", 1, false, 0},
      {"negative limit", "d1", "d1", -1, false, 0},
      {"at once", "d1 0 0", "d1", 2, true, 2},
      {"a match ending exactly at the limit", "  d1", "d1", 4, true, 4},
      {"a match one byte past the limit", "   d1", "d1", 4, false, 3},
      {"data ends first", "ab", "abc", 10, false, 0},
      {"split across one-byte blocks", "xxd0d1", "d1", 100, true, 6},
  };
  for (const Search& c : searches) {
    auto stream = MakeRef<ChainedStream>(&context_, Chunks(&context_, c.bytes, 1));
    EXPECT_EQ(stream->SkipPastString(c.text, c.limit), c.found) << c.name;
    EXPECT_EQ(stream->Position(), c.position) << c.name;
  }
  const struct {
    std::string bytes;
    bool number;
  } starts[] = {{"7", true}, {"-1", true}, {"+.5", true}, {".5", true}, {"d1", false}, {"", false}, {" 1", false}};
  for (const auto& c : starts) {
    auto stream = MakeRef<ChainedStream>(&context_, Chunks(&context_, c.bytes, 1));
    EXPECT_EQ(stream->AtNumberStart(), c.number) << "'" << c.bytes << "'";
    EXPECT_EQ(stream->Position(), 0u);
  }
}

TEST_F(DataStreamTest, FieldsBitsAndSampleTables) {
  auto stream = MakeRef<ChainedStream>(
      &context_, Chunks(&context_, testing::Bytes({0x12, 0x34, 0x56, 0xAB, 0xFF}), 2));
  const int32_t widths[] = {1, 0, 2};
  uint64_t fields[3] = {9, 9, 9};
  stream->ReadFieldsBE(fields, widths, 3);
  EXPECT_EQ(fields[0], 0x12u);
  EXPECT_EQ(fields[1], 0u);
  EXPECT_EQ(fields[2], 0x3456u);
  EXPECT_EQ(stream->Position(), 3u);
  EXPECT_EQ(stream->ReadBits(4), 0xAu);
  EXPECT_EQ(stream->ReadBits(8), 0xBFu);

  auto samples = MakeRef<ChainedStream>(
      &context_, Chunks(&context_, testing::Bytes({0xFF, 0x80, 0x00, 0x7F, 0xFF, 0xFF, 0xFF}), 3));
  uint16_t one[1];
  samples->ReadLutSamples16(one, 1, 1);
  EXPECT_EQ(one[0], 65535);
  uint16_t two[3];
  samples->ReadLutSamples16(two, 3, 2);
  EXPECT_EQ(two[0], 32769);
  EXPECT_EQ(two[1], 32767);
  // 0xFFFF would become 65536, which a 16-bit sample cannot hold.
  EXPECT_EQ(two[2], 65535);
}

TEST_F(DataStreamTest, SignedShortsAndBytesAsWordsAcrossBlocks) {
  auto stream = MakeRef<ChainedStream>(
      &context_, Chunks(&context_, testing::Bytes({0xFF, 0xFE, 0x80, 0x00, 0x7F, 0xFF, 0xC8, 0x01, 0x02}), 1));
  EXPECT_EQ(stream->ReadS16BE(), -2);
  EXPECT_EQ(stream->ReadS16BE(), -32768);
  EXPECT_EQ(stream->ReadS16BE(), 32767);
  uint32_t words[3] = {9, 9, 9};
  stream->ReadBytesAsWords(2, words);
  EXPECT_EQ(words[0], 0xC8u);  // zero-extended, not sign-extended
  EXPECT_EQ(words[1], 0x01u);
  EXPECT_EQ(words[2], 9u);
  EXPECT_EQ(stream->Position(), 8u);
  // Fewer bytes than asked: code 2, and nothing is taken.
  EXPECT_TRUE(Capture(&context_, [&] { stream->ReadBytesAsWords(2, words); }).IsRuntime(runtime::kMalformed));
  EXPECT_EQ(words[0], 0xC8u);
  EXPECT_EQ(stream->Position(), 8u);
  EXPECT_TRUE(Capture(&context_, [&] { stream->ReadS16BE(); }).IsRuntime(runtime::kMalformed));
  EXPECT_EQ(stream->ReadU8(), 0x02);
}

TEST_F(DataStreamTest, ResetBuffersKeepsThePositionAndTriesTheSourceAgain) {
  const uint8_t bytes[] = {1, 2, 3};
  auto counting = MakeRef<CountingSource>(&context_, MakeRef<MemoryDataSource>(&context_, bytes, 3));
  auto stream = MakeRef<SubRangeStream>(&context_, counting, 0);
  stream->ReadU8();
  stream->Advance(2);
  EXPECT_TRUE(stream->AtEnd());
  int before = counting->fetches;
  stream->ResetBuffers();
  EXPECT_EQ(stream->Position(), 3u);
  EXPECT_TRUE(stream->AtEnd());
  EXPECT_GT(counting->fetches, before);
  stream->Seek(1);
  EXPECT_EQ(stream->ReadU8(), 2);
}

TEST_F(DataStreamTest, FetchGuardResynchronisesAfterAnError) {
  std::string bytes = Pattern(50);
  auto source = MakeRef<ChunkSource>(&context_, bytes, 10);
  auto stream = MakeRef<ChainedStream>(&context_, source);
  for (int i = 0; i < 15; ++i) ASSERT_EQ(stream->ReadU8(), i);
  source->failAtFetch = source->fetches + 1;
  // The next refill crosses into the third block and fails.
  stream->Advance(5);
  EXPECT_TRUE(Capture(&context_, [&] { stream->ReadU8(); }).IsRuntime(runtime::kMalformed));
  EXPECT_TRUE(stream->RestartPending());
  EXPECT_EQ(stream->Position(), 20u);
  // The source restarts and the stream goes on at its read position.
  for (int i = 20; i < 50; ++i) ASSERT_EQ(stream->ReadU8(), i) << i;
  EXPECT_EQ(source->restarts, 1u);
  EXPECT_TRUE(stream->AtEnd());
}

class TextMembers final : public ConcatMembers {
 public:
  TextMembers(LibraryContext* context, std::vector<std::string> texts)
      : ConcatMembers(context), texts_(std::move(texts)) {}
  size_t Count() const override { return texts_.size(); }
  StreamRef Open(size_t index) override { return Chunks(Context(), texts_[index], 2); }

 private:
  std::vector<std::string> texts_;
};

TEST_F(DataStreamTest, ConcatenationReadsEveryMember) {
  struct Case {
    const char* name;
    std::vector<std::string> members;
    bool separator;
    std::string expected;
  };
  const Case cases[] = {
      {"separated", {"q", "Q"}, true, "q Q"},
      {"joined", {"q", "Q"}, false, "qQ"},
      // An empty member ends only itself; the members after it still read.
      {"empty middle member", {"q 1 0 0 1 0 0 cm", "", "Q"}, true, "q 1 0 0 1 0 0 cm  Q"},
      {"empty middle, joined", {"abc", "", "def"}, false, "abcdef"},
      {"empty first member", {"", "x"}, false, "x"},
      {"no members", {}, true, ""},
  };
  for (const Case& c : cases) {
    auto concat = MakeRef<ConcatStream>(&context_, MakeRef<TextMembers>(&context_, c.members),
                                        c.separator);
    EXPECT_EQ(Drain(*concat), c.expected) << c.name;
    EXPECT_TRUE(concat->AtEnd()) << c.name;
    concat->Restart(0);
    EXPECT_EQ(Drain(*concat), c.expected) << c.name << " after restart";
  }
}

TEST_F(DataStreamTest, MemorySourceAndRanges) {
  const uint8_t bytes[] = {10, 11, 12, 13, 14, 15};
  auto memory = MakeRef<MemoryDataSource>(&context_, bytes, 6);
  EXPECT_EQ(CountOf(memory->GetBlock(6)), 0u);
  EXPECT_EQ(CountOf(memory->GetBlock(5)), 1u);
  EXPECT_EQ(CountOf(memory->GetBlock(uint64_t{1} << 32)), 0u);
  EXPECT_EQ(memory->MemorySize(), 32u);
  auto empty = MakeRef<MemoryDataSource>(&context_, nullptr, 0);
  EXPECT_EQ(CountOf(empty->GetBlock(0)), 0u);

  auto range = MakeRef<FileRange>(&context_, memory, 1, 4);
  BlockRef block = range->GetBlock(1);
  ASSERT_EQ(CountOf(block), 2u);
  EXPECT_EQ(block->Data()[0], 12);
  EXPECT_EQ(CountOf(range->GetBlock(3)), 0u);
  EXPECT_EQ(range->Length(), 3u);
}

TEST_F(DataStreamTest, DecodedStoreServesRandomOffsets) {
  std::string bytes = Pattern(1000);
  auto source = MakeRef<ChunkSource>(&context_, bytes, 64);
  auto store = MakeRef<StreamDataStore>(&context_, source);
  EXPECT_EQ(store->Length(), 1000u);
  for (uint64_t offset : {500u, 10u, 999u, 0u, 640u, 1000u, 70u}) {
    BlockRef block = store->GetBlock(offset);
    if (offset == 1000) {
      EXPECT_EQ(CountOf(block), 0u);
      continue;
    }
    ASSERT_GT(CountOf(block), 0u) << offset;
    EXPECT_EQ(block->Data()[0], offset % 251) << offset;
  }
  auto stream = MakeRef<SubRangeStream>(&context_, store, 990);
  std::string tail;
  while (!stream->AtEnd()) tail.push_back(static_cast<char>(stream->ReadU8()));
  EXPECT_EQ(tail, bytes.substr(990));
}

TEST_F(DataStreamTest, DecodedStoreKeepsPagesSoRandomReadsDecodeOnce) {
  // 200 KB of decoded data in odd-sized source blocks, read at random the
  // way a font parser jumps about: every page is decoded once, not once
  // per jump backwards.
  const std::string bytes = Pattern(200000);
  auto source = MakeRef<ChunkSource>(&context_, bytes, 1000);
  auto store = MakeRef<StreamDataStore>(&context_, source);
  uint32_t seed = 1;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 1103515245u + 12345u;
    const uint64_t offset = (seed >> 8) % bytes.size();
    BlockRef block = store->GetBlock(offset);
    ASSERT_GT(CountOf(block), 0u) << offset;
    const size_t count = std::min<size_t>(block->Count(), bytes.size() - offset);
    ASSERT_EQ(std::string(reinterpret_cast<const char*>(block->Data()), count),
              bytes.substr(offset, count)) << offset;
  }
  EXPECT_EQ(store->Restarts(), 0u);
  EXPECT_LE(source->fetches, bytes.size() / 1000 + 2);
  EXPECT_EQ(store->Length(), bytes.size());
  EXPECT_EQ(CountOf(store->GetBlock(bytes.size())), 0u);
  EXPECT_EQ(CountOf(store->GetBlock(bytes.size() - 1)), 1u);

  // Under memory pressure pages go; a read before the decode position then
  // restarts the source and still reads right.
  context_.cacheManager.FreeBytes(UINT64_MAX / 2, false);
  BlockRef again = store->GetBlock(5);
  ASSERT_GT(CountOf(again), 0u);
  EXPECT_EQ(again->Data()[0], bytes[5]);
  EXPECT_EQ(store->Restarts(), 1u);
}

}  // namespace
}  // namespace streams
