#pragma once
// Type 3 glyphs in the painter: the coverage painter the font layer runs
// glyph procedures through, installed once by every painter.
namespace content {

// Installs the process's glyph-procedure painter (idempotent).
void InstallType3GlyphPainter();

// The render mode a Type 3 glyph is drawn in: its procedure paints as it
// likes, so the stroking modes draw as the filling ones.
inline unsigned char Type3RenderMode(unsigned char mode) {
  switch (mode) {
    case 1:
    case 2: return 0;
    case 5:
    case 6: return 4;
    default: return mode;
  }
}

}  // namespace content
