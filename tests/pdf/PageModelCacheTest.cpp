// The document's page-model cache against a factory that counts what it
// builds.
#include "pdf/PageModelCache.h"

#include <gtest/gtest.h>

#include <functional>

#include "runtime/ErrorTrap.h"
#include "tests/pdf/BuildScript.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"

namespace {

int gModelsAlive = 0;

class FakeModel final : public pdf::PageContentModel {
 public:
  FakeModel(int id, uint32_t bytes) : id(id), bytes(bytes) { ++gModelsAlive; }
  ~FakeModel() override { --gModelsAlive; }
  uint32_t ByteCount() const override { return bytes; }
  int id;
  uint32_t bytes;
};

class CountingModelFactory final : public pdf::PageModelFactory {
 public:
  runtime::CountedRef<pdf::PageContentModel> CreateModel(pdf::Document& document,
                                                         const pdf::PageModelKey& key) override {
    script.Step();
    runtime::LibraryContext* context = document.Context();
    return runtime::CountedRef<pdf::PageContentModel>::Adopt(
        context,
        runtime::NewObject<FakeModel>(context, key.pageIndex * 100 + script.built, bytes));
  }
  pdftest::BuildScript script;
  uint32_t bytes = 400;
};

class PageModelCacheTest : public ::testing::Test {
 protected:
  PageModelCacheTest()
      : text_(pdftest::PdfWriter()
                  .Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
                  .Object(2, "<< /Type /Pages /Count 0 /Kids [] >>")
                  .ClassicTable("/Root 1 0 R")
                  .Text()),
        document_(&context_, text_) {}

  static int Id(const pdf::PageModelCache::Ref& model) {
    return static_cast<const FakeModel*>(model.Get())->id;
  }

  runtime::LibraryContext context_;
  std::string text_;
  pdftest::OpenDocument document_;
};

// Each key is built once and charged at its bytes plus the entry's; a hit
// becomes the context's most recently used entry; Find never builds.
TEST_F(PageModelCacheTest, EachKeyIsBuiltOnceAndFindNeverBuilds) {
  CountingModelFactory factory;
  pdf::PageModelCache& models = document_->PageModels();
  const pdf::PageModelKey page3{7, 3, 0};
  const pdf::PageModelKey page3Other{7, 3, 1};
  const pdf::PageModelKey page4{7, 4, 0};
  EXPECT_FALSE(models.Find(page3));
  EXPECT_EQ(factory.script.built, 0);

  const uint64_t cachedBefore = context_.cacheManager.cachedBytes;
  const pdf::PageModelCache::Ref a = models.GetOrCreate(*document_, page3, factory);
  const pdf::PageModelCache::Ref b = models.GetOrCreate(*document_, page3Other, factory);
  const pdf::PageModelCache::Ref c = models.GetOrCreate(*document_, page4, factory);
  EXPECT_EQ(factory.script.built, 3);
  EXPECT_NE(a.Get(), b.Get());
  EXPECT_EQ(context_.cacheManager.cachedBytes - cachedBefore,
            3u * (400u + pdf::PageModelCache::kEntryOverhead));

  const pdf::PageModelCache::Ref again = models.GetOrCreate(*document_, page3, factory);
  EXPECT_EQ(factory.script.built, 3);
  EXPECT_EQ(again.Get(), a.Get());
  runtime::CacheEntry* newest = context_.cacheManager.Oldest();
  while (runtime::CacheEntry* next = context_.cacheManager.Newer(newest)) newest = next;
  EXPECT_EQ(newest->item, a.Get());
  EXPECT_EQ(models.Find(page4).Get(), c.Get());
  EXPECT_EQ(models.Count(), 3u);
}

// A model added by another thread while this one built the same model
// wins: the new one is dropped and the cache is charged once.
TEST_F(PageModelCacheTest, ModelAddedDuringTheBuildIsTheOneKept) {
  CountingModelFactory factory;
  CountingModelFactory other;
  pdf::PageModelCache& models = document_->PageModels();
  const pdf::PageModelKey key{1, 0, 0};
  const uint64_t cachedBefore = context_.cacheManager.cachedBytes;
  pdf::PageModelCache::Ref first;
  factory.script.during = [&] { first = models.GetOrCreate(*document_, key, other); };
  const pdf::PageModelCache::Ref model = models.GetOrCreate(*document_, key, factory);
  EXPECT_EQ(model.Get(), first.Get());
  EXPECT_EQ(gModelsAlive, 1);
  EXPECT_EQ(context_.cacheManager.cachedBytes - cachedBefore,
            400u + pdf::PageModelCache::kEntryOverhead);
  EXPECT_EQ(models.Count(), 1u);
}

// A factory's error, or a model whose size cannot be charged, caches
// nothing and leaks nothing.
TEST_F(PageModelCacheTest, FailedBuildsCacheNothing) {
  CountingModelFactory factory;
  pdf::PageModelCache& models = document_->PageModels();
  const pdf::PageModelKey key{1, 2, 0};
  factory.script.fail = true;
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
              models.GetOrCreate(*document_, key, factory);
            }),
            2);
  factory.script.fail = false;
  factory.bytes = UINT32_MAX;
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
              models.GetOrCreate(*document_, key, factory);
            }),
            1);
  EXPECT_EQ(models.Count(), 0u);
  EXPECT_EQ(gModelsAlive, 0);
  factory.bytes = 10;
  EXPECT_TRUE(models.GetOrCreate(*document_, key, factory));
}

}  // namespace
