#include "shell/Help.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/Files.h"
#include "tests/platform/TempFolder.h"

namespace shell {
namespace {

// Our pages, copied from the source tree: a page for every language, and
// English for a language that has none.
TEST(HelpTest, PageOfTheLanguageOrEnglish) {
  platform::testing::TempFolder folder;
  const std::filesystem::path pages = std::filesystem::path(FOLVANE_SOURCE_DIR) / "resources" / "help";
  for (const char* name : {"KVTD0409.htm", "KVTD0407.htm"}) {
    std::filesystem::copy_file(pages / name, std::filesystem::path(folder.path()) / name);
  }
  const std::u16string device = platform::DevicePathFromHost(folder.path()) + u"\\";
  struct Case {
    platform::LANGID language;
    bool found;
    const char16_t* name;
  };
  const Case cases[] = {{0x407, true, u"KVTD0407.htm"}, {0x409, true, u"KVTD0409.htm"}, {0x40C, false, u"KVTD0409.htm"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    WString path;
    EXPECT_EQ(FindHelpFile(device.c_str(), c.language, path), c.found);
    EXPECT_EQ(std::u16string(path.Chars()), device + c.name);
  }
  // The source tree holds a page for each of the 26 languages.
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(pages)) count += entry.path().extension() == ".htm";
  EXPECT_EQ(count, 26);
}

}  // namespace
}  // namespace shell
