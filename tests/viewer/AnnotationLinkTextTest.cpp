// The link-text cache fed from the page's link annotations: each link with
// the text of the lines under it, the number of links as the page value,
// and no list for a page without links.
#include <gtest/gtest.h>

#include <string>

#include "content/LinkTextCache.h"
#include "content/PageModel.h"
#include "tests/viewer/DocumentViewFixture.h"
#include "viewer/AnnotationLinkText.h"

namespace viewer {
namespace {

std::string LinkText(const AnnotationLinkList& list, uint32_t i) {
  std::string text;
  const LinkTextEntry& e = list.links[i];
  for (uint32_t c = 0; c < e.charCount; ++c) text += static_cast<char>(list.chars[e.firstChar + c]);
  return text;
}

TEST(AnnotationLinkTextTest, LinksCarryTheTextUnderThem) {
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  runtime::SetDefaultContext(&context);
  {
    std::vector<viewertest::PageSpec> pages(3);
    pages[0].content = "BT /F1 10 Tf 72 700 Td (first line) Tj 0 -100 Td (far below) Tj ET";
    // A link over the first line, a text note, a link over nothing.
    pages[0].entries =
        "/Annots [<< /Subtype /Link /Rect [70 695 200 712] >> << /Subtype /Text /Rect [0 0 9 9] >> "
        "<< /Subtype /Link /Rect [400 100 500 120] >>]";
    pages[1].content = "BT /F1 10 Tf 72 700 Td (no links) Tj ET";
    pages[2].content = "BT /F1 10 Tf 72 700 Td (broken) Tj ET";
    pages[2].entries = "/Annots [<< /Subtype /Link /Rect [1 2] >>]";
    viewertest::DocumentView doc(&context, viewertest::GenerateDocument(pages));
    content::PageModelBuilder models(&doc.fonts, &doc.fonts);
    AnnotationLinkText builder(&context, doc.Document());
    content::LinkTextCache cache(&context, doc.Document(), 1, models, builder);

    const runtime::CountedRef<content::PageLinkList> list = cache.GetOrBuild({0, 0});
    ASSERT_TRUE(list);
    const auto& links = static_cast<const AnnotationLinkList&>(*list.Get());
    EXPECT_EQ(links.pageValue, 2);
    ASSERT_EQ(links.links.Size(), 2u);
    EXPECT_EQ(links.links[0].annotIndex, 0u);
    EXPECT_EQ(LinkText(links, 0), "first line");
    EXPECT_EQ(links.links[1].annotIndex, 2u);
    EXPECT_EQ(LinkText(links, 1), "");
    EXPECT_GT(links.ByteCount(), 0u);

    // A page without links lists nothing and is valued 0.
    EXPECT_FALSE(cache.GetOrBuild({1, 0}));
    EXPECT_EQ(cache.PeekPageValue({1, 0}), 0);
    // A link without a usable rectangle is malformed.
    runtime::ErrorTrap trap(&context);
    EXPECT_FALSE(trap.Run([&] { cache.GetOrBuild({2, 0}); }));
    trap.SetHandled();
    EXPECT_TRUE(trap.Held().IsRuntime(runtime::kMalformed));
    trap.Close();
  }
  runtime::SetDefaultContext(nullptr);
}

}  // namespace
}  // namespace viewer
