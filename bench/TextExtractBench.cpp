// Extraction of a 500-page document's text against pdftotext, in the same
// run: the document (Helvetica, 45 lines of words a page, written at run
// time in $TMPDIR) is read whole by `probe text FILE all` and by
// `pdftotext FILE -`, both as processes. A third benchmark builds every
// page's model in process under the viewer's 10 MiB budget and reports
// the memory peak.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "content/PageModel.h"
#include "fonts/DocumentFontSource.h"
#include "fonts/DocumentTextFontSource.h"
#include "bench/CommandTiming.h"
#include "pdf/Document.h"
#include "pdf/PageTree.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "streams/MemoryDataSource.h"

namespace {

constexpr uint32_t kPages = 500;
constexpr uint32_t kLinesPerPage = 45;
constexpr uint32_t kBudget = 10u << 20;

// A page's worth of words, from a fixed list stepped through by a simple
// generator so that every page differs.
std::string PageContent(uint32_t page) {
  static const char* const kWords[] = {"the", "viewer", "shows", "pages", "of", "text", "rendered", "quickly",
                                       "within", "memory", "budget", "handheld", "device", "document", "with",
                                       "fonts", "and", "images", "search", "finds", "words", "selection",
                                       "outline", "column", "paragraph"};
  constexpr uint32_t kCount = sizeof(kWords) / sizeof(kWords[0]);
  uint32_t seed = page * 2654435761u + 1;
  std::string text = "BT /F1 11 Tf 13 TL 72 740 Td\n";
  for (uint32_t line = 0; line < kLinesPerPage; ++line) {
    std::string words;
    while (words.size() < 80) {
      seed = seed * 1103515245u + 12345u;
      if (!words.empty()) words += ' ';
      words += kWords[(seed >> 16) % kCount];
    }
    text += "(" + words + ") Tj T*\n";
  }
  return text + "ET";
}

std::string FiveHundredPages() {
  std::string text = "%PDF-1.4\n";
  std::map<uint32_t, size_t> offsets;
  auto object = [&](uint32_t number, const std::string& body) {
    offsets[number] = text.size();
    text += std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
  };
  object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  std::string kids;
  for (uint32_t i = 0; i < kPages; ++i) {
    const uint32_t page = 4 + 2 * i;
    const std::string content = PageContent(i);
    object(page + 1, "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
    object(page, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> "
                 "/Contents " + std::to_string(page + 1) + " 0 R >>");
    kids += std::to_string(page) + " 0 R ";
  }
  object(2, "<< /Type /Pages /Count " + std::to_string(kPages) + " /Kids [" + kids + "] >>");
  const size_t table = text.size();
  const uint32_t last = offsets.rbegin()->first;
  text += "xref\n0 " + std::to_string(last + 1) + "\n0000000000 65535 f \n";
  char entry[32];
  for (uint32_t n = 1; n <= last; ++n) {
    std::snprintf(entry, sizeof(entry), "%010zu 00000 n \n", offsets[n]);
    text += entry;
  }
  text += "trailer\n<< /Size " + std::to_string(last + 1) + " /Root 1 0 R >>\nstartxref\n" + std::to_string(table) +
          "\n%%EOF\n";
  return text;
}

struct Generated {
  std::string path;
  std::string bytes;
  Generated() {
    bytes = FiveHundredPages();
    const char* dir = std::getenv("TMPDIR");
    path = std::string(dir != nullptr ? dir : "/tmp") + "/folvane_bench_" + std::to_string(getpid()) + "_text500.pdf";
    std::ofstream(path, std::ios::binary) << bytes;
  }
  ~Generated() { std::remove(path.c_str()); }
};

const Generated& Document500() {
  static const Generated generated;
  return generated;
}

using benchsupport::TimeCommand;

void BM_TextProbe500(benchmark::State& state) {
  TimeCommand(state, std::string(FOLVANE_BINARY_DIR) + "/tools/probe text '" + Document500().path + "' all");
}

void BM_TextPdftotext500(benchmark::State& state) {
  TimeCommand(state, "pdftotext -q '" + Document500().path + "' -");
}

// Every page's model in turn, under the budget; the peak of the memory
// account is reported.
void BM_TextModelsInProcess500(benchmark::State& state) {
  const std::string& bytes = Document500().bytes;
  uint64_t peak = 0;
  uint64_t chars = 0;
  for (auto _ : state) {
    runtime::LibraryContext context;
    context.memory.SetBudget(kBudget);
    runtime::SetDefaultContext(&context);
    bool failed = false;
    {
      runtime::ErrorTrap trap(&context);
      if (!trap.Run([&] {
            auto source = streams::MakeRef<streams::MemoryDataSource>(
                &context, reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
            pdf::Document* document = pdf::Document::Open(&context, std::move(source));
            {
              fonts::DocumentFontSource fonts(*document);
              fonts::DocumentTextFontSource unicode(*document);
              for (int32_t page = 0; page < pdf::PageTree::CountPages(*document); ++page) {
                content::PageModel model(&context);
                model.Build(*document, page, &fonts, &unicode);
                chars += model.Chars().Size();
              }
            }
            runtime::DestroyAndFree(&context, document);
          })) {
        trap.SetHandled();
        trap.Close();
        failed = true;
      }
    }
    peak = std::max(peak, context.memory.peakBytes);
    runtime::SetDefaultContext(nullptr);
    if (failed) {
      state.SkipWithError("extraction failed under the budget");
      return;
    }
  }
  state.counters["peak_bytes"] = static_cast<double>(peak);
  state.counters["chars"] = static_cast<double>(chars) / static_cast<double>(state.iterations());
}

BENCHMARK(BM_TextProbe500)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextPdftotext500)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextModelsInProcess500)->Unit(benchmark::kMillisecond);

}  // namespace
