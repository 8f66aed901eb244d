// What reaching a document's pages costs, on files generated at run time
// (in $TMPDIR): loading every page record of a 2,000-page document and of
// qpdf's linearised copy; the page count of a 2,415-page document against
// pdfinfo; listing every page's boxes of a flat 20,000-page file against
// mutool; and reading every entry of a 300,000-object cross-reference
// stream in order and in reverse. The reference tools run as processes,
// so the probe is timed as a process beside them.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "bench/CommandTiming.h"
#include "pdf/Document.h"
#include "pdf/PageInfoTable.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "streams/MemoryDataSource.h"

namespace {

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/folvane_bench_" + std::to_string(getpid()) +
         "_" + name + ".pdf";
}

// A file of numbered objects with a classic cross-reference table.
class Writer {
 public:
  Writer() { text_ = "%PDF-1.7\n"; }
  void Object(uint32_t number, const std::string& body) {
    offsets_[number] = text_.size();
    text_ += std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
  }
  std::string Finish(const std::string& trailer) {
    const size_t table = text_.size();
    const uint32_t last = offsets_.rbegin()->first;
    text_ += "xref\n0 " + std::to_string(last + 1) + "\n0000000000 65535 f \n";
    char entry[32];
    for (uint32_t n = 1; n <= last; ++n) {
      const auto found = offsets_.find(n);
      if (found == offsets_.end()) {
        text_ += "0000000000 00001 f \n";
      } else {
        std::snprintf(entry, sizeof(entry), "%010zu 00000 n \n", found->second);
        text_ += entry;
      }
    }
    text_ += "trailer\n<< /Size " + std::to_string(last + 1) + " " + trailer +
             " >>\nstartxref\n" + std::to_string(table) + "\n%%EOF\n";
    return text_;
  }

 private:
  std::string text_;
  std::map<uint32_t, size_t> offsets_;
};

// `pages` pages under one node, each with its own small content stream
// and a shared font.
std::string FlatDocument(uint32_t pages, bool withContent) {
  Writer writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  writer.Object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  std::string kids;
  const uint32_t step = withContent ? 2 : 1;
  for (uint32_t i = 0; i < pages; ++i) {
    const uint32_t page = 4 + step * i;
    std::string body = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " +
                       std::to_string(300 + i % 300) + " 792] /Resources << /Font << /F1 3 0 R >> >>";
    if (withContent) {
      const std::string text = "BT /F1 24 Tf 72 700 Td (Page " + std::to_string(i + 1) + ") Tj ET";
      writer.Object(page + 1, "<< /Length " + std::to_string(text.size()) + " >>\nstream\n" +
                                  text + "\nendstream");
      body += " /Contents " + std::to_string(page + 1) + " 0 R";
    }
    writer.Object(page, body + " >>");
    kids += std::to_string(page) + " 0 R ";
  }
  writer.Object(2, "<< /Type /Pages /Count " + std::to_string(pages) + " /Kids [" + kids + "] >>");
  return writer.Finish("/Root 1 0 R");
}

// A file whose cross-reference stream lists `objects` objects; the objects
// themselves are not there (only the entries are read).
std::string CrossReferenceStream(uint32_t objects) {
  std::string entries;
  entries.reserve(size_t{objects} * 5);
  for (uint32_t n = 0; n < objects; ++n) {
    const uint32_t offset = 16 + 40 * n;
    entries += static_cast<char>(n == 0 ? 0 : 1);
    entries += static_cast<char>(offset >> 16);
    entries += static_cast<char>(offset >> 8);
    entries += static_cast<char>(offset);
    entries += '\0';
  }
  uLongf size = compressBound(static_cast<uLong>(entries.size()));
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
            reinterpret_cast<const Bytef*>(entries.data()), static_cast<uLong>(entries.size()), 6);
  packed.resize(size);
  std::string text = "%PDF-1.7\n";
  const size_t at = text.size();
  text += "1 0 obj\n<< /Type /XRef /W [1 3 1] /Size " + std::to_string(objects) +
          " /Filter /FlateDecode /Length " + std::to_string(packed.size()) + " >>\nstream\n" +
          packed + "\nendstream\nendobj\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
  return text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The generated files, made once per run.
struct Files {
  std::string plain2000;
  std::string linearized2000;
  std::string pages2415;
  std::string flat20000;
  std::string xref300000;
  Files() {
    plain2000 = TempPath("plain2000");
    WriteFile(plain2000, FlatDocument(2000, true));
    linearized2000 = TempPath("linearized2000");
    if (std::system(("qpdf --linearize '" + plain2000 + "' '" + linearized2000 + "'").c_str()) != 0) {
      linearized2000.clear();
    }
    pages2415 = TempPath("pages2415");
    WriteFile(pages2415, FlatDocument(2415, true));
    flat20000 = TempPath("flat20000");
    WriteFile(flat20000, FlatDocument(20000, false));
    xref300000 = TempPath("xref300000");
    WriteFile(xref300000, CrossReferenceStream(300000));
  }
  ~Files() {
    for (const std::string* path : {&plain2000, &linearized2000, &pages2415, &flat20000, &xref300000}) {
      if (!path->empty()) std::remove(path->c_str());
    }
  }
};

const Files& Generated() {
  static const Files files;
  return files;
}

// A document over a file's bytes in memory, released at the end.
class InMemory {
 public:
  InMemory(runtime::LibraryContext* context, const std::string& bytes) : context_(context) {
    auto source = streams::MakeRef<streams::MemoryDataSource>(
        context, reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    document_ = pdf::Document::Open(context, std::move(source));
  }
  ~InMemory() { runtime::DestroyAndFree(context_, document_); }
  pdf::Document& operator*() const { return *document_; }

 private:
  runtime::LibraryContext* context_;
  pdf::Document* document_;
};

// Loads every page record from a fresh document each time.
void LoadAllRecords(benchmark::State& state, const std::string& path) {
  if (path.empty()) {
    state.SkipWithError("qpdf could not linearise the document");
    return;
  }
  const std::string bytes = ReadFile(path);
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  for (auto _ : state) {
    runtime::ErrorTrap trap(&context);
    const bool ok = trap.Run([&] {
      InMemory document(&context, bytes);
      const int32_t count = (*document).GetPageCount();
      pdf::PageInfoTable table(&context, *document, count);
      for (int32_t index = 0; index < count; ++index) table.Load(index);
      benchmark::DoNotOptimize(table.LargestWidth());
    });
    if (!ok) {
      trap.SetHandled();
      trap.Close();
      state.SkipWithError("loading the records failed");
      return;
    }
  }
}

void BM_LoadRecordsPlain2000(benchmark::State& state) {
  LoadAllRecords(state, Generated().plain2000);
}
void BM_LoadRecordsLinearized2000(benchmark::State& state) {
  LoadAllRecords(state, Generated().linearized2000);
}

using benchsupport::TimeCommand;

std::string Probe() { return std::string(FOLVANE_BINARY_DIR) + "/tools/probe"; }

void BM_PageCountProbe2415(benchmark::State& state) {
  TimeCommand(state, Probe() + " pages '" + Generated().pages2415 + "' --count");
}
void BM_PageCountPdfinfo2415(benchmark::State& state) {
  TimeCommand(state, "pdfinfo '" + Generated().pages2415 + "'");
}
void BM_ListPagesProbe20000(benchmark::State& state) {
  TimeCommand(state, Probe() + " pages '" + Generated().flat20000 + "'");
}
void BM_ListPagesMutool20000(benchmark::State& state) {
  TimeCommand(state, "mutool pages '" + Generated().flat20000 + "'");
}

// In process: opening and counting the 2,415 pages.
void BM_PageCountInProcess2415(benchmark::State& state) {
  const std::string bytes = ReadFile(Generated().pages2415);
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  for (auto _ : state) {
    InMemory document(&context, bytes);
    benchmark::DoNotOptimize((*document).GetPageCount());
  }
}

// Every entry of the cross-reference stream, from a fresh document each
// time, in order or from the last to the first.
void ReadEntries(benchmark::State& state, bool reverse) {
  const std::string bytes = ReadFile(Generated().xref300000);
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  constexpr uint32_t kObjects = 300000;
  for (auto _ : state) {
    InMemory document(&context, bytes);
    uint64_t sum = 0;
    for (uint32_t i = 0; i < kObjects; ++i) {
      sum += (*document).LookupEntry(reverse ? kObjects - 1 - i : i).offset;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kObjects);
}

void BM_XrefStreamInOrder300000(benchmark::State& state) { ReadEntries(state, false); }
void BM_XrefStreamReverse300000(benchmark::State& state) { ReadEntries(state, true); }

}  // namespace

BENCHMARK(BM_LoadRecordsPlain2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadRecordsLinearized2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageCountInProcess2415)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageCountProbe2415)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageCountPdfinfo2415)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListPagesProbe20000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListPagesMutool20000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XrefStreamInOrder300000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XrefStreamReverse300000)->Unit(benchmark::kMillisecond);
