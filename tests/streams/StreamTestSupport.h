#pragma once
// Helpers shared by the stream tests: capturing thrown errors, block
// sources over test bytes, and draining a chain into a string.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "streams/BlockSource.h"
#include "streams/ChainedStream.h"
#include "streams/DecodeFilterRegistry.h"
#include "streams/FilterParameters.h"

namespace streams::testing {

struct Caught {
  bool thrown = false;
  runtime::ErrorRecord record;
  bool IsRuntime(uint32_t code) const { return thrown && record.IsRuntime(code); }
};

template <class Body>
Caught Capture(LibraryContext* context, Body&& body) {
  runtime::ErrorTrap trap(context);
  if (trap.Run(std::forward<Body>(body))) return {};
  trap.SetHandled();
  Caught caught{true, trap.Held()};
  trap.Close();
  return caught;
}

// Hands out the test bytes in blocks of `chunk` bytes (the last shorter);
// counts fetches and restarts.
class ChunkSource final : public BlockSource {
 public:
  ChunkSource(LibraryContext* context, std::string bytes, size_t chunk)
      : BlockSource(context), bytes_(std::move(bytes)), chunk_(chunk == 0 ? 1 : chunk) {}

  BlockRef FetchBlock() override {
    ++fetches;
    if (failAtFetch != 0 && fetches == failAtFetch) {
      failAtFetch = 0;
      runtime::ThrowRuntime(runtime::kMalformed);
    }
    if (offset_ >= bytes_.size()) return MakeEmptyBlock(Context());
    size_t count = std::min(chunk_, bytes_.size() - offset_);
    Ref<HeapDataBlock> block = MakeRef<HeapDataBlock>(Context(), static_cast<uint32_t>(count));
    std::memcpy(block->Bytes(), bytes_.data() + offset_, count);
    offset_ += count;
    return block;
  }
  void Restart(uint64_t) override {
    ++restarts;
    offset_ = 0;
  }
  bool AtEnd() const override { return offset_ >= bytes_.size(); }
  uint32_t MemorySize() const override { return 64; }

  uint64_t fetches = 0;
  uint64_t restarts = 0;
  // The fetch with this number (counting from 1) throws (runtime, 2) once.
  uint64_t failAtFetch = 0;

 private:
  std::string bytes_;
  size_t chunk_;
  size_t offset_ = 0;
};

inline StreamRef Chunks(LibraryContext* context, std::string bytes, size_t chunk = 4096) {
  return MakeRef<ChunkSource>(context, std::move(bytes), chunk);
}

// Every block of the source up to its end, joined.
inline std::string Drain(BlockSource& source) {
  std::string out;
  for (int guard = 0; guard < 1000000; ++guard) {
    BlockRef block = source.FetchBlock();
    if (CountOf(block) == 0) return out;
    out.append(reinterpret_cast<const char*>(block->Data()), block->Count());
  }
  ADD_FAILURE() << "source never ended";
  return out;
}

// Builds one filter over the bytes (delivered in `chunk`-byte blocks) and
// decodes it whole.
inline std::string DecodeWith(LibraryContext* context, const char* filter, std::string bytes,
                              const FilterParameters* params = nullptr, size_t chunk = 4096) {
  StreamRef chain = Chunks(context, std::move(bytes), chunk);
  FilterStep step{filter, params};
  ApplyFilters(context, chain, {&step, 1}, DecodeFilterRegistry::Document(), false);
  return Drain(*chain);
}

inline std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int value : values) out.push_back(static_cast<char>(value));
  return out;
}

}  // namespace streams::testing
