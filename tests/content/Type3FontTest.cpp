// Type 3 fonts built from generated files: glyphs drawn as coverage when
// every procedure opens with "d1", by procedure otherwise, the trial that
// decides it, the faults a file can provoke (a singular FontMatrix, a
// glyph that shows its own font) and the glyph thread that takes over when
// the stack runs low.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "content/PageRenderer.h"
#include "content/Renderer.h"
#include "content/paint/Type3Painting.h"
#include "fonts/DocumentFontSource.h"
#include "fonts/FontDict.h"
#include "fonts/GlyphProcedurePainter.h"
#include "fonts/Type3Font.h"
#include "runtime/ErrorTrap.h"
#include "tests/content/PagePixelSink.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/runtime/ThreadFixture.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using Rgb = contenttest::PagePixelSink::Rgb;

// A 100 x 100 point page showing `content` with the Type 3 font /T3
// (object 5): FontMatrix `matrix`, codes 65 and 66 named /a and /b by
// `encoding`, glyph procedures `procedures` named /a, /b, ... in that order
// (objects 6 on), widths 50 each (or `metrics`); `fontExtra` adds entries
// to the font dictionary.
std::string Type3Pdf(const std::string& content, const std::string& matrix, const std::vector<std::string>& procedures,
                     const std::string& fontExtra = "",
                     const std::string& encoding = "<< /Differences [65 /a /b] >>",
                     const std::string& metrics = "/FirstChar 65 /LastChar 66 /Widths [50 50]") {
  std::string charProcs;
  for (size_t i = 0; i < procedures.size(); ++i)
    charProcs += "/" + std::string(1, static_cast<char>('a' + i)) + " " + std::to_string(6 + i) + " 0 R ";
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Contents 4 0 R /Resources << /Font << /T3 5 0 R >> >> "
      ">>",
      testsupport::StreamBody("", content),
      "<< /Type /Font /Subtype /Type3 /FontMatrix " + matrix + " /FontBBox [0 0 100 100] /CharProcs << " + charProcs +
          ">> /Encoding " + encoding + " " + metrics + " " + fontExtra + ">>",
  };
  for (const std::string& procedure : procedures) objects.push_back(testsupport::StreamBody("", procedure));
  return testsupport::SmallPdfFile(objects);
}

const std::string kUnit = "[0.01 0 0 0.01 0 0]";
const std::string kSquare = "100 0 0 0 100 100 d1 0 0 100 100 re f";

struct RenderedPage {
  contenttest::PagePixelSink pixels;
  content::PageRenderer::Result result;
  content::CountingPaintTarget told;
  Rgb At(int x, int y) const { return pixels.At(x, 99 - y); }
};

void RenderType3Page(runtime::LibraryContext& context, const std::string& bytes, RenderedPage& page) {
  pdftest::OpenDocument document(&context, bytes);
  color::ColorContext colors(&context, &*document);
  fonts::DocumentFontSource fonts(*document);
  content::PageRenderer renderer(*document, colors, &fonts);
  page.result = renderer.Render(0, 72.0, page.pixels, &page.told);
}

// The font object /T3 of the file, built with the painter installed; the
// error it raised otherwise (code 99: none).
struct BuiltFont {
  runtime::CountedRef<runtime::FontBase> font;
  runtime::ErrorRecord error{runtime::kRuntimeDomain, 99, 0};
  fonts::Type3Font* Type3() const { return dynamic_cast<fonts::Type3Font*>(font.Get()); }
};

BuiltFont BuildFont(pdf::Document& document) {
  BuiltFont built;
  runtime::ErrorTrap trap(document.Context());
  if (!trap.Run([&] { built.font = fonts::FontDict::Create(document, document.GetObject(5, 0)); })) {
    trap.SetHandled();
    built.error = trap.Held();
    trap.Close();
  }
  return built;
}

class Type3FontTest : public ::testing::Test {
 protected:
  Type3FontTest() { content::InstallType3GlyphPainter(); }
  runtime::LibraryContext context;
};

// Glyph `glyph`'s coverage at `size` pixels per text unit, y down, from the
// font's cache.
const runtime::GlyphBitmapRecord* Type3GlyphCoverage(runtime::FontBase& font, uint32_t glyph, int size,
                                           runtime::ArenaAllocator& arena) {
  const runtime::Fixed s = runtime::FixedFromInt(size);
  return font.GlyphBitmap(glyph, runtime::Matrix{s, 0, 0, -s, 0, 0}, 0, {-1000, -1000, 1000, 1000}, true, arena);
}

TEST_F(Type3FontTest, D1SquareIsFullCoverageInsideAndAdvancesByWidthsTimesFontMatrixA) {
  const std::string bytes = Type3Pdf("q Q", kUnit, {kSquare});
  pdftest::OpenDocument document(&context, bytes);
  BuiltFont built = BuildFont(*document);
  ASSERT_NE(built.Type3(), nullptr) << built.error.code;
  EXPECT_TRUE(built.font->IsType3());
  EXPECT_FALSE(built.Type3()->DrawsByProcedure());
  const runtime::Rect box = built.font->GetFontBBox();
  EXPECT_EQ(box.x0, 0);
  // 0.01 reads as 655 / 65536: within a thousandth.
  EXPECT_NEAR(box.x1, runtime::kFixedOne, 66);

  const uint8_t codes[] = {'A', 'B'};
  runtime::GlyphInfo info;
  built.font->NextGlyph(codes, codes + 2, info);
  EXPECT_EQ(info.glyph, 1u);
  EXPECT_NEAR(info.advance, runtime::kFixedOne / 2, 66);  // 50 x 0.01
  // "B" names /b, which CharProcs lacks: glyph 0, an empty record.
  built.font->NextGlyph(codes + 1, codes + 2, info);
  EXPECT_EQ(info.glyph, 0u);
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  const runtime::GlyphBitmapRecord* none = Type3GlyphCoverage(*built.font, 0, 20, arena);
  ASSERT_NE(none, nullptr);
  EXPECT_TRUE(none->Width() <= 0 || none->Height() <= 0);

  const runtime::GlyphBitmapRecord* square = Type3GlyphCoverage(*built.font, 1, 20, arena);
  ASSERT_NE(square, nullptr);
  // The square covers device (0, -20) .. (20, 0) relative to the origin.
  auto at = [&](int x, int y) {
    const int cx = x - square->originX - square->x0, cy = y - square->originY - square->y0;
    if (cx < 0 || cy < 0 || cx >= square->Width() || cy >= square->Height()) return 0;
    return static_cast<int>(square->Coverage()[cy * square->Width() + cx]);
  };
  for (int y = -19; y < 0; y += 3)
    for (int x = 1; x < 20; x += 3) EXPECT_EQ(at(x, y), 255) << x << "," << y;
  EXPECT_EQ(at(-1, -10), 0);
  EXPECT_EQ(at(21, -10), 0);
  EXPECT_EQ(at(10, 1), 0);
  // Cached: asked again, the same record.
  EXPECT_EQ(Type3GlyphCoverage(*built.font, 1, 20, arena), square);
}

// Widths past LastChar are not widths: those codes advance by the missing
// width (0), however long the array, and a LastChar beyond the array ends
// with the array.
TEST_F(Type3FontTest, WidthsCoverFirstCharToLastCharOnly) {
  struct Case {
    const char* metrics;
    runtime::Fixed advanceA, advanceC;
  } cases[] = {
      {"/FirstChar 65 /LastChar 66 /Widths [50 50 70]", runtime::kFixedOne / 2, 0},
      {"/FirstChar 65 /LastChar 67 /Widths [50 50 70]", runtime::kFixedOne / 2, runtime::kFixedOne * 7 / 10},
      {"/FirstChar 65 /LastChar 300 /Widths [50 50]", runtime::kFixedOne / 2, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.metrics);
    const std::string bytes =
        Type3Pdf("q Q", kUnit, {kSquare, kSquare, kSquare}, "", "<< /Differences [65 /a /b /c] >>", test.metrics);
    pdftest::OpenDocument document(&context, bytes);
    BuiltFont built = BuildFont(*document);
    ASSERT_NE(built.Type3(), nullptr) << built.error.code;
    const uint8_t codes[] = {'A', 'C'};
    runtime::GlyphInfo info;
    built.font->NextGlyph(codes, codes + 2, info);
    EXPECT_NEAR(info.advance, test.advanceA, 66);
    built.font->NextGlyph(codes + 1, codes + 2, info);
    EXPECT_EQ(info.glyph, 3u);
    EXPECT_NEAR(info.advance, test.advanceC, 66);
  }
}

TEST_F(Type3FontTest, PagesShowCoverageGlyphsAndProcedureGlyphsWithTheirOwnColours) {
  struct Case {
    const char* name;
    std::vector<std::string> procedures;
    bool byProcedure;
    Rgb ink;
  };
  const std::vector<Case> cases = {
      {"d1 square, painted in the fill colour", {kSquare, kSquare}, false, {0, 0, 255}},
      // d1 glyphs ignore their colour operators.
      {"d1 square setting a colour", {"100 0 0 0 100 100 d1 1 0 0 rg 0 0 100 100 re f"}, false, {0, 0, 255}},
      {"d0 square keeps its own colour", {"100 0 d0 1 0 0 rg 0 0 100 100 re f"}, true, {255, 0, 0}},
      {"one d0 among d1 glyphs", {kSquare, "100 0 d0 0 0 100 100 re f"}, true, {0, 0, 255}},
      {"a comment before d1", {"% box\n100 0 0 0 100 100 d1 0 0 100 100 re f"}, false, {0, 0, 255}},
      {"d1 with too few operands", {"100 0 0 100 100 d1 0 0 100 100 re f"}, true, {0, 0, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = Type3Pdf("0 0 1 rg BT /T3 20 Tf 10 10 Td (AA) Tj ET", kUnit, c.procedures);
    {
      pdftest::OpenDocument document(&context, bytes);
      BuiltFont built = BuildFont(*document);
      ASSERT_NE(built.Type3(), nullptr);
      EXPECT_EQ(built.Type3()->DrawsByProcedure(), c.byProcedure);
      if (c.byProcedure) {
        // Boxes unknown: (0, 0, 1/s, 1/s) in glyph space (0.01 is read as
        // 16.16, a little less).
        const runtime::Rect box = built.Type3()->GlyphSpaceBox();
        EXPECT_EQ(box.x0, 0);
        EXPECT_EQ(box.y0, 0);
        EXPECT_NEAR(box.x1, 100 * runtime::kFixedOne, runtime::kFixedOne / 10);
        EXPECT_NEAR(box.y1, 100 * runtime::kFixedOne, runtime::kFixedOne / 10);
      }
    }
    RenderedPage page;
    RenderType3Page(context, bytes, page);
    EXPECT_FALSE(page.result.failed) << page.result.error.code;
    // Two 20-point squares 10 points apart: 10 .. 40 along x.
    EXPECT_EQ(page.At(15, 20), c.ink);
    EXPECT_EQ(page.At(35, 20), c.ink);
    EXPECT_EQ(page.At(45, 20), (Rgb{255, 255, 255}));
    EXPECT_EQ(page.At(15, 35), (Rgb{255, 255, 255}));
  }
}

// A painter that fails in a chosen way, for the trial's outcomes.
class FailingPainter final : public fonts::GlyphProcedurePainter {
 public:
  explicit FailingPainter(uint32_t code) : code_(code) {}
  void PaintCoverage(fonts::Type3Font&, uint32_t, const runtime::Matrix&, const runtime::IntRect&, uint8_t*) override {
    ++calls;
    runtime::ThrowRuntime(code_);
  }
  int calls = 0;

 private:
  uint32_t code_;
};

TEST_F(Type3FontTest, TheTrialSwitchesToProceduresOnErrorsAndPassesCancellationOn) {
  const std::string bytes = Type3Pdf("q Q", kUnit, {kSquare, kSquare});
  {
    FailingPainter malformed(runtime::kMalformed);
    fonts::GlyphProcedurePainter::Install(&malformed);
    pdftest::OpenDocument document(&context, bytes);
    BuiltFont built = BuildFont(*document);
    content::InstallType3GlyphPainter();
    ASSERT_NE(built.Type3(), nullptr);
    EXPECT_TRUE(built.Type3()->DrawsByProcedure());
    EXPECT_EQ(malformed.calls, 1);  // the first failure decides
  }
  {
    FailingPainter cancelled(runtime::kCancelled);
    fonts::GlyphProcedurePainter::Install(&cancelled);
    pdftest::OpenDocument document(&context, bytes);
    BuiltFont built = BuildFont(*document);
    content::InstallType3GlyphPainter();
    EXPECT_EQ(built.Type3(), nullptr);
    EXPECT_TRUE(built.error.IsRuntime(runtime::kCancelled)) << built.error.code;
  }
  // A real procedure whose content fails (an inline image without data)
  // during the trial: drawn by procedure.
  {
    const std::string failing =
        Type3Pdf("q Q", kUnit, {kSquare, "100 0 0 0 100 100 d1 BI /W 4 /H 4 /BPC 8 /CS /G /F /AHx ID zz"});
    pdftest::OpenDocument document(&context, failing);
    BuiltFont built = BuildFont(*document);
    ASSERT_NE(built.Type3(), nullptr);
    EXPECT_TRUE(built.Type3()->DrawsByProcedure());
  }
}

TEST_F(Type3FontTest, UnusableFontsAreRefusedAndThePageGoesOn) {
  struct Case {
    const char* name;
    std::string matrix;
    std::string encoding;
  };
  const std::vector<Case> cases = {
      {"all-zero FontMatrix", "[0 0 0 0 0 0]", "<< >>"},
      {"FontMatrix of rank one", "[1 2 2 4 0 0]", "<< >>"},
      {"FontMatrix of five numbers", "[1 0 0 1 0]", "<< >>"},
      {"an Encoding that names no encoding", kUnit, "/Latin9"},
      {"an Encoding of another kind", kUnit, "7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes =
        Type3Pdf("BT /T3 20 Tf 10 10 Td (AA) Tj ET 1 0 0 rg 60 60 20 20 re f", c.matrix, {kSquare}, "", c.encoding);
    {
      pdftest::OpenDocument document(&context, bytes);
      const BuiltFont built = BuildFont(*document);
      EXPECT_EQ(built.font.Get(), nullptr);
      EXPECT_TRUE(built.error.IsRuntime(runtime::kMalformed)) << built.error.code;
    }
    RenderedPage page;
    RenderType3Page(context, bytes, page);
    EXPECT_EQ(page.At(70, 70), (Rgb{255, 0, 0}));
    EXPECT_EQ(page.At(15, 20), (Rgb{255, 255, 255}));
  }
}

TEST_F(Type3FontTest, AGlyphThatShowsItsOwnFontEndsWithCode4AndThePageGoesOn) {
  const std::string self = "/Resources << /Font << /Me 5 0 R >> >> ";
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"d1", "100 0 0 0 100 100 d1 0 0 50 50 re f BT /Me 1 Tf (A) Tj ET"},
      {"d0", "100 0 d0 0 0 50 50 re f BT /Me 1 Tf (A) Tj ET"},
  };
  for (const auto& [name, procedure] : cases) {
    SCOPED_TRACE(name);
    RenderedPage page;
    RenderType3Page(context,
                    Type3Pdf("BT /T3 20 Tf 10 10 Td (A) Tj ET 1 0 0 rg 60 60 20 20 re f", kUnit, {procedure}, self),
                    page);
    EXPECT_TRUE(page.result.failed);
    EXPECT_TRUE(page.result.error.IsRuntime(runtime::kStackExhausted)) << page.result.error.code;
    EXPECT_EQ(page.At(70, 70), (Rgb{255, 0, 0}));
  }
}

// Records the thread each glyph is drawn on, and fails when asked to.
class ThreadRecordingPainter final : public fonts::GlyphProcedurePainter {
 public:
  explicit ThreadRecordingPainter(runtime::Scheduler& scheduler) : scheduler_(scheduler) {}
  void PaintCoverage(fonts::Type3Font&, uint32_t, const runtime::Matrix&, const runtime::IntRect& box,
                     uint8_t* coverage) override {
    drawnOn = scheduler_.current;
    stackLow = runtime::StackNearlyExhausted(scheduler_.context);
    if (fail) runtime::ThrowRuntime(runtime::kMalformed);
    coverage[0] = 255;
    (void)box;
  }
  runtime::ThreadState* drawnOn = nullptr;
  bool stackLow = true;
  bool fail = false;

 private:
  runtime::Scheduler& scheduler_;
};

class Type3GlyphThreadTest : public runtime::ThreadFixture {};

// Descends with large frames until the stack is nearly used up, then runs
// `body`.
template <class Body>
int DescendThenRun(runtime::LibraryContext* context, int depth, Body& body) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  if (!runtime::StackNearlyExhausted(context) && depth < 100000) return DescendThenRun(context, depth + 1, body) + frame[0];
  body();
  return frame[0];
}

TEST_F(Type3GlyphThreadTest, WithTheStackNearlyUsedUpGlyphsAreDrawnOnAFreshThreadAndTheirErrorsComeBack) {
  ThreadRecordingPainter painter(scheduler);
  fonts::GlyphProcedurePainter::Install(&painter);
  const std::string bytes = Type3Pdf("q Q", kUnit, {kSquare, kSquare});
  pdftest::OpenDocument document(&context, bytes);
  BuiltFont built = BuildFont(*document);
  ASSERT_NE(built.Type3(), nullptr);
  ASSERT_FALSE(built.Type3()->DrawsByProcedure());

  runtime::ThreadState* caller = nullptr;
  const runtime::GlyphBitmapRecord* drawn = nullptr;
  runtime::ErrorRecord failure{runtime::kRuntimeDomain, 99, 0};
  Start([&](runtime::LibraryContext* ctx) {
    auto body = [&] {
      caller = scheduler.current;
      runtime::ArenaAllocator arena(ctx, 4096, 1024);
      drawn = Type3GlyphCoverage(*built.font, 1, 20, arena);
      painter.fail = true;
      failure = Caught([&] { Type3GlyphCoverage(*built.font, 2, 20, arena); });
    };
    DescendThenRun(ctx, 0, body);
  });
  scheduler.RunUntil([] { return false; });
  content::InstallType3GlyphPainter();
  ASSERT_NE(caller, nullptr);
  EXPECT_NE(painter.drawnOn, caller);
  EXPECT_NE(painter.drawnOn, &scheduler.mainThread);
  EXPECT_FALSE(painter.stackLow);
  ASSERT_NE(drawn, nullptr);
  EXPECT_EQ(drawn->Coverage()[0], 255);
  EXPECT_TRUE(failure.IsRuntime(runtime::kMalformed)) << failure.code;
}

}  // namespace
