// Parsing that stops because data is not there yet (or the thread is
// cancelled) resumes where it stopped: a later playback records and plays
// the same program as an uninterrupted one.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "content/ContentMachine.h"
#include "content/ContentStream.h"
#include "content/LoggingHandler.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"
#include "streams/DataBlock.h"
#include "tests/content/ContentTestSupport.h"

namespace {

// Hands out the content in blocks of 8 bytes, so that tokens straddle
// blocks, and fails once with `error` when asked for the block at or after
// `stallAt`.
class StallingStream final : public streams::DataStream {
 public:
  StallingStream(runtime::LibraryContext* context, const std::string& bytes, uint64_t stallAt,
                 runtime::ErrorRecord error)
      : DataStream(context, 0), bytes_(bytes), stallAt_(stallAt), error_(error) {}

  streams::BlockRef FetchBlock() override {
    const uint64_t at = NextFetchPosition();
    if (at >= bytes_.size()) return streams::MakeEmptyBlock(Context());
    if (!stalled_ && at >= stallAt_) {
      stalled_ = true;
      runtime::ThrowError(Context(), error_);
    }
    const auto count = static_cast<uint32_t>(std::min<uint64_t>(8, bytes_.size() - at));
    return streams::MakePlainBlock(Context(), reinterpret_cast<const uint8_t*>(bytes_.data()) + at,
                                   count);
  }
  bool Stalled() const { return stalled_; }

 private:
  const std::string& bytes_;
  uint64_t stallAt_;
  runtime::ErrorRecord error_;
  bool stalled_ = false;
};

TEST(ParseResumeTest, AStallAnywhereLeavesTheProgramAsIfUninterrupted) {
  runtime::LibraryContext context;
  const std::string content =
      "1 0 0 rg 10 20 m 30 40 l 50.5 60 70 80 90 100 c h S 2 w\n"
      "BT /F1 12 Tf (Hello) Tj [(a) -250 (b)] TJ ET % comment\n"
      "0 0 10 10 re W n 0.25 g 5 5 m 6 6 l f*";
  const std::string expected = contenttest::PlayText(&context, content).log;
  ASSERT_FALSE(expected.empty());

  for (const runtime::ErrorRecord error :
       {runtime::ErrorRecord{runtime::kDataIoDomain, 0, 0},
        runtime::ErrorRecord{runtime::kRuntimeDomain, runtime::kCancelled, 0}}) {
    for (uint64_t stallAt = 1; stallAt + 8 < content.size(); stallAt += 3) {
      auto stream = streams::MakeRef<StallingStream>(&context, content, stallAt, error);
      StallingStream* raw = stream.Get();
      contenttest::Program resources(&context, "");
      auto* machine = runtime::NewObject<content::ContentMachine>(
          &context, &context, nullptr, streams::DataStreamRef(std::move(stream)),
          resources.Resources());
      content::LoggingHandler first(&context, content::PageInfo{}, &resources.Resources());
      runtime::ErrorTrap trap(&context);
      const bool finished = trap.Run([&] { content::ContentStream::Run(*machine, first); });
      if (!finished) {
        trap.SetHandled();
        EXPECT_TRUE(trap.Held().Is(error.domain, error.code)) << stallAt;
        trap.Close();
      }
      EXPECT_TRUE(raw->Stalled()) << stallAt;
      content::LoggingHandler second(&context, content::PageInfo{}, &resources.Resources());
      EXPECT_FALSE(testsupport::RaisedCode([&] { content::ContentStream::Run(*machine, second); }))
          << stallAt;
      EXPECT_EQ(second.Log(), expected) << error.domain << " at " << stallAt;
      runtime::DestroyAndFree(&context, machine);
    }
  }
}

}  // namespace
