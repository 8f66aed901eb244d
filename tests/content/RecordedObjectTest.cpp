// Text-show and marked-content operations recorded as objects: what they
// keep, the calls they replay, and the arena copies they are built from.
#include <gtest/gtest.h>

#include <list>
#include <string>

#include "content/MarkedContentOp.h"
#include "content/RecordedObject.h"
#include "content/ShowArrayOp.h"
#include "content/ShowSpacedStringOp.h"
#include "content/ShowStringOp.h"
#include "runtime/ArenaAllocator.h"
#include "tests/content/ContentTestSupport.h"

namespace {

using contenttest::PlayText;
using runtime::ObjectValue;

class RecordedObjectTest : public ::testing::Test {
 protected:
  RecordedObjectTest() { context_.memory.SetBudget(runtime::kNoLimit); }

  // One value parsed from `text`, kept in the test's store.
  ObjectValue Parse(const std::string& text) {
    texts_.push_back(text);
    auto stream = contenttest::StreamOver(&context_, texts_.back());
    return pdf::TokenParser::Parse(&context_, *stream, *store_, {});
  }

  runtime::LibraryContext context_;
  runtime::StoreRef store_ =
      runtime::StoreRef::Adopt(&context_, runtime::ValueStore::New(&context_));
  std::list<std::string> texts_;
  runtime::ArenaAllocator arena_{&context_, 4096, 1024};
};

TEST_F(RecordedObjectTest, TextShowsReplayTheirCallsInOrder) {
  struct Case {
    const char* name;
    const char* content;
    const char* log;
  };
  const Case cases[] = {
      {"Tj shows alone", "BT (a) Tj ET", "BeginText\nShowText (a) at 0 0\nEndText\n"},
      {"quote moves to the next line first", "BT 5 TL (a) ' ET",
       "BeginText\nSetLeading 5\nNextLine\nShowText (a) at 0 -5\nEndText\n"},
      {"double quote: word spacing, char spacing, next line, show", "BT 5 TL 3 1 (a) \" ET",
       "BeginText\nSetLeading 5\nSetWordSpacing 3\nSetCharSpacing 1\nNextLine\n"
       "ShowText (a) at 0 -5\nEndText\n"},
      {"TJ keeps strings and numbers in order", "BT [(a) -250 () 1.5 (bc)] TJ [] TJ ET",
       "BeginText\nShowTextArray [(a) -250 () 1.5 (bc)] at 0 0\nShowTextArray [] at 0 0\n"
       "EndText\n"},
      {"marked content", "/P <</MCID 4>> BDC EMC",
       "BeginMarkedContent mcid=4\nEndMarkedContent\n"},
  };
  for (const Case& c : cases) {
    const auto played = PlayText(&context_, c.content);
    EXPECT_FALSE(played.error) << c.name;
    EXPECT_EQ(played.log, c.log) << c.name;
  }
}

TEST_F(RecordedObjectTest, MalformedTextOperandsFailWhenRecorded) {
  struct Case {
    const char* name;
    const char* content;
  };
  const Case cases[] = {
      {"a name in TJ", "BT [(a) /N] TJ ET"},
      {"a dictionary in TJ", "BT [<<>>] TJ ET"},
      {"a boolean in TJ", "BT [true] TJ ET"},
      {"TJ of a string", "BT (a) TJ ET"},
      {"Tj of a number", "BT 3 Tj ET"},
      {"double quote of a name", "BT 1 2 /a \" ET"},
      {"double quote with a string spacing", "BT (x) 2 (a) \" ET"},
  };
  for (const Case& c : cases) {
    const auto played = PlayText(&context_, c.content);
    EXPECT_EQ(played.error, 2u) << c.name;
    // The error stops the program before the text object's show.
    EXPECT_EQ(played.log.find("Show"), std::string::npos) << c.name;
  }
  // Built alone, the TJ record refuses the name itself, before any replay.
  const ObjectValue array = Parse("[(a) /N]");
  EXPECT_EQ(testsupport::RaisedCode([&] { content::ShowArrayOp op(arena_, array); }), 2u);
}

TEST_F(RecordedObjectTest, RecordsKeepArenaCopiesAndTheWholePlane) {
  const ObjectValue array = Parse("[(ab) -250 2147483648 7]");
  content::ShowArrayOp show(arena_, array);
  ASSERT_EQ(show.count, 4u);
  EXPECT_EQ(show.Kind(), 39u);
  EXPECT_TRUE(show.elements[0].IsString());
  EXPECT_EQ(show.elements[0].tag, 5u);
  EXPECT_EQ(show.elements[0].payload.string->View(), "ab");
  EXPECT_NE(show.elements[0].payload.string->Bytes(), array.AsArray().items[0].AsString().Bytes());
  EXPECT_EQ(show.elements[1].tag, 3u);
  EXPECT_EQ(show.elements[1].payload.adjustment, runtime::FixedFromInt(-250));
  // An integer too large for 32 bits is still an adjustment, clamped.
  EXPECT_EQ(show.elements[2].tag, 3u);
  EXPECT_EQ(show.elements[3].payload.adjustment, runtime::FixedFromInt(7));
  // {tag, payload} with a 64-bit pointer as payload.
  EXPECT_EQ(sizeof(content::TextArrayElement), 16u);

  const runtime::Rect plane{static_cast<runtime::Fixed>(0x80000001),
                            static_cast<runtime::Fixed>(0x80000001), 0x7fffffff, 0x7fffffff};
  EXPECT_EQ(show.bounds, plane);
  const ObjectValue text = Parse("(hello)");
  content::ShowStringOp string(arena_, text, true);
  EXPECT_EQ(string.Kind(), 38u);
  EXPECT_EQ(string.bounds, plane);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(string.bytes), string.count), "hello");
  EXPECT_NE(string.bytes, text.AsString().Bytes());
  content::ShowSpacedStringOp spaced(arena_, text, 1, 2);
  EXPECT_EQ(spaced.Kind(), 40u);
  EXPECT_EQ(spaced.bounds, plane);
  EXPECT_EQ(content::MarkedContentOp().Kind(), 41u);
}

TEST_F(RecordedObjectTest, CopyCStringRoundsLengthPlusEightDown) {
  struct Case {
    std::string text;
    uint32_t bytes;
  };
  const Case cases[] = {{"", 8}, {"a", 8}, {"abcdefg", 8}, {"abcdefgh", 16}, {"Normal", 8}};
  arena_.Alloc(8);  // the arena's first block is in place from here on
  for (const Case& c : cases) {
    const uint32_t before = arena_.remaining;
    const char* copy = content::CopyCString(arena_, c.text);
    EXPECT_EQ(before - arena_.remaining, c.bytes) << c.text;
    EXPECT_EQ(std::string(copy), c.text);
  }
}

}  // namespace
