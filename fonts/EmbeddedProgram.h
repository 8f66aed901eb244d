#pragma once
// Embedded font programs of a font descriptor: the data of "FontFile",
// "FontFile2" and "FontFile3" decide the kind (the key names do not), the
// first one that builds into a usable program is installed in the font.
#include <cstdint>
#include <span>

#include "fonts/FontProgram.h"
#include "fonts/ProgramFont.h"
#include "runtime/CountedRef.h"
#include "runtime/ObjectHandle.h"

namespace pdf {
class Document;
}

namespace fonts {

// 0 bare CFF or OpenType with a "CFF " table, 1 Type 1, 2 TrueType.
enum class ProgramKind : int { kCff = 0, kType1 = 1, kTrueType = 2, kUnknown = 3 };

ProgramKind SniffProgramKind(std::span<const uint8_t> data);

// Embedded programs larger than this are not read (they could not be kept
// within the memory budget anyway) and count as rejected.
inline constexpr uint32_t kMaxProgramBytes = 8u << 20;

class EmbeddedProgram {
 public:
  // Looks at the three program keys of `descriptor` in order and installs
  // the first accepted program in `font`: usable and, for a simple font,
  // with a code mapping. Each rejected one sets the rejection flags.
  static bool FindEmbeddedProgram(pdf::Document& document, ProgramFont& font,
                                  const runtime::ObjectHandle& descriptor, bool simple);
  // Builds the program of `kind` from `data` into `slot`; malformed data
  // leaves the slot empty. Other errors pass on.
  static void BuildProgram(runtime::CountedRef<FontProgram>& slot, ProgramKind kind,
                           runtime::LibraryContext* context, std::span<const uint8_t> data);
};

}  // namespace fonts
