#pragma once
// Test support for the document layer: documents over bytes in memory, a
// small writer of PDF files with exact offsets, and reading whole streams.
#include <cstdint>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include "pdf/Document.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"
#include "streams/DataStream.h"
#include "streams/MemoryDataSource.h"
#include "tests/support/Python.h"

namespace pdftest {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string FixturePath(const std::string& name) {
  return std::string(FOLVANE_SOURCE_DIR) + "/tests/fixtures/pdf/" + name;
}

// Owns a document over bytes that must outlive it.
class OpenDocument {
 public:
  OpenDocument(runtime::LibraryContext* context, const std::string& bytes) : context_(context) {
    auto source = streams::MakeRef<streams::MemoryDataSource>(
        context, reinterpret_cast<const uint8_t*>(bytes.data()),
        static_cast<uint32_t>(bytes.size()));
    document_ = pdf::Document::Open(context, std::move(source));
  }
  ~OpenDocument() { runtime::DestroyAndFree(context_, document_); }
  OpenDocument(const OpenDocument&) = delete;
  OpenDocument& operator=(const OpenDocument&) = delete;
  pdf::Document& operator*() const { return *document_; }
  pdf::Document* operator->() const { return document_; }

 private:
  runtime::LibraryContext* context_;
  pdf::Document* document_ = nullptr;
};

// One line of make_encrypted_fixtures.py: what qpdf reports for one file
// opened with one password.
struct EncryptedCase {
  std::string file;
  std::string password;
  std::string status;  // "ok", "wrong" or "failed"
  int64_t p = 0;
  std::string used;  // "user", "owner" or "none"
  uint32_t infoNumber = 0;
  std::string title;
  uint32_t streamNumber = 0;
  std::string streamBase64;
};

// The encrypted fixtures, written by qpdf once per build into the build
// folder, and qpdf's report on each. Every test runs in a process of its
// own, so the files and the report are kept and shared: the first process
// to take the lock writes them, and later ones (or ones waiting on the
// lock) read them. They are written anew when the script changes.
inline std::string EncryptedFixtureReport(const std::string& dir) {
  std::filesystem::create_directories(dir);
  const std::string script = std::string(FOLVANE_SOURCE_DIR) + "/tests/pdf/make_encrypted_fixtures.py";
  const std::string report = dir + "/report.txt";
  const int lock = ::open((dir + "/.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
  if (lock < 0) return {};
  while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
  }
  std::error_code error;
  const bool current = std::filesystem::exists(report, error) &&
                       std::filesystem::last_write_time(report, error) >=
                           std::filesystem::last_write_time(script, error);
  std::string text;
  if (current) {
    text = ReadFile(report);
  } else {
    const std::string command = testsupport::Python() + " '" + script + "' '" + dir + "'";
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[4096];
      size_t count = 0;
      while ((count = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) text.append(buffer, count);
      if (pclose(pipe) == 0 && !text.empty()) {
        std::ofstream(report + ".new", std::ios::binary) << text;
        std::filesystem::rename(report + ".new", report, error);
      }
    }
  }
  ::close(lock);
  return text;
}

inline const std::vector<EncryptedCase>& EncryptedCases(std::string* folder = nullptr) {
  static const std::string dir = std::string(FOLVANE_BINARY_DIR) + "/test-fixtures/encrypted";
  static std::vector<EncryptedCase> cases = [] {
    std::vector<EncryptedCase> out;
    const std::string text = EncryptedFixtureReport(dir);
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::vector<std::string> fields;
      size_t field = start;
      for (;;) {
        const size_t tab = text.find('\t', field);
        if (tab == std::string::npos || tab > end) {
          fields.push_back(text.substr(field, end - field));
          break;
        }
        fields.push_back(text.substr(field, tab - field));
        field = tab + 1;
      }
      start = end + 1;
      if (fields.size() < 3) continue;
      EncryptedCase c;
      c.file = fields[0];
      c.password = fields[1];
      c.status = fields[2];
      if (fields.size() >= 9) {
        c.p = std::stoll(fields[3]);
        c.used = fields[4];
        c.infoNumber = static_cast<uint32_t>(std::stoul(fields[5]));
        c.title = fields[6];
        c.streamNumber = static_cast<uint32_t>(std::stoul(fields[7]));
        c.streamBase64 = fields[8];
      }
      out.push_back(c);
    }
    return out;
  }();
  if (folder != nullptr) *folder = dir;
  return cases;
}

inline std::string Base64Decode(const std::string& text) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    int value = -1;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    else if (c >= '0' && c <= '9') value = c - '0' + 52;
    else if (c == '+') value = 62;
    else if (c == '/') value = 63;
    if (value < 0) continue;
    bits = bits << 6 | static_cast<uint32_t>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>(bits >> count & 0xFF);
    }
  }
  return out;
}

// `bytes` rewritten by qpdf with the given options (empty when qpdf fails),
// through temporary files named by `name` and the process.
inline std::string RewriteWithQpdf(const std::string& bytes, const std::string& options,
                                   const std::string& name) {
  const std::string base = std::string(std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR")
                                                                         : "/tmp") +
                           "/" + name + "_" + std::to_string(getpid());
  const std::string in = base + ".pdf";
  const std::string out = base + "_out.pdf";
  {
    std::ofstream file(in, std::ios::binary);
    file << bytes;
  }
  const std::string command = "qpdf " + options + " '" + in + "' '" + out + "' 2>/dev/null";
  // qpdf's status 3 means it wrote the file with warnings.
  const int status = std::system(command.c_str());
  std::string result = status == 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 3)
                           ? ReadFile(out)
                           : std::string();
  std::remove(in.c_str());
  std::remove(out.c_str());
  return result;
}

// `data` compressed with zlib, as a "FlateDecode" stream holds it.
inline std::string Deflate(const std::string& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                9) != Z_OK) {
    return {};
  }
  out.resize(size);
  return out;
}

inline std::string ReadAll(streams::DataStream& stream) {
  std::string out;
  uint8_t buffer[4096];
  for (;;) {
    const size_t count = stream.Read(buffer, sizeof(buffer));
    if (count == 0) return out;
    out.append(reinterpret_cast<const char*>(buffer), count);
  }
}

// Writes "n 0 obj ... endobj" bodies and a classic table (or any tail the
// test appends itself) with the offsets the objects really have.
class PdfWriter {
 public:
  explicit PdfWriter(std::string prefix = "") : text_(std::move(prefix)) {
    header_ = text_.size();
    text_ += "%PDF-1.4\n";
  }
  // Object `number` with the given body (without "obj"/"endobj").
  PdfWriter& Object(uint32_t number, const std::string& body, uint32_t generation = 0) {
    offsets_[number] = Offset();
    text_ += std::to_string(number) + " " + std::to_string(generation) + " obj\n" + body +
             "\nendobj\n";
    return *this;
  }
  PdfWriter& Raw(const std::string& bytes) {
    text_ += bytes;
    return *this;
  }
  // A classic table with one subsection 0..max and the trailer entries.
  PdfWriter& ClassicTable(const std::string& trailerEntries) {
    const uint64_t table = Offset();
    uint32_t last = offsets_.empty() ? 0 : offsets_.rbegin()->first;
    text_ += "xref\n0 " + std::to_string(last + 1) + "\n0000000000 65535 f \n";
    for (uint32_t n = 1; n <= last; ++n) {
      char entry[32];
      auto found = offsets_.find(n);
      if (found == offsets_.end()) {
        std::snprintf(entry, sizeof(entry), "0000000000 00001 f \n");
      } else {
        std::snprintf(entry, sizeof(entry), "%010llu 00000 n \n",
                      static_cast<unsigned long long>(found->second));
      }
      text_ += entry;
    }
    text_ += "trailer\n<< /Size " + std::to_string(last + 1) + " " + trailerEntries + " >>\n";
    return StartXref(table);
  }
  PdfWriter& StartXref(uint64_t offset) {
    text_ += "startxref\n" + std::to_string(offset) + "\n%%EOF\n";
    return *this;
  }
  // The offset the next byte will have, counted from the header.
  uint64_t Offset() const { return text_.size() - header_; }
  uint64_t OffsetOf(uint32_t number) const { return offsets_.at(number); }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  size_t header_ = 0;
  std::map<uint32_t, uint64_t> offsets_;
};

// A file whose first object, 9, is a linearisation dictionary with the
// entries `entries(length)` gives for a file of `length` bytes, followed by
// the one cross-reference section, which lists `objects` (numbered 1, 2,
// ... in order) and object 9, the trailer with `size` as its "/Size", and
// the objects. Written until the offsets it names are the ones it has.
template <class Entries>
std::string LinearizedTestFile(Entries&& entries, const std::vector<std::string>& objects, const std::string& size) {
  std::string bytes;
  std::map<uint32_t, size_t> offsets{{9, 0}};
  for (uint32_t n = 1; n <= objects.size(); ++n) offsets[n] = 0;
  for (;;) {
    std::string text = "%PDF-1.4\n";
    const std::map<uint32_t, size_t> before = offsets;
    offsets[9] = text.size();
    text += "9 0 obj\n<< /Linearized 1 " + entries(bytes.size()) + " >>\nendobj\n";
    const size_t table = text.size();
    text += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    char entry[32];
    for (const auto& [n, offset] : before) {
      if (n == 9) text += "9 1\n";
      std::snprintf(entry, sizeof(entry), "%010zu 00000 n \n", offset);
      text += entry;
    }
    text += "trailer\n<< /Size " + size + " /Root 1 0 R >>\n";
    for (uint32_t n = 1; n <= objects.size(); ++n) {
      offsets[n] = text.size();
      text += std::to_string(n) + " 0 obj\n" + objects[n - 1] + "\nendobj\n";
    }
    text += "startxref\n" + std::to_string(table) + "\n%%EOF\n";
    const bool stable = text.size() == bytes.size() && offsets == before;
    bytes = text;
    if (stable) break;
  }
  return bytes;
}

// A linearised file of a few hundred bytes whose trailer claims 2^31
// objects and whose dictionary claims 1000 pages, with hints that cannot
// be read; it lists four objects and holds one page.
inline std::string HostileLinearizedFile() {
  return LinearizedTestFile(
      [](size_t length) { return "/L " + std::to_string(length) + " /H [40 900] /O 3 /E 300 /N 1000 /T 400"; },
      {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Count 1 /Kids [3 0 R] >>",
       "<< /Type /Page /Parent 2 0 R >>"},
      "2147483647");
}

}  // namespace pdftest
