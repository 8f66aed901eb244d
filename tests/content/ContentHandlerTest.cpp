// The base handler's own behaviour: the fresh state, fonts, nesting
// bounds, nested content and forms.
#include <gtest/gtest.h>

#include <string>

#include "content/ContentHandler.h"
#include "content/ContentStream.h"
#include "content/LoggingHandler.h"
#include "pdf/Page.h"
#include "runtime/Dictionary.h"
#include "tests/content/ContentTestSupport.h"
#include "tests/pdf/PdfTestSupport.h"

namespace {

using contenttest::Play;
using contenttest::PlayText;
using contenttest::Program;
using runtime::FixedFromInt;
using runtime::kFixedOne;

class ContentHandlerTest : public ::testing::Test {
 protected:
  ContentHandlerTest() { context_.memory.SetBudget(runtime::kNoLimit); }
  runtime::LibraryContext context_;
  contenttest::StubFonts fonts_;
};

TEST_F(ContentHandlerTest, FreshStateDefaults) {
  content::PageInfo page;
  page.matrix = {2 * kFixedOne, 0, 0, -2 * kFixedOne, 0, FixedFromInt(100)};
  page.clip = {0, 0, FixedFromInt(50), FixedFromInt(60)};
  content::LoggingHandler handler(&context_, page, nullptr);
  const content::GraphicsState& state = handler.State();
  EXPECT_EQ(state.ctm, page.matrix);
  EXPECT_EQ(state.baseMatrix, runtime::kIdentityMatrix);
  EXPECT_EQ(state.clip, page.clip);
  EXPECT_EQ(state.fillColor.space, content::ColorSpaceKind::kDeviceGray);
  EXPECT_EQ(state.strokeColor.space, content::ColorSpaceKind::kDeviceGray);
  EXPECT_EQ(state.fillAlpha, kFixedOne);
  EXPECT_EQ(state.renderingIntent, 1);
  EXPECT_EQ(state.stroke.width, kFixedOne);
  EXPECT_EQ(state.stroke.miterLimit, FixedFromInt(10));
  EXPECT_EQ(state.stroke.lineCap, 0);
  EXPECT_EQ(state.stroke.lineJoin, 0);
  EXPECT_FALSE(state.stroke.IsDashed());
  EXPECT_EQ(state.horizontalScale, kFixedOne);
  EXPECT_EQ(state.negatedLeading, 0);
  EXPECT_EQ(state.font, nullptr);
  EXPECT_TRUE(state.textKnockout);
  EXPECT_FALSE(state.alphaIsShape);
  EXPECT_EQ(state.blendMode, 0);
}

// Fonts chosen by parameter sets are tested with the parameter sets.
TEST_F(ContentHandlerTest, FontsComeFromTf) {
  const std::string resources = "<< /Font << /F1 << /Type /Font >> >> >>";
  struct Case {
    const char* name;
    const char* content;
    bool hasFont;
    runtime::Fixed size;
  };
  const Case cases[] = {
      {"Tf", "BT /F1 12 Tf ET", true, FixedFromInt(12)},
      {"missing font name", "BT /F7 12 Tf ET", false, FixedFromInt(12)},
  };
  for (const Case& c : cases) {
    Program program(&context_, c.content, resources);
    content::PageInfo page;
    page.fonts = &fonts_;
    content::LoggingHandler handler(&context_, page, &program.Resources());
    content::ContentStream::Run(program.Machine(), handler);
    EXPECT_EQ(handler.State().font != nullptr, c.hasFont) << c.name;
    EXPECT_EQ(handler.State().fontSize, c.size) << c.name;
  }
}

TEST_F(ContentHandlerTest, NestingIsBounded) {
  std::string deep;
  std::string shallow;
  for (uint32_t i = 0; i < content::ContentHandler::kMaxNesting + 5; ++i) deep += "q ";
  for (uint32_t i = 0; i < content::ContentHandler::kMaxNesting - 1; ++i) shallow += "q ";
  EXPECT_EQ(PlayText(&context_, deep).error, runtime::kStackExhausted);
  EXPECT_FALSE(PlayText(&context_, shallow).error);
}

TEST_F(ContentHandlerTest, FailedNestedContentLeavesTheOuterState) {
  Program outer(&context_, "3 w");
  Program inner(&context_, "BT 4 TL ET 5 w 2 0 0 2 0 0 cm 1 0 0 rg )");
  content::PageInfo page;
  content::LoggingHandler handler(&context_, page, &outer.Resources());
  content::ContentStream::Run(outer.Machine(), handler);
  const auto error = testsupport::RaisedCode([&] { handler.RunNestedContent(inner.Machine()); });
  EXPECT_EQ(error, runtime::kMalformed);
  EXPECT_NE(handler.Log().find("SetLineWidth 5"), std::string::npos);
  EXPECT_EQ(handler.State().stroke.width, FixedFromInt(3));
  EXPECT_EQ(handler.State().ctm, runtime::kIdentityMatrix);
  EXPECT_EQ(handler.State().negatedLeading, 0);
  EXPECT_EQ(handler.State().fillColor.space, content::ColorSpaceKind::kDeviceGray);
}

TEST_F(ContentHandlerTest, FormThatDrawsItselfEnds) {
  const std::string form = "/Fm Do 7 w";
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
      .Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
      .Object(3, "<< /Type /Page /Parent 2 0 R /Resources << /XObject << /Fm 4 0 R >> >> >>")
      .Object(4, "<< /Type /XObject /Subtype /Form /BBox [0 0 10 10] /Matrix [2 0 0 2 0 0]"
                 " /Resources << /XObject << /Fm 4 0 R >> >> /Length " +
                     std::to_string(form.size()) + " >>\nstream\n" + form + "\nendstream")
      .ClassicTable("/Root 1 0 R");
  pdftest::OpenDocument document(&context_, writer.Text());
  runtime::ObjectHandle page = document->GetObject(3, 0);
  runtime::ObjectHandle resources = runtime::Dictionary::Get(page, "Resources").Resolved();
  const std::string pageContent = "/Fm Do 1 w";
  content::ContentMachine* machine = runtime::NewObject<content::ContentMachine>(
      &context_, &context_, &*document, contenttest::StreamOver(&context_, pageContent),
      resources);
  content::PageInfo info;
  info.document = &*document;
  content::LoggingHandler handler(&context_, info, &resources);
  const auto error = testsupport::RaisedCode(
      [&] { content::ContentStream::Run(*machine, handler); });
  runtime::DestroyAndFree(&context_, machine);
  EXPECT_EQ(error, std::nullopt);
  EXPECT_EQ(handler.Log(),
            "PaintForm /Fm 2 0 0 2 0 0\n"
            "ConcatMatrix 2 0 0 2 0 0\n"
            "PaintForm /Fm 2 0 0 2 0 0\n"
            "SetLineWidth 7\n"
            "SetLineWidth 1\n");
  EXPECT_EQ(handler.State().ctm, runtime::kIdentityMatrix);
}

}  // namespace
