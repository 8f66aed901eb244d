// JBIG2 generic-region decoding against jbig2dec on the same stream: one
// A4 page at 300 dpi of text-like marks, coded as a single arithmetic
// generic region with template 0, without and with typical prediction.
// Both decoders take the embedded stream and hand back the page.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" {
#include <jbig2.h>
}

#include "runtime/Jbig2Heap.h"
#include "runtime/LibraryContext.h"
#include "streams/jbig2/Jbig2Decoder.h"
#include "tests/streams/Jbig2Encoder.h"

namespace {

constexpr int kPageWidth = 2480;
constexpr int kPageHeight = 3508;

// Lines of blocky glyphs (5 x 7 cells of 4 pixels) with word gaps and
// margins, the way a scanned page of text is mostly white.
streams_test::TestImage TextPage() {
  streams_test::TestImage page(kPageWidth, kPageHeight);
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
  };
  for (int top = 200; top + 28 < kPageHeight - 200; top += 52) {
    int x = 180;
    while (x + 24 < kPageWidth - 180) {
      if (next() % 7 == 0) {
        x += 24;  // a word gap
        continue;
      }
      for (int cy = 0; cy < 7; ++cy) {
        for (int cx = 0; cx < 5; ++cx) {
          if (next() % 5 < 2) continue;
          for (int py = 0; py < 4; ++py) {
            for (int px = 0; px < 4; ++px) page.Set(x + cx * 4 + px, top + cy * 4 + py, 1);
          }
        }
      }
      x += 24;
    }
  }
  return page;
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// An embedded stream: page information, then one immediate generic region
// covering the page.
std::vector<uint8_t> PageStream(bool typicalPrediction) {
  const streams_test::TestImage page = TextPage();
  std::vector<uint8_t> stream;
  Put32(stream, 0);
  stream.insert(stream.end(), {48, 0, 1});
  Put32(stream, 19);
  Put32(stream, kPageWidth);
  Put32(stream, kPageHeight);
  Put32(stream, 0);
  Put32(stream, 0);
  stream.insert(stream.end(), {0, 0, 0});

  streams_test::GenericCoding coding;
  coding.tpgd = typicalPrediction;
  const std::vector<uint8_t> coded = streams_test::EncodeGeneric(page, coding);
  std::vector<uint8_t> region;
  Put32(region, kPageWidth);
  Put32(region, kPageHeight);
  Put32(region, 0);
  Put32(region, 0);
  region.push_back(0);
  region.push_back(typicalPrediction ? 8 : 0);
  for (int i = 0; i < 4; ++i) {
    region.push_back(static_cast<uint8_t>(coding.atX[i]));
    region.push_back(static_cast<uint8_t>(coding.atY[i]));
  }
  region.insert(region.end(), coded.begin(), coded.end());
  Put32(stream, 1);
  stream.insert(stream.end(), {38, 0, 1});
  Put32(stream, static_cast<uint32_t>(region.size()));
  stream.insert(stream.end(), region.begin(), region.end());
  return stream;
}

const std::vector<uint8_t>& Stream(bool typicalPrediction) {
  static const std::vector<uint8_t> plain = PageStream(false);
  static const std::vector<uint8_t> predicted = PageStream(true);
  return typicalPrediction ? predicted : plain;
}

void BM_Jbig2GenericOurs(benchmark::State& state) {
  const std::vector<uint8_t>& stream = Stream(state.range(0) != 0);
  runtime::LibraryContext context;
  for (auto _ : state) {
    runtime::Jbig2Heap heap(&context);
    streams::Jbig2Segment** globals = nullptr;
    uint32_t globalCount = 0;
    uint8_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    if (streams::Jbig2Decode(nullptr, 0, stream.data(), stream.size(), false, &globals,
                             &globalCount, &pixels, &width, &height) != 0 ||
        width != kPageWidth || height != kPageHeight) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(pixels);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kPageWidth * kPageHeight);
}

void BM_Jbig2GenericJbig2dec(benchmark::State& state) {
  const std::vector<uint8_t>& stream = Stream(state.range(0) != 0);
  for (auto _ : state) {
    Jbig2Ctx* ctx = jbig2_ctx_new(nullptr, JBIG2_OPTIONS_EMBEDDED, nullptr, nullptr, nullptr);
    jbig2_data_in(ctx, stream.data(), stream.size());
    jbig2_complete_page(ctx);
    Jbig2Image* image = jbig2_page_out(ctx);
    if (image == nullptr || image->width != kPageWidth || image->height != kPageHeight) {
      state.SkipWithError("jbig2dec failed");
    } else {
      benchmark::DoNotOptimize(image->data);
    }
    if (image != nullptr) jbig2_release_page(ctx, image);
    jbig2_ctx_free(ctx);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kPageWidth * kPageHeight);
}

BENCHMARK(BM_Jbig2GenericOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jbig2GenericJbig2dec)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
