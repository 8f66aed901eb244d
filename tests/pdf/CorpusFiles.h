#pragma once
// Test support for the corpus comparisons: where the corpus is, its PDF
// files, test names for them, and a document holder for traps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "pdf/Document.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"

namespace pdftest {

// The corpus folder; FOLVANE_CORPUS_DIR in the environment overrides the
// configured one.
inline std::string CorpusDir() {
  const char* dir = std::getenv("FOLVANE_CORPUS_DIR");
  return dir != nullptr ? dir : FOLVANE_CORPUS_DIR;
}

// Its PDF files as "folder/name.pdf", sorted.
inline std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  std::error_code error;
  for (const char* folder : {"pdf", "jbig2", "ccitt"}) {
    const std::filesystem::path path = std::filesystem::path(CorpusDir()) / folder;
    if (!std::filesystem::is_directory(path, error)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
      if (entry.path().extension() == ".pdf") {
        files.push_back(std::string(folder) + "/" + entry.path().filename().string());
      }
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The corpus in groups of at most kCorpusGroupSize files and about
// kCorpusGroupBytes bytes (a larger file makes a group of its own), for
// tests that take one group each: ctest spreads the groups over the cores
// and no one test runs for minutes, while a test program is not started
// once for every file. Starting a test program, and the helper scripts and
// tool checks a group begins with, costs about as much as reading a few
// files (a second of CPU under the sanitizers), so a group holds sixteen:
// on two cores the starts cost more than the balance that smaller groups
// would win.
constexpr size_t kCorpusGroupSize = 16;
constexpr uintmax_t kCorpusGroupBytes = 2u << 20;

// The first file of each group, as an index into CorpusFiles(), and the
// end of the list last.
inline std::vector<size_t> CorpusGroupStarts() {
  const std::vector<std::string> files = CorpusFiles();
  std::vector<size_t> starts;
  size_t count = 0;
  uintmax_t bytes = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(CorpusDir() + "/" + files[i], error);
    if (error) size = 0;
    if (starts.empty() || count == kCorpusGroupSize || bytes + size > kCorpusGroupBytes) {
      starts.push_back(i);
      count = 0;
      bytes = 0;
    }
    ++count;
    bytes += size;
  }
  starts.push_back(files.size());
  return starts;
}

inline std::vector<int> CorpusGroups() {
  const size_t groups = CorpusGroupStarts().size() - 1;
  std::vector<int> indexes(groups);
  for (size_t i = 0; i < groups; ++i) indexes[i] = static_cast<int>(i);
  return indexes;
}

// The files of one group, as "folder/name.pdf".
inline std::vector<std::string> CorpusGroup(int group) {
  const std::vector<std::string> files = CorpusFiles();
  const std::vector<size_t> starts = CorpusGroupStarts();
  if (group < 0 || static_cast<size_t>(group) + 1 >= starts.size()) return {};
  return std::vector<std::string>(files.begin() + static_cast<std::ptrdiff_t>(starts[group]),
                                  files.begin() + static_cast<std::ptrdiff_t>(starts[group + 1]));
}

inline std::string CorpusGroupName(const ::testing::TestParamInfo<int>& info) {
  std::string number = std::to_string(info.param);
  return "Group" + std::string(number.size() < 3 ? 3 - number.size() : 0, '0') + number;
}

// True in the sanitizer build. Comparisons with reference tools check our
// logic, not memory safety, and cost the most under the sanitizers; they
// run in the normal build only. What stays under the sanitizers is every
// unit test, the in-process corpus walks (open, resolve, decode, build
// images, fonts and colour) and one combined probe sweep of every file
// for crashes, sanitizer reports and hangs (tests/pdf/CorpusSweepTest.cpp).
constexpr bool kSanitizerBuild =
#ifdef FOLVANE_SANITIZE
    true;
#else
    false;
#endif

// Which items of a long per-item walk (glyphs of a font program, pages of
// a document) the sanitizer build visits: the first 256, then every
// fourth. The sanitizers look for memory faults, which the first items and
// a regular sample of the rest reach at a quarter of the cost; the normal
// build walks every item.
inline bool WalkedUnderSanitizers(uint32_t index) {
  return !kSanitizerBuild || index < 256 || index % 4 == 0;
}

// The groups of a comparison with a reference tool that runs in the normal
// build only: none in the sanitizer build, where each would only start a
// process to skip.
inline std::vector<int> ReferenceCorpusGroups() { return kSanitizerBuild ? std::vector<int>{} : CorpusGroups(); }

// The groups of a probe crash sweep that the sanitizer build's combined
// sweep runs in its stead: none there, where the combined sweep starts one
// probe per group for all of them.
inline std::vector<int> NormalBuildCorpusGroups() { return ReferenceCorpusGroups(); }

// True when a missing corpus or reference tool must fail the test rather
// than skip it.
inline bool UnderContinuousIntegration() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

// A test name for a corpus file: its index and its path in identifier
// characters.
inline std::string CorpusTestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = std::to_string(info.index) + "_";
  for (char c : info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

// Releases a document opened inside a trap however the test ends.
struct DocumentHolder {
  runtime::LibraryContext* context;
  pdf::Document* document = nullptr;
  ~DocumentHolder() { runtime::DestroyAndFree(context, document); }
};

}  // namespace pdftest
