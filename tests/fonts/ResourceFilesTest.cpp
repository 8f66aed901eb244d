// Font resource files beside the program: which names may name a file,
// the paths, presence, the refused compressed variant and the cache of
// external CID font programs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fonts/ResourceFiles.h"
#include "platform/Files.h"
#include "tests/fonts/FontTestSupport.h"
#include "tests/support/CaughtError.h"

namespace fonts {
namespace {

// A program folder of its own with a Resources\CIDFont folder.
class ResourceFolder {
 public:
  ResourceFolder() {
    root_ = std::filesystem::temp_directory_path() /
            ("folvane-resources-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root_ / "Resources" / "CIDFont");
    ResourceFiles::SetProgramFolder(platform::DevicePathFromHost(root_.string() + "/"));
  }
  ~ResourceFolder() {
    ResourceFiles::SetProgramFolder(u"");
    std::error_code error;
    std::filesystem::remove_all(root_, error);
  }
  std::filesystem::path FontFolder() const { return root_ / "Resources" / "CIDFont"; }

 private:
  std::filesystem::path root_;
};

TEST(ResourceFilesTest, OnlyPlainNamesNameFiles) {
  const struct {
    const char* name;
    bool allowed;
  } cases[] = {{"HeiseiKakuGo-W5", true}, {"Ryo_Mincho+Std.L", true}, {"", false},
               {"..", false},             {"a..b", false},            {"../x", false},
               {"a\\b", false},           {"a/b", false},             {"a b", false},
               {"caf\xC3\xA9", false},    {"x:y", false}};
  for (const auto& c : cases) EXPECT_EQ(ResourceFiles::IsFileName(c.name), c.allowed) << c.name;
  EXPECT_FALSE(ResourceFiles::IsFileName(std::string(ResourceFiles::kMaxName + 1, 'a')));
  EXPECT_TRUE(ResourceFiles::IsFileName(std::string(ResourceFiles::kMaxName, 'a')));
}

TEST(ResourceFilesTest, PathsPresenceAndTheProgramCache) {
  EXPECT_TRUE(ResourceFiles::Path("Font", ResourceVariant::kOtf).empty()) << "no program folder";
  ResourceFiles::SetProgramFolder(u"\\Programs\\Viewer\\");
  EXPECT_EQ(ResourceFiles::Path("Font", ResourceVariant::kOtfZ),
            u"\\Programs\\Viewer\\Resources\\CIDFont\\Font.otf.z");
  EXPECT_TRUE(ResourceFiles::Path("../Font", ResourceVariant::kOtf).empty());
  ResourceFolder own;

  const std::string otf = std::string(fonttest::kUrwOpenTypeDir) + "/NimbusSans-Regular.otf";
  ASSERT_TRUE(std::filesystem::exists(otf));
  std::filesystem::copy_file(otf, own.FontFolder() / "TestCid.otf");
  std::filesystem::copy_file(otf, own.FontFolder() / "Packed.otf.zz");
  EXPECT_TRUE(ResourceFiles::FontPresent("TestCid"));
  EXPECT_TRUE(ResourceFiles::FontPresent("Packed"));
  EXPECT_FALSE(ResourceFiles::FontPresent("Missing"));
  EXPECT_FALSE(ResourceFiles::Exists("TestCid", ResourceVariant::kOtfZ));

  runtime::LibraryContext context;
  ExternalCidFonts fonts(&context);
  runtime::CountedRef<FontProgram> first = fonts.Get("TestCid");
  ASSERT_TRUE(first);
  EXPECT_GT(first->GlyphCount(), 100u);
  runtime::CountedRef<FontProgram> again = fonts.Get("TestCid");
  EXPECT_EQ(again.Get(), first.Get());
  EXPECT_EQ(fonts.Count(), 1u);
  EXPECT_FALSE(fonts.Get("Missing"));
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { fonts.Get("Packed"); }), runtime::kUnsupported);
  EXPECT_EQ(fonts.Count(), 1u);
}

}  // namespace
}  // namespace fonts
