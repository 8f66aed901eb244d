// libFuzzer entry: a Type 1 program, parsed and drawn.
#include "fuzz/FontProgramFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzfonts::FuzzFontProgram(data, size, true);
  return 0;
}
