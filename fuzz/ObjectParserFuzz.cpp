// The object parser on hostile bytes: every object in the input, one after
// another, until the data ends or a syntax error stops the parse.
#include <cstddef>
#include <cstdint>

#include "pdf/TokenParser.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "streams/MemoryDataSource.h"
#include "streams/SubRangeStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static runtime::LibraryContext context;
  context.memory.hardLimit = 256u << 20;
  if (size > (1u << 20)) return 0;
  runtime::CatchAllExceptCancel(&context, [&] {
    auto source = streams::MakeRef<streams::MemoryDataSource>(&context, data,
                                                              static_cast<uint32_t>(size));
    streams::DataStreamRef stream = streams::MakeRef<streams::SubRangeStream>(&context, source, 0);
    runtime::StoreRef store = runtime::StoreRef::Adopt(&context, runtime::ValueStore::New(&context));
    pdf::TokenParser parser(&context, *stream, *store, {});
    while (!stream->AtEnd()) parser.ParseObject();
  });
  return 0;
}
