#pragma once
// Test support for the document layer: documents over bytes in memory, a
// small writer of PDF files with exact offsets, and reading whole streams.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "pdf/Document.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"
#include "streams/DataStream.h"
#include "streams/MemoryDataSource.h"

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

}  // namespace pdftest
