// Colour-space values resolved into spaces: families and abbreviations,
// resources and Default spaces, Indexed palettes and their converters,
// Separation and DeviceN with their tint transforms, ICCBased streams and
// their fall-backs, Pattern spaces, and the limits on hostile values.
#include "color/ColorSpace.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "color/ColorContext.h"
#include "color/ColorSpaceDesc.h"
#include "color/ColorSpaceFamily.h"
#include "color/ColorSpaceRecord.h"
#include "color/EmbeddedProfiles.h"
#include "color/FunctionEvaluator.h"
#include "color/IccProfile.h"
#include "color/ImageColorSpace.h"
#include "color/IndexedColorSpace.h"
#include "color/TintColorSpace.h"
#include "content/DocumentArrayOperands.h"
#include "runtime/ArenaScope.h"
#include "runtime/Dictionary.h"
#include "tests/color/ColorTestDocument.h"
#include "tests/support/RaisedCode.h"
#include "tests/support/SmallPdfFile.h"

namespace color {
namespace {

using colortest::ObjectsDocument;
using testsupport::RaisedCode;
using testsupport::StreamBody;

// Object 1 is the resources dictionary of every document here.
class ColorSpaceTest : public ::testing::Test {
 protected:
  ColorSpaceTest() { context_.memory.SetBudget(runtime::kNoLimit); }

  // A document of `objects` (object 1 the resources) and its colour context.
  void Open(const std::vector<std::string>& objects) {
    colors_.reset();
    document_ = std::make_unique<ObjectsDocument>(&context_, objects);
    colors_ = std::make_unique<ColorContext>(&context_, document_->Get());
  }
  runtime::ObjectHandle Resources() { return document_->Object(1); }

  // The value `text` (object 2 of a document whose resources are
  // `resources`) parsed as a graphics state's colour space is.
  ColorSpaceRecord ParseValue(const std::string& text, const std::string& resources = "<< >>",
                              bool abbreviations = false, std::vector<std::string> more = {}) {
    std::vector<std::string> objects{resources, text};
    objects.insert(objects.end(), more.begin(), more.end());
    Open(objects);
    const runtime::ObjectHandle value = document_->Object(2);
    if (value->Is(runtime::ObjectTag::kName)) {
      return ColorSpace::Parse(*colors_, value->AsName().View(), Resources(), abbreviations, true, nullptr, 0, false);
    }
    runtime::ArenaScope scope(colors_->Scratch());
    auto* operands =
        runtime::NewInArena<content::DocumentArrayOperands>(colors_->Scratch(), value, document_->Get(), colors_->Scratch());
    return ColorSpace::Parse(*colors_, operands->NameAt(0), Resources(), abbreviations, true, operands, 0, false);
  }
  std::optional<uint32_t> ParseCode(const std::string& text, const std::string& resources = "<< >>",
                                    std::vector<std::string> more = {}) {
    return RaisedCode([&] { ParseValue(text, resources, false, more); });
  }
  // The 8-bit converter of `space` into the display profile, on one pixel.
  std::vector<int> ToDisplay(ColorSpace& space, std::vector<uint8_t> in) {
    streams::Ref<ColorSpace> display = IccProfile::BuiltinRgb(&context_, display_);
    ColorConverterPtr converter = space.MakeConverter8(*display, 1, 0, false);
    uint8_t out[4] = {};
    converter->ConvertPixel(out, 1, in.data(), 1);
    return {out[0], out[1], out[2]};
  }

  runtime::LibraryContext context_;
  std::unique_ptr<ObjectsDocument> document_;
  std::unique_ptr<ColorContext> colors_;
  IccProfileRef display_;
};

TEST_F(ColorSpaceTest, AbbreviationsCountOnlyWhereAllowed) {
  EXPECT_EQ(ColorSpaceFamily::FromName("G", true), ColorSpaceFamily::kBaseless);
  EXPECT_EQ(ColorSpaceFamily::FromName("G", false), ColorSpaceFamily::kUnknown);
  EXPECT_EQ(ColorSpaceFamily::FromName("I", true), ColorSpaceFamily::kIndexed);
  EXPECT_EQ(ColorSpaceFamily::FromName("CalCMYK", false), ColorSpaceFamily::kBaseless);
  EXPECT_EQ(ColorSpaceFamily::FromName("DeviceN", false), ColorSpaceFamily::kSeparationLike);

  ColorSpaceRecord gray = ParseValue("/G", "<< >>", true);
  EXPECT_EQ(gray.kind, ColorSpaceRecord::kOrdinary);
  EXPECT_EQ(gray.componentCount, 1);
  EXPECT_EQ(gray.space.Get(), colors_->DeviceGray().Get());
  // Elsewhere G is a resource name: missing, then present.
  EXPECT_EQ(ParseCode("/G"), 2u);
  ColorSpaceRecord named = ParseValue("/G", "<< /ColorSpace << /G /DeviceRGB >> >>");
  EXPECT_EQ(named.componentCount, 3);
  EXPECT_EQ(named.space.Get(), colors_->DeviceRgb().Get());
}

TEST_F(ColorSpaceTest, IndexedPalettes) {
  ColorSpaceRecord indexed = ParseValue("[/Indexed /DeviceRGB 1 <FF000000FF00>]");
  EXPECT_EQ(indexed.kind, ColorSpaceRecord::kIndexed);
  EXPECT_EQ(indexed.componentCount, 1);
  // An empty record knows its component count only for Indexed.
  for (const auto& [kind, count] : {std::pair{ColorSpaceRecord::kIndexed, 1}, std::pair{ColorSpaceRecord::kPattern, 0},
                                    std::pair{ColorSpaceRecord::kOrdinary, 0}}) {
    const ColorSpaceRecord empty = ColorSpaceRecord::Empty(kind);
    EXPECT_EQ(empty.kind, kind);
    EXPECT_EQ(empty.componentCount, count) << kind;
    EXPECT_FALSE(empty.space);
    EXPECT_FALSE(empty.allNone || empty.hasUnderlying);
  }
  auto& space = static_cast<IndexedColorSpace&>(*indexed.space);
  EXPECT_TRUE(space.IsIndexed());
  EXPECT_EQ(space.Hival(), 1u);
  EXPECT_EQ(space.Palette()[3], 0);
  EXPECT_EQ(space.Palette()[4], 0xFF);
  // The palette from a stream, extra bytes ignored.
  ColorSpaceRecord streamed =
      ParseValue("[/Indexed /DeviceGray 2 3 0 R]", "<< >>", false, {StreamBody("", std::string("\x10\x20\x30\x40", 4))});
  EXPECT_EQ(static_cast<IndexedColorSpace&>(*streamed.space).Palette()[2], 0x30);

  struct Bad {
    const char* name;
    std::string value;
  };
  const Bad bad[] = {
      {"5-byte table for hival 1", "[/Indexed /DeviceRGB 1 <FF000000FF>]"},
      {"short stream palette", "[/Indexed /DeviceRGB 1 3 0 R]"},
      {"hival 256", "[/Indexed /DeviceGray 256 <00>]"},
      {"negative hival", "[/Indexed /DeviceGray -1 <00>]"},
      {"one element", "[/Indexed]"},
      {"Pattern base", "[/Indexed /Pattern 0 <00>]"},
      {"Indexed base", "[/Indexed [/Indexed /DeviceGray 0 <00>] 0 <00>]"},
      {"base of another type", "[/Indexed 5 0 <00>]"},
  };
  for (const Bad& b : bad) {
    EXPECT_EQ(ParseCode(b.value, "<< >>", {StreamBody("", "ab")}), 2u) << b.name;
  }

  // The largest palette: hival 255 over RGB takes exactly 768 bytes; one
  // fewer is malformed, more are accepted and the rest ignored.
  auto hex = [](size_t bytes) {
    std::string text = "<";
    for (size_t i = 0; i < bytes; ++i) text += i % 3 == 0 ? "AB" : "01";
    return text + ">";
  };
  EXPECT_EQ(ParseCode("[/Indexed /DeviceRGB 255 " + hex(767) + "]"), 2u);
  for (size_t bytes : {size_t{768}, size_t{800}}) {
    ColorSpaceRecord full = ParseValue("[/Indexed /DeviceRGB 255 " + hex(bytes) + "]");
    auto& palette = static_cast<IndexedColorSpace&>(*full.space);
    EXPECT_EQ(palette.Hival(), 255u) << bytes;
    EXPECT_EQ(palette.Palette()[765], 0xAB) << bytes;
    EXPECT_EQ(palette.Palette()[767], 0x01) << bytes;
  }
}

TEST_F(ColorSpaceTest, IndexedConvertersCopyConvertedEntries) {
  ColorSpaceRecord indexed = ParseValue("[/Indexed /DeviceCMYK 1 <00000000000000FF>]");
  ColorSpace& cmyk = *colors_->DeviceCmyk();
  // Each entry converts like its palette colour through the base space.
  const std::vector<int> white = ToDisplay(*colors_->DeviceCmyk(), {0, 0, 0, 0});
  const std::vector<int> black = ToDisplay(*colors_->DeviceCmyk(), {0, 0, 0, 255});
  EXPECT_EQ(ToDisplay(*indexed.space, {0}), white);
  EXPECT_EQ(ToDisplay(*indexed.space, {1}), black);
  // An index above hival takes the last entry.
  EXPECT_EQ(ToDisplay(*indexed.space, {200}), black);
  // The Fixed converter: the integer part is the index; a negative one
  // takes hival as well.
  ColorConverterPtr fixed = indexed.space->MakeConverterFixed(cmyk, 1, 0, false);
  ASSERT_TRUE(fixed);
  for (Fixed sample : {Fixed{1 << 16}, Fixed{-1 << 16}, Fixed{7 << 16}}) {
    Fixed out[4] = {};
    fixed->ConvertPixel(out, 1, &sample, 1);
    EXPECT_EQ(out[3], runtime::kFixedOne) << sample;
  }
}

TEST_F(ColorSpaceTest, AllSeparationPaintsTheTintIntoEveryComponent) {
  ColorSpaceRecord all = ParseValue("[/Separation /All /DeviceCMYK 7 0 R]");
  ASSERT_TRUE(all.space);
  EXPECT_TRUE(static_cast<TintColorSpace&>(*all.space).IsAll());
  // Tint 0.25 is the byte 64: additive targets get 255 - 64.
  EXPECT_EQ(ToDisplay(*all.space, {64}), (std::vector<int>{191, 191, 191}));
  ColorConverterPtr toCmyk = all.space->MakeConverter8(*colors_->DeviceCmyk(), 1, 0, false);
  uint8_t out[4] = {};
  const uint8_t tint = 64;
  toCmyk->ConvertPixel(out, 1, &tint, 1);
  EXPECT_EQ(std::vector<int>(out, out + 4), (std::vector<int>{64, 64, 64, 64}));
}

TEST_F(ColorSpaceTest, DeviceNConvertsThroughItsTintTransform) {
  // Two colorants into CMYK: C = a, M = b / 2, Y = a x b, K = 0.
  const std::string program = "{ 2 copy mul 3 1 roll 2 div 3 -1 roll 0 }";
  ColorSpaceRecord deviceN =
      ParseValue("[/DeviceN [/Spot1 /Spot2] /DeviceCMYK 3 0 R]", "<< >>", false,
                 {StreamBody("/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1 0 1]", program)});
  ASSERT_TRUE(deviceN.space);
  EXPECT_EQ(deviceN.componentCount, 2);
  EXPECT_TRUE(deviceN.space->HasTintTransform());
  for (auto [a, b] : {std::pair{255, 255}, std::pair{128, 64}, std::pair{0, 200}}) {
    // By hand: a and b as 16.16, the program's arithmetic, then bytes.
    const Fixed fa = ByteToFixed(a);
    const Fixed fb = ByteToFixed(b);
    const std::vector<uint8_t> cmyk = {ClampedFixedToByte(fa), ClampedFixedToByte(runtime::FixedDiv(fb, 2 << 16)),
                                       ClampedFixedToByte(runtime::FixedMul(fa, fb)), 0};
    EXPECT_EQ(ToDisplay(*deviceN.space, {static_cast<uint8_t>(a), static_cast<uint8_t>(b)}),
              ToDisplay(*colors_->DeviceCmyk(), cmyk))
        << a << " " << b;
  }
}

TEST_F(ColorSpaceTest, TintSpacesAreChecked) {
  const std::string gray = "<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] /N 1 >>";
  const std::string rgb = "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0] /C1 [1 1 1] /N 1 >>";
  ColorSpaceRecord none = ParseValue("[/Separation /None /DeviceGray " + gray + "]");
  EXPECT_TRUE(none.allNone);
  const std::string twoToOne = StreamBody("/FunctionType 4 /Domain [0 1 0 1] /Range [0 1]", "{ pop }");
  EXPECT_TRUE(ParseValue("[/DeviceN [/None /None] /DeviceGray 3 0 R]", "<< >>", false, {twoToOne}).allNone);
  EXPECT_FALSE(ParseValue("[/DeviceN [/None /Cyan] /DeviceGray 3 0 R]", "<< >>", false, {twoToOne}).allNone);
  struct Bad {
    const char* name;
    std::string value;
  };
  const Bad bad[] = {
      {"alternate Pattern", "[/Separation /S /Pattern " + gray + "]"},
      {"alternate Indexed", "[/Separation /S [/Indexed /DeviceGray 0 <00>] " + gray + "]"},
      {"alternate Separation", "[/Separation /S [/Separation /T /DeviceGray " + gray + "] " + gray + "]"},
      {"function outputs differ from the alternate", "[/Separation /S /DeviceGray " + rgb + "]"},
      {"function inputs differ from the colorants", "[/DeviceN [/A /B] /DeviceRGB " + rgb + "]"},
      {"Identity of another count", "[/DeviceN [/A /B] /DeviceGray /Identity]"},
      {"tint transform of another name", "[/Separation /S /DeviceGray /Linear]"},
      {"tint transform of another type", "[/Separation /S /DeviceGray 5]"},
      {"colorants of another type", "[/Separation 5 /DeviceGray " + gray + "]"},
  };
  for (const Bad& b : bad) EXPECT_EQ(ParseCode(b.value), 2u) << b.name;
}

TEST_F(ColorSpaceTest, IccBasedStreamsAndTheirFallBacks) {
  const std::string rgbProfile(reinterpret_cast<const char*>(GetEmbeddedRgbProfile()), GetEmbeddedRgbProfileSize());
  struct Case {
    const char* name;
    std::string stream;
    int32_t count;       // 0: the code below
    const char* device;  // the device space it falls back to, or null
    uint32_t code;
  };
  const Case cases[] = {
      {"garbage, N 3", StreamBody("/N 3", "not a profile"), 3, "RGB", 0},
      {"garbage, N 1", StreamBody("/N 1", "not a profile"), 1, "Gray", 0},
      {"garbage, Alternate DeviceCMYK, N 3", StreamBody("/N 3 /Alternate /DeviceCMYK", "garbage"), 0, nullptr, 2},
      {"garbage, Alternate DeviceCMYK, N 4", StreamBody("/N 4 /Alternate /DeviceCMYK", "garbage"), 4, "CMYK", 0},
      {"garbage, N 2", StreamBody("/N 2", "garbage"), 0, nullptr, 2},
      {"garbage, Alternate of another type", StreamBody("/N 3 /Alternate 5", "garbage"), 0, nullptr, 2},
      {"an RGB profile, N 4", StreamBody("/N 4", rgbProfile), 4, "CMYK", 0},
      {"an RGB profile, N 3", StreamBody("/N 3", rgbProfile), 3, nullptr, 0},
      {"an RGB profile, Range of 4", StreamBody("/N 3 /Range [0 1 0 1]", rgbProfile), 3, "RGB", 0},
  };
  for (const Case& c : cases) {
    std::optional<uint32_t> code;
    ColorSpaceRecord record;
    code = RaisedCode([&] { record = ParseValue("[/ICCBased 3 0 R]", "<< >>", false, {c.stream}); });
    if (c.count == 0) {
      EXPECT_EQ(code, c.code) << c.name;
      continue;
    }
    ASSERT_EQ(code, std::nullopt) << c.name;
    EXPECT_EQ(record.componentCount, c.count) << c.name;
    if (c.device == nullptr) {
      EXPECT_NE(record.space.Get(), colors_->DeviceRgb().Get()) << c.name;
    } else {
      const std::string device = c.device;
      ColorSpace* expected = device == "RGB"    ? colors_->DeviceRgb().Get()
                             : device == "Gray" ? colors_->DeviceGray().Get()
                                                : colors_->DeviceCmyk().Get();
      EXPECT_EQ(record.space.Get(), expected) << c.name;
    }
  }
}

TEST_F(ColorSpaceTest, TwoArraysOfOneStreamShareOneProfile) {
  const std::string rgbProfile(reinterpret_cast<const char*>(GetEmbeddedRgbProfile()), GetEmbeddedRgbProfileSize());
  Open({"<< /ColorSpace << /A [/ICCBased 2 0 R] /B [/ICCBased 2 0 R] >> >>",
        StreamBody("/N 3 /Range [0 1 0 1 0 1]", rgbProfile)});
  const ColorSpaceRecord a = ColorSpace::Parse(*colors_, "A", Resources(), false, true, nullptr, 0, false);
  const ColorSpaceRecord b = ColorSpace::Parse(*colors_, "B", Resources(), false, true, nullptr, 0, false);
  ASSERT_TRUE(a.space);
  EXPECT_EQ(a.space.Get(), b.space.Get());
  EXPECT_EQ(a.space->Ranges().size(), 6u);
}

TEST_F(ColorSpaceTest, DefaultSpacesReplaceDeviceFamiliesOfTheirCount) {
  const std::string calRgb = "[/CalRGB << /WhitePoint [0.9505 1 1.089] >>]";
  struct Case {
    const char* name;
    std::string resources;
    const char* family;
    bool replaced;
  };
  const Case cases[] = {
      {"DefaultRGB of a CalRGB", "<< /ColorSpace << /DefaultRGB " + calRgb + " >> >>", "/DeviceRGB", true},
      {"DefaultRGB naming DeviceRGB", "<< /ColorSpace << /DefaultRGB [/DeviceRGB] >> >>", "/DeviceRGB", false},
      {"DefaultRGB as a bare name", "<< /ColorSpace << /DefaultRGB /CalRGB >> >>", "/DeviceRGB", false},
      {"DefaultCMYK of three components", "<< /ColorSpace << /DefaultCMYK " + calRgb + " >> >>", "/DeviceCMYK",
       false},
      {"DefaultCMYK is not for CalCMYK", "<< /ColorSpace << /DefaultCMYK [/ICCBased 3 0 R] >> >>", "[/CalCMYK]",
       false},
      {"a broken DefaultGray", "<< /ColorSpace << /DefaultGray [/CalGray << >>] >> >>", "/DeviceGray", false},
  };
  for (const Case& c : cases) {
    ColorSpaceRecord record = ParseValue(c.family, c.resources, false, {StreamBody("/N 4", "x")});
    ColorSpace* device = record.componentCount == 1   ? colors_->DeviceGray().Get()
                         : record.componentCount == 3 ? colors_->DeviceRgb().Get()
                                                      : colors_->DeviceCmyk().Get();
    EXPECT_EQ(record.space.Get() != device, c.replaced) << c.name;
  }
}

TEST_F(ColorSpaceTest, PatternSpacesAndResourceLimits) {
  ColorSpaceRecord plain = ParseValue("[/Pattern]");
  EXPECT_EQ(plain.kind, ColorSpaceRecord::kPattern);
  EXPECT_FALSE(plain.space);
  ColorSpaceRecord underlying = ParseValue("[/Pattern /DeviceRGB]");
  EXPECT_EQ(underlying.kind, ColorSpaceRecord::kPattern);
  EXPECT_TRUE(underlying.hasUnderlying);
  EXPECT_EQ(underlying.componentCount, 3);
  EXPECT_EQ(ParseCode("[/Pattern /Pattern]"), 2u);
  EXPECT_EQ(ParseCode("[/Unknown]"), 2u);
  EXPECT_EQ(ParseCode("[/CalRGB]"), 2u);
  // Resources that name each other end in an error, not a crash.
  EXPECT_EQ(ParseCode("/A", "<< /ColorSpace << /A [/Indexed /B 0 <00>] /B [/Indexed /A 0 <00>] >> >>"), 2u);
  EXPECT_EQ(ParseCode("/A", "<< /ColorSpace << /A /A >> >>"), 2u);
  // A description resolves once and keeps its record.
  Open({"<< /ColorSpace << /P [/Pattern /DeviceGray] >> >>"});
  ColorSpaceDesc desc("P", Resources());
  const ColorSpaceRecord& first = desc.Resolve(*colors_);
  EXPECT_EQ(first.componentCount, 1);
  EXPECT_EQ(&desc.Resolve(*colors_), &first);
  EXPECT_EQ(ColorSpaceRecord::DeviceGray(*colors_).space.Get(), colors_->DeviceGray().Get());
}

TEST_F(ColorSpaceTest, FromObjectAndImageSpaces) {
  Open({"<< /ColorSpace << /CS0 [/Indexed /DeviceGray 0 <00>] >> >>", "[/DeviceGray]", "5", "/CS0",
        "[/I /G 0 <00>]"});
  streams::Ref<ColorSpace> gray = ColorSpace::FromObject(*colors_, document_->Object(2), Resources());
  EXPECT_EQ(gray.Get(), colors_->DeviceGray().Get());
  EXPECT_EQ(RaisedCode([&] { ColorSpace::FromObject(*colors_, document_->Object(3), Resources()); }), 2u);
  // An Indexed space reached through a resource name is indexed too.
  ImageColorSpace named = ImageColorSpace::Parse(*colors_, document_->Object(4), Resources(), true, 8, nullptr);
  EXPECT_TRUE(named.indexed);
  ImageColorSpace abbreviated = ImageColorSpace::Parse(*colors_, document_->Object(5), Resources(), true, 8, nullptr);
  EXPECT_TRUE(abbreviated.indexed);
  EXPECT_EQ(abbreviated.componentCount, 1);
  EXPECT_EQ(RaisedCode([&] { ImageColorSpace::Parse(*colors_, document_->Object(2), Resources(), true, 3, nullptr); }),
            2u);
  EXPECT_EQ(RaisedCode([&] { ImageColorSpace::Parse(*colors_, document_->Object(3), Resources(), true, 8, nullptr); }),
            2u);
  EXPECT_EQ(RaisedCode([&] {
              ImageColorSpace::Parse(*colors_, document_->Object(5), Resources(), false, 8, nullptr);
            }),
            2u);
}

}  // namespace
}  // namespace color
