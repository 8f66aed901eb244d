// Playing a Flate-compressed page whose paths are kept by stream position
// (begun after the program holds 40000 segments) into a handler with a
// path-cache record, as the painter plays it: every such path is read
// again from the content stream. Reports paths per second; the argument is
// the number of paths after the prologue and their line segments each.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <string>

#include "bench/NullContentHandler.h"

#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "content/Page.h"
#include "pdf/Document.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "runtime/TransientBlocks.h"
#include "streams/MemoryDataSource.h"
#include "tests/support/SmallPdfFile.h"

namespace {

// Counts the points of the paths it is given; keeps a path-cache record.
class SlotHandler : public bench::NullContentHandler {
 public:
  SlotHandler(runtime::LibraryContext* context, const content::PageInfo& page,
              const runtime::ObjectHandle* resources)
      : NullContentHandler(context, page, 0, resources),
        arena_(context, 4096, 1024),
        slot_(arena_) {}
  void PaintPath(content::ContentStream&, bool present, const content::PathPaint&,
                 const content::PathSegments& segments) override {
    if (present) points += segments.count;
  }
  content::PathCacheSlot* GetPathCacheSlot() override { return &slot_; }

  uint64_t points = 0;

 private:
  runtime::ArenaAllocator arena_;
  content::PathCacheSlot slot_;
};

std::string Compressed(const std::string& text) {
  uLongf size = compressBound(text.size());
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size,
           reinterpret_cast<const Bytef*>(text.data()), text.size());
  out.resize(size);
  return out;
}

std::string PageFile(int paths, int segments) {
  std::string content;
  for (int i = 0; i < 8000; ++i) content += "0 0 1 1 re\n";
  content += "n\n";
  for (int i = 0; i < paths; ++i) {
    content += std::to_string(i % 500) + " 10 m";
    for (int j = 0; j < segments; ++j) content += " " + std::to_string(i % 500 + j) + " 20 l";
    content += " S\n";
  }
  const std::string data = Compressed(content);
  return testsupport::SmallPdfFile({
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>",
      testsupport::StreamBody("/Filter /FlateDecode", data),
  });
}

void BM_ReadPathsAgain(benchmark::State& state) {
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  const std::string file =
      PageFile(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  uint64_t points = 0;
  for (auto _ : state) {
    runtime::ErrorTrap trap(&context);
    if (!trap.Run([&] {
          auto source = streams::MakeRef<streams::MemoryDataSource>(
              &context, reinterpret_cast<const uint8_t*>(file.data()),
              static_cast<uint32_t>(file.size()));
          pdf::Document* document = pdf::Document::Open(&context, std::move(source));
          struct Holder {
            runtime::LibraryContext* context;
            pdf::Document* document;
            ~Holder() { runtime::DestroyAndFree(context, document); }
          } holder{&context, document};
          content::ContentMachine* machine =
              content::Page::NewMachine(*document, document->GetPageDict(0));
          content::MachineHolder machineHolder(&context, machine);
          content::PageInfo page;
          page.document = document;
          SlotHandler handler(&context, page, &machine->Resources());
          content::ContentStream::Run(*machine, handler);
          points += handler.points;
        })) {
      trap.SetHandled();
      trap.Close();
      state.SkipWithError("the page did not play");
      return;
    }
  }
  state.counters["paths/s"] =
      benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                         benchmark::Counter::kIsRate);
  benchmark::DoNotOptimize(points);
}
BENCHMARK(BM_ReadPathsAgain)
    ->Args({1000, 1})
    ->Args({4000, 1})
    ->Args({16000, 1})
    ->Args({1000, 50})
    ->Args({4000, 50})
    ->Unit(benchmark::kMillisecond);

}  // namespace
