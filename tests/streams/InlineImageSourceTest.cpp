#include "streams/InlineImageSource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "streams/ChainedStream.h"
#include "tests/streams/StreamTestSupport.h"

namespace streams {
namespace {

using testing::Chunks;

class InlineImageSourceTest : public ::testing::Test {
 protected:
  std::vector<std::string> Blocks(const std::string& content, size_t chunk, size_t skip = 0) {
    auto stream = MakeRef<ChainedStream>(&context_, Chunks(&context_, content, chunk));
    stream->Advance(skip);
    auto source = MakeRef<InlineImageSource>(&context_, stream);
    std::vector<std::string> blocks;
    for (BlockRef block = source->FetchBlock(); CountOf(block) > 0; block = source->FetchBlock()) {
      blocks.emplace_back(reinterpret_cast<const char*>(block->Data()), block->Count());
    }
    EXPECT_TRUE(source->AtEnd());
    return blocks;
  }
  LibraryContext context_;
};

TEST_F(InlineImageSourceTest, BlocksStartAtEveryE) {
  using List = std::vector<std::string>;
  EXPECT_EQ(Blocks("12E4EI Q", 100), (List{"12", "E4", "EI Q"}));
  EXPECT_EQ(Blocks("ID xyEI", 100, 3), (List{"xy", "EI"}));
  EXPECT_EQ(Blocks("E", 100), (List{"E"}));
  // Across small content blocks the bytes still come in order, and every
  // "E" still leads a block.
  std::string joined;
  for (const std::string& block : Blocks("abcdEfgEEhiEI Q", 3)) {
    size_t e = block.find('E');
    EXPECT_TRUE(e == std::string::npos || e == 0) << block;
    joined += block;
  }
  EXPECT_EQ(joined, "abcdEfgEEhiEI Q");
}

TEST_F(InlineImageSourceTest, AtEndFollowsTheContentStream) {
  auto stream = MakeRef<ChainedStream>(&context_, Chunks(&context_, "ab", 1));
  auto source = MakeRef<InlineImageSource>(&context_, stream);
  EXPECT_FALSE(source->AtEnd());
  source->FetchBlock();
  source->FetchBlock();
  EXPECT_TRUE(source->AtEnd());
}

TEST_F(InlineImageSourceTest, ContentStandsAfterTheLastBlockHandedOut) {
  struct Case {
    const char* name;
    std::string content;
    size_t fetches;
    uint64_t position;  // of the content once the source is gone
  };
  const Case cases[] = {
      // However little of the block a reader used, all of it is consumed.
      {"one block", "ab cd EI Q", 1, 6},
      {"two blocks", "ab Ecd EI Q", 2, 7},
      {"nothing fetched", "ab EI", 0, 0},
  };
  for (const Case& c : cases) {
    auto stream = MakeRef<ChainedStream>(&context_, Chunks(&context_, c.content, 100));
    {
      auto source = MakeRef<InlineImageSource>(&context_, stream);
      EXPECT_EQ(source->MemorySize(), 32u);
      for (size_t i = 0; i < c.fetches; ++i) source->FetchBlock();
    }
    EXPECT_EQ(stream->Position(), c.position) << c.name;
  }
}

TEST_F(InlineImageSourceTest, LimitsAndTheEndKeyword) {
  auto blocks = [&](const std::string& content, bool stop, uint64_t limit) {
    auto stream = MakeRef<ChainedStream>(&context_, Chunks(&context_, content, 100));
    std::string data;
    {
      auto source = MakeRef<InlineImageSource>(&context_, stream);
      if (stop) source->StopAtEndKeyword();
      source->LimitTo(limit);
      for (BlockRef block = source->FetchBlock(); CountOf(block) > 0;
           block = source->FetchBlock()) {
        data += "[" + std::string(reinterpret_cast<const char*>(block->Data()), block->Count()) +
                "]";
      }
      EXPECT_TRUE(source->AtEnd());
    }
    return data + std::to_string(stream->Position());
  };
  EXPECT_EQ(blocks("ab EI Q", false, 4), "[ab ][E]4");
  EXPECT_EQ(blocks("ab EI Q", true, UINT64_MAX), "[ab ]3");
  // Only a keyword after white space and before a delimiter ends the data.
  EXPECT_EQ(blocks("aEI EIx EI/", true, UINT64_MAX), "[a][EI ][EIx ]8");
  EXPECT_EQ(blocks("EI", true, UINT64_MAX), "0");
}

}  // namespace
}  // namespace streams
