#pragma once
// Test support: the CCITTFax and JBIG2 images of the corpus files, each
// with its encoded data and the bitmap poppler's pdfimages decodes from it
// (read at test time; the helper script corpus_images.py does the work).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/Python.h"

namespace streams_test {

inline std::string CorpusDir() {
  const char* dir = std::getenv("FOLVANE_CORPUS_DIR");
  return dir != nullptr ? dir : FOLVANE_CORPUS_DIR;
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A PBM bitmap: 1 bits are black, rows packed to whole bytes.
struct Pbm {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bits;
  bool ok = false;
};

inline Pbm ReadPbm(const std::string& path) {
  Pbm pbm;
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  std::string text(bytes.begin(), bytes.end());
  std::istringstream in(text);
  std::string magic;
  in >> magic >> pbm.width >> pbm.height;
  if (magic != "P4" || !in) return pbm;
  const size_t start = static_cast<size_t>(in.tellg()) + 1;
  const size_t size = static_cast<size_t>((pbm.width + 7) / 8) * pbm.height;
  if (start + size > bytes.size()) return pbm;
  pbm.bits.assign(bytes.begin() + static_cast<long>(start),
                  bytes.begin() + static_cast<long>(start + size));
  pbm.ok = true;
  return pbm;
}

// jbig2dec's decoding of an embedded JBIG2 stream (with its globals), the
// second reference decoder. An empty bitmap when it cannot decode it.
inline Pbm Jbig2decReference(const std::vector<uint8_t>& globals, const std::vector<uint8_t>& data) {
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/folvane-jbig2dec-XXXXXX";
  Pbm pbm;
  if (mkdtemp(pattern) == nullptr) return pbm;
  const std::string dir = pattern;
  auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  };
  write("data", data);
  std::string command = "jbig2dec -e -o '" + dir + "/out.pbm' ";
  if (!globals.empty()) {
    write("globals", globals);
    command += "'" + dir + "/globals' ";
  }
  command += "'" + dir + "/data' >/dev/null 2>&1";
  if (std::system(command.c_str()) == 0) pbm = ReadPbm(dir + "/out.pbm");
  fs::remove_all(dir);
  return pbm;
}

struct CorpusImage {
  std::string kind;    // pdfimages' type: image, stencil, mask
  std::string filter;  // ccitt or jbig2
  int width = 0;
  int height = 0;
  std::vector<uint8_t> data;
  std::vector<uint8_t> globals;
  Pbm reference;
  std::map<std::string, std::string> params;
  std::string name;  // file and image number, for messages
};

// Runs the helper on one PDF file (one temporary folder per call).
inline std::vector<CorpusImage> LoadCorpusImages(const std::string& pdf) {
  namespace fs = std::filesystem;
  std::vector<CorpusImage> images;
  char pattern[] = "/tmp/folvane-corpus-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return images;
  const std::string dir = pattern;
  const std::string command = testsupport::Python() + " '" + FOLVANE_SOURCE_DIR +
                              "/tests/streams/corpus_images.py' '" + pdf + "' '" + dir + "'";
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  if (pipe != nullptr) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
  }
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    CorpusImage image;
    std::string data, globals, reference, pair;
    fields >> image.kind >> image.filter >> image.width >> image.height >> data >> globals >>
        reference;
    while (fields >> pair) {
      const size_t eq = pair.find('=');
      if (eq != std::string::npos) image.params[pair.substr(0, eq)] = pair.substr(eq + 1);
    }
    image.data = ReadFileBytes(data);
    if (globals != "-") image.globals = ReadFileBytes(globals);
    image.reference = ReadPbm(reference);
    image.name = fs::path(pdf).filename().string() + " " + fs::path(data).stem().string();
    images.push_back(std::move(image));
  }
  fs::remove_all(dir);
  return images;
}

inline std::vector<std::string> CorpusFiles(const std::string& folder) {
  std::vector<std::string> files;
  const std::filesystem::path dir = std::filesystem::path(CorpusDir()) / folder;
  if (!std::filesystem::exists(dir)) return files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".pdf") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace streams_test
