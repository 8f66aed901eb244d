#pragma once
// Opens a font program from its bytes: a Type 1 program (clear text
// starting "%!" or a .pfb with segment headers) or a CFF program (bare or
// in an OpenType wrapper). The caller releases it with DestroyAndFree.
#include <cstdint>
#include <span>

#include "fonts/CffFont.h"

namespace fonts {

bool LooksLikeType1(std::span<const uint8_t> data);
// (runtime, 2) when the data is malformed.
CffFont* OpenFontProgram(runtime::LibraryContext* context, std::span<const uint8_t> data);

}  // namespace fonts
