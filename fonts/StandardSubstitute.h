#pragma once
// The substitutes of fonts without a usable embedded program: the built-in
// programs of the standard fonts, and the multiple-master instance made
// from a font descriptor.
#include "fonts/FontProgram.h"
#include "fonts/ProgramFont.h"
#include "pdf/Document.h"
#include "runtime/CountedRef.h"
#include "runtime/ObjectHandle.h"

namespace fonts {

class StandardSubstitute {
 public:
  // The glyph source of a standard index: the multiple-master instance of
  // the built-in descriptor for 0-11, the built-in Symbol program for 12;
  // none for any other index.
  static runtime::CountedRef<FontProgram> ForIndex(runtime::LibraryContext* context, int index);
  // Builds the encoding, the widths and a multiple-master instance of
  // `font` from its descriptor; false when there is no descriptor (or no
  // multiple-master face to instantiate).
  static bool ReadDescriptor(ProgramFont& font, const runtime::ObjectHandle& descriptor);
};

}  // namespace fonts
