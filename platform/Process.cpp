#include "platform/Process.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void ExitProcess(int32_t code) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(code);
}

}  // namespace platform
