#include "content/RecordedObject.h"

#include <cstring>

namespace content {

const uint8_t* CopyToArena(runtime::ArenaAllocator& arena, const uint8_t* bytes, uint32_t count) {
  if (count == 0) return nullptr;
  auto* copy = static_cast<uint8_t*>(arena.Alloc((size_t{count} + 7) & ~size_t{7}));
  std::memcpy(copy, bytes, count);
  return copy;
}

const char* CopyCString(runtime::ArenaAllocator& arena, std::string_view text) {
  auto* copy = static_cast<char*>(arena.Alloc((text.size() + 8) & ~size_t{7}));
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

}  // namespace content
