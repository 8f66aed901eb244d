#include "raster/GlyphRecordStack.h"

#include <gtest/gtest.h>

#include "runtime/LibraryContext.h"
#include "tests/raster/StubFont.h"
#include "tests/support/CaughtError.h"

namespace {

using Stack = raster::GlyphRecordStack<uint32_t>;

Stack::FontRef Counted(runtime::LibraryContext* context, rastertest::StubFont& font) {
  return Stack::FontRef::Share(context, &font);
}

TEST(GlyphRecordStackTest, PopsAcrossChunksAndReleasesEachGroup) {
  struct Case {
    const char* name;
    uint32_t groupsPerChunk, recordsPerChunk, groups, pops;
  } cases[] = {
      {"one chunk", 8, 8, 3, 1},
      {"pop back into the previous chunk", 2, 2, 5, 3},
      {"chunk lengths of zero count as one", 0, 0, 4, 4},
      {"empty stack", 4, 4, 0, 0},
  };
  for (const Case& c : cases) {
    runtime::LibraryContext context;
    rastertest::StubFont font;
    {
      Stack stack(&context, c.groupsPerChunk, c.recordsPerChunk);
      for (uint32_t g = 0; g < c.groups; ++g) {
        Stack::Group& group = stack.PushBack(Counted(&context, font));
        for (uint32_t r = 0; r <= g; ++r) group.subRecords.Push(g * 100 + r);
      }
      EXPECT_EQ(font.refCount, 1 + c.groups) << c.name;
      for (uint32_t p = 0; p < c.pops; ++p) stack.PopBack();
      EXPECT_EQ(stack.Count(), c.groups - c.pops) << c.name;
      EXPECT_EQ(font.refCount, 1 + c.groups - c.pops) << c.name;
      if (stack.Count() != 0) {
        // The new top is the group pushed just before the popped ones.
        const uint32_t top = c.groups - c.pops - 1;
        EXPECT_EQ(stack.Back().subRecords.Count(), top + 1) << c.name;
        EXPECT_EQ(stack.Back().subRecords.Top(), top * 100 + top) << c.name;
      } else {
        EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { stack.PopBack(); }),
                  runtime::kMalformed)
            << c.name;
      }
    }
    EXPECT_EQ(font.refCount, 1u) << c.name;  // the rest went with the stack
  }
}

TEST(GlyphRecordStackTest, AnErrorPassingTheStackReleasesEveryGroup) {
  runtime::LibraryContext context;
  rastertest::StubFont font;
  const auto error = testsupport::CaughtError(&context, [&] {
    Stack stack(&context, 2, 2);
    for (int g = 0; g < 5; ++g) stack.PushBack(Counted(&context, font)).subRecords.Push(1);
    runtime::ThrowError(&context,
                        runtime::ErrorRecord{runtime::kRuntimeDomain, runtime::kMalformed, 0});
  });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(font.refCount, 1u);

  Stack stack(&context, 2, 2);
  stack.PushBack(Counted(&context, font));
  stack.Destroy();
  stack.Destroy();  // harmless when repeated
  EXPECT_EQ(stack.Count(), 0u);
  EXPECT_EQ(font.refCount, 1u);
}

}  // namespace
