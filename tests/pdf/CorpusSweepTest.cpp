// The sanitizer build's crash sweep: every corpus file goes through every
// probe command below, a group of files in one probe process, and each
// command must end cleanly (a clean error included) with no sanitizer
// report and no hang. One sweep over the files replaces a sweep per suite:
// under the sanitizers starting a test program and a probe costs more than
// most files' work. The normal build checks the same paths against the
// reference tools instead.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"

namespace {

// Each command as the probe takes it after FILE; together they reach
// every layer a document passes through in the viewer.
const std::vector<std::string>& SweptCommands() {
  static const std::vector<std::string> commands = {
      "ops all 5 --quiet",                         // the first pages' content played
      "render all --dpi 72 -o -",                  // every page painted
      "render 1 --dpi 26.7 --format rgb565 -o -",  // the device's pixels at the size of a first screen
      "text all 1",                                // text extracted
      "glyphs 1",                                  // shown glyphs decoded to Unicode
      "fonts",                                     // every font loaded
      "outline",                                   // the outline walked
      "meta",                                      // the document information
      "reflow 1 --width 240 -o -",                 // reflowed to the screen's width and painted
      "find the 3",                                // the viewer's search
  };
  return commands;
}

// A command still running after this long is taken for a hang.
constexpr int kSecondsPerCommand = 100;

std::vector<int> SweptGroups() { return pdftest::kSanitizerBuild ? pdftest::CorpusGroups() : std::vector<int>{}; }

class CorpusSweep : public ::testing::TestWithParam<int> {};

TEST_P(CorpusSweep, EveryCommandEndsCleanlyOnEveryFile) {
  std::vector<std::string> paths;
  for (const std::string& file : pdftest::CorpusGroup(GetParam())) paths.push_back(pdftest::CorpusDir() + "/" + file);
  for (const pdftest::SweepFault& fault : pdftest::SweepCommands(SweptCommands(), paths, kSecondsPerCommand)) {
    ADD_FAILURE() << fault.file << ": probe " << fault.command << ": " << fault.what;
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusSweep, ::testing::ValuesIn(SweptGroups()), pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusSweep);

}  // namespace
