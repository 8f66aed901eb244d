// The object parser's throughput on a page-like dictionary and on a long
// array of reals.
#include <benchmark/benchmark.h>

#include <string>

#include "pdf/TokenParser.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "streams/MemoryDataSource.h"
#include "streams/SubRangeStream.h"

namespace {

std::string PageDictionary() {
  std::string text = "<< /Type /Page /Parent 3 0 R /MediaBox [0 0 612 792] /Resources << /Font << ";
  for (int i = 0; i < 40; ++i) text += "/F" + std::to_string(i) + " " + std::to_string(i + 10) + " 0 R ";
  text += ">> /ProcSet [/PDF /Text /ImageB] >> /Contents [";
  for (int i = 0; i < 40; ++i) text += std::to_string(i + 100) + " 0 R ";
  text += "] /Annots [(some string \\(with\\) escapes) <48656c6c6f>] >>";
  return text;
}

std::string NumberArray() {
  std::string text = "[";
  for (int i = 0; i < 2000; ++i) text += std::to_string(i * 37) + "." + std::to_string(i % 97) + " ";
  return text + "]";
}

void Parse(benchmark::State& state, const std::string& text) {
  runtime::LibraryContext context;
  auto source = streams::MakeRef<streams::MemoryDataSource>(
      &context, reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()));
  for (auto _ : state) {
    runtime::StoreRef store = runtime::StoreRef::Adopt(&context, runtime::ValueStore::New(&context));
    streams::DataStreamRef stream = streams::MakeRef<streams::SubRangeStream>(&context, source, 0);
    runtime::ObjectValue value = pdf::TokenParser::Parse(&context, *stream, *store, {});
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void BM_ParsePageDictionary(benchmark::State& state) { Parse(state, PageDictionary()); }
void BM_ParseNumberArray(benchmark::State& state) { Parse(state, NumberArray()); }

}  // namespace

BENCHMARK(BM_ParsePageDictionary);
BENCHMARK(BM_ParseNumberArray);
