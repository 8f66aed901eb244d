#pragma once
// Test support for the corpus comparisons: where the corpus is, its PDF
// files, test names for them, and a document holder for traps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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
