#pragma once
// The decoded data of small image streams, kept in a cost cache keyed by the
// stream object, so that a page painting the same small image many times
// (patterns, repeated icons) decodes it once. Larger images are streamed
// and never enter it.
#include <cstdint>
#include <utility>

#include "runtime/ObjectCache.h"
#include "streams/BlockSource.h"

namespace raster {

// The whole decoded data of one image stream, counted.
class SmallImageData {
 public:
  // (runtime, 0) when the bytes cannot be allocated.
  SmallImageData(runtime::LibraryContext* context, uint32_t size);
  ~SmallImageData();
  SmallImageData(const SmallImageData&) = delete;
  SmallImageData& operator=(const SmallImageData&) = delete;

  const uint8_t* Data() const { return bytes_; }
  uint32_t Size() const { return size_; }
  // Fills the buffer from the stream chunk by chunk; (runtime, 2) when the
  // stream ends before `Size()` bytes.
  void Load(streams::BlockSource& stream);

  uint32_t refCount = 1;

 private:
  runtime::LibraryContext* context_;
  uint8_t* bytes_;
  uint32_t size_;
};

// Identifies an image stream object: its document and its object number
// and generation.
struct SmallImageKey {
  uintptr_t document = 0;
  uint32_t objectNumber = 0;
  uint32_t generation = 0;

  friend bool operator<(const SmallImageKey& a, const SmallImageKey& b) {
    if (a.document != b.document) return a.document < b.document;
    if (a.objectNumber != b.objectNumber) return a.objectNumber < b.objectNumber;
    return a.generation < b.generation;
  }
};

class SmallImageCache {
 public:
  // Images whose decoded data is below this many bytes are cached.
  static constexpr uint32_t kMaxCachedBytes = 4096;

  using Ref = runtime::CountedRef<SmallImageData>;
  using DataCache = runtime::ObjectCache<SmallImageData, SmallImageKey>;

  explicit SmallImageCache(runtime::LibraryContext* context) : cache_(context) {}

  // The data of `key`, `size` bytes (((width x bits x components + 7) / 8)
  // x height), read from the stream `open()` returns on a miss. Loading may
  // yield to another cooperative thread that caches the same key meanwhile;
  // then that entry is kept and this load is dropped, so the cache holds
  // one entry and counts its bytes once.
  template <class Open>
  Ref Get(const SmallImageKey& key, uint32_t size, Open&& open) {
    runtime::LibraryContext* context = cache_.Cache().Context();
    return cache_.Get(key, [&]() -> DataCache::Built {
      Ref data = Ref::Adopt(context, runtime::NewObject<SmallImageData>(context, context, size));
      streams::StreamRef stream = std::forward<Open>(open)();
      data->Load(*stream);
      return {std::move(data), ChargedBytes(size)};
    });
  }

  // ((width x bits x components + 7) / 8) x height in 64 bits, so that a
  // hostile size cannot wrap into a small one; 0 for a size of no pixels.
  static uint64_t DataBytes(int32_t width, int32_t height, int32_t bitsPerComponent, int32_t components) {
    if (width <= 0 || height <= 0 || bitsPerComponent <= 0 || components <= 0) return 0;
    const uint64_t row = (uint64_t(uint32_t(width)) * uint32_t(bitsPerComponent) * uint32_t(components) + 7) / 8;
    return row * uint32_t(height);
  }
  // Whether an image of that size is small enough for the cache.
  static bool IsSmall(uint64_t dataBytes) { return dataBytes > 0 && dataBytes < kMaxCachedBytes; }

  runtime::CostCache& Cache() { return cache_.Cache(); }
  // The bytes an entry of `size` data bytes is charged.
  static uint32_t ChargedBytes(uint32_t size) { return size + static_cast<uint32_t>(sizeof(SmallImageData)); }

 private:
  DataCache cache_;
};

}  // namespace raster
