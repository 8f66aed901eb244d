// A text-extraction run ends quietly on the extraction's stop signal and
// passes every other error on unchanged.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "content/ContentStream.h"
#include "content/LoggingHandler.h"
#include "runtime/ErrorTrap.h"
#include "tests/content/ContentTestSupport.h"

namespace {

// Logs like its base and raises `error` at the second matrix.
class StoppingHandler : public content::LoggingHandler {
 public:
  StoppingHandler(runtime::LibraryContext* context, const content::PageInfo& page,
                  const runtime::ObjectHandle* resources, runtime::ErrorRecord error)
      : LoggingHandler(context, page, resources), error_(error) {}
  void ConcatMatrix(const runtime::Matrix& m) override {
    if (++matrices_ == 2) runtime::ThrowError(Owner(), error_);
    LoggingHandler::ConcatMatrix(m);
  }

 private:
  runtime::ErrorRecord error_;
  int matrices_ = 0;
};

TEST(TextExtractStopTest, StopSignalEndsTheRunAndOtherErrorsPassOn) {
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  struct Case {
    const char* name;
    runtime::ErrorRecord error;
    bool passesOn;
  };
  // A domain string at another address than the constant's: the test is
  // by characters.
  static const char kOtherCopy[] = "TextExtract";
  const Case cases[] = {
      {"stop signal", {runtime::kTextExtractDomain, 0, 1}, false},
      {"stop signal, another copy of the domain", {kOtherCopy, 0, 1}, false},
      {"text extraction, another code", {runtime::kTextExtractDomain, 1, 1}, true},
      {"malformed content", {runtime::kRuntimeDomain, runtime::kMalformed, 0}, true},
      {"cancelled", {runtime::kRuntimeDomain, runtime::kCancelled, 0}, true},
      {"the viewer's cancel", {runtime::kViewerDomain, 3, 0}, true},
  };
  for (const Case& c : cases) {
    contenttest::Program program(&context, "1 0 0 1 5 5 cm 2 0 0 2 0 0 cm 1 0 0 1 9 9 cm");
    content::PageInfo page;
    StoppingHandler handler(&context, page, &program.Resources(), c.error);
    runtime::ErrorTrap outer(&context);
    const bool finished = outer.Run(
        [&] { content::ContentStream::RunCatchingTextExtractStop(program.Machine(), handler); });
    if (!finished) {
      outer.SetHandled();
      EXPECT_TRUE(c.passesOn) << c.name;
      EXPECT_EQ(std::strcmp(outer.Held().domain, c.error.domain), 0) << c.name;
      EXPECT_EQ(outer.Held().code, c.error.code) << c.name;
      outer.Close();
    } else {
      EXPECT_FALSE(c.passesOn) << c.name;
    }
    // What the handler gathered before the error stays with it.
    EXPECT_EQ(handler.Log(), "ConcatMatrix 1 0 0 1 5 5\n") << c.name;
  }
  // A run that completes returns normally with everything played.
  contenttest::Program program(&context, "1 0 0 1 5 5 cm");
  content::PageInfo page;
  StoppingHandler handler(&context, page, &program.Resources(), {runtime::kTextExtractDomain, 0, 1});
  content::ContentStream::RunCatchingTextExtractStop(program.Machine(), handler);
  EXPECT_EQ(handler.Log(), "ConcatMatrix 1 0 0 1 5 5\n");
}

}  // namespace
