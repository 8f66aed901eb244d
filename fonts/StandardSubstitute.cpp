#include "fonts/StandardSubstitute.h"

#include "fonts/CffFont.h"
#include "fonts/StandardFonts.h"
#include "resources/StandardFontTables.h"
#include "runtime/TransientBlocks.h"

namespace fonts {

runtime::CountedRef<FontProgram> StandardSubstitute::ForIndex(runtime::LibraryContext* context,
                                                              int index) {
  if (index == kStandardSymbol) {
    return runtime::CountedRef<FontProgram>::Adopt(
        context, runtime::NewObject<CffFont>(
                     context, context,
                     std::span<const uint8_t>(resources::kSymbolProgram, resources::kSymbolProgramSize)));
  }
  return {};
}

bool StandardSubstitute::ReadDescriptor(ProgramFont& font, const runtime::ObjectHandle& descriptor) {
  (void)font;
  (void)descriptor;
  return false;
}

}  // namespace fonts
