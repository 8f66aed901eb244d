// The file argument of a command line, and the hand-over descriptor a
// second instance sends.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "shell/CommandLine.h"

namespace shell {
namespace {

std::u16string FileOf(const char16_t* commandLine) {
  WString file;
  EXPECT_TRUE(GetCommandLineFile(commandLine, file));
  return file.Chars();
}

TEST(CommandLineTest, TheFileIsTheLastTokenWithoutQuotes) {
  struct Case {
    const char* name;
    const char16_t* commandLine;
    const char16_t* file;
  };
  const Case cases[] = {
      {"empty", u"", u""},
      {"null", nullptr, u""},
      {"blanks only", u"   ", u""},
      {"unquoted blank splits", u"\\My Documents\\a.pdf", u"Documents\\a.pdf"},
      {"quoted path with blanks", u"\"\\My Documents\\a b.pdf\"", u"\\My Documents\\a b.pdf"},
      {"two names give the second", u"first.pdf second.pdf", u"second.pdf"},
      {"leading and trailing blanks", u"  x.pdf  ", u"x.pdf"},
      {"a TAB does not separate", u"a.pdf\tb.pdf", u"a.pdf\tb.pdf"},
      {"quotes inside a token are removed", u"a\"b c\"d", u"ab cd"},
      // The quote state carries over: an unclosed quote swallows the rest.
      {"unclosed quote", u"\"a.pdf b.pdf", u"a.pdf b.pdf"},
      {"empty quotes replace the result", u"a.pdf \"\"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FileOf(c.commandLine), std::u16string(c.file));
  }
}

// The descriptor's bytes, as a second instance would send them.
std::vector<uint8_t> Bytes(const std::u16string& text, bool terminate = true) {
  std::vector<uint8_t> bytes(text.size() * 2);
  if (!bytes.empty()) std::memcpy(bytes.data(), text.data(), bytes.size());
  if (terminate) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

TEST(CommandLineTest, HandOverDescriptorsAreCheckedBeforeTheirTextIsRead) {
  struct Case {
    const char* name;
    platform::WPARAM wParam;
    std::vector<uint8_t> bytes;
    bool nullData;
    bool accepted;
    const char16_t* path;
  };
  std::vector<uint8_t> odd = Bytes(u"a.pdf");
  odd.push_back(0);  // an odd count: the last unit would be half outside
  const Case cases[] = {
      {"blanks, TABs and quotes around a path", 0, Bytes(u" \t \"\\Docs\\a b.pdf\"\t  "), false, true,
       u"\\Docs\\a b.pdf"},
      {"plain path", 0, Bytes(u"\\x.pdf"), false, true, u"\\x.pdf"},
      {"wParam not 0", 1, Bytes(u"\\x.pdf"), false, false, u""},
      {"no data", 0, Bytes(u"\\x.pdf"), true, false, u""},
      {"not terminated", 0, Bytes(u"\\x.pdf", false), false, false, u""},
      {"odd byte count", 0, odd, false, false, u""},
      {"one byte", 0, {0}, false, false, u""},
      {"terminator only names no file", 0, Bytes(u""), false, false, u""},
      {"blanks only name no file", 0, Bytes(u" \t "), false, false, u""},
      // A zero inside the text ends it there.
      {"inner terminator", 0, Bytes(std::u16string(u"\\a.pdf\0junk", 11)), false, true, u"\\a.pdf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> data = c.bytes;
    platform::COPYDATASTRUCT descriptor{0, static_cast<platform::DWORD>(data.size()),
                                        c.nullData ? nullptr : data.data()};
    WString path;
    EXPECT_EQ(PathFromCopyData(c.wParam, &descriptor, path), c.accepted);
    EXPECT_EQ(std::u16string(path.Chars()), std::u16string(c.path));
  }
  WString path;
  EXPECT_FALSE(PathFromCopyData(0, nullptr, path));
}

}  // namespace
}  // namespace shell
