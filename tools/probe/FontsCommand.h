#pragma once
// The probe's "fonts" and "glyphs" commands: the fonts a page uses and how
// they load, and every code a page shows with its glyph and advance.
namespace pdf {
class Document;
}

namespace probe {

// One line per font dictionary of the page (its resources and its forms'),
// or of every page when `page` is null: object, BaseFont, Subtype, whether
// a program is embedded, and what draws the font.
int PrintFonts(pdf::Document& document, const char* page);
// One line per shown code of page `page` (1-based): the font's object and
// BaseFont, the code, the glyph (its name, or #index) and the advance in
// 1/1000 of text space.
int PrintGlyphs(pdf::Document& document, const char* page);

}  // namespace probe
