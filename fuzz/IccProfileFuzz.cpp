// libFuzzer entry: ICC profile parsing of arbitrary bytes, then, for what
// parses, a transform into the built-in display profile and one colour
// through it, so that tag bodies, deferred tables and the stage chain are
// all reached.
#include <cstddef>
#include <cstdint>

#include "color/EmbeddedProfiles.h"
#include "color/IccProfile.h"
#include "color/IccTransform.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "streams/MemoryDataSource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  static runtime::LibraryContext context;
  runtime::ErrorTrap trap(&context);
  if (!trap.Run([&] {
        auto source = streams::MakeRef<streams::MemoryDataSource>(&context, data, static_cast<uint32_t>(size));
        color::IccProfileRef profile = color::IccProfile::Parse(&context, source);
        auto displayBytes = streams::MakeRef<streams::MemoryDataSource>(&context, color::GetEmbeddedRgbProfile(),
                                                                       color::GetEmbeddedRgbProfileSize());
        color::IccProfileRef display = color::IccProfile::Parse(&context, displayBytes);
        const int32_t intent = size > 0 ? data[size - 1] % 4 : 0;
        color::IccTransformRef transform =
            color::IccTransform::Create(*profile, *display, intent, 0, false, (size & 1) != 0);
        runtime::Fixed v[color::kMaxColorChannels] = {0x4000, 0x8000, 0xC000, 0x10000};
        transform->Evaluate(v);
      })) {
    trap.SetHandled();
    trap.Close();
  }
  return 0;
}
