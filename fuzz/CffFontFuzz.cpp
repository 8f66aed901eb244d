// libFuzzer entry: a CFF or OpenType-CFF program, parsed and drawn.
#include "fuzz/FontProgramFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzfonts::FuzzFontProgram(data, size, false);
  return 0;
}
