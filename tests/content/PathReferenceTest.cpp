// Paths begun once a program holds its quota of segments are recorded by
// stream position and read again at playback into the handler's
// path-cache record; they must paint exactly as paths recorded inline.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "content/ContentMachine.h"
#include "content/ContentStream.h"
#include "content/LoggingHandler.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "tests/content/ContentTestSupport.h"

namespace {

using contenttest::Program;

// A logging handler with a path-cache record, as the painter has; it also
// notes whether every painted point lies inside the bounds it was given.
class CachingHandler : public content::LoggingHandler {
 public:
  CachingHandler(runtime::LibraryContext* context, const runtime::ObjectHandle* resources)
      : LoggingHandler(context, content::PageInfo{}, resources),
        arena_(context, 4096, 1024),
        slot_(arena_) {}

  content::PathCacheSlot* GetPathCacheSlot() override { return &slot_; }
  int BeginPath(runtime::Rect& bounds, bool stroke) override {
    bounds_ = bounds;
    boxes.push_back(bounds);
    return paintsNothing ? 0 : LoggingHandler::BeginPath(bounds, stroke);
  }
  void PaintPath(content::ContentStream& player, bool present, const content::PathPaint& paint,
                 const content::PathSegments& segments) override {
    for (uint32_t i = 0; i < segments.count; ++i) {
      const runtime::PackedPoint& point = segments.points[i];
      if (point.PointKind() == runtime::PackedPoint::kClose) continue;
      if (point.X() < bounds_.x0 || point.X() > bounds_.x1 || point.Y() < bounds_.y0 ||
          point.Y() > bounds_.y1) {
        ++pointsOutside;
      }
    }
    LoggingHandler::PaintPath(player, present, paint, segments);
  }
  content::PathCacheSlot& Slot() { return slot_; }

  uint32_t pointsOutside = 0;
  // Every box BeginPath was given.
  std::vector<runtime::Rect> boxes;
  // Answer BeginPath with "nothing to paint".
  bool paintsNothing = false;

 private:
  runtime::ArenaAllocator arena_;
  content::PathCacheSlot slot_;
  runtime::Rect bounds_{};
};

// One painted path of 40000 segments: every path after it is kept by
// reference.
std::string QuotaFiller() {
  std::string text;
  for (int i = 0; i < 8000; ++i) text += "0 0 1 1 re ";
  return text + "f\n";
}

// Paths of every construction operator, with operators that leave the path
// alone between them; enough of them to span several parsing slices.
std::string MixedPaths(int blocks) {
  std::ostringstream text;
  for (int i = 0; i < blocks; ++i) {
    text << i << " 20 m " << i + 30 << " 40 l 50 60 70 80 90 " << i << " c 1 2 3 4 v 5 6 7 8 y h f\n"
         << "5 5 m 1 0 0 rg 15 " << i << " l 2 w % a comment\n 15 15 l 1 j b*\n"
         << "0 0 10 10 re 20 20 5 " << i << " re W* s\n"
         << "-3.5 " << i << ".25 m 7 7 l B\n"
         << "q 1 0 0 1 " << i << " 0 cm 30 30 m 40 40 l 50 30 l n Q\n";
  }
  // One path longer than a parsing slice, so that its collection spans
  // two slices.
  text << "0 0 m";
  for (int i = 1; i <= 300; ++i) text << " " << i << " " << i % 7 << " l";
  text << " S\n";
  return text.str();
}

std::vector<std::string> Lines(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The last `count` lines of `log`.
std::vector<std::string> Tail(const std::string& log, size_t count) {
  std::vector<std::string> lines = Lines(log);
  if (lines.size() < count) return lines;
  return {lines.end() - static_cast<std::ptrdiff_t>(count), lines.end()};
}

class PathReferenceTest : public ::testing::Test {
 protected:
  PathReferenceTest() { context_.memory.SetBudget(runtime::kNoLimit); }

  // The log of `paths` recorded inline (played alone, far below the quota).
  std::string Inline(const std::string& paths) {
    Program program(&context_, paths);
    CachingHandler handler(&context_, &program.Resources());
    content::ContentStream::Run(program.Machine(), handler);
    return handler.Log();
  }

  runtime::LibraryContext context_;
};

TEST_F(PathReferenceTest, PathsByReferencePaintAsInline) {
  const std::string paths = MixedPaths(40);
  const std::vector<std::string> expected = Lines(Inline(paths));
  ASSERT_GT(expected.size(), 200u);

  Program program(&context_, QuotaFiller() + paths);
  CachingHandler handler(&context_, &program.Resources());
  // The first run parses as it plays, so the record is filled both by the
  // parser and by reading paths again; the second reads every path again
  // from a finished program, starting with the record holding the last.
  for (int run = 0; run < 2; ++run) {
    handler.ClearLog();
    ASSERT_FALSE(testsupport::RaisedCode(
        [&] { content::ContentStream::Run(program.Machine(), handler); }))
        << "run " << run;
    EXPECT_EQ(Tail(handler.Log(), expected.size()), expected) << "run " << run;
    EXPECT_EQ(handler.pointsOutside, 0u) << "run " << run;
  }
  // The recorder kept only the first path's segments.
  EXPECT_EQ(program.Machine().segments.Size(), content::ContentMachine::kMaxInlineSegments);

  // A handler without a record (a text collector) is told the paths are
  // absent; the operations around them still play.
  content::LoggingHandler collector(&context_, content::PageInfo{}, &program.Resources());
  content::ContentStream::Run(program.Machine(), collector);
  const std::vector<std::string> absent = Tail(collector.Log(), expected.size());
  ASSERT_EQ(absent.size(), expected.size());
  for (size_t i = 0; i < absent.size(); ++i) {
    if (expected[i].rfind("PaintPath", 0) != 0) {
      EXPECT_EQ(absent[i], expected[i]);
    } else {
      EXPECT_NE(absent[i].find(" absent"), std::string::npos) << absent[i];
      EXPECT_EQ(absent[i].find(" m"), std::string::npos) << absent[i];
    }
  }
}

TEST_F(PathReferenceTest, PositionBeyondTwentyFourBits) {
  // Positions from 0xFFFFFF on take two extra words in the program.
  const std::string paths = "1 2 m 3 4 l 5 6 7 8 9 10 c h f 0 0 5 5 re S\n";
  const std::string expected = Inline(paths);
  std::string content = QuotaFiller();
  content.append(0x1000000 - content.size() + 3, ' ');
  content += paths;
  Program program(&context_, content);
  CachingHandler handler(&context_, &program.Resources());
  content::ContentStream::Run(program.Machine(), handler);
  // Parsing left the second path in the record; playing again reads the
  // first one from its long position.
  handler.ClearLog();
  content::ContentStream::Run(program.Machine(), handler);
  EXPECT_EQ(Tail(handler.Log(), 2), Lines(expected));
  EXPECT_GE(handler.Slot().position, uint64_t{0x1000000});
}

TEST_F(PathReferenceTest, ReadingAgainChecksTheData) {
  const std::string content = "0 0 m 10 10 l S BT ET 5 5 m";
  Program program(&context_, content);
  CachingHandler handler(&context_, &program.Resources());
  content::ContentStream::Run(program.Machine(), handler);
  content::ContentMachine& machine = program.Machine();
  content::PathCacheSlot& slot = handler.Slot();

  const struct {
    const char* name;
    uint64_t position;
    std::optional<uint32_t> error;
    uint32_t segments;
  } kCases[] = {
      {"a painted path", 0, std::nullopt, 2},
      {"inside a path", 6, std::nullopt, 1},
      {"a text object", content.find("BT"), 2, 0},
      {"a path never painted", content.find("5 5 m"), 2, 0},
      {"past the end", content.size() + 100, 2, 0},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(testsupport::RaisedCode([&] { machine.RereadPath(c.position, slot); }), c.error)
        << c.name;
    EXPECT_EQ(slot.segments.Size(), c.segments) << c.name;
    EXPECT_EQ(slot.Holds(machine.Serial(), c.position), !c.error) << c.name;
  }
}

TEST_F(PathReferenceTest, ReplayReusesBoxesAndCachedPathsAndReadsClipsItDoesNotPaint) {
  // Two paths by reference after the quota: the second carries no box of
  // its own and gets the first one's, grown to cover both.
  Program program(&context_, QuotaFiller() + "0 0 5 5 re f 50 50 5 5 re f\n");
  CachingHandler handler(&context_, &program.Resources());
  content::ContentStream::Run(program.Machine(), handler);
  handler.boxes.clear();
  handler.ClearLog();
  content::ContentStream::Run(program.Machine(), handler);
  ASSERT_EQ(handler.boxes.size(), 3u);
  EXPECT_EQ(handler.boxes[1], handler.boxes[2]);
  EXPECT_EQ(handler.boxes[2], (runtime::Rect{0, 0, 55 * runtime::kFixedOne, 55 * runtime::kFixedOne}));
  EXPECT_EQ(handler.pointsOutside, 0u);

  // A path whose position is the one the record holds is not read again:
  // one path by reference, played twice.
  Program single(&context_, QuotaFiller() + "1 1 3 3 re f\n");
  CachingHandler once(&context_, &single.Resources());
  content::ContentStream::Run(single.Machine(), once);
  const uint32_t reads = single.Machine().PathRereads();
  content::ContentStream::Run(single.Machine(), once);
  EXPECT_EQ(single.Machine().PathRereads(), reads);
  EXPECT_EQ(Tail(once.Log(), 1), Tail(Inline("1 1 3 3 re f\n"), 1));

  // A "W n" path past the quota is read even when the handler paints
  // nothing of it: it still clips.
  Program clip(&context_, QuotaFiller() + "10 10 m 20 10 l 20 20 l h W n\n");
  CachingHandler clipping(&context_, &clip.Resources());
  clipping.paintsNothing = true;
  content::ContentStream::Run(clip.Machine(), clipping);
  clipping.ClearLog();
  content::ContentStream::Run(clip.Machine(), clipping);
  const std::vector<std::string> last = Tail(clipping.Log(), 1);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0].find(" absent"), std::string::npos) << last[0];
  EXPECT_NE(last[0].find(" clip"), std::string::npos) << last[0];
  EXPECT_NE(last[0].find("20 20"), std::string::npos) << last[0];
}

}  // namespace
