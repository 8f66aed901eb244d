// Graphics-state parameter sets (`gs`): what each dictionary parses to or
// why it is refused, the lookup that parses a name once, and how handlers
// apply a set.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/ContentStream.h"
#include "content/ExtGState.h"
#include "content/LoggingHandler.h"
#include "tests/content/ContentTestSupport.h"
#include "tests/pdf/PdfTestSupport.h"

namespace {

using content::ExtGState;
using content::LoggingHandler;
using contenttest::Program;
using runtime::Fixed;
using runtime::FixedFromInt;
using runtime::kFixedOne;

class ExtGStateTest : public ::testing::Test {
 protected:
  ExtGStateTest() { context_.memory.SetBudget(runtime::kNoLimit); }

  // Plays "/S gs" with `entry` as the parameter set named S.
  contenttest::Played PlayEntry(const std::string& entry) {
    return contenttest::PlayText(&context_, "/S gs", "<< /ExtGState << /S " + entry + " >> >>");
  }

  runtime::LibraryContext context_;
};

// A painter's way of applying: every entry, with the state noted at each
// step that can be observed, so the order shows.
class ApplyingHandler : public LoggingHandler {
 public:
  using LoggingHandler::LoggingHandler;

  void ApplyExtGState(const ExtGState& record) override { ApplyEveryEntry(record); }
  void OnSoftMaskRequest(const content::ExtGState& record) override {
    if (!record.softMaskNone) Note("SMask");
  }
  void SetLineWidth(Fixed width) override {
    Note("LW");
    LoggingHandler::SetLineWidth(width);
  }
  void SetLineCap(int32_t cap) override {
    Note("LC");
    LoggingHandler::SetLineCap(cap);
  }
  void SetLineJoin(int32_t join) override {
    Note("LJ");
    LoggingHandler::SetLineJoin(join);
  }
  void SetMiterLimit(Fixed limit) override {
    Note("ML");
    LoggingHandler::SetMiterLimit(limit);
  }
  void SetDash(const Fixed* lengths, uint32_t count, Fixed phase) override {
    Note("D");
    LoggingHandler::SetDash(lengths, count, phase);
  }
  void SetRenderingIntent(uint8_t intent) override {
    Note("RI");
    LoggingHandler::SetRenderingIntent(intent);
  }
  void PaintPath(content::ContentStream& player, bool present, const content::PathPaint& paint,
                 const content::PathSegments& segments) override {
    paintedCaps.push_back(State().stroke.lineCap);
    paintedWidths.push_back(State().stroke.width);
    LoggingHandler::PaintPath(player, present, paint, segments);
  }

  // The step and the entries that come after the stroke parameters, as
  // they stand when the step begins.
  void Note(const char* step) {
    const content::GraphicsState& s = State();
    events += std::string(step) + ": AIS " + std::to_string(s.alphaIsShape) + " ca " +
              FormatFixed(s.fillAlpha) + " CA " + FormatFixed(s.strokeAlpha) + " BM " +
              std::to_string(s.blendMode) + " RI " + std::to_string(s.renderingIntent) +
              " font " + std::to_string(s.font.Get() != nullptr) + " TK " +
              std::to_string(s.textKnockout) + " OP " + std::to_string(s.strokeOverprint) +
              " op " + std::to_string(s.fillOverprint) + "\n";
  }

  std::string events;
  std::vector<int32_t> paintedCaps;
  std::vector<Fixed> paintedWidths;
};

// Notes the moment the font is looked up.
class NotingFonts : public contenttest::StubFonts {
 public:
  runtime::CountedRef<runtime::FontBase> FindFont(const runtime::ObjectHandle& dictionary) override {
    if (handler != nullptr) handler->Note("Font");
    return StubFonts::FindFont(dictionary);
  }
  ApplyingHandler* handler = nullptr;
};

// A one-page document whose resources hold `parameterSets` (the entries of
// its "ExtGState" category) and fonts as objects 12 (a font) and 13 (not a
// font).
class FontDocument {
 public:
  FontDocument(runtime::LibraryContext* context, const std::string& parameterSets)
      : context_(context) {
    pdftest::PdfWriter writer;
    writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Object(3, "<< /Type /Page /Parent 2 0 R /Resources << /ExtGState << " +
                       parameterSets + " >> >> >>")
        .Object(12, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
        .Object(13, "<< /Type /XObject >>")
        .ClassicTable("/Root 1 0 R");
    text_ = writer.Text();
    document_.emplace(context, text_);
    resources_ = runtime::Dictionary::Get((*document_)->GetObject(3, 0), "Resources");
  }

  // Plays `content` into `handler` (made by the caller for Page()).
  std::optional<uint32_t> Play(const std::string& content, content::ContentHandler& handler) {
    content::ContentMachine* machine = runtime::NewObject<content::ContentMachine>(
        context_, context_, &**document_, contenttest::StreamOver(context_, content), resources_);
    const auto error =
        testsupport::RaisedCode([&] { content::ContentStream::Run(*machine, handler); });
    runtime::DestroyAndFree(context_, machine);
    return error;
  }

  content::PageInfo Page(content::FontSource* fonts) const {
    content::PageInfo page;
    page.document = &**document_;
    page.fonts = fonts;
    return page;
  }
  const runtime::ObjectHandle& Resources() const { return resources_; }

 private:
  runtime::LibraryContext* context_;
  std::string text_;
  std::optional<pdftest::OpenDocument> document_;
  runtime::ObjectHandle resources_;
};

TEST_F(ExtGStateTest, EntriesParseToTheirValuesOrAreRefused) {
  struct Case {
    const char* entry;
    const char* applied;  // what the logging handler shows; null: refused (runtime, 2)
  };
  const Case cases[] = {
      {"<< >>", ""},
      {"<< /Type /ExtGState /SA true /HT /Default /Foo 3 >>", ""},
      // Stroke parameters, with the operators' own limits.
      {"<< /LC 2 >>", " LC 2"},
      {"<< /LW 0.5 /LJ 1 /ML 4 >>", " LW 0.5 LJ 1 ML 4"},
      {"<< /LC 3 >>", nullptr},
      {"<< /LC -1 >>", nullptr},
      {"<< /LJ 3 >>", nullptr},
      {"<< /LC 1.0 >>", nullptr},
      {"<< /LW -1 >>", nullptr},
      {"<< /ML -2 >>", nullptr},
      {"<< /LW /Thick >>", nullptr},
      // Dashes.
      {"<< /D [[] 0] >>", " D [] 0"},
      {"<< /D [[3 1.5] 2] >>", " D [3 1.5] 2"},
      {"<< /D [[0 0] 0] >>", nullptr},
      {"<< /D [[3 -1] 0] >>", nullptr},
      {"<< /D [[3 1]] >>", nullptr},
      {"<< /D [3 0] >>", nullptr},
      {"<< /D [[3 (x)] 0] >>", nullptr},
      {"<< /D 5 >>", nullptr},
      // Rendering intents: every unknown name is relative colorimetric.
      {"<< /RI /Perceptual >>", " RI 0"},
      {"<< /RI /RelativeColorimetric >>", " RI 1"},
      {"<< /RI /Foo >>", " RI 1"},
      {"<< /RI /Saturation >>", " RI 2"},
      {"<< /RI /AbsoluteColorimetric >>", " RI 3"},
      {"<< /RI 1 >>", nullptr},
      // Overprint: the fill follows "OP" only when "op" is absent.
      {"<< /OP true >>", " OP true op true"},
      {"<< /op false /OP true >>", " OP true op false"},
      {"<< /op true >>", " op true"},
      {"<< /OP 1 >>", nullptr},
      {"<< /op /On /OP true >>", nullptr},
      // Blend modes: the flag is set even for a mode that is not known.
      {"<< /BM [/Foo /Multiply /Screen] >>", " BM 1"},
      {"<< /BM /Luminosity >>", " BM 0"},
      {"<< /BM /multiply >>", " BM 0"},
      {"<< /BM /Exclusion >>", " BM 11"},
      {"<< /BM [] >>", " BM 0"},
      {"<< /BM 3 >>", nullptr},
      {"<< /BM [/Foo 3] >>", nullptr},
      // Alphas are kept as given; applying clamps them.
      {"<< /AIS true /ca 2 /CA -1 >>", " AIS true ca 2 CA -1"},
      {"<< /AIS 1 >>", nullptr},
      {"<< /ca /Half >>", nullptr},
      // Fonts: an indirect font and a size.
      {"<< /Font [12 0 R 9] >>", " Font 12 0 R 9"},
      {"<< /Font [<< /Type /Font >> 9] >>", nullptr},
      {"<< /Font [12 0 R] >>", nullptr},
      {"<< /Font [12 0 R /Big] >>", nullptr},
      {"<< /Font 12 >>", nullptr},
      // Soft masks: only a dictionary is one.
      {"<< /SMask /None >>", ""},
      {"<< /SMask << /S /Luminosity /G 5 0 R >> >>", " SMask"},
      {"<< /SMask /Foo >>", nullptr},
      {"<< /SMask 0 >>", nullptr},
      {"<< /TK false >>", " TK false"},
      {"<< /TK 0 >>", nullptr},
      // Every entry at once, shown in flag order.
      {"<< /TK true /SMask << >> /RI /Perceptual /op false /OP true /BM /Screen /Font [7 0 R 12]"
       " /CA 0.5 /ca 0.25 /AIS false /D [[1] 0] /ML 2 /LJ 2 /LC 1 /LW 3 >>",
       " LW 3 LC 1 LJ 2 ML 2 D [1] 0 AIS false ca 0.25 CA 0.5 Font 7 0 R 12 TK true BM 2"
       " OP true op false RI 0 SMask"},
  };
  for (const Case& c : cases) {
    const contenttest::Played played = PlayEntry(c.entry);
    if (c.applied == nullptr) {
      EXPECT_EQ(played.error, runtime::kMalformed) << c.entry;
      EXPECT_EQ(played.log, "") << c.entry;
    } else {
      EXPECT_EQ(played.error, std::nullopt) << c.entry;
      EXPECT_EQ(played.log, "ApplyExtGState" + std::string(c.applied) + "\n") << c.entry;
    }
  }
}

TEST_F(ExtGStateTest, LookupNeedsADictionaryUnderExtGState) {
  struct Case {
    const char* name;
    const char* resources;
  };
  const Case cases[] = {
      {"no resources", "null"},
      {"no category", "<< /Font << >> >>"},
      {"category not a dictionary", "<< /ExtGState [1 2] >>"},
      {"missing entry", "<< /ExtGState << /T << /LW 1 >> >> >>"},
      {"entry not a dictionary", "<< /ExtGState << /S 5 >> >>"},
      {"entry a name", "<< /ExtGState << /S /None >> >>"},
  };
  for (const Case& c : cases) {
    const contenttest::Played played = contenttest::PlayText(&context_, "/S gs", c.resources);
    EXPECT_EQ(played.error, runtime::kMalformed) << c.name;
    EXPECT_EQ(played.log, "") << c.name;
  }
}

TEST_F(ExtGStateTest, AFailedLookupIsReportedAfterTheOperationsBeforeIt) {
  const contenttest::Played played = contenttest::PlayText(
      &context_, "1 w /S gs 2 w /Missing gs 3 w", "<< /ExtGState << /S << /LC 2 >> >> >>");
  EXPECT_EQ(played.error, runtime::kMalformed);
  EXPECT_EQ(played.log, "SetLineWidth 1\nApplyExtGState LC 2\nSetLineWidth 2\n");
}

TEST_F(ExtGStateTest, EachNameIsParsedOnceAndRepeatsRecordOneByte) {
  // Keeps the object each application is given.
  class IdentityHandler : public LoggingHandler {
   public:
    using LoggingHandler::LoggingHandler;
    void ApplyExtGState(const ExtGState& record) override {
      applied.push_back(&record);
      LoggingHandler::ApplyExtGState(record);
    }
    std::vector<const ExtGState*> applied;
  };
  // A and B hold equal dictionaries: they are still two parameter sets.
  Program program(&context_, "/A gs 1 w /A gs /B gs /A gs",
                  "<< /ExtGState << /A << /LC 2 >> /B << /LC 2 >> >> >>");
  content::PageInfo page;
  IdentityHandler handler(&context_, page, &program.Resources());
  content::ContentStream::Run(program.Machine(), handler);

  ASSERT_EQ(handler.applied.size(), 4u);
  EXPECT_EQ(handler.applied[1], handler.applied[0]);
  EXPECT_EQ(handler.applied[3], handler.applied[0]);
  EXPECT_NE(handler.applied[2], handler.applied[0]);
  content::ContentMachine& machine = program.Machine();
  ASSERT_EQ(machine.parameterSets.Size(), 2u);
  EXPECT_EQ(machine.parameterSets[0], handler.applied[0]);
  EXPECT_EQ(machine.parameterSets[0]->Kind(), content::kOpExtGState);
  // gs A in full, w, a one-byte repeat of gs A, gs B in full, a repeat.
  std::vector<uint8_t> opcodes;
  for (uint32_t i = 0; i < machine.opcodes.Size(); ++i) opcodes.push_back(machine.opcodes[i]);
  EXPECT_EQ(opcodes, (std::vector<uint8_t>{content::kOpExtGState, content::kOpLineWidth,
                                           content::kFirstRepeat, content::kOpExtGState,
                                           content::kFirstRepeat}));
  EXPECT_EQ(machine.words.Size(), 3u);  // index 0, the width, index 1
}

TEST_F(ExtGStateTest, ParametersReachTheStateAndQRestoresThem) {
  // "LC" alone changes the cap of the stroke painted under it, nothing
  // else, and only until the Q.
  Program program(&context_, "q /S gs 0 0 m 5 5 l S Q 0 0 m 5 5 l S",
                  "<< /ExtGState << /S << /LC 2 >> >> >>");
  content::PageInfo page;
  ApplyingHandler handler(&context_, page, &program.Resources());
  content::ContentStream::Run(program.Machine(), handler);
  EXPECT_EQ(handler.paintedCaps, (std::vector<int32_t>{2, 0}));
  EXPECT_EQ(handler.paintedWidths, (std::vector<Fixed>{kFixedOne, kFixedOne}));
  EXPECT_EQ(handler.State().stroke.lineCap, 0);
}

TEST_F(ExtGStateTest, AlphasAreClampedAndDashesSetWhenApplied) {
  struct Case {
    const char* entry;
    Fixed fill;
    Fixed stroke;
    std::vector<Fixed> dashes;
    Fixed phase;
  };
  const Case cases[] = {
      {"<< /ca 2 /CA -1 >>", kFixedOne, 0, {FixedFromInt(4)}, 0},
      {"<< /ca 0.25 /CA 1 >>", kFixedOne / 4, kFixedOne, {FixedFromInt(4)}, 0},
      {"<< /D [[] 0] >>", kFixedOne, kFixedOne, {}, 0},
      {"<< /D [[3 1] 2] >>", kFixedOne, kFixedOne, {FixedFromInt(3), kFixedOne}, FixedFromInt(2)},
  };
  for (const Case& c : cases) {
    Program program(&context_, "[4] 0 d /S gs",
                    "<< /ExtGState << /S " + std::string(c.entry) + " >> >>");
    content::PageInfo page;
    ApplyingHandler handler(&context_, page, &program.Resources());
    content::ContentStream::Run(program.Machine(), handler);
    const content::GraphicsState& state = handler.State();
    // Decimal operands are read to within one unit of the last place.
    EXPECT_NEAR(state.fillAlpha, c.fill, 1) << c.entry;
    EXPECT_NEAR(state.strokeAlpha, c.stroke, 1) << c.entry;
    const runtime::StrokeStyle& stroke = state.stroke;
    const Fixed* dashes = stroke.dashes.Data();
    EXPECT_EQ(std::vector<Fixed>(dashes, dashes + stroke.dashes.Count()), c.dashes) << c.entry;
    EXPECT_EQ(stroke.dashPhase, c.phase) << c.entry;
  }
}

TEST_F(ExtGStateTest, EveryEntryIsAppliedInOrder) {
  FontDocument document(&context_,
                        "/S << /LW 2 /LC 1 /LJ 2 /ML 3 /D [[2 1] 0] /AIS true /ca 0.5 /CA 2"
                        " /BM /Multiply /RI /Saturation /SMask << /S /Luminosity >>"
                        " /Font [12 0 R 9] /TK false /OP true /op false >>");
  NotingFonts fonts;
  ApplyingHandler handler(&context_, document.Page(&fonts), &document.Resources());
  fonts.handler = &handler;
  EXPECT_EQ(document.Play("/S gs", handler), std::nullopt);
  const std::string before = ": AIS 0 ca 1 CA 1 BM 0 RI 1 font 0 TK 1 OP 0 op 0\n";
  const std::string blended = ": AIS 1 ca 0.5 CA 1 BM 1 RI ";
  EXPECT_EQ(handler.events, "LW" + before + "LC" + before + "LJ" + before + "ML" + before +
                                "D" + before + "RI" + blended +
                                "1 font 0 TK 1 OP 0 op 0\n"
                                "SMask" + blended + "2 font 0 TK 1 OP 0 op 0\n"
                                "Font" + blended + "2 font 0 TK 1 OP 0 op 0\n");
  const content::GraphicsState& state = handler.State();
  EXPECT_EQ(state.stroke.width, FixedFromInt(2));
  EXPECT_EQ(state.stroke.lineCap, 1);
  EXPECT_EQ(state.stroke.lineJoin, 2);
  EXPECT_EQ(state.stroke.miterLimit, FixedFromInt(3));
  EXPECT_EQ(state.stroke.dashes.Count(), 2u);
  EXPECT_EQ(state.font.Get(), &fonts.font);
  EXPECT_EQ(state.fontSize, FixedFromInt(9));
  EXPECT_FALSE(state.textKnockout);
  EXPECT_TRUE(state.strokeOverprint);
  EXPECT_FALSE(state.fillOverprint);
}

TEST_F(ExtGStateTest, TheBaseHandlerAppliesOnlyTheFont) {
  // Text collectors keep the base behaviour: a page that chooses its font
  // only through a parameter set still has one to decode with.
  FontDocument document(&context_,
                        "/G << /Font [12 0 R 9] /LW 5 /ca 0.5 /TK false >>"
                        " /N << /Font [13 0 R 7] >> /M << /Font [40 0 R 5] >>");
  struct Case {
    const char* content;
    bool hasFont;
    Fixed size;
  };
  const Case cases[] = {
      {"/G gs", true, FixedFromInt(9)},
      {"BT /G gs ET", true, FixedFromInt(9)},
      {"/N gs", false, FixedFromInt(7)},  // not a font dictionary
      {"/M gs", false, FixedFromInt(5)},  // no such object
      {"/G gs /N gs", false, FixedFromInt(7)},
  };
  contenttest::StubFonts fonts;
  for (const Case& c : cases) {
    LoggingHandler handler(&context_, document.Page(&fonts), &document.Resources());
    EXPECT_EQ(document.Play(c.content, handler), std::nullopt) << c.content;
    const content::GraphicsState& state = handler.State();
    EXPECT_EQ(state.font.Get() != nullptr, c.hasFont) << c.content;
    EXPECT_EQ(state.fontSize, c.size) << c.content;
    EXPECT_EQ(state.stroke.width, kFixedOne) << c.content;
    EXPECT_EQ(state.fillAlpha, kFixedOne) << c.content;
    EXPECT_TRUE(state.textKnockout) << c.content;
  }
}

TEST(BlendModeNameTest, ExactNamesOnly) {
  const char* const known[] = {"Normal", "Multiply", "Screen", "Overlay", "Darken",
                               "Lighten", "ColorDodge", "ColorBurn", "HardLight",
                               "SoftLight", "Difference", "Exclusion"};
  for (uint32_t i = 0; i < std::size(known); ++i) {
    uint32_t mode = 99;
    EXPECT_TRUE(content::ParseBlendModeName(known[i], mode)) << known[i];
    EXPECT_EQ(mode, i) << known[i];
  }
  for (const char* unknown : {"multiply", "Luminosity", "Hue", "Compatible", "", "Normal "}) {
    uint32_t mode = 99;
    EXPECT_FALSE(content::ParseBlendModeName(unknown, mode)) << unknown;
    EXPECT_EQ(mode, 0u) << unknown;
  }
}

}  // namespace
