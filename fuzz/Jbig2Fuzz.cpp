// libFuzzer entry: JBIG2 decoding of arbitrary data; the first byte says how
// much of the rest is the globals stream.
#include <cstddef>
#include <cstdint>

#include "runtime/ErrorTrap.h"
#include "runtime/Jbig2Heap.h"
#include "runtime/LibraryContext.h"
#include "streams/jbig2/Jbig2Decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static runtime::LibraryContext context;
  context.memory.SetBudget(64u << 20);
  size_t globalsLength = data[0];
  if (globalsLength > size - 1) globalsLength = size - 1;
  const uint8_t* globals = data + 1;
  const uint8_t* page = globals + globalsLength;
  const size_t pageLength = size - 1 - globalsLength;
  runtime::ErrorTrap trap(&context);
  if (!trap.Run([&] {
        runtime::Jbig2Heap heap(&context);
        streams::Jbig2Segment** segments = nullptr;
        uint32_t count = 0;
        uint8_t* pixels = nullptr;
        uint32_t width = 0;
        uint32_t height = 0;
        if (streams::Jbig2Decode(globalsLength > 0 ? globals : nullptr, globalsLength, page,
                                 pageLength, false, &segments, &count, &pixels, &width,
                                 &height) == 0) {
          streams::Jbig2FreeSegments(segments, count);
        }
      })) {
    trap.SetHandled();
    trap.Close();
  }
  return 0;
}
