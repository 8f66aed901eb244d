#include "raster/SmallImageCache.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/streams/StreamTestSupport.h"
#include "tests/support/CaughtError.h"

namespace raster {
namespace {

class SmallImageCacheTest : public ::testing::Test {
 protected:
  streams::StreamRef Open(const std::string& bytes) {
    ++opens;
    return streams::testing::Chunks(&context, bytes, 7);
  }

  runtime::LibraryContext context;
  int opens = 0;
};

TEST_F(SmallImageCacheTest, ASmallImageDrawnTwiceIsDecodedOnce) {
  SmallImageCache cache(&context);
  const std::string bytes(100, 'a');
  const SmallImageKey key{1, 12, 0};
  const uint64_t before = context.cacheManager.cachedBytes;
  SmallImageCache::Ref first = cache.Get(key, 100, [&] { return Open(bytes); });
  SmallImageCache::Ref second = cache.Get(key, 100, [&] { return Open(bytes); });
  EXPECT_EQ(opens, 1);
  EXPECT_EQ(first.Get(), second.Get());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(first->Data()), first->Size()), bytes);
  EXPECT_EQ(cache.Cache().Count(), 1u);
  EXPECT_EQ(context.cacheManager.cachedBytes - before, SmallImageCache::ChargedBytes(100));
  // Another stream of the same document is another entry.
  cache.Get({1, 13, 0}, 10, [&] { return Open(std::string(10, 'b')); });
  EXPECT_EQ(cache.Cache().Count(), 2u);
}

TEST_F(SmallImageCacheTest, ALoadThatRacesAnotherKeepsOneEntry) {
  // While the first load reads its stream, the same key is loaded and cached
  // (as another cooperative thread would when the first one yields).
  SmallImageCache cache(&context);
  const SmallImageKey key{1, 5, 0};
  const uint64_t before = context.cacheManager.cachedBytes;
  SmallImageCache::Ref inner;
  SmallImageCache::Ref outer = cache.Get(key, 50, [&] {
    inner = cache.Get(key, 50, [&] { return Open(std::string(50, 'i')); });
    return Open(std::string(50, 'o'));
  });
  EXPECT_EQ(opens, 2);
  EXPECT_EQ(cache.Cache().Count(), 1u);
  EXPECT_EQ(outer.Get(), inner.Get());
  EXPECT_EQ(outer->Data()[0], 'i');
  EXPECT_EQ(context.cacheManager.cachedBytes - before, SmallImageCache::ChargedBytes(50));
  EXPECT_EQ(context.cacheManager.entryCount, 1u);
}

TEST_F(SmallImageCacheTest, AShortStreamIsMalformedAndCachesNothing) {
  const uint64_t inUse = context.memory.bytesInUse;
  {
    SmallImageCache cache(&context);
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context,
                                         [&] { cache.Get({1, 7, 0}, 100, [&] { return Open(std::string(99, 'x')); }); }),
              runtime::kMalformed);
    EXPECT_EQ(cache.Cache().Count(), 0u);
  }
  EXPECT_EQ(context.memory.bytesInUse, inUse);
}

TEST_F(SmallImageCacheTest, SizesAreComputedWithoutWrapping) {
  EXPECT_EQ(SmallImageCache::DataBytes(10, 3, 1, 1), 6u);
  EXPECT_EQ(SmallImageCache::DataBytes(33, 33, 8, 3), 3267u);
  EXPECT_TRUE(SmallImageCache::IsSmall(3267));
  EXPECT_FALSE(SmallImageCache::IsSmall(4096));
  // 65536 x 65536 x 4 x 16 bits wraps to 0 in 32 bits.
  EXPECT_EQ(SmallImageCache::DataBytes(65536, 65536, 16, 4), uint64_t{1} << 35);
  EXPECT_FALSE(SmallImageCache::IsSmall(SmallImageCache::DataBytes(65536, 65536, 16, 4)));
  EXPECT_EQ(SmallImageCache::DataBytes(INT32_MAX, INT32_MAX, 16, 32),
            ((uint64_t{INT32_MAX} * 512 + 7) / 8) * uint64_t{INT32_MAX});
  EXPECT_EQ(SmallImageCache::DataBytes(-1, 5, 8, 1), 0u);
}

}  // namespace
}  // namespace raster
