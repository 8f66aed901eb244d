// The base handler's own behaviour: the fresh state, fonts, nesting
// bounds, nested content and forms.
#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <optional>

#include "content/ContentHandler.h"
#include "content/ContentOwner.h"
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
  EXPECT_EQ(state.font.Get(), nullptr);
  EXPECT_TRUE(state.textKnockout);
  EXPECT_FALSE(state.alphaIsShape);
  EXPECT_EQ(state.blendMode, 0);
}

// Fonts chosen by parameter sets are tested with the parameter sets.
TEST_F(ContentHandlerTest, FontsComeFromTf) {
  const std::string resources =
      "<< /Font << /F1 << /Type /Font >> /F2 << /Type /Font /Broken true >> >> >>";
  struct Case {
    const char* name;
    const char* content;
    bool hasFont;
    runtime::Fixed size;
  };
  const Case cases[] = {
      {"Tf", "BT /F1 12 Tf ET", true, FixedFromInt(12)},
      {"missing font name", "BT /F7 12 Tf ET", false, FixedFromInt(12)},
      // A font that cannot be read leaves no current font; nothing is
      // raised until a text show needs it.
      {"font that cannot be read", "BT /F1 12 Tf /F2 9 Tf ET", false, FixedFromInt(9)},
  };
  // Reading a font marked broken fails, as a damaged font program would.
  struct BreakingFonts : contenttest::StubFonts {
    runtime::CountedRef<runtime::FontBase> FindFont(const runtime::ObjectHandle& dictionary) override {
      if (!runtime::Dictionary::Get(dictionary, "Broken").IsNull()) {
        runtime::ThrowRuntime(runtime::kMalformed);
      }
      return StubFonts::FindFont(dictionary);
    }
  } breaking;
  for (const Case& c : cases) {
    Program program(&context_, c.content, resources);
    content::PageInfo page;
    page.fonts = &breaking;
    content::LoggingHandler handler(&context_, page, &program.Resources());
    EXPECT_FALSE(testsupport::RaisedCode(
        [&] { content::ContentStream::Run(program.Machine(), handler); }))
        << c.name;
    EXPECT_EQ(handler.State().font.Get() != nullptr, c.hasFont) << c.name;
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

// A page over `pageContent` whose resources name forms /Fa, /Fb ... with
// the given contents (each form also sees every form under the same names),
// played into a handler; the log and the error raised at the end.
class FormPage {
 public:
  FormPage(runtime::LibraryContext* context, const std::vector<std::string>& forms,
           const std::string& formExtras = "")
      : context_(context) {
    std::string names;
    for (size_t i = 0; i < forms.size(); ++i) {
      names += std::string(" /F") + static_cast<char>('a' + i) + " " + std::to_string(4 + i) +
               " 0 R";
    }
    const std::string resources = "<< /XObject <<" + names + " >> /Font << /F1 << /Type /Font >> >> >>";
    writer_.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Object(3, "<< /Type /Page /Parent 2 0 R /Resources " + resources + " >>");
    for (size_t i = 0; i < forms.size(); ++i) {
      writer_.Object(static_cast<int>(4 + i),
                     "<< /Type /XObject /Subtype /Form /BBox [0 0 10 20]" + formExtras +
                         " /Resources " + resources + " /Length " +
                         std::to_string(forms[i].size()) + " >>\nstream\n" + forms[i] +
                         "\nendstream");
    }
    writer_.ClassicTable("/Root 1 0 R");
    document_.emplace(context, writer_.Text());
  }

  // Plays `pageContent` into `handler` made by the caller over Info().
  template <class Handler>
  std::optional<uint32_t> Play(Handler& handler, const std::string& pageContent,
                               const runtime::ObjectHandle* machineResources = nullptr) {
    runtime::ObjectHandle resources = Resources();
    content_ = pageContent;
    content::ContentMachine* machine = runtime::NewObject<content::ContentMachine>(
        context_, context_, &**document_, contenttest::StreamOver(context_, content_),
        machineResources != nullptr ? *machineResources : resources);
    content::MachineHolder holder(context_, machine);
    return testsupport::RaisedCode([&] { content::ContentStream::Run(*machine, handler); });
  }
  runtime::ObjectHandle Resources() {
    runtime::ObjectHandle page = (*document_)->GetObject(3, 0);
    return runtime::Dictionary::Get(page, "Resources").Resolved();
  }
  content::PageInfo Info() {
    content::PageInfo info;
    info.document = &**document_;
    return info;
  }

 private:
  runtime::LibraryContext* context_;
  pdftest::PdfWriter writer_;
  std::optional<pdftest::OpenDocument> document_;
  std::string content_;
};

TEST_F(ContentHandlerTest, AnErrorInAFormEndsThatFormOnly) {
  // One bad operand in a form ends the form: the page's state is back, the
  // page plays on, and the form's error is reported once at the end. The
  // page's own errors end the page as before.
  struct Case {
    const char* name;
    std::vector<std::string> forms;
    std::string page;
    std::optional<uint32_t> error;
    const char* log;
  };
  const Case cases[] = {
      {"negative width in a form", {"2 w -0.1 w 3 w"}, "5 w /Fa Do 1 w", 2u,
       "SetLineWidth 5\nPaintForm /Fa 1 0 0 1 0 0\nConcatMatrix 1 0 0 1 0 0\nSetLineWidth 2\nSetLineWidth 1\n"},
      {"two failing forms report once", {"q 9 w /x Do", "Q Q ) 8 w"},
       "/Fa Do /Fb Do 1 w", 2u,
       "PaintForm /Fa 1 0 0 1 0 0\nConcatMatrix 1 0 0 1 0 0\nSaveState\nSetLineWidth 9\nPaintForm /Fb 1 0 0 1 0 0\nConcatMatrix 1 0 0 1 0 0\n"
       "SetLineWidth 1\n"},
      {"a failing form inside a form", {"/Fb Do 4 w", "2 w foo"}, "/Fa Do 1 w", 2u,
       "PaintForm /Fa 1 0 0 1 0 0\nConcatMatrix 1 0 0 1 0 0\nPaintForm /Fb 1 0 0 1 0 0\nConcatMatrix 1 0 0 1 0 0\nSetLineWidth 2\n"
       "SetLineWidth 4\nSetLineWidth 1\n"},
      {"the page's own error ends the page", {"2 w"}, "/Fa Do 1 w foo 3 w", 2u,
       "PaintForm /Fa 1 0 0 1 0 0\nConcatMatrix 1 0 0 1 0 0\nSetLineWidth 2\nSetLineWidth 1\n"},
      {"no error", {"2 w"}, "/Fa Do 1 w", std::nullopt,
       "PaintForm /Fa 1 0 0 1 0 0\nConcatMatrix 1 0 0 1 0 0\nSetLineWidth 2\nSetLineWidth 1\n"},
  };
  for (const Case& c : cases) {
    FormPage page(&context_, c.forms);
    runtime::ObjectHandle resources = page.Resources();
    content::LoggingHandler handler(&context_, page.Info(), &resources);
    EXPECT_EQ(page.Play(handler, c.page), c.error) << c.name;
    EXPECT_EQ(handler.Log(), c.log) << c.name;
    EXPECT_EQ(handler.State().stroke.width, runtime::FixedFromInt(1)) << c.name;
  }
}

TEST_F(ContentHandlerTest, FormsDrawnFromFormsAreBounded) {
  // Ten levels of forms that each draw the next ten times would play ten
  // billion forms; the run stops playing forms after its bound and says so.
  std::vector<std::string> forms;
  for (int level = 0; level < 10; ++level) {
    std::string body;
    const char next = static_cast<char>('a' + level + 1);
    for (int i = 0; i < 10; ++i) body += level < 9 ? std::string("/F") + next + " Do " : "1 w ";
    forms.push_back(body);
  }
  FormPage page(&context_, forms);
  runtime::ObjectHandle resources = page.Resources();
  struct CountingHandler : content::LoggingHandler {
    using LoggingHandler::LoggingHandler;
    void PaintForm(std::string_view name, const runtime::Matrix& matrix,
                   const runtime::Rect& box) override {
      ++forms;
      ContentHandler::PaintForm(name, matrix, box);
    }
    uint64_t forms = 0;
  } handler(&context_, page.Info(), &resources);
  EXPECT_EQ(page.Play(handler, "/Fa Do 1 w"), runtime::kBeyondLimit);
  // Every form past the bound is passed over without being played.
  EXPECT_LE(handler.forms, uint64_t{content::ContentHandler::kMaxFormPlays} * 11);
  EXPECT_EQ(handler.State().stroke.width, runtime::FixedFromInt(1));
}

TEST_F(ContentHandlerTest, APaintedFormHandsItsGroupAndBoxToRunContent) {
  struct FrameHandler : content::LoggingHandler {
    using LoggingHandler::LoggingHandler;
    void RunContent(content::ContentMachine& machine, const content::FormFrame* form) override {
      if (form != nullptr) {
        ++frames;
        group = form->group.Tag() == runtime::ObjectTag::kDictionary;
        box = form->box;
      }
      LoggingHandler::RunContent(machine, form);
    }
    int frames = 0;
    bool group = false;
    runtime::Rect box{};
  };
  for (const bool withGroup : {true, false}) {
    FormPage page(&context_, {"2 w"},
                  withGroup ? " /Group << /S /Transparency /K true >>" : "");
    runtime::ObjectHandle resources = page.Resources();
    FrameHandler handler(&context_, page.Info(), &resources);
    EXPECT_EQ(page.Play(handler, "/Fa Do"), std::nullopt);
    EXPECT_EQ(handler.frames, 1);
    EXPECT_EQ(handler.group, withGroup);
    EXPECT_EQ(handler.box, (runtime::Rect{0, 0, runtime::FixedFromInt(10),
                                          runtime::FixedFromInt(20)}));
  }
}

TEST_F(ContentHandlerTest, AProgramRunOnItsOwnFindsItsOwnResources) {
  // An appearance or a glyph procedure is run with a handler made for the
  // page; its names resolve in the resources it was recorded against.
  const std::string own = "<< /Font << /G1 << /Type /Font >> >> >>";
  Program program(&context_, "BT /G1 10 Tf ET", own);
  content::PageInfo page;
  page.fonts = &fonts_;
  const runtime::ObjectHandle none;
  content::LoggingHandler handler(&context_, page, &none);
  EXPECT_FALSE(testsupport::RaisedCode(
      [&] { content::ContentStream::Run(program.Machine(), handler); }));
  EXPECT_NE(handler.State().font.Get(), nullptr);
  // The handler's own resources are back afterwards.
  EXPECT_EQ(handler.State().resources, &none);
}

}  // namespace
