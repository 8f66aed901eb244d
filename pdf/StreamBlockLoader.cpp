#include "pdf/StreamBlockLoader.h"

#include <cstring>

#include "runtime/ErrorTrap.h"

namespace pdf {

const uint8_t* StreamBlockLoader::Load(streams::DataStream& stream,
                                       const streams::ByteRange& range, uint32_t* read) {
  if (range.end < range.start) runtime::ThrowRuntime(runtime::kMalformed);
  const uint64_t length = range.end - range.start;
  constexpr uint64_t kAlign = runtime::kArenaAlignment;
  if (length > UINT32_MAX - kAlign) runtime::ThrowRuntime(runtime::kBeyondLimit);
  const uint32_t size = static_cast<uint32_t>((length + kAlign - 1) & ~(kAlign - 1));
  auto* block = static_cast<uint8_t*>(arena_.Alloc(size));
  stream.Seek(range.start);
  const size_t got = length != 0 ? stream.Read(block, length) : 0;
  std::memset(block + got, 0, size - got);
  if (read != nullptr) *read = static_cast<uint32_t>(got);
  return block;
}

}  // namespace pdf
