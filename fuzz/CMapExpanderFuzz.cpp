// libFuzzer entry: bytes taken for a packed built-in CMap table, expanded
// into CMap text and parsed. The expander must end on any input; the
// parser may refuse the text with (runtime, 2).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fonts/BuiltinCMapTextStream.h"
#include "fonts/CMapParser.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static runtime::LibraryContext context;
  context.memory.SetBudget(64u << 20);
  if (size > (1u << 16)) return 0;
  runtime::ErrorTrap trap(&context);
  if (!trap.Run([&] {
        // The text alone, read to its end.
        streams::DataStreamRef text =
            fonts::BuiltinCMapTextStream::Open(&context, data, static_cast<uint32_t>(size));
        uint8_t buffer[4096];
        while (text->Read(buffer, sizeof(buffer)) != 0) {
        }
        fonts::CMapRef map = fonts::CMapParser::ParseBuiltin(
            &context, data, static_cast<uint32_t>(size), fonts::CMapDestination::kCid);
      })) {
    trap.SetHandled();
    const runtime::ErrorRecord& held = trap.Held();
    if (!held.IsRuntime(runtime::kMalformed) && !held.IsRuntime(runtime::kOutOfMemory)) std::abort();
    trap.Close();
  }
  return 0;
}
