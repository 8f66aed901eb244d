// libFuzzer entry: CMap text (a ToUnicode stream or an encoding CMap),
// parsed as a Unicode map and as a CID map, then every code of the input
// looked up. Refusals are (runtime, 2) or out of memory; anything else is
// a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fonts/CMapParser.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "streams/MemoryDataSource.h"
#include "streams/SubRangeStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static runtime::LibraryContext context;
  context.memory.SetBudget(64u << 20);
  if (size > (1u << 20)) return 0;
  for (fonts::CMapDestination kind : {fonts::CMapDestination::kUnicode, fonts::CMapDestination::kCid}) {
    runtime::ErrorTrap trap(&context);
    if (!trap.Run([&] {
          auto source = streams::MakeRef<streams::MemoryDataSource>(&context, data,
                                                                    static_cast<uint32_t>(size));
          auto stream = streams::MakeRef<streams::SubRangeStream>(&context, source, 0);
          fonts::CMapRef map = fonts::CMapParser::Parse(&context, *stream, kind);
          for (const uint8_t* cursor = data; cursor < data + size;) {
            const uint8_t* before = cursor;
            bool space = false;
            const fonts::CodeMapping mapping = map->Lookup(&cursor, data + size, &space);
            if (cursor <= before) std::abort();
            if (mapping.HasUnits() && mapping.unitsEnd < mapping.unitsBegin) std::abort();
          }
        })) {
      trap.SetHandled();
      const runtime::ErrorRecord& held = trap.Held();
      if (!held.IsRuntime(runtime::kMalformed) && !held.IsRuntime(runtime::kOutOfMemory)) std::abort();
      trap.Close();
    }
  }
  return 0;
}
