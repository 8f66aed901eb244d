// Every corpus file opened in the viewer as a user opens it: installed with
// its page view, its bookmarks read, its properties shown and its pages
// stepped through, or refused with the previous document kept; nothing
// may crash or hang. The sanitizer build leaves this to its combined
// crash sweep.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Clock.h"
#include "runtime/CoThread.h"
#include "tests/pdf/CorpusFiles.h"
#include "tests/viewer/ViewerTestDocuments.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/MenuTree.h"
#include "viewer/ViewerApp.h"

namespace viewer {
namespace {

// The corpus in a few interleaved shares, one test each: one process
// opens many files, and no test runs long.
constexpr int kCorpusShares = 6;

std::vector<int> CorpusShares() {
  std::vector<int> shares;
  if (pdftest::kSanitizerBuild) return shares;
  for (int i = 0; i < kCorpusShares; ++i) shares.push_back(i);
  return shares;
}

class ViewerCorpusTest : public ::testing::TestWithParam<int> {};

TEST_P(ViewerCorpusTest, OpensEveryFileOrKeepsThePreviousOne) {
  const std::vector<std::string> files = pdftest::CorpusFiles();
  if (files.empty()) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "no corpus in " << pdftest::CorpusDir();
    GTEST_SKIP() << "no corpus";
  }
  platform::UseVirtualClock(true);
  viewersim::RecordingHost host;
  ViewerApp* app = ViewerApp::Create(&host, kOptionToolbar);
  ASSERT_NE(app, nullptr);
  host.scheduler = &app->scheduler;
  app->OpenInitialDocument(nullptr);
  // The recording host keeps every line: only the last file's are needed.
  int opened = 0;
  for (size_t i = static_cast<size_t>(GetParam()); i < files.size(); i += kCorpusShares) {
    SCOPED_TRACE(files[i]);
    host.log.clear();
    const std::u16string path = viewertest::DevicePathOf(pdftest::CorpusDir() + "/" + files[i]);
    const void* before = app->viewer.currentDocument;
    const int32_t result = app->OnCopyData(path.c_str());
    if (result == 0) {
      EXPECT_EQ(app->viewer.currentDocument, before);
      continue;
    }
    ++opened;
    ASSERT_NE(app->viewer.pageView, nullptr);
    app->scheduler.RunUntil([&] {
      runtime::CoThread* job = app->viewer.outlineJob.Get();
      return job == nullptr || job->IsIdle();
    });
    app->OnCommand(kCmdDetails);
    app->OnKeyEnd(nullptr);
    app->OnKeyDown(nullptr);
    app->OnCommand(kCmdPreviousPage);
    app->OnKeyHome(nullptr);
    const PageViewState state = app->viewer.pageView->State();
    EXPECT_GE(state.pageCount, 0);
    EXPECT_GE(state.currentPage, 0);
    EXPECT_LE(state.currentPage, state.pageCount > 0 ? state.pageCount - 1 : 0);
  }
  // Most of the corpus opens; the rest the document layer refuses (damaged
  // cross-reference data, encryption).
  EXPECT_GT(opened, 0);
  ViewerApp::Destroy(app);
  platform::UseVirtualClock(false);
}

INSTANTIATE_TEST_SUITE_P(Corpus, ViewerCorpusTest, ::testing::ValuesIn(CorpusShares()));
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ViewerCorpusTest);

}  // namespace
}  // namespace viewer
