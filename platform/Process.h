#pragma once
#include <cstdint>

namespace platform {

// Ends the process at once with the given exit code (-1 gives status 255).
[[noreturn]] void ExitProcess(int32_t code);

}  // namespace platform
