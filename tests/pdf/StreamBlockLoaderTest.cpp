// Ranges of a document's data read into an arena block whose size is
// rounded up to 8, the rest zero.
#include "pdf/StreamBlockLoader.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/ArenaAllocator.h"
#include "streams/MemoryDataSource.h"
#include "streams/SubRangeStream.h"
#include "tests/support/CaughtError.h"

namespace {

TEST(StreamBlockLoaderTest, ReadsTheRange) {
  runtime::LibraryContext context;
  const std::string data = "0123456789abcdefghij";
  auto source = streams::MakeRef<streams::MemoryDataSource>(
      &context, reinterpret_cast<const uint8_t*>(data.data()),
      static_cast<uint32_t>(data.size()));
  auto stream = streams::MakeRef<streams::SubRangeStream>(&context, source, 0);
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  pdf::StreamBlockLoader loader(arena);
  struct Case {
    uint64_t start;
    uint64_t end;
    std::string bytes;  // the block, padding included
    uint32_t read;
  };
  const Case cases[] = {
      {3, 8, std::string("34567") + std::string(3, '\0'), 5},
      {0, 16, "0123456789abcdef", 16},
      // The stream ends first: what it could not give reads as zero.
      {16, 25, std::string("ghij") + std::string(12, '\0'), 4},
      {7, 7, "", 0},
  };
  for (const Case& c : cases) {
    uint32_t read = 99;
    const uint8_t* block = loader.Load(*stream, {c.start, c.end}, &read);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block), c.bytes.size()), c.bytes)
        << c.start;
    EXPECT_EQ(read, c.read) << c.start;
  }
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { loader.Load(*stream, {8, 3}); }), 2);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { loader.Load(*stream, {0, 1ull << 32}); }),
            6);
}

}  // namespace
