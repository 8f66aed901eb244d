// Nested q spans and nested content with a saved state: deep nesting moves
// to a fresh cooperative thread when the stack runs low and ends with
// (runtime, 4) when no stack is left; the outer state survives every
// failure and every kill.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "content/ContentHandler.h"
#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "content/LoggingHandler.h"
#include "platform/Fiber.h"
#include "runtime/Dictionary.h"
#include "runtime/Scheduler.h"
#include "tests/content/ContentTestSupport.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/runtime/ThreadFixture.h"

namespace {

using contenttest::Program;
using runtime::FixedFromInt;

// Logs the calls, notes every thread a line width was set on and raises
// (runtime, 2) at a line width of 99.
class ThreadNotingHandler : public content::LoggingHandler {
 public:
  using LoggingHandler::LoggingHandler;
  void SetLineWidth(runtime::Fixed width) override {
    threads.insert(&runtime::CurrentThreadState());
    if (width == FixedFromInt(99)) runtime::ThrowRuntime(runtime::kMalformed);
    LoggingHandler::SetLineWidth(width);
  }
  std::set<const runtime::ThreadState*> threads;
};

// `depth` nested spans, each setting its own line width, closed again,
// then one more width at the outer level.
std::string NestedWidths(uint32_t depth) {
  std::string content = "1 w ";
  for (uint32_t i = 0; i < depth; ++i) content += "q " + std::to_string(2 + i % 90) + " w ";
  for (uint32_t i = 0; i < depth; ++i) content += "Q ";
  return content + "7 w";
}

// Uses up the running cooperative thread's stack until no more than
// `logicalBytes` (scaled like the stack checks) are left, then runs `body`.
template <class Body>
void WithStackLeft(uint32_t logicalBytes, Body&& body) {
  volatile char pad[1024];
  pad[0] = 1;
  const uintptr_t here = platform::CurrentStackAddress();
  const uintptr_t limit = runtime::CurrentThreadState().stackLimit;
  if (here - limit > static_cast<uintptr_t>(logicalBytes) * runtime::kStackScale) {
    WithStackLeft(logicalBytes, body);
  } else {
    body();
  }
  pad[1] = pad[0];
}

class NestedPlaybackTest : public runtime::ThreadFixture {
 protected:
  NestedPlaybackTest() { context.memory.SetBudget(runtime::kNoLimit); }

  // Takes every stack left in the pool but one for the playing thread, so
  // that no fresh thread can be had.
  void TakeEveryStackButOne() {
    while (scheduler.stackPool.FreeSlots() > 1) Make([](runtime::LibraryContext*) {});
  }

  // Plays `program` on a cooperative thread, with `stackLeft` logical bytes
  // of its stack left when playback starts (0: the whole stack).
  contenttest::Played PlayOnThread(Program& program, ThreadNotingHandler& handler,
                                   uint32_t stackLeft = 0) {
    contenttest::Played played;
    bool done = false;
    Start([&](runtime::LibraryContext*) {
      auto play = [&] {
        played.error = testsupport::RaisedCode(
            [&] { content::ContentStream::Run(program.Machine(), handler); });
      };
      if (stackLeft != 0) {
        WithStackLeft(stackLeft, play);
      } else {
        play();
      }
      done = true;
    });
    scheduler.RunUntil([&] { return done; });
    played.log = handler.Log();
    return played;
  }
};

TEST_F(NestedPlaybackTest, DeepNestingMovesToFreshStacksAndPlaysTheSame) {
  const std::string content = NestedWidths(900);
  Program reference(&context, content);
  content::PageInfo page;
  ThreadNotingHandler onMain(&context, page, &reference.Resources());
  content::ContentStream::Run(reference.Machine(), onMain);
  ASSERT_EQ(onMain.threads.size(), 1u);

  for (const uint32_t stackLeft : {0u, runtime::kNearlyExhaustedStackBytes + 512}) {
    Program program(&context, content);
    ThreadNotingHandler handler(&context, page, &program.Resources());
    const uint32_t freeBefore = scheduler.stackPool.FreeSlots();
    const auto played = PlayOnThread(program, handler, stackLeft);
    EXPECT_FALSE(played.error) << stackLeft;
    EXPECT_EQ(played.log, onMain.Log()) << stackLeft;
    // The first thread's stack ran low: later levels played elsewhere.
    EXPECT_GT(handler.threads.size(), 2u) << stackLeft;
    EXPECT_EQ(handler.State().stroke.width, FixedFromInt(7));
    EXPECT_EQ(handler.NestingDepth(), 0u);
    // Every fresh stack went back to the pool (the playing thread keeps its
    // own until the fixture ends).
    EXPECT_EQ(scheduler.stackPool.FreeSlots(), freeBefore - 1);
  }
}

TEST_F(NestedPlaybackTest, LowStackWithNoFreshThreadRaisesBeforeTheStackRunsOut) {
  TakeEveryStackButOne();
  Program program(&context, NestedWidths(200));
  content::PageInfo page;
  ThreadNotingHandler handler(&context, page, &program.Resources());
  const content::GraphicsState* outer = &handler.State();
  const auto played = PlayOnThread(program, handler, runtime::kLowStackBytes + 1024);
  EXPECT_EQ(played.error, runtime::kStackExhausted);
  EXPECT_EQ(handler.threads.size(), 1u);
  // Some levels played before the check stopped them; the outer state is
  // the one in place, as it was.
  EXPECT_NE(played.log.find("SaveState\nSetLineWidth 2\n"), std::string::npos);
  EXPECT_EQ(&handler.State(), outer);
  EXPECT_EQ(handler.State().stroke.width, FixedFromInt(1));
  EXPECT_EQ(handler.NestingDepth(), 0u);
}

TEST_F(NestedPlaybackTest, ErrorInsideANestedSpanRestoresTheStatePointer) {
  // A width of 99 raises at the innermost of 50 levels: on the process
  // stack, on a thread with its whole stack, and on a thread whose stack is
  // low from the start, so that the inner levels play on a fresh thread
  // and the error crosses back to the waiting one.
  std::string content = "3 w ";
  for (int i = 0; i < 50; ++i) content += "q 4 w ";
  content += "99 w";
  for (int i = 0; i < 50; ++i) content += " Q";
  content += " 8 w";
  struct Case {
    bool onThread;
    uint32_t stackLeft;
    size_t threads;
  };
  for (const Case c : {Case{false, 0, 1}, Case{true, 0, 1},
                       Case{true, runtime::kNearlyExhaustedStackBytes + 512, 2}}) {
    Program program(&context, content);
    content::PageInfo page;
    ThreadNotingHandler handler(&context, page, &program.Resources());
    const content::GraphicsState* outer = &handler.State();
    contenttest::Played played;
    if (c.onThread) {
      played = PlayOnThread(program, handler, c.stackLeft);
    } else {
      played.error = testsupport::RaisedCode(
          [&] { content::ContentStream::Run(program.Machine(), handler); });
    }
    EXPECT_EQ(played.error, runtime::kMalformed) << c.stackLeft;
    EXPECT_EQ(handler.threads.size(), c.threads) << c.stackLeft;
    EXPECT_EQ(&handler.State(), outer) << c.stackLeft;
    EXPECT_EQ(handler.State().stroke.width, FixedFromInt(3)) << c.stackLeft;
    EXPECT_EQ(handler.NestingDepth(), 0u) << c.stackLeft;
  }
}

TEST_F(NestedPlaybackTest, KilledWaiterStopsTheFreshThreadFirst) {
  // The inner levels play on a fresh thread and yield often; the thread
  // waiting for them is killed while they play. The fresh thread must be
  // ended before the waiter's frames go, and leave the outer state.
  std::string content = "3 w ";
  for (int i = 0; i < 30; ++i) content += "q 4 w ";
  for (int i = 0; i < 3000; ++i) content += "5 w 6 w ";
  Program program(&context, content);
  content::PageInfo page;
  ThreadNotingHandler handler(&context, page, &program.Resources());
  const content::GraphicsState* outer = &handler.State();
  const uint32_t freeBefore = scheduler.stackPool.FreeSlots();
  runtime::ClosureThread* waiter = Start([&](runtime::LibraryContext* ctx) {
    ctx->workBudget = 1;
    WithStackLeft(runtime::kNearlyExhaustedStackBytes + 512, [&] {
      content::ContentStream::Run(program.Machine(), handler);
    });
  });
  scheduler.RunUntil([&] { return handler.threads.size() >= 2; });
  ASSERT_EQ(handler.threads.size(), 2u);
  EXPECT_EQ(scheduler.stackPool.FreeSlots(), freeBefore - 2);
  scheduler.Kill(waiter);
  EXPECT_FALSE(waiter->live);
  EXPECT_EQ(scheduler.stackPool.FreeSlots(), freeBefore - 1);
  EXPECT_EQ(&handler.State(), outer);
  EXPECT_EQ(handler.State().stroke.width, FixedFromInt(3));
  EXPECT_EQ(handler.NestingDepth(), 0u);
}

TEST_F(NestedPlaybackTest, NestedContentNeedsItsStackSpace) {
  struct Case {
    uint32_t stackLeft;
    std::optional<uint32_t> error;
    const char* log;
  };
  for (const Case c : {Case{runtime::kLowStackBytes + 2048, std::nullopt, "SetLineWidth 5\n"},
                       Case{runtime::kLowStackBytes - 512, runtime::kStackExhausted, ""}}) {
    Program outer(&context, "3 w");
    Program inner(&context, "5 w");
    content::PageInfo page;
    ThreadNotingHandler handler(&context, page, &outer.Resources());
    content::ContentStream::Run(outer.Machine(), handler);
    handler.ClearLog();
    const content::GraphicsState* state = &handler.State();
    std::optional<uint32_t> error;
    bool done = false;
    Start([&](runtime::LibraryContext*) {
      WithStackLeft(c.stackLeft, [&] {
        error = testsupport::RaisedCode([&] { handler.RunNestedContent(inner.Machine()); });
      });
      done = true;
    });
    scheduler.RunUntil([&] { return done; });
    EXPECT_EQ(error, c.error) << c.stackLeft;
    EXPECT_EQ(handler.Log(), c.log) << c.stackLeft;
    EXPECT_EQ(&handler.State(), state) << c.stackLeft;
    EXPECT_EQ(handler.State().stroke.width, FixedFromInt(3)) << c.stackLeft;
  }
}

TEST_F(NestedPlaybackTest, NestedFormsPlayOnAThreadAsOnTheProcessStack) {
  // Form i draws form i + 1; the last sets a width. The forms' own frames
  // use up a thread's stack long before the form limit.
  constexpr uint32_t kForms = content::ContentHandler::kMaxFormNesting - 1;
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
      .Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
      .Object(3, "<< /Type /Page /Parent 2 0 R /Resources << /XObject << /F 10 0 R >> >> >>");
  for (uint32_t i = 0; i < kForms; ++i) {
    const std::string data =
        i + 1 < kForms ? std::to_string(i + 2) + " w /F Do" : std::string("9 w");
    const std::string next = i + 1 < kForms ? " /Resources << /XObject << /F " +
                                                  std::to_string(11 + i) + " 0 R >> >>"
                                            : std::string();
    writer.Object(10 + i, "<< /Type /XObject /Subtype /Form /BBox [0 0 1 1]" + next +
                              " /Length " + std::to_string(data.size()) + " >>\nstream\n" +
                              data + "\nendstream");
  }
  writer.ClassicTable("/Root 1 0 R");
  const std::string bytes = writer.Text();
  pdftest::OpenDocument document(&context, bytes);
  const runtime::ObjectHandle pageDict = document->GetObject(3, 0);
  const runtime::ObjectHandle resources = runtime::Dictionary::Get(pageDict, "Resources");
  content::PageInfo page;
  page.document = &*document;
  std::string logs[2];
  for (const bool onThread : {false, true}) {
    const std::string content = "/F Do 1 w";
    content::ContentMachine* machine = runtime::NewObject<content::ContentMachine>(
        &context, &context, &*document, contenttest::StreamOver(&context, content), resources);
    content::MachineHolder holder(&context, machine);
    ThreadNotingHandler handler(&context, page, &resources);
    std::optional<uint32_t> error;
    if (onThread) {
      bool done = false;
      Start([&](runtime::LibraryContext*) {
        error = testsupport::RaisedCode([&] { content::ContentStream::Run(*machine, handler); });
        done = true;
      });
      scheduler.RunUntil([&] { return done; });
    } else {
      error = testsupport::RaisedCode([&] { content::ContentStream::Run(*machine, handler); });
    }
    EXPECT_FALSE(error) << onThread;
    EXPECT_EQ(handler.threads.size() > 1, onThread);
    logs[onThread] = handler.Log();
  }
  EXPECT_NE(logs[0].find("SetLineWidth 9\nSetLineWidth 1\n"), std::string::npos);
  EXPECT_EQ(logs[1], logs[0]);
}

TEST_F(NestedPlaybackTest, HundredThousandNestedSpansEndWithStackExhausted) {
  std::string content;
  for (int i = 0; i < 100000; ++i) content += "q ";
  content += "1 w";
  for (const bool onThread : {false, true}) {
    Program program(&context, content);
    content::PageInfo page;
    ThreadNotingHandler handler(&context, page, &program.Resources());
    const auto played = onThread ? PlayOnThread(program, handler)
                                 : contenttest::Play(&context, program);
    EXPECT_EQ(played.error, runtime::kStackExhausted) << onThread;
    EXPECT_EQ(played.log.find("SetLineWidth"), std::string::npos) << onThread;
  }
}

}  // namespace
