#include "streams/ImageRowSource.h"

#include <gtest/gtest.h>

#include <string>

#include "streams/WorkBudget.h"
#include "tests/streams/StreamTestSupport.h"

namespace streams {
namespace {

using testing::Capture;
using testing::Chunks;

int g_yields = 0;

void CountingYield(LibraryContext* context) {
  ++g_yields;
  context->workBudget = runtime::kWorkBudget;
}

class ImageRowSourceTest : public ::testing::Test {
 protected:
  void TearDown() override { SetYieldHandler(nullptr); }
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

TEST_F(ImageRowSourceTest, RowsSpendTheWorkBudget) {
  g_yields = 0;
  SetYieldHandler(&CountingYield);
  context_.workBudget = runtime::kWorkBudget;
  ImageRowSource rows(&context_, {4, 20, 8, 1}, Chunks(&context_, std::string(80, 'x'), 16));
  for (int i = 0; i < 10; ++i) rows.NextRow();
  EXPECT_EQ(g_yields, 1);
  EXPECT_EQ(context_.workBudget, runtime::kWorkBudget);
}

}  // namespace
}  // namespace streams
