// The generator that turns the string files into the table must refuse
// malformed files rather than shift or drop entries silently.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class StringTableGenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = fs::temp_directory_path() /
                ("string_table_gen_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(directory);
  }
  void TearDown() override { fs::remove_all(directory); }

  // Runs the generator on one row file with `entries` entries; the exit status.
  int Run(const std::string& rowText, int entries, std::string* output = nullptr) {
    const fs::path row = directory / "row.txt";
    std::ofstream(row, std::ios::binary) << rowText;
    const fs::path out = directory / "out.cpp";
    const std::string command = std::string("'") + STRING_TABLE_GEN + "' '" + out.string() + "' " +
                                std::to_string(entries) + " '" + row.string() + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    if (output && fs::exists(out)) {
      std::ifstream in(out, std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      *output = text.str();
    }
    return status;
  }

  fs::path directory;
};

TEST_F(StringTableGenTest, RejectsMalformedRows) {
  struct Case {
    const char* name;
    const char* text;
  };
  const Case cases[] = {
      {"missing entry", "0\tA\n"},
      {"index given twice", "0\tA\n0\tB\n1\tC\n"},
      {"index out of range", "0\tA\n1\tB\n2\tC\n"},
      {"no tab", "0 A\n1\tB\n"},
      {"raw tab in text", "0\tA\tB\n1\tC\n"},
      {"unknown escape", "0\tA\\n\n1\tC\n"},
      {"lone backslash", "0\tA\\\n1\tC\n"},
      {"bad UTF-8", "0\t\xC3\x28\n1\tC\n"},
      {"overlong UTF-8", "0\t\xC0\xAF\n1\tC\n"},
      {"UTF-8 surrogate", "0\t\xED\xA0\x80\n1\tC\n"},
      {"truncated UTF-8", "0\tA\n1\t\xE2\x82\n"},
      {"control character", "0\tA\x01\n1\tC\n"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(Run(c.text, 2), 0) << c.name;
  }
}

TEST_F(StringTableGenTest, WritesEscapedUtf16Literals) {
  std::string output;
  ASSERT_EQ(Run("# comment\n\n1\t\xC3\xA9t\xC3\xA9 \"q\" \\\\ \\t x\r\n0\t\xF0\x9F\x98\x80%d\n", 2, &output),
            0);
  EXPECT_NE(output.find("u\"\\U0001F600%d\""), std::string::npos) << output;
  EXPECT_NE(output.find("u\"\\u00E9t\\u00E9 \\\"q\\\" \\\\ \\t x\""), std::string::npos) << output;
}

}  // namespace
