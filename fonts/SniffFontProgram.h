#pragma once
// Classifies a font program by its first bytes, so that the right
// program class reads it: a CFF program (bare or in an OpenType wrapper),
// a Type 1 program, or an sfnt with TrueType outlines.
#include <cstdint>
#include <span>

#include "fonts/FontProgram.h"

namespace fonts {

enum class FontProgramKind : int { kCff = 0, kType1 = 1, kTrueType = 2, kUnknown = 3 };

FontProgramKind SniffFontProgram(std::span<const uint8_t> data);

// Opens a program of any of the three kinds; (runtime, 2) when the data
// is of none of them or malformed. The caller releases it with
// DestroyAndFree.
FontProgram* OpenSniffedFontProgram(runtime::LibraryContext* context, std::span<const uint8_t> data);

}  // namespace fonts
