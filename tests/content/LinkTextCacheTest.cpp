// The link-text cache: lists built once per page as shown, page values
// that outlive their lists, and peeks that build nothing.
#include <gtest/gtest.h>

#include "content/LinkTextCache.h"
#include "content/PageModel.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "tests/content/TextTestSupport.h"

namespace {

using content::LinkTextCache;
using content::ViewRecord;

class FixedList final : public content::PageLinkList {
 public:
  uint32_t ByteCount() const override { return 100; }
};

// Lists each page with a value of 7 plus its index, counting its builds.
class CountingBuilder final : public content::PageLinkTextBuilder {
 public:
  explicit CountingBuilder(runtime::LibraryContext* context) : context_(context) {}
  runtime::CountedRef<content::PageLinkList> Build(const ViewRecord& view, const content::PageModel&) override {
    ++builds;
    auto* list = runtime::NewObject<FixedList>(context_);
    list->view = view;
    list->pageValue = 7 + view.pageIndex;
    return runtime::CountedRef<content::PageLinkList>::Adopt(context_, list);
  }
  int builds = 0;

 private:
  runtime::LibraryContext* context_;
};

class LinkTextCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.memory.SetBudget(runtime::kNoLimit);
    runtime::SetDefaultContext(&context_);
  }
  void TearDown() override { runtime::SetDefaultContext(nullptr); }

  runtime::LibraryContext context_;
  texttest::StubTextFonts fonts_;
  // Page 0 holds text, page 1 only a path.
  texttest::TextDocument document_{&context_, {"BT /F1 10 Tf 72 700 Td (link) Tj ET", "0 0 5 5 re f"}};
  content::PageModelBuilder models_{&fonts_, &fonts_};
  CountingBuilder links_{&context_};
  LinkTextCache cache_{&context_, document_.Document(), 1, models_, links_};
};

TEST_F(LinkTextCacheTest, AValueIsBuiltOnceAndOutlivesItsList) {
  const ViewRecord page0{0, 3};
  // A peek builds nothing.
  EXPECT_EQ(cache_.PeekPageValue(page0), LinkTextCache::kUndetermined);
  EXPECT_EQ(links_.builds, 0);
  EXPECT_EQ(cache_.PageValue(page0), 7);
  EXPECT_EQ(cache_.PageValue(page0), 7);
  EXPECT_EQ(links_.builds, 1);
  EXPECT_EQ(cache_.Lists().Cache().Count(), 1u);
  // The list purged: the value still comes from the value cache.
  cache_.Lists().Cache().Evict(cache_.Lists().Cache().Lookup(&page0));
  EXPECT_EQ(cache_.Lists().Cache().Count(), 0u);
  EXPECT_EQ(cache_.PeekPageValue(page0), 7);
  EXPECT_EQ(cache_.PageValue(page0), 7);
  EXPECT_EQ(links_.builds, 1);
}

TEST_F(LinkTextCacheTest, APageWithoutTextListsNothingAndValuesZero) {
  const ViewRecord page1{1, 3};
  EXPECT_FALSE(cache_.GetOrBuild(page1));
  EXPECT_EQ(links_.builds, 0);
  EXPECT_EQ(cache_.Lists().Cache().Count(), 0u);
  EXPECT_EQ(cache_.PeekPageValue(page1), 0);
  // Views of one page are kept apart.
  EXPECT_EQ(cache_.PageValue(ViewRecord{0, 4}), 7);
  EXPECT_EQ(cache_.PeekPageValue(ViewRecord{0, 5}), LinkTextCache::kUndetermined);
}

}  // namespace
