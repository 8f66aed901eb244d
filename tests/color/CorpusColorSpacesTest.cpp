// Every colour space and function of every corpus file: resource entries,
// images' and shadings' spaces, shading functions and other function
// dictionaries are built and exercised (a few pixels converted to the
// display, a few inputs evaluated). Nothing may crash or hang, and every
// failure must be one a malformed, unsupported or too large object gives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "color/IccProfile.h"
#include "pdf/Document.h"
#include "platform/Files.h"
#include "runtime/ErrorTrap.h"
#include "streams/FileStream.h"
#include "tests/pdf/CorpusFiles.h"
#include "tests/support/ColorObjectsWalk.h"

namespace color {
namespace {

// Objects walked per file: enough for every corpus file, bounded for
// hostile ones.
constexpr uint32_t kMaxObjects = 200000;

// One file: every colour space and function its objects hold.
void CheckColorObjects(const std::string& name) {
  runtime::LibraryContext context;
  const std::string path = pdftest::CorpusDir() + "/" + name;
  colorwalk::WalkResult result;
  IccProfileRef displayHolder;
  pdftest::DocumentHolder holder{&context};
  runtime::ErrorTrap trap(&context);
  const bool opened = trap.Run([&] {
    const std::u16string device = platform::DevicePathFromHost(path);
    streams::DataStoreRef file = streams::FileStream::Open(&context, device.c_str());
    holder.document = pdf::Document::Open(&context, std::move(file));
  });
  if (!opened) {
    trap.SetHandled();
    trap.Close();
    return;  // the document does not open
  }
  // An encrypted file is walked as far as the empty password reaches.
  runtime::CatchAllExceptCancel(&context, [&] { holder.document->SetupSecurity("Standard", nullptr, 0); });
  IccProfileRef display = IccProfile::BuiltinRgb(&context, displayHolder);
  colorwalk::WalkColorObjects(&context, *holder.document, *display, kMaxObjects, result);
  EXPECT_EQ(result.unexpected, "") << name;
}

class CorpusColorSpacesTest : public ::testing::TestWithParam<int> {};

TEST_P(CorpusColorSpacesTest, SpacesAndFunctionsBuildOrFailCleanly) {
  for (const std::string& file : pdftest::CorpusGroup(GetParam())) {
    SCOPED_TRACE(file);
    CheckColorObjects(file);
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusColorSpacesTest, ::testing::ValuesIn(pdftest::CorpusGroups()),
                         pdftest::CorpusGroupName);

TEST(CorpusColorSpacesPresence, CorpusIsThere) {
  const char* ci = std::getenv("CI");
  if (pdftest::CorpusFiles().empty()) {
    if (ci != nullptr && std::string(ci) == "true") FAIL() << "the corpus is missing";
    GTEST_SKIP() << "the corpus is missing";
  }
}

}  // namespace
}  // namespace color
