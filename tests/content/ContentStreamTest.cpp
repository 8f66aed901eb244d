// Playback of recorded content into a logging handler: the calls, the
// repeat cache, spans, errors and the budget.
#include <gtest/gtest.h>

#include <string>

#include "content/ContentMachine.h"
#include "content/ContentOps.h"
#include "content/ContentStream.h"
#include "content/LoggingHandler.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"
#include "runtime/StrokeStyle.h"
#include "tests/content/ContentTestSupport.h"

namespace {

using contenttest::Play;
using contenttest::PlayText;
using contenttest::Program;

class ContentStreamTest : public ::testing::Test {
 protected:
  ContentStreamTest() { context_.memory.SetBudget(runtime::kNoLimit); }
  runtime::LibraryContext context_;
};

TEST_F(ContentStreamTest, PlaysPathsAndTextInOrder) {
  const auto played = PlayText(
      &context_,
      "q 2 0 0 2 10 20 cm 1 0 0 rg 0 0 m 10 0 l 10 10 l h f Q "
      "BT /F1 12 Tf 0 -14 TD (Hi) Tj T* [(a) -250 (b)] TJ ET");
  EXPECT_FALSE(played.error);
  EXPECT_EQ(played.log,
            "SaveState\n"
            "ConcatMatrix 2 0 0 2 10 20\n"
            "SetColorSpace fill 1\n"
            "SetColor fill 1 0 0\n"
            "PaintPath fill 0 0 m 10 0 l 10 10 l h\n"
            "BeginText\n"
            "SetFont /F1 12\n"
            "MoveText 0 -14 leading\n"
            "ShowText (Hi) at 0 -14\n"
            "NextLine\n"
            "ShowTextArray [(a) -250 (b)] at 0 -28\n"
            "EndText\n");
}

TEST_F(ContentStreamTest, TextPositioning) {
  struct Case {
    const char* name;
    const char* content;
    const char* lastShow;
  };
  const Case cases[] = {
      // TD keeps -ty as the leading, so T* moves by ty once more.
      {"TD then T*", "BT 0 -12 TD T* (x) Tj ET", "ShowText (x) at 0 -24"},
      {"TL then T*", "BT 12 TL T* (x) Tj ET", "ShowText (x) at 0 -12"},
      {"Td is relative to Tm", "BT 1 0 0 1 100 200 Tm 5 -5 Td (x) Tj ET",
       "ShowText (x) at 105 195"},
      {"BT starts from identity", "BT 50 50 Td ET BT (x) Tj ET", "ShowText (x) at 0 0"},
      {"quote moves to the next line", "BT 10 TL (a) Tj (x) ' ET", "ShowText (x) at 0 -10"},
      {"double quote sets spacing first", "BT 10 TL 3 1 (x) \" ET", "ShowText (x) at 0 -10"},
  };
  for (const Case& c : cases) {
    const auto played = PlayText(&context_, c.content);
    EXPECT_FALSE(played.error) << c.name;
    const std::string& log = played.log;
    const size_t at = log.rfind("ShowText");
    ASSERT_NE(at, std::string::npos) << c.name;
    EXPECT_EQ(log.substr(at, log.find('\n', at) - at), c.lastShow) << c.name;
  }
}

TEST_F(ContentStreamTest, HorizontalScaleDividesByHundred) {
  // 100 is exact; other values are within a unit of the last place.
  const auto played = PlayText(&context_, "100 Tz 50 Tz 200 Tz");
  EXPECT_EQ(played.log,
            "SetHorizontalScale 1\nSetHorizontalScale 0.5\nSetHorizontalScale 1.9999\n");
}

TEST_F(ContentStreamTest, RepeatedOperationRecordsOnce) {
  std::string content;
  for (int i = 0; i < 300; ++i) content += "1 0 0 rg ";
  Program program(&context_, content);
  const auto played = Play(&context_, program);
  EXPECT_FALSE(played.error);
  content::ContentMachine& machine = program.Machine();
  ASSERT_EQ(machine.opcodes.Size(), 300u);
  EXPECT_EQ(machine.opcodes[0], content::kOpRgb);
  for (uint32_t i = 1; i < 300; ++i) ASSERT_EQ(machine.opcodes[i], content::kFirstRepeat) << i;
  EXPECT_EQ(machine.words.Size(), 3u);
  size_t calls = 0;
  for (size_t at = played.log.find("SetColor fill 1 0 0\n"); at != std::string::npos;
       at = played.log.find("SetColor fill 1 0 0\n", at + 1)) {
    ++calls;
  }
  EXPECT_EQ(calls, 300u);
}

TEST_F(ContentStreamTest, OldestCachedOperationIsEvicted) {
  // 221 distinct widths fill the 220 entries and evict the first; the
  // first width after them is recorded in full, the last one repeats.
  std::string content;
  std::string expected;
  for (int i = 1; i <= 221; ++i) {
    content += std::to_string(i) + " w ";
    expected += "SetLineWidth " + std::to_string(i) + "\n";
  }
  content += "1 w 221 w";
  expected += "SetLineWidth 1\nSetLineWidth 221\n";
  Program program(&context_, content);
  const auto played = Play(&context_, program);
  EXPECT_FALSE(played.error);
  EXPECT_EQ(played.log, expected);
  const content::ContentMachine& machine = program.Machine();
  ASSERT_EQ(machine.opcodes.Size(), 223u);
  EXPECT_EQ(machine.opcodes[221], content::kOpLineWidth);
  EXPECT_GE(machine.opcodes[222], content::kFirstRepeat);
}

TEST_F(ContentStreamTest, SpansEndAtTheirRestore) {
  struct Case {
    const char* name;
    const char* content;
    const char* log;
  };
  const Case cases[] = {
      {"Q inside a text object ends it and its q", "q BT (a) Tj Q 2 w",
       "SaveState\nBeginText\nShowText (a) at 0 0\nEndText\nSetLineWidth 2\n"},
      // A Q with no q open is ignored, or the rest of the page would be lost.
      {"Q without q is ignored", "1 w Q 2 w", "SetLineWidth 1\nSetLineWidth 2\n"},
      {"text ended by Q at top level goes on", "BT (a) Tj Q 2 w",
       "BeginText\nShowText (a) at 0 0\nEndText\nSetLineWidth 2\n"},
      {"surplus Q after a balanced pair", "q 1 w Q Q 2 w",
       "SaveState\nSetLineWidth 1\nSetLineWidth 2\n"},
      {"q without Q ends with the stream", "q 1 w", "SaveState\nSetLineWidth 1\n"},
      {"nested q", "q q 1 w Q 2 w Q 3 w",
       "SaveState\nSaveState\nSetLineWidth 1\nSetLineWidth 2\nSetLineWidth 3\n"},
  };
  for (const Case& c : cases) {
    const auto played = PlayText(&context_, c.content);
    EXPECT_FALSE(played.error) << c.name;
    EXPECT_EQ(played.log, c.log) << c.name;
  }
}

TEST_F(ContentStreamTest, RestoreBringsBackTheOuterState) {
  Program program(&context_, "5 w q 7 w 2 0 0 2 0 0 cm Q");
  content::PageInfo page;
  content::LoggingHandler handler(&context_, page, &program.Resources());
  content::ContentStream::Run(program.Machine(), handler);
  EXPECT_EQ(handler.State().stroke.width, runtime::FixedFromInt(5));
  EXPECT_EQ(handler.State().ctm, runtime::kIdentityMatrix);
}

TEST_F(ContentStreamTest, ErrorsAreRaisedAfterWhatWasRecorded) {
  std::string fifty;
  for (int i = 1; i <= 50; ++i) fifty += std::to_string(i) + " w ";
  struct Case {
    const char* name;
    std::string content;
    std::optional<uint32_t> error;
    size_t calls;
  };
  const Case cases[] = {
      {"syntax error after 50 operators", fifty + ") 1 w", 2, 50},
      {"unknown operator", "1 w foo 2 w", 2, 1},
      {"unknown operator in BX/EX is skipped", "BX 1 w 3 foo EX 2 w", std::nullopt, 2},
      {"curve without a path", "BT 1 2 3 4 5 6 c ET", 2, 2},
      {"v without a current point", "0 0 m h S 1 2 3 4 v", 2, 1},
      {"line cap out of range", "1 w 3 J", 2, 1},
      {"negative width", "-1 w", 2, 0},
      {"render mode above 7", "BT 8 Tr ET", 2, 2},
      {"zero dash", "[0 0] 0 d", 2, 0},
      {"text show outside text", "(a) Tj", 2, 0},
      {"path in a text object", "BT 0 0 m", 2, 2},
      {"TJ with a name", "BT [/a] TJ ET", 2, 2},
  };
  for (const Case& c : cases) {
    const auto played = PlayText(&context_, c.content);
    EXPECT_EQ(played.error, c.error) << c.name;
    size_t lines = 0;
    for (char ch : played.log) lines += ch == '\n' ? 1 : 0;
    EXPECT_EQ(lines, c.calls) << c.name << "\n" << played.log;
  }
}

TEST_F(ContentStreamTest, PathsAndClips) {
  struct Case {
    const char* name;
    const char* content;
    const char* log;
  };
  const Case cases[] = {
      {"rectangle", "1 2 3 4 re f", "PaintPath fill 1 2 m 4 2 l 4 6 l 1 6 l h\n"},
      {"clip then end path", "0 0 10 10 re W n",
       "PaintPath clip 0 0 m 10 0 l 10 10 l 0 10 l h\n"},
      {"even-odd fill and stroke, closed", "0 0 m 1 1 l b*",
       "PaintPath stroke eofill 0 0 m 1 1 l h\n"},
      {"v and y", "0 0 m 1 1 2 2 v 3 3 4 4 y S",
       "PaintPath stroke 0 0 m 0 0 c 1 1 c 2 2 c 3 3 c 4 4 c 4 4 c\n"},
      {"an unpainted path is dropped", "0 0 m 5 5 l 9 9 m 8 8 l S",
       "PaintPath stroke 0 0 m 5 5 l 9 9 m 8 8 l\n"},
  };
  for (const Case& c : cases) {
    const auto played = PlayText(&context_, c.content);
    EXPECT_FALSE(played.error) << c.name;
    EXPECT_EQ(played.log, c.log) << c.name;
  }
}

TEST_F(ContentStreamTest, InlineImages) {
  struct Case {
    const char* name;
    std::string content;
    std::optional<uint32_t> error;
    const char* log;
  };
  const Case cases[] = {
      {"raw data holding EI", "BI /W 2 /H 1 /BPC 8 /CS /G ID EI EI 1 w",
       std::nullopt, "PaintImage 2x1 data=2\nSetLineWidth 1\n"},
      {"AHx data without the one separator", "BI /W 1 /H 1 /CS /G /F /AHx ID\n\n00> EI 1 w",
       std::nullopt, "PaintImage 1x1 data=1\nSetLineWidth 1\n"},
      {"binary data needs a separator", "BI /W 1 /H 1 /CS /G ID\x01 EI", 2, ""},
      {"broken Flate data end quietly before the image's EI",
       "BI /W 1 /H 1 /CS /G /F /Fl ID xEIx EI 2 w", std::nullopt,
       "PaintImage 1x1 data=1\nSetLineWidth 2\n"},
  };
  for (const Case& c : cases) {
    const auto played = PlayText(&context_, c.content);
    EXPECT_EQ(played.error, c.error) << c.name;
    EXPECT_EQ(played.log, c.log) << c.name;
  }
}

TEST_F(ContentStreamTest, MarkedContent) {
  const auto played = PlayText(&context_,
                               "/P <</MCID 3>> BDC EMC /Span /Props BDC EMC /X MP "
                               "/Y <<>> DP",
                               "<< /Properties << /Props << /MCID 9 >> >> >>");
  EXPECT_FALSE(played.error);
  EXPECT_EQ(played.log,
            "BeginMarkedContent mcid=3\nEndMarkedContent\nBeginMarkedContent mcid=9\n"
            "EndMarkedContent\nBeginMarkedContent\nEndMarkedContent\nBeginMarkedContent\n"
            "EndMarkedContent\n");
  EXPECT_EQ(PlayText(&context_, "/P 5 BDC EMC").error, 2u);
  // A marked point's properties are not used, so nothing about them fails.
  const auto point = PlayText(&context_, "/X 5 DP /Y [1] DP 2 w");
  EXPECT_FALSE(point.error);
  EXPECT_EQ(point.log,
            "BeginMarkedContent\nEndMarkedContent\nBeginMarkedContent\nEndMarkedContent\n"
            "SetLineWidth 2\n");
}

TEST_F(ContentStreamTest, SmallBudgetPlaysTheSameCalls) {
  const std::string content =
      "q 1 0 0 rg 0 0 10 10 re f Q BT /F1 9 Tf (a) Tj ET 1 0 0 rg 1 0 0 rg";
  const auto unlimited = PlayText(&context_, content);
  context_.workBudget = 1;
  const auto tight = PlayText(&context_, content);
  EXPECT_EQ(tight.log, unlimited.log);
  // Every operation was charged (parsing charges its own share on top):
  // five top-level ones and six inside spans.
  EXPECT_LE(context_.workBudget, 1 - 5 * runtime::kWorkCostStep - 6 * runtime::kWorkCostLight);
}

TEST_F(ContentStreamTest, ProgramPlaysTwiceTheSame) {
  std::string content;
  for (int i = 0; i < 600; ++i) content += std::to_string(i % 230) + " w 1 0 0 rg ";
  Program program(&context_, content);
  const auto first = Play(&context_, program);
  const auto second = Play(&context_, program);
  EXPECT_FALSE(first.error);
  EXPECT_EQ(first.log, second.log);
}

TEST_F(ContentStreamTest, AHugeDashAndManySavesPlayInBoundedWork) {
  // A small compressed page can hold a dash of two million lengths and
  // 100,000 saves: each save copied the whole dash (minutes of copying).
  // Such a dash now draws solid and is not even recorded, so a save copies
  // a few words and playback allocates next to nothing.
  std::string content = "[";
  for (int i = 0; i < 2000000; ++i) content += "1 ";
  content += "] 0 d ";
  for (int i = 0; i < 100000; ++i) content += "q Q ";
  content += "0 0 m 5 5 l S";
  Program program(&context_, content);
  const auto first = Play(&context_, program);
  EXPECT_FALSE(first.error);
  EXPECT_EQ(first.log.substr(0, 11), "SetDash [] ");
  EXPECT_LT(program.Machine().words.Size(), 100u);
  // The second playback reads no stream: what it allocates is what the
  // saves cost.
  context_.memory.peakBytes = context_.memory.bytesInUse;
  const auto second = Play(&context_, program);
  EXPECT_EQ(second.log, first.log);
  EXPECT_LT(context_.memory.peakBytes - context_.memory.bytesInUse, uint64_t{256} << 10);
  // A dash of the largest length still drawn dashed is kept.
  std::string kept = "[";
  for (uint32_t i = 0; i < runtime::StrokeStyle::kMaxDashes; ++i) kept += "1 ";
  Program longest(&context_, kept + "] 0 d");
  content::PageInfo page;
  content::LoggingHandler handler(&context_, page, &longest.Resources());
  content::ContentStream::Run(longest.Machine(), handler);
  EXPECT_EQ(handler.State().stroke.dashes.Count(), runtime::StrokeStyle::kMaxDashes);
}

TEST_F(ContentStreamTest, ParsingChargesWorkByTheToken) {
  // One path of a million segments records a single operation; parsing it
  // must still cost work (and so let the thread yield), slice by slice.
  std::string content = "0 0 m";
  for (int i = 0; i < 1000000; ++i) content += " 1 1 l";
  content += " S 2 w";
  Program program(&context_, content);
  constexpr int32_t kStart = 2000000000;
  context_.workBudget = kStart;
  const auto played = Play(&context_, program);
  EXPECT_FALSE(played.error);
  EXPECT_NE(played.log.find("SetLineWidth 2"), std::string::npos);
  EXPECT_LE(context_.workBudget,
            kStart - int64_t{3000000} * content::ContentOps::kTokenCost);
}

TEST_F(ContentStreamTest, AnErrorAfterAnUnpaintedPathKeepsWhatCameBefore) {
  // A bad operand to the operator that would start a new path, after a
  // path that was never painted: the operators before it play, the error
  // follows, and a second playback is the same (the cut-back once ran past
  // the dropped path's segments, lost the slice and parsed on the next time).
  struct Case {
    const char* name;
    const char* content;
    const char* log;
  };
  const Case cases[] = {
      {"m after a restore", "2 w 0 0 m 10 10 l Q /x 5 m 1 w", "SetLineWidth 2\n"},
      {"l after a restore", "2 w 0 0 m 10 10 l Q 5 (y) l 1 w", "SetLineWidth 2\n"},
      {"m after a text object", "2 w 0 0 m 1 1 l BT ET /x /y m",
       "SetLineWidth 2\nBeginText\nEndText\n"},
  };
  for (const Case& c : cases) {
    Program program(&context_, c.content);
    const auto first = Play(&context_, program);
    const auto second = Play(&context_, program);
    EXPECT_EQ(first.error, 2u) << c.name;
    EXPECT_EQ(second.error, 2u) << c.name;
    EXPECT_EQ(first.log, c.log) << c.name;
    EXPECT_EQ(second.log, first.log) << c.name;
  }
}

}  // namespace

namespace {

// Plays every text object a second time from its end, the way a painter
// replays a knockout group.
class ReplayingHandler : public content::LoggingHandler {
 public:
  using LoggingHandler::LoggingHandler;
  void EndText(content::Span& span, content::ContentStream& player) override {
    LoggingHandler::EndText(span, player);
    if (replaying_) return;
    replaying_ = true;
    player.ReplaySpan(span);
    replaying_ = false;
  }

 private:
  bool replaying_ = false;
};

TEST_F(ContentStreamTest, RepeatsDecodeAfterATextReplay) {
  // The text object fills the whole cache and then repeats its first
  // width. A replay that started from the cache as the object left it would
  // evict other entries than the first play did, and the repeat would name
  // the last width instead of the first.
  std::string content = "BT ";
  std::string widths;
  for (int i = 1001; i <= 1220; ++i) {
    content += std::to_string(i) + " w ";
    widths += "SetLineWidth " + std::to_string(i) + "\n";
  }
  content += "1001 w ET 7 w";
  widths += "SetLineWidth 1001\n";
  Program program(&context_, content);
  content::PageInfo page;
  ReplayingHandler handler(&context_, page, &program.Resources());
  content::ContentStream::Run(program.Machine(), handler);
  EXPECT_EQ(handler.Log(), "BeginText\n" + widths + "EndText\n" + widths + "SetLineWidth 7\n");
}

}  // namespace

namespace {

// Notes the operation number of every line width it is given.
class NumberingReplayHandler : public ReplayingHandler {
 public:
  using ReplayingHandler::ReplayingHandler;
  void SetLineWidth(runtime::Fixed width) override {
    numbers += std::to_string(runtime::FixedToIntFloor(width)) + "@" +
               std::to_string(OperationCount()) + " ";
    ReplayingHandler::SetLineWidth(width);
  }
  std::string numbers;
};

TEST_F(ContentStreamTest, AReplayedTextSpanKeepsItsOperationNumbers) {
  // The replay numbers its operations as the first play did, and the
  // operations after the text object go on from where the first play ended.
  Program program(&context_, "1 w BT 2 w 3 w ET 4 w");
  content::PageInfo page;
  NumberingReplayHandler handler(&context_, page, &program.Resources());
  content::ContentStream::Run(program.Machine(), handler);
  EXPECT_EQ(handler.numbers, "1@1 2@3 3@4 2@3 3@4 4@6 ");
}

}  // namespace
