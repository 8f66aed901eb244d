// The object parser over literal PDF text: every token kind, the number
// clamping rules and the syntax errors.
#include "pdf/TokenParser.h"

#include <gtest/gtest.h>

#include <string>

#include "pdf/ObjectPrinter.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "streams/MemoryDataSource.h"
#include "streams/SubRangeStream.h"
#include "tests/support/CaughtError.h"

namespace {

using runtime::ObjectTag;
using runtime::ObjectValue;

class TokenParserTest : public ::testing::Test {
 protected:
  // The first object of `text` in PDF syntax, or "error N" with the runtime
  // code it raised.
  std::string Parse(const std::string& text, ObjectTag* tag = nullptr) {
    std::string printed;
    auto error = testsupport::CaughtError(&context_, [&] {
      ObjectValue value = ParseValue(text);
      if (tag != nullptr) *tag = value.tag;
      printed = pdf::ObjectPrinter::ToString(value);
    });
    if (error) return "error " + std::to_string(error->code);
    return printed;
  }

  ObjectValue ParseValue(const std::string& text, uint64_t* endPosition = nullptr) {
    auto source = streams::MakeRef<streams::MemoryDataSource>(
        &context_, reinterpret_cast<const uint8_t*>(text.data()),
        static_cast<uint32_t>(text.size()));
    auto stream = streams::MakeRef<streams::SubRangeStream>(&context_, source, 0);
    ObjectValue value = pdf::TokenParser::Parse(&context_, *stream, *store_, {});
    if (endPosition != nullptr) *endPosition = stream->Position();
    return value;
  }

  runtime::LibraryContext context_;
  runtime::StoreRef store_ =
      runtime::StoreRef::Adopt(&context_, runtime::ValueStore::New(&context_));
};

struct TokenCase {
  const char* name;
  const char* text;
  const char* expected;
  ObjectTag tag;
};

TEST_F(TokenParserTest, TokensAndNumbers) {
  const TokenCase cases[] = {
      {"largest integer", "2147483647", "2147483647", ObjectTag::kInteger},
      {"one above overflows", "2147483648", "2147483647", ObjectTag::kOverflowedNumber},
      {"below smallest overflows", "-2147483649", "-2147483648", ObjectTag::kOverflowedNumber},
      {"leading zeros do not count", "00000000002147483647", "2147483647", ObjectTag::kInteger},
      {"many digits", "123456789012345678901234567890", "2147483647",
       ObjectTag::kOverflowedNumber},
      {"half truncates", "0.5", "0.49998", ObjectTag::kReal},
      {"tiny fraction vanishes", "1.000001", "1", ObjectTag::kReal},
      {"trailing period is real", "5.", "5", ObjectTag::kReal},
      {"real integer part clamps", "32768.0", "32767.99998", ObjectTag::kReal},
      {"negative real clamps", "-40000.5", "-32767.99998", ObjectTag::kReal},
      {"leading period", "-.25", "-0.24998", ObjectTag::kReal},
      {"letters after a number skipped", "12abc", "12", ObjectTag::kInteger},
      {"signs alone", "+7", "7", ObjectTag::kInteger},
      {"balanced parentheses", "(a(b)c)", "(a\\(b\\)c)", ObjectTag::kString},
      {"escaped close", "(a\\)b)", "(a\\)b)", ObjectTag::kString},
      {"octal escape", "(\\101\\0611)", "(A11)", ObjectTag::kString},
      {"line continuation", "(ab\\\ncd)", "(abcd)", ObjectTag::kString},
      {"CR LF becomes LF", "(a\r\nb\rc)", "(a\\nb\\nc)", ObjectTag::kString},
      {"escapes", "(\\n\\t\\q)", "(\\n\\tq)", ObjectTag::kString},
      {"hex odd digit", "<41 42 4>", "(AB@)", ObjectTag::kString},
      {"hex empty", "<>", "()", ObjectTag::kString},
      {"name hex escape", "/A#20B", "/A#20B", ObjectTag::kName},
      {"name ends in one digit", "/AB#4", "/AB#04", ObjectTag::kName},
      {"name # without digit", "/A#", "/A#00", ObjectTag::kName},
      {"true then name", "[true/Name]", "[true /Name]", ObjectTag::kArray},
      {"keyword glued to letters", "truex", "error 2", ObjectTag::kNull},
      {"nullx", "nullx", "error 2", ObjectTag::kNull},
      {"null", "null", "null", ObjectTag::kNull},
      {"false", " false ", "false", ObjectTag::kBoolean},
      {"reference", "1 0 R", "1 0 R", ObjectTag::kReference},
      {"references in array", "[1 0 R 2 5 R 7]", "[1 0 R 2 5 R 7]", ObjectTag::kArray},
      {"integer then value", "7 /Name", "7", ObjectTag::kInteger},
      {"header skipped", "4 0 obj\n<</A 1>>\nendobj", "<< /A 1 >>", ObjectTag::kDictionary},
      {"comment", "% note\n[1 %x\n 2]", "[1 2]", ObjectTag::kArray},
      {"nested", "<</K [<</L (x)>> 3]>>", "<< /K [<< /L (x) >> 3] >>", ObjectTag::kDictionary},
      {"unterminated string", "(abc", "error 2", ObjectTag::kNull},
      {"unterminated array", "[1 2", "error 2", ObjectTag::kNull},
      {"stray close paren", ")", "error 2", ObjectTag::kNull},
      {"brace", "{", "error 2", ObjectTag::kNull},
      {"stray array end", "]", "error 2", ObjectTag::kNull},
      {"ID outside content", "ID", "error 2", ObjectTag::kNull},
      {"less-than junk", "<x>", "error 2", ObjectTag::kNull},
      {"single > in dictionary", "<</A 1>", "error 2", ObjectTag::kNull},
      {"R without integers", "[/A /B R]", "error 2", ObjectTag::kNull},
      {"nothing", "   ", "error 2", ObjectTag::kNull},
      {"unknown byte", "@", "error 2", ObjectTag::kNull},
  };
  for (const TokenCase& c : cases) {
    ObjectTag tag = ObjectTag::kNull;
    EXPECT_EQ(Parse(c.text, &tag), c.expected) << c.name;
    if (std::string(c.expected).rfind("error", 0) != 0) {
      EXPECT_EQ(tag, c.tag) << c.name;
    }
  }
}

TEST_F(TokenParserTest, RealsAreExactFixedValues) {
  const struct {
    const char* text;
    runtime::Fixed expected;
  } cases[] = {
      {"0.5", 0x7FFF},       {"1.000001", 0x10000},      {"5.", 0x50000},
      {"32768.0", 0x7FFFFFFF}, {"-32768.0", static_cast<runtime::Fixed>(0x80000001u)},
      {"-1.5", -0x17FFF},    {"0.1", 0x1999},           {"32767.99999", 0x7FFFFFFE},
  };
  for (const auto& c : cases) {
    runtime::Fixed value = 0;
    auto error = testsupport::CaughtError(&context_, [&] { value = ParseValue(c.text).AsNumber(); });
    EXPECT_FALSE(error) << c.text;
    EXPECT_EQ(value, c.expected) << c.text;
  }
}

TEST_F(TokenParserTest, StreamKeywordRecordsDataPosition) {
  const struct {
    const char* name;
    std::string text;
    long dataPosition;  // -1: error
  } cases[] = {
      {"LF", "<</Length 3>>stream\nabc", 20},
      {"CR LF", "<</Length 3>> stream\r\nabc", 22},
      {"lone CR", "<</Length 3>>\nstream\rabc", 21},
      {"spaces before LF", "<</Length 3>>stream  \nabc", 22},
      {"no stream", "<</Length 3>> endobj", 0},
      {"other byte after keyword", "<</Length 3>>stream abc", -1},
  };
  for (const auto& c : cases) {
    long position = -2;
    auto error = testsupport::CaughtError(&context_, [&] {
      ObjectValue value = ParseValue(c.text);
      position = static_cast<long>(value.AsDictionary().Record()->streamPosition);
    });
    EXPECT_EQ(error ? -1 : position, c.dataPosition) << c.name;
  }
}

TEST_F(TokenParserTest, DeepNestingIsRefused) {
  std::string deep(pdf::TokenParser::kMaxNesting + 1, '[');
  deep += std::string(pdf::TokenParser::kMaxNesting + 1, ']');
  EXPECT_EQ(Parse(deep), "error 2");
  std::string allowed(pdf::TokenParser::kMaxNesting, '[');
  allowed += std::string(pdf::TokenParser::kMaxNesting, ']');
  EXPECT_NE(Parse(allowed), "error 2");
}

class Rot1 final : public pdf::StringDecryptor {
 public:
  void DecryptString(uint8_t* bytes, uint32_t count) override {
    ++calls;
    for (uint32_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(bytes[i] + 1);
  }
  int calls = 0;
};

TEST_F(TokenParserTest, StringsGoThroughTheDecryptorOneByOne) {
  const std::string text = "[(ab) <4142> /ab]";
  auto source = streams::MakeRef<streams::MemoryDataSource>(
      &context_, reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()));
  auto stream = streams::MakeRef<streams::SubRangeStream>(&context_, source, 0);
  Rot1 rot;
  pdf::ParseSettings settings;
  settings.decryptor = &rot;
  ObjectValue value = pdf::TokenParser::Parse(&context_, *stream, *store_, settings);
  EXPECT_EQ(pdf::ObjectPrinter::ToString(value), "[(bc) (BC) /ab]");
  EXPECT_EQ(rot.calls, 2);
}

TEST_F(TokenParserTest, InlineImageParametersEndAtID) {
  struct Case {
    const char* name;
    std::string text;
    const char* printed;  // or "error N"
    uint64_t end;         // read position afterwards
  };
  const Case cases[] = {
      {"white space after ID", "/W 1 /F /AHx ID 00>", "<< /W 1 /F /AHx >>", 15},
      // ASCII data may run straight into the keyword.
      {"data run into ID", "/W 1 /F /AHx ID00FF>", "<< /W 1 /F /AHx >>", 15},
      {"ID ending the text", "/W 2 ID", "<< /W 2 >>", 7},
      {"a keyword that only starts with I", "/W 1 IX 0", "error 2", 0},
      {"no ID at all", "/W 1 /H 2", "error 2", 0},
  };
  for (const Case& c : cases) {
    auto source = streams::MakeRef<streams::MemoryDataSource>(
        &context_, reinterpret_cast<const uint8_t*>(c.text.data()),
        static_cast<uint32_t>(c.text.size()));
    auto stream = streams::MakeRef<streams::SubRangeStream>(&context_, source, 0);
    std::string printed;
    auto error = testsupport::CaughtError(&context_, [&] {
      pdf::TokenParser parser(&context_, *stream, *store_, {});
      printed = pdf::ObjectPrinter::ToString(parser.ParseInlineImageParameters());
    });
    if (error) {
      EXPECT_EQ("error " + std::to_string(error->code), c.printed) << c.name;
      continue;
    }
    EXPECT_EQ(printed, c.printed) << c.name;
    EXPECT_EQ(stream->Position(), c.end) << c.name;
  }
}

}  // namespace
