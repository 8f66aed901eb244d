// Inline images in hostile content: the first byte picks the image's
// parameters, the rest is what follows "ID" (data, stray bytes, "EI" and
// more content). Recording and playing must end in calls or an error
// record, within bounded memory and time.
#include <cstddef>
#include <cstdint>
#include <string>

#include "content/ContentMachine.h"
#include "content/ContentStream.h"
#include "content/LoggingHandler.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"
#include "streams/MemoryDataSource.h"
#include "streams/SubRangeStream.h"

namespace {

const char* const kParameters[] = {
    "BI /W 4 /H 4 /CS /G /BPC 8 ID ",
    "BI /W 9 /H 3 /IM true ID ",
    "BI /W 3 /H 2 /CS /RGB /F /Fl ID ",
    "BI /W 3 /H 2 /CS /RGB /F /Fl /DP << /Predictor 15 /Colors 3 /Columns 3 >> ID ",
    "BI /W 8 /H 8 /CS /G /BPC 1 /F /AHx ID",
    "BI /W 8 /H 2 /CS /CMYK /F /A85 ID",
    "BI /W 16 /H 16 /IM true /F /CCF /DP << /K -1 /Columns 16 >> ID ",
    "BI /W 16 /H 16 /CS /G /F /CCF /DP << /K 0 /Columns 16 /EndOfBlock false >> ID ",
    "BI /W 4 /H 4 /CS /G /F /RL ID ",
    "BI /W 4 /H 4 /CS /G /F /LZW ID ",
    "BI /W 4 /H 4 /CS /RGB /F /DCT ID ",
    "BI /W 2 /H 1 /CS [/I /RGB 1 <000000FFFFFF>] ID ",
    "BI /W 2 /H 2 /CS [/DeviceN [/A /B] /G null] /F [/A85 /Fl] ID",
    "BI ",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static runtime::LibraryContext context;
  context.memory.hardLimit = 256u << 20;
  if (size < 1) return 0;
  std::string content = kParameters[data[0] % (sizeof(kParameters) / sizeof(kParameters[0]))];
  content.append(reinterpret_cast<const char*>(data + 1), size - 1);
  runtime::CatchAllExceptCancel(&context, [&] {
    auto source = streams::MakeRef<streams::MemoryDataSource>(
        &context, reinterpret_cast<const uint8_t*>(content.data()),
        static_cast<uint32_t>(content.size()));
    auto stream = streams::MakeRef<streams::SubRangeStream>(&context, source, 0);
    runtime::ObjectHandle resources;
    auto* machine = runtime::NewObject<content::ContentMachine>(&context, &context, nullptr,
                                                                 stream, resources);
    struct Release {
      content::ContentMachine* machine;
      ~Release() { runtime::DestroyAndFree(&context, machine); }
    } release{machine};
    content::PageInfo page;
    content::LoggingHandler handler(&context, page, &resources);
    content::ContentStream::Run(*machine, handler);
  });
  return 0;
}
