// Inline images recorded from content: the data read through their
// filters into rows held in memory, the end of the data, the images that
// are skipped and the sizes that are refused.
#include <gtest/gtest.h>
#include <zlib.h>

#include <optional>
#include <string>
#include <vector>

#include "content/InlineImage.h"
#include "content/ProgramArrayOperands.h"
#include "tests/content/ContentTestSupport.h"

namespace {

using contenttest::Program;

struct Captured {
  int32_t width = 0;
  int32_t height = 0;
  uint32_t components = 0;
  bool imageMask = false;
  content::ColorSpaceKind kind = content::ColorSpaceKind::kDeviceGray;
  bool hasOperands = false;
  bool indexed = false;
  bool inverted = false;
  std::vector<double> decode;
  std::string samples;
};

// Logs like the logging handler and keeps what each PaintImage received.
class ImageHandler final : public content::LoggingHandler {
 public:
  using LoggingHandler::LoggingHandler;
  void PaintImage(const content::InlineImage& image, uint32_t options) override {
    LoggingHandler::PaintImage(image, options);
    Captured captured;
    captured.width = image.width;
    captured.height = image.height;
    captured.components = image.components;
    captured.imageMask = image.imageMask;
    captured.kind = image.deviceKind;
    captured.hasOperands = image.colorSpace != nullptr;
    captured.indexed = image.indexed;
    captured.inverted = image.inverted;
    if (image.decode != nullptr) {
      for (uint32_t i = 0; i < 2 * image.components; ++i) captured.decode.push_back(image.decode[i] / 65536.0);
    }
    if (image.SampleBytes() != 0) {
      captured.samples.assign(reinterpret_cast<const char*>(image.samples), image.SampleBytes());
    }
    images.push_back(captured);
  }
  std::vector<Captured> images;
};

std::string Deflate(const std::string& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(data.data()),
                      static_cast<uLong>(data.size()), 9),
            Z_OK);
  out.resize(size);
  return out;
}

class InlineImageTest : public ::testing::Test {
 protected:
  InlineImageTest() { context_.memory.SetBudget(runtime::kNoLimit); }

  struct Result {
    std::optional<uint32_t> error;
    std::string log;
    std::vector<Captured> images;
  };

  Result Run(const std::string& content, const std::string& resources = "<<>>") {
    Program program(&context_, content, resources);
    content::PageInfo page;
    ImageHandler handler(&context_, page, &program.Resources());
    Result result;
    result.error = testsupport::RaisedCode(
        [&] { content::ContentStream::Run(program.Machine(), handler); });
    result.log = handler.Log();
    result.images = handler.images;
    return result;
  }

  runtime::LibraryContext context_;
};

TEST_F(InlineImageTest, RowsComeThroughTheNamedFilters) {
  const std::string rgb("\x01\x02\x03" "EI " "\x00\xFF\x7F" "E\nI" "\x10\x20\x30", 15);
  const std::string rows = rgb.substr(0, 9) + std::string("\x45\x49\x0A", 3) + rgb.substr(9);
  std::string predicted;  // PNG rows, filter type 0 ("None") each
  for (int row = 0; row < 2; ++row) predicted += '\0' + rows.substr(row * 9, 9);
  struct Case {
    const char* name;
    std::string content;
    std::string samples;
  };
  const Case cases[] = {
      {"AHx data directly after ID", "BI /W 2 /H 1 /CS /G /F /AHx ID00FF> EI 1 w",
       std::string("\x00\xFF", 2)},
      {"full names, one-element arrays",
       "BI /Width 2 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8 "
       "/Filter [/ASCIIHexDecode] /DecodeParms [null] ID 00FF> EI 1 w",
       std::string("\x00\xFF", 2)},
      {"A85 data holding an E directly after ID", "BI /W 4 /H 1 /CS /G /F /A85 ID@:E_W~> EI 1 w",
       "abcd"},
      {"AHx without its end marker stops at EI", "BI /W 2 /H 1 /CS /G /F /AHx ID 00FF\nEI 1 w",
       std::string("\x00\xFF", 2)},
      {"filter output beyond the rows", "BI /W 1 /H 1 /CS /G /F /AHx ID 00FF> EI 1 w",
       std::string("\x00", 1)},
      // The error comes in the filter's second output block, after the rows.
      {"broken data after the rows",
       "BI /W 2 /H 1 /CS /G /F /A85 ID " + std::string(1100, 'z') + "uuuuu~> EI 1 w",
       std::string(2, '\0')},
      {"Flate", "BI /W 3 /H 2 /CS /RGB /BPC 8 /F /Fl ID " + Deflate(rows) + "\nEI 1 w", rows},
      {"Flate with a predictor in DP",
       "BI /W 3 /H 2 /CS /RGB /F /FlateDecode /DP << /Predictor 15 /Colors 3 /Columns 3 >> ID " +
           Deflate(predicted) + " EI 1 w",
       rows},
      {"unfiltered samples holding EI", "BI /W 4 /H 1 /CS /G ID a EI\nEI 1 w", "a EI"},
      {"unfiltered RGB rows", "BI /W 1 /H 2 /CS /RGB ID abcdef EI 1 w", "abcdef"},
      {"one stray byte after the data", "BI /W 2 /H 1 /CS /G ID abX EI 1 w", "ab"},
      {"one stray byte right before EI", "BI /W 2 /H 1 /CS /G ID abXEI 1 w", "ab"},
      {"an image mask packs its bits",
       std::string("BI /W 9 /H 2 /IM true ID \xFF\x80\x00\x01 EI 1 w", 36),
       std::string("\xFF\x80\x00\x01", 4)},
  };
  for (const Case& c : cases) {
    const Result result = Run(c.content);
    EXPECT_FALSE(result.error) << c.name;
    ASSERT_EQ(result.images.size(), 1u) << c.name;
    EXPECT_EQ(result.images[0].samples, c.samples) << c.name;
    // What follows "EI" is played as well.
    EXPECT_NE(result.log.find("SetLineWidth 1\n"), std::string::npos) << c.name;
  }
}

TEST_F(InlineImageTest, DescriptionAndColourSpaces) {
  const std::string resources =
      "<< /ColorSpace << /Spot [/DeviceN [/A /B] /DeviceCMYK null] /Rgb /DeviceRGB "
      "/Abbreviated /RGB >> >>";
  struct Case {
    const char* name;
    std::string content;
    uint32_t components;
    content::ColorSpaceKind kind;
    bool operands;
  };
  using Kind = content::ColorSpaceKind;
  const Case cases[] = {
      {"abbreviated device name", "BI /W 1 /H 1 /CS /CMYK ID abcd EI", 4, Kind::kDeviceCmyk,
       false},
      {"inline indexed array",
       std::string("BI /W 2 /H 1 /CS [/I /RGB 1 <000000FFFFFF>] ID \x00\x01 EI", 52), 1,
       Kind::kNamed, true},
      {"resource naming a device space", "BI /W 1 /H 1 /CS /Rgb ID abc EI", 3, Kind::kDeviceRgb,
       false},
      {"resource DeviceN", "BI /W 1 /H 1 /CS /Spot ID ab EI", 2, Kind::kNamed, true},
      {"image mask has no space", "BI /W 1 /H 1 /IM true /CS /RGB ID \x80 EI", 1,
       Kind::kDeviceGray, false},
  };
  for (const Case& c : cases) {
    const Result result = Run(c.content, resources);
    EXPECT_FALSE(result.error) << c.name;
    ASSERT_EQ(result.images.size(), 1u) << c.name;
    EXPECT_EQ(result.images[0].components, c.components) << c.name;
    EXPECT_EQ(result.images[0].kind, c.kind) << c.name;
    EXPECT_EQ(result.images[0].hasOperands, c.operands) << c.name;
  }
  // The inline array is kept in the recording arena and read from there.
  Program program(&context_,
                  std::string("BI /W 2 /H 1 /CS [/I /RGB 1 <000000FFFFFF>] ID \x00\x01 EI", 52));
  content::PageInfo page;
  ImageHandler handler(&context_, page, &program.Resources());
  content::ContentStream::Run(program.Machine(), handler);
  ASSERT_EQ(program.Machine().objects.Size(), 1u);
  auto& image = static_cast<content::InlineImage&>(*program.Machine().objects[0]);
  EXPECT_EQ(image.Kind(), 37u);
  EXPECT_EQ(std::string(image.colorSpace->NameAt(1)), "RGB");
  EXPECT_EQ(image.colorSpace->IntAt(2), 1);
}

TEST_F(InlineImageTest, SeparatorsAndRepeatedKeys) {
  // After ID, CR LF is one end of line: binary data start after both bytes
  // (they started one byte late, shifting raw samples and losing DCT
  // images). A key given twice, in full and abbreviated or twice alike,
  // takes its later value, as other readers take it.
  struct Case {
    const char* name;
    std::string content;
    int32_t width;
    int32_t height;
    std::string samples;
  };
  const Case cases[] = {
      {"CR LF after ID", "BI /W 2 /H 1 /CS /G ID\r\nab EI 2 w", 2, 1, "ab"},
      {"CR alone", "BI /W 2 /H 1 /CS /G ID\rab EI 2 w", 2, 1, "ab"},
      {"LF alone, data starting with LF", "BI /W 2 /H 1 /CS /G ID\n\nb EI 2 w", 2, 1, "\nb"},
      {"CR LF before Flate data", "BI /W 2 /H 1 /CS /G /F /Fl ID\r\n" + Deflate("xy") + " EI 2 w",
       2, 1, "xy"},
      {"W then Width", "BI /W 1 /Width 3 /H 1 /CS /G ID abc EI 2 w", 3, 1, "abc"},
      {"Height then H", "BI /W 1 /Height 3 /H 2 /CS /G ID ab EI 2 w", 1, 2, "ab"},
      {"W twice", "BI /W 5 /W 2 /H 1 /CS /G ID ab EI 2 w", 2, 1, "ab"},
  };
  for (const Case& c : cases) {
    const Result result = Run(c.content);
    EXPECT_FALSE(result.error) << c.name;
    ASSERT_EQ(result.images.size(), 1u) << c.name;
    EXPECT_EQ(result.images[0].width, c.width) << c.name;
    EXPECT_EQ(result.images[0].height, c.height) << c.name;
    EXPECT_EQ(result.images[0].samples, c.samples) << c.name;
    EXPECT_NE(result.log.find("SetLineWidth 2"), std::string::npos) << c.name;
  }
}

TEST_F(InlineImageTest, SkippedImagesLetThePageGoOn) {
  const std::string resources = "<< /ColorSpace << /Pat /Pattern /Abbreviated /RGB >> >>";
  struct Case {
    const char* name;
    std::string content;
  };
  const Case cases[] = {
      {"unknown filter", "BI /W 1 /H 1 /CS /G /F /JPX ID x EI 2 w"},
      {"unknown colour space", "BI /W 1 /H 1 /CS /Nope ID x EI 2 w"},
      {"no colour space", "BI /W 1 /H 1 ID x EI 2 w"},
      {"pattern space", "BI /W 1 /H 1 /CS /Pat ID x EI 2 w"},
      {"abbreviations only in the content", "BI /W 1 /H 1 /CS /Abbreviated ID x EI 2 w"},
      {"Indexed name without an array", "BI /W 1 /H 1 /CS /I ID x EI 2 w"},
      {"corrupt A85 data", "BI /W 1 /H 1 /CS /G /F /A85 ID uuuuu~> EI 2 w"},
      {"filtered data shorter than the image", "BI /W 4 /H 4 /CS /G /F /AHx ID 00> EI 2 w"},
      // Images beyond the size limit are passed over too: one must not end
      // the page.
      {"huge width and height", "BI /W 100000 /H 100000 /CS /RGB ID x EI 2 w"},
      {"sizes that overflow 64 bits",
       "BI /W 2147483647 /H 2147483647 /BPC 16 /CS [/DeviceN [/A /B /C /D /E /F /G /H /I /J "
       "/K /L /M /N /O /P /Q /R /S /T /U /V /W /X /Y /Z /a /b /c /d /e /f] /G null] ID x EI 2 w"},
      {"one huge row", "BI /W 2147483647 /H 1 /CS /G ID x EI 2 w"},
  };
  for (const Case& c : cases) {
    const Result result = Run(c.content, resources);
    EXPECT_FALSE(result.error) << c.name;
    EXPECT_TRUE(result.images.empty()) << c.name;
    EXPECT_EQ(result.log, "SetLineWidth 2\n") << c.name;
  }
}

TEST_F(InlineImageTest, BadEndsAndSizesRaise) {
  struct Case {
    const char* name;
    std::string content;
    uint32_t code;
  };
  const Case cases[] = {
      {"two stray bytes before EI", "BI /W 2 /H 1 /CS /G ID abXY EI 1 w", 2},
      {"no EI after the data", "BI /W 2 /H 1 /CS /G ID ab 1 w", 2},
      {"unfiltered data shorter than the image", "BI /W 4 /H 4 /CS /G ID ab EI 1 w", 2},
      {"binary data run into ID", "BI /W 1 /H 1 /CS /G /F /Fl IDx EI 1 w", 2},
      {"no white space after ID", "BI /W 1 /H 1 /CS /G ID\x01 EI 1 w", 2},
      {"missing width", "BI /H 1 /CS /G ID x EI 1 w", 2},
      {"negative height", "BI /W 1 /H -1 /CS /G ID x EI 1 w", 2},
      // An image has at least one row and one column.
      {"no rows", "BI /W 4 /H 0 /CS /G ID EI 1 w", 2},
      {"no columns", "BI /W 0 /H 4 /CS /G ID EI 1 w", 2},
      {"Decode shorter than the components", "BI /W 1 /H 1 /CS /RGB /D [0 1 0 1] ID abc EI 1 w", 2},
      {"Decode of another type", "BI /W 1 /H 1 /CS /G /D 1 ID a EI 1 w", 2},
      {"bits per component 3", "BI /W 1 /H 1 /BPC 3 /CS /G ID x EI 1 w", 2},
  };
  for (const Case& c : cases) {
    const Result result = Run(c.content);
    EXPECT_EQ(result.error, c.code) << c.name;
    EXPECT_TRUE(result.images.empty()) << c.name;
    EXPECT_EQ(result.log.find("SetLineWidth"), std::string::npos) << c.name;
  }
}

// Rows hold every component: (width x bits x components + 7) / 8 bytes, so
// that the data of a multi-component image end where its EI stands.
TEST_F(InlineImageTest, RowsHoldEveryComponent) {
  struct Case {
    const char* name;
    std::string content;
    size_t bytes;
  };
  const Case cases[] = {
      {"RGB at 4 bits: 5 bytes a row", "BI /W 3 /H 2 /BPC 4 /CS /RGB ID 0123456789 EI 1 w", 10},
      {"CMYK at 2 bits: 1 byte a row", "BI /W 1 /H 3 /BPC 2 /CS /CMYK ID abc EI 1 w", 3},
      {"gray at 16 bits: 6 bytes a row", "BI /W 3 /H 1 /BPC 16 /CS /G ID abcdef EI 1 w", 6},
  };
  for (const Case& c : cases) {
    const Result result = Run(c.content);
    EXPECT_FALSE(result.error) << c.name;
    ASSERT_EQ(result.images.size(), 1u) << c.name;
    EXPECT_EQ(result.images[0].samples.size(), c.bytes) << c.name;
    EXPECT_NE(result.log.find("SetLineWidth 1"), std::string::npos) << c.name;
  }
}

// Decode pairs as the abbreviated "D" or the full key: the default is
// dropped, [1 0] pairs mark the image inverted, an image mask's pairs
// become coverage pairs ([1 0] without "D"), an Indexed image's default is
// [0 2^bits - 1].
TEST_F(InlineImageTest, DecodePairs) {
  struct Case {
    const char* name;
    std::string content;
    std::vector<double> decode;
    bool inverted;
  };
  const Case cases[] = {
      {"default gray", "BI /W 1 /H 1 /CS /G /D [0 1] ID a EI", {}, false},
      {"RGB [0 1 0 1 0 1] dropped", "BI /W 1 /H 1 /CS /RGB /Decode [0 1 0 1 0 1] ID abc EI", {}, false},
      {"RGB [1 0 1 0 1 0] kept", "BI /W 1 /H 1 /CS /RGB /D [1 0 1 0 1 0] ID abc EI", {1, 0, 1, 0, 1, 0}, true},
      {"extra entries beyond the components", "BI /W 1 /H 1 /CS /G /D [0 2 7 7] ID a EI", {0, 2}, false},
      {"image mask without D", "BI /W 1 /H 1 /IM true ID \x80 EI", {1, 0}, true},
      {"image mask D [1 0]", "BI /W 1 /H 1 /IM true /D [1 0] ID \x80 EI", {}, false},
      {"indexed default", "BI /W 1 /H 1 /BPC 2 /CS [/I /G 3 <004080FF>] /D [0 3] ID \x40 EI", {}, false},
      {"indexed reversed", "BI /W 1 /H 1 /BPC 2 /CS [/I /G 3 <004080FF>] /D [3 0] ID \x40 EI", {3, 0}, false},
  };
  for (const Case& c : cases) {
    const Result result = Run(c.content);
    EXPECT_FALSE(result.error) << c.name;
    ASSERT_EQ(result.images.size(), 1u) << c.name;
    EXPECT_EQ(result.images[0].decode, c.decode) << c.name;
    EXPECT_EQ(result.images[0].inverted, c.inverted) << c.name;
  }
}

}  // namespace
