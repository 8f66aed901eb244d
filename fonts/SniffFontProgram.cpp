#include "fonts/SniffFontProgram.h"

#include <cstring>

#include "fonts/FontError.h"
#include "fonts/FontProgramFile.h"
#include "fonts/TrueTypeFont.h"
#include "runtime/TransientBlocks.h"

namespace fonts {

namespace {

uint32_t SniffU32(std::span<const uint8_t> d, size_t at) {
  if (at + 4 > d.size()) return 0;
  return (uint32_t{d[at]} << 24) | (uint32_t{d[at + 1]} << 16) | (uint32_t{d[at + 2]} << 8) | d[at + 3];
}

bool StartsWith(std::span<const uint8_t> d, const char* text) {
  const size_t n = std::strlen(text);
  return d.size() >= n && std::memcmp(d.data(), text, n) == 0;
}

// "%!PS-" followed by a word ending in "Font" ("%!PS-AdobeFont-1.0: ...").
bool IsPostScriptFontHeader(std::span<const uint8_t> head) {
  if (!StartsWith(head, "%!PS-")) return false;
  size_t end = 5;
  while (end < head.size() && head[end] != ' ' && head[end] != ':' && head[end] != '-' && head[end] != '\r' &&
         head[end] != '\n') {
    ++end;
  }
  return end >= 9 && std::memcmp(head.data() + end - 4, "Font", 4) == 0;
}

}  // namespace

FontProgramKind SniffFontProgram(std::span<const uint8_t> data) {
  const uint32_t version = SniffU32(data, 0);
  if (version == 0x00010000 || version == TrueTypeFont::Tag('O', 'T', 'T', 'O') ||
      version == TrueTypeFont::Tag('t', 'y', 'p', '1')) {
    if (data.size() < 6) return FontProgramKind::kUnknown;
    const uint32_t tables = (uint32_t{data[4]} << 8) | data[5];
    for (uint32_t i = 0; i < tables; ++i) {
      const size_t at = 12 + 16 * size_t{i};
      if (at + 4 > data.size()) break;
      if (SniffU32(data, at) == TrueTypeFont::Tag('C', 'F', 'F', ' ')) return FontProgramKind::kCff;
    }
    return FontProgramKind::kTrueType;
  }
  if (version == TrueTypeFont::Tag('t', 'r', 'u', 'e')) return FontProgramKind::kTrueType;
  if (!data.empty() && data[0] == 1) return FontProgramKind::kCff;
  if (data.size() >= 2 && data[0] == 0x80 && data[1] == 0x01) return FontProgramKind::kType1;
  if (data.size() < 14) return FontProgramKind::kUnknown;
  const std::span<const uint8_t> head = data.first(std::min<size_t>(data.size(), 16));
  if (IsPostScriptFontHeader(head) || StartsWith(head, "%!FontType1") || StartsWith(head, "%!FontType 1")) {
    return FontProgramKind::kType1;
  }
  return FontProgramKind::kUnknown;
}

FontProgram* OpenSniffedFontProgram(runtime::LibraryContext* context, std::span<const uint8_t> data) {
  switch (SniffFontProgram(data)) {
    case FontProgramKind::kTrueType:
      return runtime::NewObject<TrueTypeFont>(context, context, data);
    case FontProgramKind::kCff:
    case FontProgramKind::kType1:
      return OpenFontProgram(context, data);
    default:
      ThrowMalformedFont();
  }
}

}  // namespace fonts
