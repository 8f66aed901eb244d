// The page tree over generated files: nested nodes, inherited boxes and
// rotation, kids that are no pages, and trees whose links or counts lie.
#include "pdf/PageTree.h"

#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "pdf/Document.h"
#include "pdf/InheritedAttribute.h"
#include "pdf/Page.h"
#include "pdf/PageBoxes.h"
#include "pdf/PageInfo.h"
#include "runtime/Dictionary.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"

namespace {

using pdftest::OpenDocument;
using pdftest::PdfWriter;
using runtime::FixedToDouble;
using runtime::ObjectHandle;

class PageTreeTest : public ::testing::Test {
 protected:
  // A document of the given objects (the catalog is object 1, its "Pages"
  // object 2), kept for as long as the test runs since documents read it
  // in place.
  const std::string& Build(const std::vector<std::pair<uint32_t, std::string>>& objects) {
    PdfWriter writer;
    writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    for (const auto& [number, body] : objects) writer.Object(number, body);
    writer.ClassicTable("/Root 1 0 R");
    return texts_.emplace_back(writer.Text());
  }

  runtime::LibraryContext context_;
  std::list<std::string> texts_;
};

struct ExpectedPage {
  uint32_t object;
  double media[4];
  double box[4];
  int32_t rotation;
};

// Ten pages below nested nodes, with a kid of another "Type", a node that
// holds no pages, a node known only by its "Count", a page known by having
// neither "Type" nor "Count", and boxes and rotations inherited from every
// level.
TEST_F(PageTreeTest, TenPagesWithInheritedAttributes) {
  const std::string& text = Build({
      {2, "<< /Type /Pages /Count 10 /Rotate 90 /MediaBox [0 0 612 792]"
          " /Kids [3 0 R 10 0 R 11 0 R 4 0 R 12 0 R 16 0 R 17 0 R] >>"},
      {3, "<< /Type /Page /Parent 2 0 R >>"},
      {10, "<< /Type /Foo /Parent 2 0 R /Count 3 >>"},
      {11, "<< /Type /Pages /Parent 2 0 R /Count 0 /Kids [] >>"},
      {4, "<< /Type /Pages /Parent 2 0 R /Count 6 /MediaBox [0 0 300 400]"
          " /CropBox [10 10 290 390] /Kids [5 0 R 6 0 R 13 0 R] >>"},
      {5, "<< /Type /Page /Parent 4 0 R >>"},
      {6, "<< /Type /Page /Parent 4 0 R /Rotate -90 /MediaBox [400 500 0 0] >>"},
      {13, "<< /Parent 4 0 R /Count 4 /Rotate 180 /Kids [7 0 R 8 0 R 14 0 R 15 0 R] >>"},
      {7, "<< /Type /Page /Parent 13 0 R >>"},
      {8, "<< /Parent 13 0 R /CropBox [0 0 1000 1000] >>"},
      {14, "<< /Type /Page /Parent 13 0 R /Rotate 0 >>"},
      {15, "<< /Type /Page /Parent 13 0 R /MediaBox [0 0 200 200] >>"},
      {12, "<< /Type /Page /Parent 2 0 R /Rotate 450 /CropBox [-5 -5 100 100] >>"},
      {16, "<< /Type /Page /Parent 2 0 R /Rotate -180 >>"},
      {17, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100.5 200.25] /Rotate 270 >>"},
  });
  const ExpectedPage expected[] = {
      {3, {0, 0, 612, 792}, {0, 0, 612, 792}, 90},
      {5, {0, 0, 300, 400}, {10, 10, 290, 390}, 90},
      {6, {0, 0, 400, 500}, {10, 10, 290, 390}, 270},
      {7, {0, 0, 300, 400}, {10, 10, 290, 390}, 180},
      {8, {0, 0, 300, 400}, {0, 0, 300, 400}, 180},
      {14, {0, 0, 300, 400}, {10, 10, 290, 390}, 0},
      {15, {0, 0, 200, 200}, {10, 10, 200, 200}, 180},
      {12, {0, 0, 612, 792}, {0, 0, 100, 100}, 90},
      {16, {0, 0, 612, 792}, {0, 0, 612, 792}, 180},
      {17, {0, 0, 100.5, 200.25}, {0, 0, 100.5, 200.25}, 270},
  };
  OpenDocument document(&context_, text);
  ASSERT_EQ(document->GetPageCount(), 10);
  for (int32_t index = 0; index < 10; ++index) {
    const ExpectedPage& page = expected[index];
    const runtime::ObjectReference reference = pdf::PageTree::FindPageRef(*document, index);
    EXPECT_EQ(reference.number, page.object) << "page " << index;
    EXPECT_EQ(pdf::PageTree::IndexOfPage(*document, reference), index) << "page " << index;
    const pdf::PageBoxes boxes = pdf::PageBoxes::Read(document->GetPageDict(index));
    const runtime::Fixed media[4] = {boxes.media.x0, boxes.media.y0, boxes.media.x1,
                                     boxes.media.y1};
    const runtime::Fixed box[4] = {boxes.box.x0, boxes.box.y0, boxes.box.x1, boxes.box.y1};
    for (int i = 0; i < 4; ++i) {
      EXPECT_NEAR(FixedToDouble(media[i]), page.media[i], 1e-4) << "page " << index;
      EXPECT_NEAR(FixedToDouble(box[i]), page.box[i], 1e-4) << "page " << index;
    }
    EXPECT_EQ(boxes.rotation, page.rotation) << "page " << index;
  }
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { document->GetPageDict(10); }), 2);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { document->GetPageDict(-1); }), 2);
}

// Trees whose "Count" lies or whose kids link back to their ancestors are
// walked by the kids they really have. The page count is the root's
// "Count" unless it cannot be true (more pages than objects, below 0): a
// root claiming too few pages still lets every real page be found.
TEST_F(PageTreeTest, LyingCountsAndKidCyclesFollowTheRealKids) {
  struct Case {
    const char* name;
    std::vector<std::pair<uint32_t, std::string>> objects;
    int32_t count;
    std::vector<uint32_t> pages;
  };
  const Case cases[] = {
      {"count too high",
       {{2, "<< /Type /Pages /Count 9 /Kids [3 0 R 6 0 R] >>"},
        {3, "<< /Type /Pages /Count 4 /Kids [5 0 R] >>"},
        {5, "<< /Type /Page >>"},
        {6, "<< /Type /Page >>"}},
       2,
       {5, 6}},
      {"count too low at the root",
       {{2, "<< /Type /Pages /Count 1 /Kids [5 0 R 6 0 R 7 0 R] >>"},
        {5, "<< /Type /Page >>"},
        {6, "<< /Type /Page >>"},
        {7, "<< /Type /Page >>"}},
       1,
       {5, 6, 7}},
      {"kid is its own parent and its grandparent",
       {{2, "<< /Type /Pages /Count 7 /Kids [3 0 R 4 0 R] >>"},
        {3, "<< /Type /Page >>"},
        {4, "<< /Type /Pages /Count 5 /Kids [2 0 R 4 0 R 5 0 R] >>"},
        {5, "<< /Type /Page >>"}},
       2,
       {3, 5}},
      {"negative count",
       {{2, "<< /Type /Pages /Count 1 /Kids [3 0 R 5 0 R] >>"},
        {3, "<< /Type /Pages /Count -4 /Kids [] >>"},
        {5, "<< /Type /Page >>"}},
       1,
       {5}},
  };
  for (const Case& test : cases) {
    OpenDocument document(&context_, Build(test.objects));
    EXPECT_EQ(document->GetPageCount(), test.count) << test.name;
    for (size_t index = 0; index < test.pages.size(); ++index) {
      uint32_t found = 0;
      EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
                  found = pdf::PageTree::FindPageRef(*document, static_cast<int32_t>(index)).number;
                }),
                -1)
          << test.name << " page " << index;
      EXPECT_EQ(found, test.pages[index]) << test.name << " page " << index;
    }
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
                pdf::PageTree::FindPageRef(*document, static_cast<int32_t>(test.pages.size()));
              }),
              2)
        << test.name;
  }
}

// A "Parent" that is no dictionary ends the inheritance with nothing, so the
// attribute takes its default instead of becoming the bad value.
TEST_F(PageTreeTest, NonDictionaryParentGivesDefaults) {
  OpenDocument document(&context_, Build({
                                       {2, "<< /Type /Pages /Count 2 /Kids [3 0 R 4 0 R] >>"},
                                       {3, "<< /Type /Page /Parent 90 >>"},
                                       {4, "<< /Type /Page /Parent 5 0 R >>"},
                                       {5, "[0 0 10 10]"},
                                   }));
  for (int32_t index = 0; index < 2; ++index) {
    const pdf::PageBoxes boxes = pdf::PageBoxes::Read(document->GetPageDict(index));
    EXPECT_EQ(boxes.media, pdf::PageBoxes::kDefaultMediaBox) << "page " << index;
    EXPECT_EQ(boxes.rotation, 0) << "page " << index;
    EXPECT_TRUE(pdf::GetInheritedAttribute(document->GetPageDict(index), "Rotate").IsNull());
  }
}

// A page's resources come from the nearest node that has them; a form
// without "Resources" gets an empty dictionary.
TEST_F(PageTreeTest, ResourcesAreInherited) {
  OpenDocument document(
      &context_, Build({{2, "<< /Type /Pages /Count 2 /Resources << /ProcSet [/PDF] >>"
                            " /Kids [3 0 R 4 0 R] >>"},
                        {3, "<< /Type /Page /Parent 2 0 R >>"},
                        {4, "<< /Type /Page /Parent 2 0 R /Resources << /Font 5 0 R >> >>"},
                        {5, "<< >>"},
                        {6, "<< /Subtype /Form /BBox [0 0 1 1] /Length 0 >>"}}));
  const ObjectHandle first = pdf::Page::GetResources(document->GetPageDict(0)).resources;
  EXPECT_FALSE(runtime::Dictionary::Get(first, "ProcSet").IsNull());
  const ObjectHandle second = pdf::Page::GetResources(document->GetPageDict(1)).resources;
  EXPECT_TRUE(runtime::Dictionary::Get(second, "ProcSet").IsNull());
  EXPECT_FALSE(runtime::Dictionary::Get(second, "Font").IsNull());
  const ObjectHandle form = pdf::Page::GetResources(document->GetObject(6, 0)).resources;
  EXPECT_EQ(form.Tag(), runtime::ObjectTag::kDictionary);
  EXPECT_EQ(form->AsDictionary().count, 0u);
}

// Chains of "Parent" and nests of "Kids" deeper than the budget, and a
// "Parent" cycle, end with (runtime, 2) instead of looping.
TEST_F(PageTreeTest, CyclesAndDeepChainsEnd) {
  OpenDocument cycle(&context_, Build({
                                    {2, "<< /Type /Pages /Count 1 /Kids [3 0 R] >>"},
                                    {3, "<< /Type /Page /Parent 4 0 R >>"},
                                    {4, "<< /Type /Pages /Parent 5 0 R /Kids [3 0 R] >>"},
                                    {5, "<< /Type /Pages /Parent 4 0 R /Kids [4 0 R] >>"},
                                }));
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_,
                                       [&] { pdf::PageBoxes::Read(cycle->GetPageDict(0)); }),
            2);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_,
                                       [&] { pdf::PageTree::IndexOfPage(*cycle, {3, 0}); }),
            2);

  // 1200 nested nodes, each the only kid of the one above.
  std::vector<std::pair<uint32_t, std::string>> deep;
  constexpr uint32_t kDepth = 1200;
  for (uint32_t n = 2; n < 2 + kDepth; ++n) {
    deep.push_back({n, "<< /Type /Pages /Count 1 /Parent " + std::to_string(n - 1) +
                           " 0 R /Kids [" + std::to_string(n + 1) + " 0 R] >>"});
  }
  deep.push_back({2 + kDepth, "<< /Type /Page /Parent " + std::to_string(1 + kDepth) + " 0 R >>"});
  OpenDocument document(&context_, Build(deep));
  EXPECT_EQ(document->GetPageCount(), 1);  // the root's "Count" stands
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { document->GetPageDict(0); }), 2);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_,
                                       [&] { pdf::PageTree::IndexOfPage(*document, {2 + kDepth, 0}); }),
            2);
}

// A box without area as written stands for no box; a crop box beside the
// media box leaves nothing shown.
TEST_F(PageTreeTest, BoxesWithoutArea) {
  struct Case {
    const char* page;
    runtime::Rect media;
    runtime::Rect box;
  };
  const auto box = [](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    return runtime::Rect{runtime::FixedFromInt(x0), runtime::FixedFromInt(y0),
                         runtime::FixedFromInt(x1), runtime::FixedFromInt(y1)};
  };
  const Case cases[] = {
      {"/MediaBox [0 0 0 0]", box(0, 0, 612, 792), box(0, 0, 612, 792)},
      {"/MediaBox [0 0 800 600] /CropBox [0 0 0 0]", box(0, 0, 800, 600), box(0, 0, 800, 600)},
      {"/MediaBox [0 0 600 800] /CropBox [10 20 10 90]", box(0, 0, 600, 800),
       box(0, 0, 600, 800)},
      {"/MediaBox [0 0 600 800] /CropBox [600 800 1000 1000]", box(0, 0, 600, 800),
       box(600, 800, 600, 800)},
  };
  for (const Case& test : cases) {
    OpenDocument document(&context_, Build({{2, "<< /Type /Pages /Count 1 /Kids [3 0 R] >>"},
                                            {3, std::string("<< /Type /Page ") + test.page +
                                                    " >>"}}));
    const pdf::PageBoxes boxes = pdf::PageBoxes::Read(document->GetPageDict(0));
    EXPECT_EQ(boxes.media, test.media) << test.page;
    EXPECT_EQ(boxes.box, test.box) << test.page;
  }
}

TEST_F(PageTreeTest, MalformedBoxesAndRotations) {
  struct Case {
    const char* page;
    long code;
  };
  const Case cases[] = {
      {"<< /Type /Page /Rotate 45 >>", 2},
      {"<< /Type /Page /Rotate /Ninety >>", 2},
      {"<< /Type /Page /MediaBox [0 0 612] >>", 2},
      {"<< /Type /Page /MediaBox [0 0 612 /Wide] >>", 2},
      {"<< /Type /Page /CropBox 7 >>", 2},
      {"<< /Type /Page /MediaBox [0 0 612 792 99] /Rotate -270 >>", -1},
  };
  for (const Case& test : cases) {
    OpenDocument document(&context_, Build({{2, "<< /Type /Pages /Count 1 /Kids [3 0 R] >>"},
                                            {3, test.page}}));
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context_,
                                         [&] { pdf::PageBoxes::Read(document->GetPageDict(0)); }),
              test.code)
        << test.page;
  }
}

TEST_F(PageTreeTest, KidsThatAreNoDictionaryReferencesAreMalformed) {
  for (const char* kids : {"[3 0 R 4]", "[3 0 R 9 0 R]", "7", "[3 0 R 5 0 R]"}) {
    OpenDocument document(&context_, Build({{2, std::string("<< /Type /Pages /Count 2 /Kids ") +
                                                    kids + " >>"},
                                            {3, "<< /Type /Page >>"},
                                            {5, "<< /Type 5 >>"}}));
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { document->GetPageDict(1); }), 2)
        << kids;
  }
}

TEST(PageInfoTest, EqualityIgnoresTheEstimate) {
  pdf::PageInfo a{1, 90, {0, 0, runtime::FixedFromInt(10), runtime::FixedFromInt(20)}};
  pdf::PageInfo b = a;
  b.estimated = 0;
  EXPECT_EQ(a, b);
  b.rotation = 0;
  EXPECT_FALSE(a == b);
}

}  // namespace
