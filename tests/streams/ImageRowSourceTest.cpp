#include "streams/ImageRowSource.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/CoThread.h"
#include "runtime/Scheduler.h"
#include "runtime/ThreadHandle.h"
#include "tests/streams/StreamTestSupport.h"

namespace streams {
namespace {

using testing::Capture;
using testing::Chunks;

// Reads image rows on a cooperative thread, logging each one.
class RowReader final : public runtime::CoThread {
 public:
  RowReader(LibraryContext* context, std::string* log, char mark)
      : CoThread(context, runtime::kJobArenaBlockBytes, runtime::kJobArenaThreshold,
                 runtime::kJobStackBytes),
        log_(log),
        mark_(mark) {}
  void Run(LibraryContext* context) override {
    ImageRowSource rows(context, {4, 20, 8, 1}, Chunks(context, std::string(80, 'x'), 16));
    for (int i = 0; i < 20; ++i) {
      rows.NextRow();
      log_->push_back(mark_);
    }
  }

 private:
  std::string* log_;
  char mark_;
};

class ImageRowSourceTest : public ::testing::Test {
 protected:
  LibraryContext context_;
};

TEST_F(ImageRowSourceTest, RowSizes) {
  struct Case {
    const char* name;
    ImageGeometry geometry;
    uint32_t rowBytes;
  };
  const Case cases[] = {
      {"RGB", {10, 2, 8, 3}, 30},
      {"one bit", {10, 2, 1, 1}, 2},
      {"16-bit CMYK", {3, 1, 16, 4}, 24},
      {"DeviceN of 32", {1, 1, 8, 32}, 32},
  };
  for (const Case& c : cases) {
    ImageRowSource rows(&context_, c.geometry, Chunks(&context_, ""));
    EXPECT_EQ(rows.RowBytes(), c.rowBytes) << c.name;
    EXPECT_EQ(rows.Rect().width, c.geometry.width) << c.name;
  }
  ImageRowSource rows(&context_, {10, 2, 8, 3}, Chunks(&context_, ""));
  rows.SetRect({2, 0, 4, 2});
  EXPECT_EQ(rows.RowBytes(), 12u);
  for (ImageGeometry bad : {ImageGeometry{0, 1, 8, 1}, ImageGeometry{1, 0, 8, 1},
                            ImageGeometry{1, 1, 0, 1}, ImageGeometry{1, 1, 8, 33}}) {
    EXPECT_TRUE(Capture(&context_, [&] { ImageRowSource(&context_, bad, Chunks(&context_, "")); })
                    .IsRuntime(runtime::kMalformed));
  }
  EXPECT_TRUE(Capture(&context_, [&] {
                ImageRowSource(&context_, {0x7FFFFFFF, 1, 16, 32}, Chunks(&context_, ""));
              }).IsRuntime(runtime::kOverflow));
}

TEST_F(ImageRowSourceTest, RowsAcrossBlocksAndATruncatedLastRow) {
  std::string data;
  for (int i = 0; i < 65; ++i) data.push_back(static_cast<char>(i + 1));
  // Blocks of 7 bytes: most rows cross a block boundary.
  ImageRowSource rows(&context_, {10, 3, 8, 3}, Chunks(&context_, data, 7));
  for (int row = 0; row < 2; ++row) {
    const uint8_t* bytes = rows.NextRow();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 30), data.substr(size_t(row) * 30, 30));
  }
  const uint8_t* last = rows.NextRow();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(last), 30), data.substr(60) + std::string(25, '\0'));
  EXPECT_TRUE(Capture(&context_, [&] { rows.NextRow(); }).IsRuntime(runtime::kMalformed));
}

TEST_F(ImageRowSourceTest, TenRowsSpendAWholeBudget) {
  context_.workBudget = runtime::kWorkBudget;
  ImageRowSource rows(&context_, {4, 20, 8, 1}, Chunks(&context_, std::string(80, 'x'), 16));
  for (int i = 0; i < 10; ++i) rows.NextRow();
  // Without threads there is no one to yield to, and the budget stays spent.
  EXPECT_EQ(context_.workBudget, 0);
}

TEST_F(ImageRowSourceTest, ReadingRowsLetsOtherThreadsRun) {
  runtime::Scheduler scheduler(&context_);
  context_.threadingEnabled = true;
  context_.workBudget = runtime::kWorkBudget;
  std::string log;
  auto* first = runtime::NewObject<RowReader>(&context_, &context_, &log, 'a');
  runtime::ThreadHandle firstHandle(&context_, first);
  auto* second = runtime::NewObject<RowReader>(&context_, &context_, &log, 'b');
  runtime::ThreadHandle secondHandle(&context_, second);
  scheduler.StartThread(first);
  scheduler.StartThread(second);
  scheduler.RunUntil([&] { return log.size() == 40; });
  // The tenth row spends the budget: the thread yields inside that call,
  // before it logs the row, and the budget is full again for the other.
  EXPECT_EQ(log, std::string(9, 'a') + std::string(9, 'b') + std::string(10, 'a') +
                     std::string(10, 'b') + "ab");
  context_.threadingEnabled = false;
}

TEST_F(ImageRowSourceTest, CopyAllRowsCopiesEachRowInTurn) {
  ImageRowSource rows(&context_, {3, 2, 8, 1}, Chunks(&context_, "abcdefgh", 2));
  std::string out(8, '.');
  rows.CopyAllRows(reinterpret_cast<uint8_t*>(out.data()));
  EXPECT_EQ(out, "abcdef..");
  // A rectangle of no rows copies nothing.
  ImageRowSource none(&context_, {3, 2, 8, 1}, Chunks(&context_, "abcdef", 2));
  none.SetRect({0, 0, 3, 0});
  std::string untouched(4, '.');
  none.CopyAllRows(reinterpret_cast<uint8_t*>(untouched.data()));
  EXPECT_EQ(untouched, "....");
}

}  // namespace
}  // namespace streams
