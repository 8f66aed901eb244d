#include "fonts/FontProgramFile.h"

#include "fonts/Type1Font.h"
#include "runtime/TransientBlocks.h"

namespace fonts {

bool LooksLikeType1(std::span<const uint8_t> data) {
  if (data.size() >= 2 && data[0] == 0x80 && data[1] == 0x01) return true;
  return data.size() >= 2 && data[0] == '%' && data[1] == '!';
}

CffFont* OpenFontProgram(runtime::LibraryContext* context, std::span<const uint8_t> data) {
  if (LooksLikeType1(data)) return runtime::NewObject<Type1Font>(context, context, data);
  return runtime::NewObject<CffFont>(context, context, data);
}

}  // namespace fonts
