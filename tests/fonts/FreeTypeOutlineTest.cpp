// Outlines of every glyph of the 35 base faces, as Type 1 and as
// OpenType-CFF, against FreeType's unhinted outlines at 10, 25 and 100
// pixels per em: every point within 2/64 pixel, glyphs matched by name.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fonts/Type1Font.h"
#include "tests/fonts/FontTestSupport.h"

namespace {

using fonttest::OutlinePoint;

struct FaceCase {
  std::string stem;
  bool openType;
};

std::vector<FaceCase> AllFaceCases() {
  std::vector<FaceCase> cases;
  for (const std::string& stem : fonttest::UrwFaces()) {
    cases.push_back({stem, false});
    cases.push_back({stem, true});
  }
  return cases;
}

std::string FacePath(const FaceCase& c) {
  return c.openType ? std::string(fonttest::kUrwOpenTypeDir) + "/" + c.stem + ".otf"
                    : std::string(fonttest::kUrwType1Dir) + "/" + c.stem + ".t1";
}

// Compares every glyph of `bytes` with FreeType; returns the mismatches.
std::vector<std::string> CompareWithFreeType(const std::vector<uint8_t>& bytes, int& compared) {
  std::vector<std::string> problems;
  runtime::LibraryContext context;
  fonttest::OpenedFont font(&context, bytes);
  if (!font) {
    problems.push_back("our parser refused the program");
    return problems;
  }
  fonttest::FreeTypeLibrary library;
  fonttest::FreeTypeFace face(library.get(), bytes);
  if (!face) {
    problems.push_back("FreeType refused the program");
    return problems;
  }
  std::map<std::string, uint32_t> ours;
  const char* const* names = font->GlyphNames();
  for (uint32_t i = 0; i < font->IndexCount(); ++i) ours.emplace(names[i], i);
  std::vector<OutlinePoint> a, b;
  for (uint32_t g = 0; g < static_cast<uint32_t>(face.get()->num_glyphs); ++g) {
    const std::string name = fonttest::GlyphName(face.get(), g);
    auto it = ours.find(name);
    if (it == ours.end()) {
      problems.push_back(name + ": no glyph of that name");
      continue;
    }
    for (const double px : {10.0, 25.0, 100.0}) {
      if (!fonttest::FreeTypeOutline(face.get(), g, px, b)) continue;
      font->SetHinting(false);
      if (!fonttest::OurOutline(&context, *font.get(), it->second, px, a)) {
        problems.push_back(name + ": our glyph failed");
        break;
      }
      ++compared;
      const double tolerance = 2.0 / 64;
      const int ourMiss = fonttest::FirstUnmatched(a, b, tolerance);
      const int theirMiss = fonttest::FirstUnmatched(b, a, tolerance);
      if (ourMiss >= 0 || theirMiss >= 0) {
        char text[200];
        if (ourMiss >= 0) {
          std::snprintf(text, sizeof(text), "%s at %g px: our point (%.3f, %.3f) not in FreeType's",
                        name.c_str(), px, a[ourMiss].x, a[ourMiss].y);
        } else {
          std::snprintf(text, sizeof(text), "%s at %g px: FreeType's point (%.3f, %.3f) not in ours",
                        name.c_str(), px, b[theirMiss].x, b[theirMiss].y);
        }
        problems.push_back(text);
        break;
      }
    }
  }
  return problems;
}

class UrwFaceOutlines : public ::testing::TestWithParam<FaceCase> {};

TEST_P(UrwFaceOutlines, MatchFreeTypeUnhinted) {
  const std::vector<uint8_t> bytes = fonttest::ReadBytes(FacePath(GetParam()));
  ASSERT_FALSE(bytes.empty()) << FacePath(GetParam());
  int compared = 0;
  const std::vector<std::string> problems = CompareWithFreeType(bytes, compared);
  EXPECT_GT(compared, 0);
  for (size_t i = 0; i < problems.size() && i < 20; ++i) ADD_FAILURE() << problems[i];
}

// The same program with its eexec part as hexadecimal text draws the same
// points as the binary one.
std::vector<uint8_t> WithHexEexec(const std::vector<uint8_t>& binary) {
  const std::string text(binary.begin(), binary.end());
  size_t start = text.find("eexec");
  if (start == std::string::npos) return {};
  start += 5;
  while (start < text.size() && (text[start] == '\r' || text[start] == '\n')) ++start;
  std::vector<uint8_t> out(binary.begin(), binary.begin() + static_cast<long>(start));
  static const char kHex[] = "0123456789abcdef";
  for (size_t i = start; i < binary.size(); ++i) {
    out.push_back(static_cast<uint8_t>(kHex[binary[i] >> 4]));
    out.push_back(static_cast<uint8_t>(kHex[binary[i] & 15]));
    if ((i - start) % 32 == 31) out.push_back('\n');
  }
  return out;
}

TEST_P(UrwFaceOutlines, HexEexecDrawsTheSame) {
  if (GetParam().openType) GTEST_SKIP() << "eexec is a Type 1 matter";
  const std::vector<uint8_t> binary = fonttest::ReadBytes(FacePath(GetParam()));
  const std::vector<uint8_t> hex = WithHexEexec(binary);
  ASSERT_FALSE(hex.empty());
  runtime::LibraryContext context;
  fonttest::OpenedFont a(&context, binary);
  fonttest::OpenedFont b(&context, hex);
  ASSERT_TRUE(a && b);
  ASSERT_EQ(a->IndexCount(), b->IndexCount());
  std::vector<OutlinePoint> unused;
  std::vector<runtime::FixedPoint> pa, pb;
  for (uint32_t g = 0; g < a->IndexCount(); ++g) {
    ASSERT_TRUE(fonttest::OurOutline(&context, *a.get(), g, 25, unused, &pa));
    ASSERT_TRUE(fonttest::OurOutline(&context, *b.get(), g, 25, unused, &pb));
    ASSERT_EQ(pa, pb) << "glyph " << g;
  }
}

std::string FaceCaseName(const ::testing::TestParamInfo<FaceCase>& info) {
  std::string name = info.param.stem + (info.param.openType ? "_otf" : "_t1");
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Urw, UrwFaceOutlines, ::testing::ValuesIn(AllFaceCases()), FaceCaseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(UrwFaceOutlines);

}  // namespace
