// The page's link list, the link and hit tests, the flags that hide an
// annotation, the appearance an annotation shows and the matrix that maps
// an appearance onto its rectangle.
#include "pdf/Annotation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "pdf/Document.h"
#include "runtime/LibraryContext.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using runtime::FixedFromFloat;
using runtime::FixedFromInt;
using runtime::ObjectHandle;

// A document whose objects 1 and 2 are a catalog and a one-page tree and
// whose object 3 is a page with `annots`; `extra` are objects 4 on.
class AnnotationDoc {
 public:
  AnnotationDoc(runtime::LibraryContext* context, const std::string& annots, const std::vector<std::string>& extra)
      : bytes_(Build(annots, extra)), document_(context, bytes_) {}
  ObjectHandle Page() { return document_->GetPageDict(0); }
  ObjectHandle Object(uint32_t number) { return document_->GetObject(number, 0); }

 private:
  static std::string Build(const std::string& annots, const std::vector<std::string>& extra) {
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Annots " + annots + " >>"};
    objects.insert(objects.end(), extra.begin(), extra.end());
    return testsupport::SmallPdfFile(objects);
  }
  std::string bytes_;
  pdftest::OpenDocument document_;
};

class AnnotationTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context;
};

TEST_F(AnnotationTest, LinkListHasOneEntryPerAnnotation) {
  AnnotationDoc doc(&context, "[4 0 R 5 0 R 6 0 R 7 0 R null]",
                    {"<< /Type /Annot /Subtype /Text /Rect [0 0 10 10] >>",
                     "<< /Type /Annot /Subtype /Link /Rect [100 200 50 20] >>",
                     "<< /Type /Annot /Subtype /Link /Rect [300 300 310 320] >>",
                     "<< /S /URI /URI (http://example.org) /Rect [0 700 100 720] >>"});
  pdf::PageLinkList list(&context, doc.Page());
  ASSERT_EQ(list.Count(), 5u);
  EXPECT_EQ(list.At(0), nullptr);
  ASSERT_NE(list.At(1), nullptr);
  // The rectangle is normalised.
  EXPECT_EQ(list.At(1)->rect, (runtime::Rect{FixedFromInt(50), FixedFromInt(20), FixedFromInt(100), FixedFromInt(200)}));
  EXPECT_NE(list.At(2), nullptr);
  // A dictionary with "S" and no "Subtype" is a link.
  EXPECT_NE(list.At(3), nullptr);
  EXPECT_EQ(list.At(4), nullptr);
  EXPECT_EQ(list.LinkCount(), 3u);
  EXPECT_EQ(list.LinkAt(FixedFromInt(60), FixedFromInt(30)), 1);
  EXPECT_EQ(list.LinkAt(FixedFromInt(305), FixedFromInt(310)), 2);
  EXPECT_EQ(list.LinkAt(FixedFromInt(5), FixedFromInt(5)), -1);  // the text annotation is no link

  // The hit test: by "Rect" without a list, by the list's rectangles with one.
  const ObjectHandle link = doc.Object(5);
  EXPECT_TRUE(pdf::Annot::HitTest(FixedFromInt(60), FixedFromInt(30), nullptr, link));
  EXPECT_FALSE(pdf::Annot::HitTest(FixedFromInt(40), FixedFromInt(30), nullptr, link));
  EXPECT_TRUE(pdf::Annot::HitTest(FixedFromInt(60), FixedFromInt(30), &list, link));
  EXPECT_FALSE(pdf::Annot::HitTest(FixedFromInt(305), FixedFromInt(310), &list, link));  // another link's area
  EXPECT_FALSE(pdf::Annot::HitTest(FixedFromInt(5), FixedFromInt(5), &list, doc.Object(4)));
}

TEST_F(AnnotationTest, MalformedAnnotationsAreErrors) {
  struct Case {
    const char* annots;
    const char* object;
  } cases[] = {
      {"[4 0 R]", "<< /Subtype (Link) /Rect [0 0 1 1] >>"},  // Subtype not a name
      {"[4 0 R]", "<< /Subtype /Link >>"},                    // no Rect
      {"[4 0 R]", "<< /Subtype /Link /Rect [0 0 1] >>"},      // short Rect
      {"[4]", "<< >>"},                                       // an element of another kind
  };
  for (const Case& test : cases) {
    AnnotationDoc doc(&context, test.annots, {test.object});
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { pdf::PageLinkList list(&context, doc.Page()); }),
              runtime::kMalformed)
        << test.object;
  }
  // No "Annots" at all: an empty list.
  AnnotationDoc none(&context, "null", {});
  EXPECT_EQ(pdf::PageLinkList(&context, none.Page()).Count(), 0u);
}

TEST_F(AnnotationTest, FlagsDecideWhatIsShown) {
  struct Case {
    const char* entries;
    bool viewable;
  } cases[] = {
      {"/Subtype /Square", true},          {"/Subtype /Square /F 4", true},
      {"/Subtype /Square /F 2", false},    {"/Subtype /Square /F 32", false},
      {"/Subtype /Square /F 36", false},   {"/Subtype /Text /F 1", true},
      {"/Subtype /Private /F 1", false},   {"/Subtype /Private", true},
      {"/Subtype /Widget /F 6", false},
  };
  for (const Case& test : cases) {
    AnnotationDoc doc(&context, "[4 0 R]", {std::string("<< /Rect [0 0 1 1] ") + test.entries + " >>"});
    EXPECT_EQ(pdf::Annot::IsViewable(doc.Object(4)), test.viewable) << test.entries;
  }
}

TEST_F(AnnotationTest, AppearanceChosenByState) {
  const std::string on = testsupport::StreamBody("/BBox [0 0 1 1]", "0 0 1 1 re f");
  const std::string off = testsupport::StreamBody("/BBox [0 0 2 2]", "");
  struct Case {
    const char* entries;
    int object;  // the stream chosen, 0 for none
  } cases[] = {
      {"/AP << /N 5 0 R >>", 5},
      {"/AP << /N << /On 5 0 R /Off 6 0 R >> >> /AS /Off", 6},
      {"/AP << /N << /On 5 0 R /Off 6 0 R >> >> /AS /On", 5},
      {"/AP << /N << /On 5 0 R >> >> /AS /Off", 0},  // a state without an appearance
      {"/AP << /N << /On 5 0 R >> >>", 0},           // no state
      {"/AP << /D 5 0 R >>", 0},                     // no normal appearance
      {"/AP << /N 7 >>", 0},
      {"", 0},
  };
  for (const Case& test : cases) {
    AnnotationDoc doc(&context, "[4 0 R]",
                      {std::string("<< /Subtype /Widget /Rect [0 0 1 1] ") + test.entries + " >>", on, off});
    const ObjectHandle chosen = pdf::Annot::NormalAppearance(doc.Object(4));
    if (test.object == 0) {
      EXPECT_TRUE(chosen.IsNull()) << test.entries;
    } else {
      ASSERT_FALSE(chosen.IsNull()) << test.entries;
      EXPECT_EQ(pdf::Annot::Identity(chosen), static_cast<uintptr_t>(test.object)) << test.entries;
    }
  }
}

// A matrix as doubles, for comparisons within a 16.16 rounding.
std::vector<double> Values(const runtime::Matrix& m) {
  using runtime::FixedToDouble;
  return {FixedToDouble(m.a), FixedToDouble(m.b), FixedToDouble(m.c),
          FixedToDouble(m.d), FixedToDouble(m.e), FixedToDouble(m.f)};
}

runtime::Matrix Make(double a, double b, double c, double d, double e, double f) {
  return {FixedFromFloat(a), FixedFromFloat(b), FixedFromFloat(c), FixedFromFloat(d), FixedFromFloat(e), FixedFromFloat(f)};
}

TEST_F(AnnotationTest, AppearanceMatrixMapsTheBoxOntoTheRectangle) {
  struct Case {
    const char* form;        // the form's entries
    const char* annotation;  // the annotation's entries
    runtime::Matrix transform;
    runtime::Matrix base;
    std::vector<double> expected;  // empty: nothing drawn
  } cases[] = {
      // The box scaled and moved onto the rectangle.
      {"/BBox [0 0 10 20]", "/Rect [100 100 150 200]", {}, {}, {5, 0, 0, 5, 100, 100}},
      // A box that does not start at the origin.
      {"/BBox [10 10 20 20]", "/Rect [0 0 10 10]", {}, {}, {1, 0, 0, 1, -10, -10}},
      // The form's matrix turns the box a quarter; its bounds are mapped.
      {"/BBox [0 0 10 20] /Matrix [0 1 -1 0 0 0]", "/Rect [0 0 40 20]", {}, {}, {0, 2, -2, 0, 40, 0}},
      // An empty box draws nothing.
      {"/BBox [0 0 0 10]", "/Rect [0 0 10 10]", {}, {}, {}},
      // No zoom: at twice the base scale the appearance keeps its size,
      // anchored at the upper-left corner; at half it fills the rectangle.
      {"/BBox [0 0 100 100]", "/Rect [100 100 200 200] /F 8", Make(2, 0, 0, 2, 0, 0), {}, {0.5, 0, 0, 0.5, 100, 150}},
      {"/BBox [0 0 100 100]", "/Rect [100 100 200 200] /F 8", Make(0.5, 0, 0, 0.5, 0, 0), {}, {1, 0, 0, 1, 100, 100}},
  };
  for (const Case& test : cases) {
    AnnotationDoc doc(&context, "[4 0 R]",
                      {std::string("<< /Subtype /Stamp ") + test.annotation + " >>",
                       testsupport::StreamBody(test.form, "")});
    bool empty = false;
    const runtime::Matrix result =
        pdf::AppearanceForm::Matrix(doc.Object(5), doc.Object(4), test.transform, test.base, empty);
    EXPECT_EQ(empty, test.expected.empty()) << test.form;
    if (test.expected.empty()) continue;
    const std::vector<double> got = Values(result);
    for (size_t i = 0; i < 6; ++i) EXPECT_NEAR(got[i], test.expected[i], 1e-4) << test.form << " " << i;
  }
}

TEST_F(AnnotationTest, NoRotateKeepsTheAppearanceUprightAtTheUpperLeftCorner) {
  // A page turned a quarter: user x goes down the device, user y right.
  const runtime::Matrix base = Make(0, 1, -1, 0, 500, 0);
  AnnotationDoc doc(&context, "[4 0 R]",
                    {"<< /Subtype /Stamp /Rect [100 100 140 120] /F 16 >>",
                     testsupport::StreamBody("/BBox [0 0 40 20]", "")});
  bool empty = true;
  const runtime::Matrix m = pdf::AppearanceForm::Matrix(doc.Object(5), doc.Object(4), base, base, empty);
  ASSERT_FALSE(empty);
  // The box's upper-left corner stays pinned at the rectangle's.
  runtime::Fixed x = 0, y = FixedFromInt(20);
  runtime::Matrix::TransformPointInPlace(m, x, y);
  EXPECT_NEAR(runtime::FixedToDouble(x), 100, 1e-3);
  EXPECT_NEAR(runtime::FixedToDouble(y), 120, 1e-3);
  // Through the page's turn the appearance comes out unturned.
  const std::vector<double> device = Values(runtime::Matrix::Concat(m, base));
  EXPECT_NEAR(device[0], 1, 1e-4);
  EXPECT_NEAR(device[1], 0, 1e-4);
  EXPECT_NEAR(device[2], 0, 1e-4);
  EXPECT_NEAR(device[3], 1, 1e-4);
  // A device whose y grows downwards: unturned, the appearance maps as
  // without the flag; turned a quarter, it still comes out upright.
  AnnotationDoc plain(&context, "[4 0 R]",
                      {"<< /Subtype /Stamp /Rect [100 100 140 120] >>", testsupport::StreamBody("/BBox [0 0 40 20]", "")});
  const runtime::Matrix unturned = Make(2, 0, 0, -2, 0, 500);
  const runtime::Matrix expected = pdf::AppearanceForm::Matrix(plain.Object(5), plain.Object(4), unturned, unturned, empty);
  EXPECT_EQ(pdf::AppearanceForm::Matrix(doc.Object(5), doc.Object(4), unturned, unturned, empty), expected);
  const runtime::Matrix turned = Make(0, 2, 2, 0, 0, 0);  // a quarter turn, y down
  const std::vector<double> shown =
      Values(runtime::Matrix::Concat(pdf::AppearanceForm::Matrix(doc.Object(5), doc.Object(4), turned, turned, empty), turned));
  EXPECT_NEAR(shown[0], 2, 1e-3);
  EXPECT_NEAR(shown[1], 0, 1e-3);
  EXPECT_NEAR(shown[2], 0, 1e-3);
  EXPECT_NEAR(shown[3], -2, 1e-3);
  // A singular base under the flag is an error.
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context,
                                       [&] {
                                         pdf::AppearanceForm::Matrix(doc.Object(5), doc.Object(4), base,
                                                                     Make(1, 1, 1, 1, 0, 0), empty);
                                       }),
            runtime::kMalformed);
}

}  // namespace
