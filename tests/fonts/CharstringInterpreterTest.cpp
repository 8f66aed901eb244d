// The charstring interpreter on small CFF programs made by the test.
#include "fonts/CharstringInterpreter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fonts/CffFont.h"
#include "tests/fonts/CffBuilder.h"
#include "tests/fonts/FontTestSupport.h"

namespace {

using fonttest::Bytes;
using fonttest::Charstring;
using fonttest::N;
using fonttest::Op;

constexpr int kBias = 107;  // fewer than 1240 subroutines

// A font of `glyphs` empty glyphs with glyph 1 replaced.
fonttest::CffBuilder FontWith(Bytes glyph1, int glyphs = 4) {
  fonttest::CffBuilder b;
  b.charstrings.assign(static_cast<size_t>(glyphs), Charstring({Op(fonttest::kEndchar)}));
  b.charstrings[1] = std::move(glyph1);
  return b;
}

// Runs glyph 1 at 1 unit per pixel; the runtime code raised or -1.
long RunGlyph(const Bytes& program, std::vector<runtime::FixedPoint>* points = nullptr,
              uint32_t glyph = 1) {
  runtime::LibraryContext context;
  fonttest::OpenedFont font(&context, program);
  if (!font) return font.Error() ? static_cast<long>(font.Error()->code) : -2;
  runtime::ArenaAllocator arena(&context, 16384, 4096);
  runtime::ArenaVector<runtime::FixedPoint> out(arena, 16);
  const long code = testsupport::RuntimeCodeOf(&context, [&] {
    fonts::Matrix orientation;
    font->SetHinting(false);
    font->GlyphByIndex(glyph, fonts::Matrix{}, out, arena, orientation);
  });
  if (points != nullptr) points->assign(out.begin(), out.end());
  return code;
}

Bytes SubrChainProgram(int depth) {
  fonttest::CffBuilder b = FontWith(Charstring({N(0 - kBias), Op(fonttest::kCallsubr), Op(fonttest::kEndchar)}));
  for (int i = 0; i < depth; ++i) {
    if (i + 1 < depth) {
      b.localSubrs.push_back(Charstring({N(i + 1 - kBias), Op(fonttest::kCallsubr), Op(fonttest::kReturn)}));
    } else {
      b.localSubrs.push_back(Charstring({N(10), N(10), Op(fonttest::kRmoveto), N(5), Op(fonttest::kHlineto), Op(fonttest::kReturn)}));
    }
  }
  return b.Build();
}

TEST(CharstringInterpreter, TenNestedSubroutinesPassEleventhIsRefused) {
  std::vector<runtime::FixedPoint> points;
  EXPECT_EQ(RunGlyph(SubrChainProgram(10), &points), -1);
  EXPECT_FALSE(points.empty());
  EXPECT_EQ(RunGlyph(SubrChainProgram(11)), 2);
}

TEST(CharstringInterpreter, SubroutineBombEndsWithMalformed) {
  // Every level calls the next one eight times: 8^10 calls if nothing
  // stopped it. The operator cap ends it.
  fonttest::CffBuilder b = FontWith(Charstring({N(0 - kBias), Op(fonttest::kCallsubr), Op(fonttest::kEndchar)}));
  for (int i = 0; i < 10; ++i) {
    Bytes subr;
    for (int k = 0; k < 8; ++k) {
      if (i + 1 < 10) {
        fonttest::PushNumber(subr, i + 1 - kBias);
        subr.push_back(fonttest::kCallsubr);
      } else {
        subr.push_back(fonttest::kHlineto);
      }
    }
    subr.push_back(fonttest::kReturn);
    b.localSubrs.push_back(subr);
  }
  EXPECT_EQ(RunGlyph(b.Build()), 2);
}

TEST(CharstringInterpreter, MalformedCharstrings) {
  const std::vector<Bytes> refused = {
      Charstring({N(1), Op(fonttest::kCallsubr)}),            // no local subroutines
      Charstring({Op(fonttest::kReturn)}),                     // return without a call
      Charstring({N(0), Op(fonttest::kCallgsubr)}),            // global index out of range
      Bytes{28, 1},                                            // a truncated number
      Bytes{12},                                               // a truncated escape
      Charstring({Op(fonttest::kRmoveto)}),                    // stack underflow
      Charstring({N(1), Op(16)}),                              // blend without weights
      Charstring({N(0), N(0), Op(fonttest::kHstem), Op(19)}),  // hint mask past the end
  };
  for (const Bytes& glyph : refused) {
    EXPECT_EQ(RunGlyph(FontWith(glyph).Build()), 2) << "first byte " << int(glyph[0]);
  }
  Bytes overflow;
  for (int i = 0; i < 49; ++i) fonttest::PushNumber(overflow, 1);
  EXPECT_EQ(RunGlyph(FontWith(overflow).Build()), 2);
  Bytes stems;
  for (int i = 0; i < 97; ++i) {
    fonttest::PushNumber(stems, 10);
    fonttest::PushNumber(stems, 5);
    stems.push_back(fonttest::kHstem);
  }
  stems.push_back(fonttest::kEndchar);
  EXPECT_EQ(RunGlyph(FontWith(stems).Build()), 2);
}

TEST(CharstringInterpreter, DrawingWithoutMoveStartsAtTheOrigin) {
  std::vector<runtime::FixedPoint> points;
  ASSERT_EQ(RunGlyph(FontWith(Charstring({N(10), N(20), Op(fonttest::kRlineto)})).Build(), &points), -1);
  ASSERT_EQ(points.size(), 2u);  // no endchar: the subpath stays open
  EXPECT_EQ(fonts::GlyphOutline::KindOf(points[0]), fonts::PointKind::kMove);
  EXPECT_EQ(points[0].x & ~1, 0);
  EXPECT_EQ(points[1].x & ~1, 10 * 65536);
  EXPECT_EQ(points[1].y & ~1, 20 * 65536);
}

TEST(CharstringInterpreter, PointEncoding) {
  // The lowest coordinate is moved off the two words that never occur.
  const runtime::FixedPoint p = fonts::GlyphOutline::Encode(INT32_MIN, 0, fonts::PointKind::kLine);
  EXPECT_EQ(static_cast<uint32_t>(p.x), 0x80000003u);
  const runtime::FixedPoint close = fonts::GlyphOutline::Encode(0, 0, fonts::PointKind::kClose);
  EXPECT_EQ(close.x, 1);
  EXPECT_EQ(close.y, 1);
}

TEST(CharstringInterpreter, EndcharSeacAndNestedSeac) {
  // Standard code 65 is 'A' (SID 34), 194 'acute' (SID 125): with the
  // standard charset glyph i is SID i.
  fonttest::CffBuilder b = FontWith(
      Charstring({N(200), N(300), N(65), N(194), Op(fonttest::kEndchar)}), 130);
  b.charstrings[34] = Charstring({N(0), N(0), Op(fonttest::kRmoveto), N(100), Op(fonttest::kHlineto), Op(fonttest::kEndchar)});
  b.charstrings[125] = Charstring({N(0), N(0), Op(fonttest::kRmoveto), N(50), Op(fonttest::kVlineto), Op(fonttest::kEndchar)});
  std::vector<runtime::FixedPoint> points;
  ASSERT_EQ(RunGlyph(b.Build(), &points), -1);
  bool accentSeen = false;
  for (const auto& p : points) {
    if ((p.x & ~1) == 200 * 65536 && (p.y & ~1) == 350 * 65536) accentSeen = true;
  }
  EXPECT_TRUE(accentSeen);
  // Five operands: the first is the width.
  b.charstrings[1] = Charstring({N(500), N(200), N(300), N(65), N(194), Op(fonttest::kEndchar)});
  ASSERT_EQ(RunGlyph(b.Build(), &points), -1);
  // A component that is itself an accented character.
  b.charstrings[34] = Charstring({N(0), N(0), N(65), N(194), Op(fonttest::kEndchar)});
  EXPECT_EQ(RunGlyph(b.Build()), 2);
}

TEST(CharstringInterpreter, HflexDrawsTwoCurvesWhenFlat) {
  std::vector<runtime::FixedPoint> points;
  ASSERT_EQ(RunGlyph(FontWith(Charstring({N(0), N(0), Op(fonttest::kRmoveto), N(10), N(10), N(0), N(10), N(10), N(10), N(10), Op(12, 34), Op(fonttest::kEndchar)})).Build(), &points), -1);
  int curvePoints = 0;
  for (const auto& p : points) curvePoints += fonts::GlyphOutline::KindOf(p) == fonts::PointKind::kCurve;
  EXPECT_EQ(curvePoints, 6);
}

// Coverage records: two overlapping squares stay solid where they overlap;
// an empty glyph has the empty box; the glyph matrix of the 0.001 font
// matrix at 12 is 0.012.
TEST(GlyphBitmapCache, OverlappingSquaresAndEmptyGlyph) {
  fonttest::CffBuilder b = FontWith(Charstring({
      N(0), N(0), Op(fonttest::kRmoveto), N(600), N(600), N(-600), Op(fonttest::kHlineto),
      N(300), N(-300), Op(fonttest::kRmoveto), N(600), N(600), N(-600), Op(fonttest::kHlineto),
      Op(fonttest::kEndchar)}));
  const Bytes program = b.Build();
  runtime::LibraryContext context;
  fonttest::OpenedFont font(&context, program);
  ASSERT_TRUE(font);
  runtime::ArenaAllocator arena(&context, 16384, 4096);
  const fonts::Fixed scale = 20 * 65536;
  fonts::GlyphBitmapCache cache(*font.get(), fonts::Matrix{scale, 0, 0, -scale, 0, 0}, 4, 1, {}, nullptr);
  const fonts::CoverageRecord* record = cache.RenderGlyph(1, 0, nullptr, arena);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->At(9, -9), 255);   // the overlap, 9 px from the origin
  EXPECT_EQ(record->At(3, -3), 255);   // first square only
  EXPECT_EQ(record->At(15, -15), 255); // second square only
  EXPECT_EQ(record->At(3, -15), 0);    // outside both
  const fonts::CoverageRecord* empty = cache.RenderGlyph(2, 0, nullptr, arena);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->x0, 0);
  EXPECT_EQ(empty->y0, 0);
  EXPECT_EQ(empty->x1, 0);
  EXPECT_EQ(empty->y1, 0);
  // A name-keyed CFF draws nothing for glyph 0 itself.
  EXPECT_EQ(cache.RenderGlyph(0, 0, nullptr, arena)->Width(), 0);

  fonts::GlyphBitmapCache twelve(*font.get(), fonts::Matrix{12 * 65536, 0, 0, 12 * 65536, 0, 0}, 1, 1, {}, nullptr);
  EXPECT_NEAR(twelve.GlyphMatrix().a, 786.432, 1.0);  // 0.012 in 16.16
  EXPECT_NEAR(twelve.GlyphMatrix().d, 786.432, 1.0);
  // Without a clip a huge glyph is not made into a record (the caller
  // paints its outline); a clip bounds it.
  fonts::GlyphBitmapCache huge(*font.get(), fonts::Matrix{5000 * 65536, 0, 0, -5000 * 65536, 0, 0}, 1, 1, {}, nullptr);
  EXPECT_EQ(huge.RenderGlyph(1, 0, nullptr, arena), nullptr);
  const runtime::IntRect window{100, -200, 164, -136};
  const fonts::CoverageRecord* part = huge.RenderGlyph(1, 0, &window, arena);
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->Width(), 64);
  EXPECT_EQ(part->At(120, -150), 255);
  // A clip rectangle bounds the record.
  const runtime::IntRect clip{0, -5, 5, 0};
  const fonts::CoverageRecord* clipped = cache.RenderGlyph(1, 0, &clip, arena);
  EXPECT_LE(clipped->Width(), 5);
  EXPECT_LE(clipped->Height(), 5);
}

TEST(CffFont, StructureAndLookups) {
  fonttest::CffBuilder b = FontWith(Charstring({Op(fonttest::kEndchar)}), 40);
  const Bytes program = b.Build();
  runtime::LibraryContext context;
  fonttest::OpenedFont font(&context, program);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->GlyphCount(), 40u);
  EXPECT_STREQ(font->GlyphNames()[34], "A");
  EXPECT_STREQ(font->BuiltinEncoding()[65], "A");
  EXPECT_STREQ(font->BuiltinEncoding()[32], "space");
  EXPECT_EQ(font->StandardCodeToGlyph(65), 34u);
  // FontBBox 0 0 500 500 under 0.001 lies inside the minimum box.
  const runtime::Rect box = font->FontBBox();
  EXPECT_EQ(box.x0, -16384);
  EXPECT_EQ(box.x1, 49152);

  // The same program inside an OpenType wrapper, after another table.
  Bytes otf{'O', 'T', 'T', 'O', 0, 2, 0, 0, 0, 0, 0, 0};
  const uint32_t cffAt = 12 + 32 + 4;
  auto put32 = [&](uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) otf.push_back(static_cast<uint8_t>(v >> s));
  };
  put32(0x68656164); put32(0); put32(12 + 32); put32(4);
  put32(0x43464620); put32(0); put32(cffAt); put32(static_cast<uint32_t>(program.size()));
  otf.insert(otf.end(), {0, 0, 0, 0});
  otf.insert(otf.end(), program.begin(), program.end());
  fonttest::OpenedFont wrapped(&context, otf);
  ASSERT_TRUE(wrapped);
  EXPECT_EQ(wrapped->GlyphCount(), 40u);

  // Broken structures are refused with code 2.
  std::vector<Bytes> broken;
  broken.push_back(Bytes(program.begin(), program.begin() + 10));
  Bytes badVersion = program;
  badVersion[0] = 2;
  broken.push_back(badVersion);
  Bytes badOffSize = program;
  badOffSize[6] = 5;  // the Name INDEX's offset size
  broken.push_back(badOffSize);
  Bytes noCff{'O', 'T', 'T', 'O', 0, 0, 0, 0, 0, 0, 0, 0};
  broken.push_back(noCff);
  for (const Bytes& bytes : broken) {
    fonttest::OpenedFont refused(&context, bytes);
    EXPECT_FALSE(refused);
    ASSERT_TRUE(refused.Error().has_value());
    EXPECT_TRUE(refused.Error()->IsRuntime(2));
  }
}

TEST(CffFont, CidCharsetFormatZeroCountsUpToTheLargestCid) {
  fonttest::CffBuilder b = FontWith(Charstring({Op(fonttest::kEndchar)}), 3);
  auto topWith = [](uint32_t charset, uint32_t fdSelect, uint32_t fdArray) {
    Bytes top{139, 139, 139, 12, 30};  // ROS with three zero operands
    fonttest::PushInt32(top, charset);
    top.push_back(15);
    fonttest::PushInt32(top, fdSelect);
    top.insert(top.end(), {12, 37});
    fonttest::PushInt32(top, fdArray);
    top.insert(top.end(), {12, 36});
    return top;
  };
  // The offsets take five bytes whatever their value, so the layout of a
  // first build holds for the second.
  b.topExtra = topWith(0, 0, 0);
  const auto tail = static_cast<uint32_t>(b.Build().size());
  b.topExtra = topWith(tail, tail + 5, tail + 9);
  Bytes program = b.Build();
  // Charset format 0 with the CIDs out of order: glyph 1 is CID 5, glyph 2
  // is CID 2, so the last CID is not the largest.
  program.insert(program.end(), {0, 0, 5, 0, 2});
  program.insert(program.end(), {0, 0, 0, 0});     // FDSelect format 0: font dict 0
  program.insert(program.end(), {0, 1, 1, 1, 1});  // FDArray: one empty font dict
  runtime::LibraryContext context;
  fonttest::OpenedFont font(&context, program);
  ASSERT_TRUE(font);
  ASSERT_TRUE(font->IsCidKeyed());
  EXPECT_EQ(font->GlyphCount(), 6u);
  EXPECT_EQ(font->CidToGlyph(5), 1u);
  EXPECT_EQ(font->CidToGlyph(2), 2u);
  EXPECT_EQ(font->CidToGlyph(3), 0u);
}

// Ghostscript's Expert encoding resource: code to glyph name; empty when
// no ghostscript is installed.
std::vector<std::string> GhostscriptExpertEncoding() {
  std::error_code error;
  const std::filesystem::path root = "/usr/share/ghostscript";
  if (!std::filesystem::is_directory(root, error)) return {};
  for (const auto& version : std::filesystem::directory_iterator(root, error)) {
    const auto path = version.path() / "Resource" / "Encoding" / "ExpertEncoding";
    std::ifstream in(path);
    if (!in) continue;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const size_t open = text.find('[');
    const size_t close = text.find(']', open);
    if (open == std::string::npos || close == std::string::npos) continue;
    const std::string array = text.substr(open + 1, close - open - 1);
    // The array holds literal names separated by white space.
    std::vector<std::string> names;
    std::istringstream words(array);
    for (std::string word; words >> word;) {
      if (word.size() > 1 && word[0] == '/') names.push_back(word.substr(1));
    }
    return names;
  }
  return {};
}

TEST(CffFont, PredefinedExpertEncodingMatchesGhostscript) {
  const std::vector<std::string> reference = GhostscriptExpertEncoding();
  if (reference.size() != 256) {
    if (fonttest::UnderCi()) FAIL() << "ghostscript's ExpertEncoding resource is missing";
    GTEST_SKIP() << "ghostscript's ExpertEncoding resource is missing";
  }
  fonttest::CffBuilder b = FontWith(Charstring({Op(fonttest::kEndchar)}));
  b.topExtra = {140, 16};  // Encoding 1: the predefined Expert encoding
  runtime::LibraryContext context;
  fonttest::OpenedFont font(&context, b.Build());
  ASSERT_TRUE(font);
  const char* const* names = font->BuiltinEncoding();
  ASSERT_NE(names, nullptr);
  for (int code = 0; code < 256; ++code) {
    EXPECT_STREQ(names[code], reference[static_cast<size_t>(code)].c_str()) << "code " << code;
  }
}

}  // namespace
