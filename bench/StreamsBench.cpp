// The stream model against calling zlib and the JPEG library directly on the
// same bytes: a 10 MB Flate stream and a 4-megapixel JPEG. The model's
// overhead (blocks, held-back bytes, buffered reads, row hand-out) should
// stay within a tenth of the decoders' own time.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "runtime/LibraryContext.h"
#include "streams/ChainedStream.h"
#include "streams/DecodeFilterRegistry.h"
#include "streams/FileRange.h"
#include "streams/FileStream.h"
#include "streams/ImageRowSource.h"
#include "streams/MemoryDataSource.h"
#include "streams/RangeBlockSource.h"
#include "tests/support/JpegEncoder.h"

namespace {

using streams::MakeRef;

constexpr size_t kFlateBytes = 10 * 1024 * 1024;
constexpr int kJpegSide = 2048;

const std::string& FlateData() {
  static const std::string compressed = [] {
    std::string raw(kFlateBytes, '\0');
    uint32_t seed = 1;
    for (size_t i = 0; i < raw.size(); ++i) {
      seed = seed * 1664525 + 1013904223;
      // Text-like: mostly a small alphabet, some noise.
      raw[i] = static_cast<char>((seed >> 28) < 12 ? 'a' + (i * 7 + i / 64) % 26 : seed >> 24);
    }
    uLongf size = compressBound(raw.size());
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
              raw.size(), 6);
    out.resize(size);
    return out;
  }();
  return compressed;
}

const std::string& JpegData() {
  static const std::string jpeg = testsupport::EncodeJpeg(kJpegSide, kJpegSide, 3, false);
  return jpeg;
}

streams::StreamRef RawChain(runtime::LibraryContext* context, const std::string& bytes) {
  auto source = MakeRef<streams::MemoryDataSource>(
      context, reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
  return MakeRef<streams::RangeBlockSource>(context, source);
}

// Decodes a Flate chain through a buffered stream, read the way parsers
// do: in place, a buffer at a time. Returns the decoded size.
uint64_t InflateAll(runtime::LibraryContext* context, streams::StreamRef chain) {
  streams::FilterStep step{"FlateDecode", nullptr};
  streams::ApplyFilters(context, chain, {&step, 1}, streams::DecodeFilterRegistry::Document(), false);
  auto stream = MakeRef<streams::ChainedStream>(context, chain);
  uint64_t total = 0;
  while (uint32_t available = stream->EnsureContiguous(1)) {
    benchmark::DoNotOptimize(stream->Cursor());
    stream->Advance(available);
    total += available;
  }
  return total;
}

void BM_FlateDirect(benchmark::State& state) {
  const std::string& compressed = FlateData();
  std::vector<uint8_t> out(4096);
  for (auto _ : state) {
    z_stream stream{};
    inflateInit(&stream);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    uint64_t total = 0;
    int result = Z_OK;
    while (result == Z_OK) {
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(out.size());
      result = inflate(&stream, Z_SYNC_FLUSH);
      total += out.size() - stream.avail_out;
      benchmark::DoNotOptimize(out.data());
    }
    inflateEnd(&stream);
    if (total != kFlateBytes) state.SkipWithError("short inflate");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFlateBytes));
}

void BM_FlateStreamModel(benchmark::State& state) {
  runtime::LibraryContext context;
  const std::string& compressed = FlateData();
  for (auto _ : state) {
    streams::StreamRef chain = RawChain(&context, compressed);
    if (InflateAll(&context, chain) != kFlateBytes) state.SkipWithError("short decode");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFlateBytes));
}

// The same stream read from a file the way a document's stream objects
// are: file pages, the stream's range, the filter, the buffered stream.
void BM_FlateFilePath(benchmark::State& state) {
  const std::string& compressed = FlateData();
  const std::string path = "/tmp/folvane-streams-bench-" + std::to_string(getpid()) + ".bin";
  {
    FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite("%PDF-1.4\n", 1, 9, out);
    std::fwrite(compressed.data(), 1, compressed.size(), out);
    std::fclose(out);
  }
  const std::u16string wide(path.begin(), path.end());
  for (auto _ : state) {
    runtime::LibraryContext context;
    auto file = streams::FileStream::Open(&context, wide.c_str());
    auto range = MakeRef<streams::FileRange>(&context, file, 9, 9 + compressed.size());
    streams::StreamRef chain = MakeRef<streams::RangeBlockSource>(&context, range);
    if (InflateAll(&context, chain) != kFlateBytes) state.SkipWithError("short decode");
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFlateBytes));
}

void BM_JpegDirect(benchmark::State& state) {
  const std::string& jpeg = JpegData();
  std::vector<unsigned char> row(kJpegSide * 3);
  for (auto _ : state) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW rows[1] = {row.data()};
      jpeg_read_scanlines(&cinfo, rows, 1);
      benchmark::DoNotOptimize(row.data());
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kJpegSide * kJpegSide);
}

void BM_JpegStreamModel(benchmark::State& state) {
  runtime::LibraryContext context;
  const std::string& jpeg = JpegData();
  for (auto _ : state) {
    streams::StreamRef chain = RawChain(&context, jpeg);
    streams::FilterStep step{"DCTDecode", nullptr};
    streams::ApplyFilters(&context, chain, {&step, 1}, streams::DecodeFilterRegistry::Document(), false);
    // Rows as the painter reads them.
    streams::ImageRowSource rows(&context, {kJpegSide, kJpegSide, 8, 3}, chain);
    for (int y = 0; y < kJpegSide; ++y) benchmark::DoNotOptimize(rows.NextRow());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kJpegSide * kJpegSide);
}

BENCHMARK(BM_FlateDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlateStreamModel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlateFilePath)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegStreamModel)->Unit(benchmark::kMillisecond);

}  // namespace
