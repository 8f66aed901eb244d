#include "runtime/XrefSection.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/CacheManager.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "tests/support/RaisedCode.h"

namespace runtime {
namespace {

using testsupport::RaisedCode;

// A section whose data is made up: the entry at byte position p has kind 2
// and offset p, so a test can see which position every entry came from.
class FakeSection : public XrefSection {
 public:
  explicit FakeSection(LibraryContext* context) : XrefSection(context) {}

  struct Read {
    uint64_t position;
    uint32_t count;
  };
  std::vector<Read> reads;
  bool failNextParse = false;

  ObjectHandle GetTrailer() override { return ObjectHandle(); }
  uint32_t EntrySize() override { return 20; }
  void ParseEntries(uint64_t position, XrefEntry* out, uint32_t count) override {
    reads.push_back({position, count});
    if (failNextParse) {
      failNextParse = false;
      ThrowRuntime(kMalformed);
    }
    for (uint32_t i = 0; i < count; ++i) out[i] = XrefEntry{2, 0, position + 20 * uint64_t{i}};
  }
};

constexpr uint64_t kPosition = 1000;

class XrefSectionTest : public ::testing::Test {
 protected:
  LibraryContext context;
  CacheManager& manager = context.cacheManager;
};

TEST_F(XrefSectionTest, BlocksAreReadOnceAndChargedBySize) {
  FakeSection section(&context);
  section.AddSubsection(10, 300, kPosition);

  XrefEntry last = section.GetEntry(10 + 299);
  EXPECT_EQ(last.kind, 2u);
  EXPECT_EQ(last.offset, kPosition + 20 * 299);
  ASSERT_EQ(section.reads.size(), 1u);
  EXPECT_EQ(section.reads[0].position, kPosition + 5120);
  EXPECT_EQ(section.reads[0].count, 44u);
  // Descriptor 24 bytes, block 16 x 44 + 24.
  EXPECT_EQ(manager.cachedBytes, 24u + 16 * 44 + 24);
  EXPECT_EQ(manager.entryCount, 2u);

  EXPECT_EQ(section.GetEntry(10 + 290).offset, kPosition + 20 * 290);
  EXPECT_EQ(section.reads.size(), 1u);

  // Entries 0, 127 and 128 fall in two blocks of 128.
  EXPECT_EQ(section.GetEntry(10 + 0).offset, kPosition);
  EXPECT_EQ(section.GetEntry(10 + 127).offset, kPosition + 20 * 127);
  EXPECT_EQ(section.GetEntry(10 + 128).offset, kPosition + 20 * 128);
  ASSERT_EQ(section.reads.size(), 3u);
  EXPECT_EQ(section.reads[1].position, kPosition);
  EXPECT_EQ(section.reads[1].count, 128u);
  EXPECT_EQ(section.reads[2].position, kPosition + 2560);
  EXPECT_EQ(section.reads[2].count, 128u);
  EXPECT_EQ(manager.cachedBytes, 24u + (16 * 44 + 24) + 2 * (16 * 128 + 24));

  // Purged blocks are parsed again on the next use.
  EXPECT_EQ(manager.PurgeTo(0, false), 0u);
  EXPECT_EQ(section.GetEntry(10 + 290).offset, kPosition + 20 * 290);
  EXPECT_EQ(section.reads.size(), 4u);
}

TEST_F(XrefSectionTest, ObjectsOutsideEverySubsectionHaveKindZero) {
  FakeSection section(&context);
  section.AddSubsection(10, 5, kPosition);
  section.AddSubsection(100, 1, kPosition + 200);
  for (uint32_t number : {0u, 9u, 15u, 99u, 101u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(section.GetEntry(number).kind, 0u) << number;
  }
  EXPECT_TRUE(section.reads.empty());
  EXPECT_EQ(manager.entryCount, 0u);
  EXPECT_EQ(section.GetEntry(100).offset, kPosition + 200);
}

TEST_F(XrefSectionTest, SubsectionsThatWouldWrapAreRejected) {
  FakeSection section(&context);
  struct Case {
    uint32_t first, count;
    bool accepted;
  } cases[] = {
      {0, 0x7FFFFFFF, true},
      {0x7FFFFFFE, 1, true},
      {0x7FFFFFFF, 1, false},
      {1, 0x7FFFFFFF, false},
      // Negative as 32-bit signed values: a sum in 32 bits would wrap to a
      // small count that seems to cover low object numbers.
      {0xFFFFFFF0u, 0x20, false},
      {5, 0xFFFFFFFFu, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(!RaisedCode([&] { section.AddSubsection(c.first, c.count, 0); }).has_value(),
              c.accepted)
        << c.first << " " << c.count;
  }
  EXPECT_EQ(section.SubsectionCount(), 2u);
}

TEST_F(XrefSectionTest, ParseErrorCachesNothing) {
  FakeSection section(&context);
  section.AddSubsection(0, 10, kPosition);
  const uint64_t inUse = context.memory.bytesInUse;
  section.failNextParse = true;
  EXPECT_EQ(RaisedCode([&] { section.GetEntry(3); }), kMalformed);
  // The descriptor stays cached; the block was freed and is read again.
  EXPECT_EQ(manager.entryCount, 1u);
  EXPECT_EQ(manager.cachedBytes, 24u);
  EXPECT_EQ(section.GetEntry(3).offset, kPosition + 60);
  EXPECT_EQ(section.reads.size(), 2u);
  EXPECT_GT(context.memory.bytesInUse, inUse);
}

TEST_F(XrefSectionTest, DestroyingTheSectionGivesEverythingBack) {
  const uint64_t inUse = context.memory.bytesInUse;
  {
    auto* section = NewObject<FakeSection>(&context, &context);
    section->AddSubsection(0, 1000, kPosition);
    for (uint32_t number = 0; number < 1000; number += 100) section->GetEntry(number);
    EXPECT_EQ(manager.entryCount, 9u);
    DestroyAndFree(&context, section);
  }
  EXPECT_EQ(manager.entryCount, 0u);
  EXPECT_EQ(manager.cachedBytes, 0u);
  EXPECT_EQ(manager.caches, nullptr);
  EXPECT_EQ(context.memory.bytesInUse, inUse);
}

}  // namespace
}  // namespace runtime
