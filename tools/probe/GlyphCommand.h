#pragma once
// The probe's "glyph" command: one glyph of a font program file (Type 1,
// CFF or OpenType-CFF), its outline points and its coverage.
namespace probe {

// argv: glyph FONTFILE NAME|INDEX [--px N] [--unhinted] [--png OUT]
int GlyphCommand(int argc, char** argv);

}  // namespace probe
