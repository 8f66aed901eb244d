#pragma once
// The one failure of font-program parsing: malformed data, (runtime, 2),
// so that the font loader falls back to a substitute.
#include "runtime/ErrorTrap.h"

namespace fonts {

[[noreturn]] inline void ThrowMalformedFont() { runtime::ThrowRuntime(runtime::kMalformed); }

}  // namespace fonts
