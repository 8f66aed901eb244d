#pragma once
// The encodings and widths of simple fonts: which glyph of the program
// each one-byte code shows ("Encoding", "BaseEncoding", "Differences", the
// program's own encoding) and each code's advance ("FirstChar",
// "LastChar", "Widths", "MissingWidth" or the built-in standard widths).
// Malformed entries raise (runtime, 2).
#include <cstdint>

#include "fonts/CodeGlyphTable.h"
#include "fonts/FontProgram.h"
#include "fonts/NamedEncodings.h"
#include "runtime/ObjectHandle.h"

namespace fonts {

class SimpleFontEncoding {
 public:
  // Fills the glyph indices of `table` from the font dictionary and the
  // program: by name for name-keyed programs, through the program's code
  // table (and "Differences" against its glyph names) for TrueType.
  static void ReadEncoding(CodeGlyphTable& table, const runtime::ObjectHandle& dict,
                           FontProgram& program, bool symbolic);
  // Name-keyed lookup of every code against a glyph-name list (`program`
  // may be null: then its built-in encoding is absent).
  static void ApplyDifferences(CodeGlyphTable& table, const char* const* glyphNames,
                               uint32_t glyphCount, const runtime::ObjectHandle& dict,
                               FontProgram* program, bool symbolic);
  // Whether a font without a usable program may be drawn by a substitute:
  // always when non-symbolic; a symbolic one only with a named encoding or
  // an encoding dictionary without "Differences".
  static bool CanSubstitute(const runtime::ObjectHandle& dict, bool symbolic);
  // Widths of FirstChar..LastChar from "Widths", `missing` elsewhere. With
  // `scale` 65 the integer part of each element is divided by 1000, else
  // the element is multiplied by `scale`.
  static void ReadWidths(CodeGlyphTable& table, const runtime::ObjectHandle& dict,
                         runtime::Fixed missing, runtime::Fixed scale);
  // Built-in widths of standard index `index` for a program's glyphs,
  // matched by glyph name; a glyph the table does not name gets `missing`.
  static void StandardWidthsByName(CodeGlyphTable& table, int index, FontProgram& program,
                                   runtime::Fixed missing);
};

}  // namespace fonts
