// The document's font cache against a factory that counts what it builds.
#include "pdf/FontCache.h"

#include <gtest/gtest.h>

#include <functional>

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "tests/pdf/BuildScript.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"

namespace {

int gFontsAlive = 0;

class FakeFont final : public runtime::FontBase {
 public:
  explicit FakeFont(int id) : id(id) { ++gFontsAlive; }
  ~FakeFont() override { --gFontsAlive; }
  bool DrawsAsGraphics() const override { return false; }
  uint32_t MemorySize() const override { return 1000; }
  int id;
};

class CountingFactory final : public pdf::FontFactory {
 public:
  runtime::CountedRef<runtime::FontBase> CreateFont(pdf::Document& document,
                                                    const runtime::ObjectHandle& dict) override {
    script.Step();
    (void)dict;
    runtime::LibraryContext* context = document.Context();
    return runtime::CountedRef<runtime::FontBase>::Adopt(
        context, runtime::NewObject<FakeFont>(context, script.built));
  }
  pdftest::BuildScript script;
};

class FontCacheTest : public ::testing::Test {
 protected:
  FontCacheTest()
      : text_(pdftest::PdfWriter()
                  .Object(1, "<< /Font << /F1 2 0 R /F2 << /Type /Font /BaseFont /Inline >> >> >>")
                  .Object(2, "<< /Type /Font /BaseFont /Shared >>")
                  .ClassicTable("/Root 1 0 R")
                  .Text()),
        document_(&context_, text_) {}

  runtime::ObjectHandle Font(const char* name) {
    return runtime::Dictionary::Get(
        runtime::Dictionary::Get(document_->GetObject(1, 0), "Font"), name);
  }
  int Id(const pdf::FontCache::Ref& font) { return static_cast<FakeFont*>(font.Get())->id; }

  runtime::LibraryContext context_;
  std::string text_;
  pdftest::OpenDocument document_;
};

TEST_F(FontCacheTest, EachDictionaryIsBuiltOnceAndKeptAsRecentlyUsed) {
  CountingFactory factory;
  pdf::FontCache& fonts = document_->Fonts();
  const runtime::ObjectHandle f1 = Font("F1");
  const runtime::ObjectHandle f2 = Font("F2");
  const uint64_t cachedBefore = context_.cacheManager.cachedBytes;
  const pdf::FontCache::Ref shared = fonts.GetOrCreate(*document_, f1, factory);
  const pdf::FontCache::Ref inlined = fonts.GetOrCreate(*document_, f2, factory);
  EXPECT_EQ(factory.script.built, 2);
  EXPECT_NE(Id(shared), Id(inlined));
  EXPECT_EQ(context_.cacheManager.cachedBytes - cachedBefore, 2000u);

  const pdf::FontCache::Ref again = fonts.GetOrCreate(*document_, f1, factory);
  EXPECT_EQ(factory.script.built, 2);
  EXPECT_EQ(again.Get(), shared.Get());
  // The hit is now the most recently used entry of the context.
  runtime::CacheEntry* newest = context_.cacheManager.Oldest();
  while (runtime::CacheEntry* next = context_.cacheManager.Newer(newest)) newest = next;
  EXPECT_EQ(newest->item, shared.Get());
}

// A font added by another thread while this one built the same font wins:
// the new one is dropped and the cache is charged once.
TEST_F(FontCacheTest, FontAddedDuringTheBuildIsTheOneKept) {
  CountingFactory factory;
  CountingFactory other;
  pdf::FontCache& fonts = document_->Fonts();
  const runtime::ObjectHandle f1 = Font("F1");
  const uint64_t cachedBefore = context_.cacheManager.cachedBytes;
  pdf::FontCache::Ref first;
  factory.script.during = [&] { first = fonts.GetOrCreate(*document_, f1, other); };
  const pdf::FontCache::Ref font = fonts.GetOrCreate(*document_, f1, factory);
  EXPECT_EQ(font.Get(), first.Get());
  EXPECT_EQ(gFontsAlive, 1);
  EXPECT_EQ(context_.cacheManager.cachedBytes - cachedBefore, 1000u);
  EXPECT_EQ(fonts.Count(), 1u);
}

// A font whose data is malformed is not parsed again each time a page
// selects it (one broken composite font used to be rebuilt at every text
// operator); running out of memory is no property of the font and is
// tried again.
TEST_F(FontCacheTest, MalformedFontIsRememberedOtherErrorsAreNot) {
  CountingFactory factory;
  factory.script.during = [] { runtime::ThrowRuntime(runtime::kOutOfMemory); };
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
              document_->Fonts().GetOrCreate(*document_, Font("F1"), factory);
            }),
            0);
  EXPECT_TRUE(document_->Fonts().GetOrCreate(*document_, Font("F1"), factory));
  EXPECT_EQ(factory.script.built, 2);

  factory.script.fail = true;
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
                document_->Fonts().GetOrCreate(*document_, Font("F2"), factory);
              }),
              2);
  }
  EXPECT_EQ(factory.script.built, 3);
  EXPECT_EQ(document_->Fonts().Count(), 1u);
}

}  // namespace
