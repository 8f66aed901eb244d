// Content playback throughput: the first pages of the corpus files with the
// most text shows, recorded and played into a handler that does nothing.
// Reports operations per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bench/NullContentHandler.h"
#include "content/ContentHandler.h"
#include "content/ContentMachine.h"
#include "content/ContentStream.h"
#include "pdf/Document.h"
#include "pdf/Page.h"
#include "platform/Files.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "runtime/TransientBlocks.h"
#include "streams/FileStream.h"
#include "streams/MemoryDataSource.h"
#include "streams/SubRangeStream.h"

namespace {

constexpr size_t kPages = 20;

using NullHandler = bench::NullContentHandler;

size_t CountTextShows(const std::string& bytes) {
  size_t count = 0;
  for (size_t i = 0; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == 'T' && (bytes[i + 1] == 'j' || bytes[i + 1] == 'J')) ++count;
  }
  return count;
}

// The decoded content of the first page of `path`, or nothing.
std::string FirstPageContent(runtime::LibraryContext* context, const std::string& path) {
  std::string bytes;
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] {
        const std::u16string device = platform::DevicePathFromHost(path);
        pdf::Document* document =
            pdf::Document::Open(context, streams::FileStream::Open(context, device.c_str()));
        struct Holder {
          runtime::LibraryContext* context;
          pdf::Document* document;
          ~Holder() { runtime::DestroyAndFree(context, document); }
        } holder{context, document};
        runtime::ObjectHandle node =
            runtime::Dictionary::Get(document->GetTrailer(), "Root").Resolved();
        node = runtime::Dictionary::Get(node, "Pages").Resolved();
        for (int depth = 0; depth < 32; ++depth) {
          runtime::ObjectHandle kids = runtime::Dictionary::Get(node, "Kids").Resolved();
          if (kids.Tag() != runtime::ObjectTag::kArray || runtime::Array::Count(kids) == 0) break;
          node = runtime::Array::Get(kids, 0).Resolved();
        }
        streams::DataStreamRef stream = pdf::Page::GetContents(*document, node);
        if (!stream) return;
        uint8_t buffer[4096];
        for (size_t count; (count = stream->Read(buffer, sizeof buffer)) != 0;) {
          bytes.append(reinterpret_cast<const char*>(buffer), count);
        }
      })) {
    trap.SetHandled();
    trap.Close();
    bytes.clear();
  }
  return bytes;
}

std::vector<std::string> TextHeavyPages(runtime::LibraryContext* context) {
  const char* dir = std::getenv("FOLVANE_CORPUS_DIR");
  const std::filesystem::path root =
      std::filesystem::path(dir != nullptr ? dir : FOLVANE_CORPUS_DIR) / "pdf";
  std::vector<std::pair<size_t, std::string>> ranked;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
    if (entry.path().extension() != ".pdf") continue;
    std::string bytes = FirstPageContent(context, entry.path().string());
    const size_t shows = CountTextShows(bytes);
    if (shows != 0) ranked.emplace_back(shows, std::move(bytes));
  }
  std::sort(ranked.begin(), ranked.end(),
            [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::string> pages;
  for (size_t i = 0; i < ranked.size() && i < kPages; ++i) pages.push_back(ranked[i].second);
  return pages;
}

void BM_PlayTextHeavyPages(benchmark::State& state) {
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  const std::vector<std::string> pages = TextHeavyPages(&context);
  if (pages.empty()) {
    state.SkipWithError("no corpus pages");
    return;
  }
  const runtime::ObjectHandle noResources;
  int64_t operations = 0;
  for (auto _ : state) {
    for (const std::string& bytes : pages) {
      auto source = streams::MakeRef<streams::MemoryDataSource>(
          &context, reinterpret_cast<const uint8_t*>(bytes.data()),
          static_cast<uint32_t>(bytes.size()));
      content::ContentMachine* machine = runtime::NewObject<content::ContentMachine>(
          &context, &context, nullptr,
          streams::MakeRef<streams::SubRangeStream>(&context, source, 0), noResources);
      content::PageInfo page;
      NullHandler handler(&context, page, 0, &noResources);
      runtime::ErrorTrap trap(&context);
      if (!trap.Run([&] { content::ContentStream::Run(*machine, handler); })) {
        trap.SetHandled();
        trap.Close();
      }
      operations += handler.OperationCount();
      runtime::DestroyAndFree(&context, machine);
    }
  }
  state.counters["operations/s"] =
      benchmark::Counter(static_cast<double>(operations), benchmark::Counter::kIsRate);
}

// A hostile page that compresses to a few kilobytes: a dash of two million
// lengths, then 100,000 saves and restores, then one stroked path. Parsed
// and played whole each iteration.
void BM_PlayHugeDashWithManySaves(benchmark::State& state) {
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  std::string bytes = "[";
  for (int i = 0; i < 2000000; ++i) bytes += "1 ";
  bytes += "] 0 d ";
  for (int i = 0; i < 100000; ++i) bytes += "q Q ";
  bytes += "0 0 m 5 5 l S";
  const runtime::ObjectHandle noResources;
  int64_t operations = 0;
  for (auto _ : state) {
    auto source = streams::MakeRef<streams::MemoryDataSource>(
        &context, reinterpret_cast<const uint8_t*>(bytes.data()),
        static_cast<uint32_t>(bytes.size()));
    content::ContentMachine* machine = runtime::NewObject<content::ContentMachine>(
        &context, &context, nullptr, streams::MakeRef<streams::SubRangeStream>(&context, source, 0),
        noResources);
    content::PageInfo page;
    NullHandler handler(&context, page, 0, &noResources);
    runtime::ErrorTrap trap(&context);
    if (!trap.Run([&] { content::ContentStream::Run(*machine, handler); })) {
      state.SkipWithError("the page did not play");
      trap.SetHandled();
      trap.Close();
    }
    operations += handler.OperationCount();
    runtime::DestroyAndFree(&context, machine);
  }
  state.counters["operations/s"] =
      benchmark::Counter(static_cast<double>(operations), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_PlayTextHeavyPages)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayHugeDashWithManySaves)->Unit(benchmark::kMillisecond);
