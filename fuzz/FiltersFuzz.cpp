// Decode filters on hostile bytes: the first byte picks a filter chain and
// its parameters, the rest is the encoded data. Everything must end in
// decoded bytes or an error record, within bounded memory and time.
#include <cstddef>
#include <cstdint>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "streams/ChainedStream.h"
#include "streams/DecodeFilterRegistry.h"
#include "streams/FilterParameters.h"
#include "streams/MemoryDataSource.h"
#include "streams/RangeBlockSource.h"

namespace {

// Decoding stops after this many bytes: a small input may legitimately
// expand a great deal.
constexpr uint64_t kMaxOutput = 1 << 24;

struct Chain {
  const char* first;
  const char* second;
  int32_t predictor;
};

const Chain kChains[] = {
    {"FlateDecode", nullptr, 1},   {"FlateDecode", nullptr, 12}, {"FlateDecode", nullptr, 2},
    {"LZWDecode", nullptr, 1},     {"LZWDecode", nullptr, 15},   {"ASCIIHexDecode", nullptr, 1},
    {"ASCII85Decode", nullptr, 1}, {"RunLengthDecode", nullptr, 1}, {"DCTDecode", nullptr, 1},
    {"ASCII85Decode", "FlateDecode", 1}, {"ASCIIHexDecode", "LZWDecode", 1},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static runtime::LibraryContext context;
  context.memory.hardLimit = 256u << 20;
  if (size < 2) return 0;
  const Chain& chain = kChains[data[0] % (sizeof(kChains) / sizeof(kChains[0]))];
  streams::PlainFilterParameters params;
  params.Set("Predictor", chain.predictor)
      .Set("Columns", 1 + data[1] % 64)
      .Set("Colors", 1 + (data[1] >> 6))
      .Set("BitsPerComponent", (data[1] & 32) ? 16 : 8)
      .Set("EarlyChange", data[1] & 1);
  runtime::CatchAllExceptCancel(&context, [&] {
    auto source = streams::MakeRef<streams::MemoryDataSource>(&context, data + 2,
                                                              static_cast<uint32_t>(size - 2));
    streams::StreamRef stream = streams::MakeRef<streams::RangeBlockSource>(&context, source);
    streams::FilterStep steps[2] = {{chain.first, &params}, {chain.second, &params}};
    streams::ApplyFilters(&context, stream, {steps, chain.second != nullptr ? 2u : 1u},
                          streams::DecodeFilterRegistry::Document(), false);
    auto reader = streams::MakeRef<streams::ChainedStream>(&context, stream);
    uint64_t total = 0;
    while (uint32_t available = reader->EnsureContiguous(3)) {
      reader->Advance(available);
      total += available;
      if (total > kMaxOutput) break;
    }
  });
  return 0;
}
