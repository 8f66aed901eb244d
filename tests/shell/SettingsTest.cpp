#include "shell/Settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "ShellRegistryFixture.h"

namespace shell {
namespace {

using platform::HKEY_CURRENT_USER;
using platform::HKEY_LOCAL_MACHINE;

class SettingsTest : public testing::ShellRegistryTest {
 protected:
  std::u16string Recent(uint32_t index) {
    WString entry;
    ReadWriteRecentFile(index, entry, false);
    return std::u16string(entry.Chars(), entry.Length());
  }
  void StoreRecent(uint32_t index, const std::u16string& path) {
    WString entry;
    entry.Assign(path.data(), static_cast<uint32_t>(path.size()));
    ReadWriteRecentFile(index, entry, true);
  }
  void Add(const std::u16string& path) {
    WString entry;
    entry.Assign(path.data(), static_cast<uint32_t>(path.size()));
    AddRecentFile(entry);
  }
  // Files A..J exist and fill the list in that order.
  void FillWithAToJ() {
    for (uint32_t i = 0; i < kRecentFileCount; ++i) {
      StoreRecent(i, MakeFile(std::string(1, static_cast<char>('A' + i))));
    }
  }
  void ExpectList(const std::string& names) {
    ASSERT_EQ(names.size(), kRecentFileCount);
    for (uint32_t i = 0; i < kRecentFileCount; ++i) {
      const std::u16string expected = names[i] == '-' ? u"" : DevicePath(std::string(1, names[i]));
      EXPECT_EQ(Recent(i), expected) << "index " << i << " of " << names;
    }
  }
};

TEST_F(SettingsTest, OptionBitsFollowTheSettingsAndPlatform) {
  struct Case {
    const char* name;
    int enableReflow, fullScreen, noSinglePage;  // -1: value absent
    uint32_t platformType, expected;
  };
  const Case cases[] = {
      {"no values, Smartphone", -1, -1, -1, kPlatformSmartphone, 8},
      {"no values, Pocket PC", -1, -1, -1, kPlatformPocketPc, 15},
      {"no values, unknown platform", -1, -1, -1, kPlatformUnknown, 8},
      {"reflow switched off", 0, -1, -1, kPlatformSmartphone, 0},
      {"reflow any other value", 7, -1, -1, kPlatformSmartphone, 8},
      {"full screen", -1, 1, -1, kPlatformSmartphone, 24},
      {"full screen 0", -1, 0, -1, kPlatformSmartphone, 8},
      {"single page disabled", -1, -1, 2, kPlatformPocketPc, 47},
  };
  for (const Case& c : cases) {
    platform::UseInMemoryRegistry();
    if (c.enableReflow >= 0) SetSetting(kEnableReflowValue, static_cast<uint32_t>(c.enableReflow));
    if (c.fullScreen >= 0) SetSetting(kOpenInFullScreenValue, static_cast<uint32_t>(c.fullScreen));
    if (c.noSinglePage >= 0) SetSetting(kDisableSinglePageModeValue, static_cast<uint32_t>(c.noSinglePage));
    EXPECT_EQ(ReadOptionBits(c.platformType), c.expected) << c.name;
  }
}

TEST_F(SettingsTest, DwordSettingsOfAnotherTypeOrSizeCountAsMissing) {
  SetString(HKEY_CURRENT_USER, kSettingsKey, kEnableReflowValue, u"0");
  const uint16_t shortValue = 0;
  SetValue(HKEY_CURRENT_USER, kSettingsKey, kOpenInFullScreenValue, platform::REG_DWORD, &shortValue, 2);
  uint32_t value = 77;
  EXPECT_FALSE(ReadSettingDword(kEnableReflowValue, &value));
  EXPECT_FALSE(ReadSettingDword(kOpenInFullScreenValue, &value));
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(ReadOptionBits(kPlatformSmartphone), kOptionReflow);

  // A registry that cannot be read leaves every default.
  SetSetting(kKeepToolbarValue, 1);
  platform::GetRegistryTestHooks().failNext = 100;
  EXPECT_FALSE(ReadKeepToolbarInFullScreen());
  EXPECT_EQ(ReadOptionBits(kPlatformSmartphone), kOptionReflow);
  platform::GetRegistryTestHooks().failNext = 0;
  EXPECT_TRUE(ReadKeepToolbarInFullScreen());
}

TEST_F(SettingsTest, InitialZoom) {
  struct Case {
    const char* name;
    int64_t type, level;  // -1: value absent
    bool defined;
    uint32_t mode;
    float factor;
  };
  const Case cases[] = {
      {"nothing stored", -1, -1, false, 0, 0},
      {"fit width", 1, -1, true, 1, 0},
      {"fit screen", 3, 150, true, 3, 0},
      {"type 2 is not an initial zoom", 2, 150, false, 0, 0},
      {"type 4 is not an initial zoom", 4, 150, false, 0, 0},
      {"explicit 150 %", 0, 150, true, 0, 1.5f},
      {"explicit without a level", 0, -1, false, 0, 0},
      {"explicit 8 %", 0, 8, true, 0, 0.08f},
      {"explicit 0 % is the smallest zoom", 0, 0, true, 0, kMinZoomFactor},
      {"explicit 5 % is the smallest zoom", 0, 5, true, 0, kMinZoomFactor},
      {"explicit 1000 %", 0, 1000, true, 0, 10.0f},
      {"explicit 5000 % is the largest zoom", 0, 5000, true, 0, kMaxZoomFactor},
      {"explicit 0xFFFFFFFF %", 0, 0xFFFFFFFF, true, 0, kMaxZoomFactor},
  };
  for (const Case& c : cases) {
    platform::UseInMemoryRegistry();
    if (c.type >= 0) SetSetting(kInitialZoomTypeValue, static_cast<uint32_t>(c.type));
    if (c.level >= 0) SetSetting(kInitialZoomLevelValue, static_cast<uint32_t>(c.level));
    uint32_t mode = 99;
    float factor = -1.0f;
    ASSERT_EQ(ReadInitialZoom(&mode, &factor), c.defined) << c.name;
    if (!c.defined) continue;
    EXPECT_EQ(mode, c.mode) << c.name;
    EXPECT_FLOAT_EQ(factor, c.factor) << c.name;
  }
}

TEST_F(SettingsTest, ZoomFactorsOutsideTheLayoutRangeAreClamped) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float infinity = std::numeric_limits<float>::infinity();
  EXPECT_EQ(ClampZoomFactor(nan), kMinZoomFactor);
  EXPECT_EQ(ClampZoomFactor(infinity), kMaxZoomFactor);
  EXPECT_EQ(ClampZoomFactor(-infinity), kMinZoomFactor);
  EXPECT_EQ(ClampZoomFactor(-3.0f), kMinZoomFactor);
  EXPECT_EQ(ClampZoomFactor(1.25f), 1.25f);
  // Every clamped factor fits a 16.16 fixed-point number.
  EXPECT_LT(ClampZoomFactor(1e30f) * 65536.0f, 2147483647.0f);
}

TEST_F(SettingsTest, RecentFileReadsOnlyExistingFilesStoredAsStrings) {
  const std::u16string present = MakeFile("present.pdf");
  StoreRecent(0, present);
  StoreRecent(1, DevicePath("gone.pdf"));
  SetString(HKEY_CURRENT_USER, kRecentFilesKey, u"2", present, platform::REG_EXPAND_SZ);
  const uint32_t number = 5;
  SetValue(HKEY_CURRENT_USER, kRecentFilesKey, u"3", platform::REG_DWORD, &number, 4);
  // Stored without a terminator.
  SetValue(HKEY_CURRENT_USER, kRecentFilesKey, u"4", platform::REG_SZ, present.data(),
           static_cast<platform::DWORD>(present.size() * 2));
  // Longer than an entry may be: the query fails and the entry reads empty.
  SetString(HKEY_CURRENT_USER, kRecentFilesKey, u"5", present + std::u16string(300, u'x'));

  EXPECT_EQ(Recent(0), present);
  EXPECT_EQ(Recent(1), u"");
  EXPECT_EQ(Recent(2), u"");
  EXPECT_EQ(Recent(3), u"");
  EXPECT_EQ(Recent(4), present);
  EXPECT_EQ(Recent(5), u"");
  EXPECT_EQ(Recent(9), u"");
  // Only ten entries exist.
  StoreRecent(10, present);
  EXPECT_EQ(Recent(10), u"");
  EXPECT_FALSE(Query(HKEY_CURRENT_USER, kRecentFilesKey, u"10").found);

  // The entry is stored as REG_SZ with its terminator under the decimal index.
  const auto stored = Query(HKEY_CURRENT_USER, kRecentFilesKey, u"0");
  ASSERT_TRUE(stored.found);
  EXPECT_EQ(stored.type, platform::REG_SZ);
  EXPECT_EQ(stored.data.size(), (present.size() + 1) * 2);
}

TEST_F(SettingsTest, AddingAPathAlreadyInTheListMovesItFirst) {
  FillWithAToJ();
  Add(DevicePath("E"));
  ExpectList("EABCDFGHIJ");
}

TEST_F(SettingsTest, AddingANewPathToAFullListDropsTheLast) {
  FillWithAToJ();
  Add(MakeFile("K"));
  ExpectList("KABCDEFGHI");
}

// Opening a document moves the whole list: the registry file is written
// once, and adding the path that is already first writes nothing.
TEST_F(SettingsTest, AddingAPathWritesTheRegistryOnce) {
  platform::UseRegistryFile(folder + "/registry.txt");
  FillWithAToJ();
  const std::u16string k = MakeFile("K");
  uint64_t before = platform::GetRegistryTestHooks().fileWrites;
  Add(k);
  EXPECT_EQ(platform::GetRegistryTestHooks().fileWrites, before + 1);
  ExpectList("KABCDEFGHI");
  before = platform::GetRegistryTestHooks().fileWrites;
  Add(k);
  EXPECT_EQ(platform::GetRegistryTestHooks().fileWrites, before);
  ExpectList("KABCDEFGHI");
}

TEST_F(SettingsTest, AMissingFileAbsorbsTheShift) {
  FillWithAToJ();
  RemoveFile("D");
  Add(MakeFile("K"));
  ExpectList("KABCEFGHIJ");
}

TEST_F(SettingsTest, RecentFilesFromAnEmptyList) {
  const std::u16string a = MakeFile("A");
  const std::u16string b = MakeFile("B");
  Add(a);
  ExpectList("A---------");
  Add(a);
  ExpectList("A---------");
  Add(b);
  ExpectList("BA--------");
  Add(a);
  ExpectList("AB--------");
  // Nothing to add: an empty path, or one too long to be read back.
  Add(u"");
  Add(std::u16string(kMaxRecentPathLength + 1, u'x'));
  ExpectList("AB--------");
}

TEST_F(SettingsTest, RecentFileEqualityIsExact) {
  FillWithAToJ();
  // The same folder spelt with another case is another path to the list.
  std::u16string upper = DevicePath("B");
  for (auto& c : upper) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  ASSERT_NE(upper, DevicePath("B"));
  Add(upper);  // names no existing file
  EXPECT_EQ(Recent(0), u"");  // it is written, but reads as gone
  EXPECT_EQ(Recent(1), DevicePath("A"));
  EXPECT_EQ(Recent(2), DevicePath("B"));
}

TEST_F(SettingsTest, IgnoreAppValueStandsWhileTheZoomRectangleIsSelected) {
  auto stored = [] { return Query(HKEY_LOCAL_MACHINE, kIgnoreAppsKey, kIgnoreAppValueName); };
  SetOemIgnoreApp(0, 0);
  SetOemIgnoreApp(0, 1);
  EXPECT_FALSE(stored().found);

  SetOemIgnoreApp(0, kPenToolZoomRectangle);
  const auto written = stored();
  ASSERT_TRUE(written.found);
  EXPECT_EQ(written.type, platform::REG_SZ);
  const std::u16string expected = std::u16string(kExecutableName) + u'\0';
  ASSERT_EQ(written.data.size(), expected.size() * 2);
  EXPECT_EQ(std::memcmp(written.data.data(), expected.data(), written.data.size()), 0);

  // Changes that do not leave the zoom rectangle leave the value alone.
  SetOemIgnoreApp(kPenToolZoomRectangle, kPenToolZoomRectangle);
  SetOemIgnoreApp(0, 1);
  EXPECT_TRUE(stored().found);

  SetOemIgnoreApp(kPenToolZoomRectangle, 0);
  EXPECT_FALSE(stored().found);
  SetOemIgnoreApp(kPenToolZoomRectangle, 0);  // deleting again is harmless
  EXPECT_FALSE(stored().found);
}

TEST_F(SettingsTest, SettingsWritesNeverLeaveAHalfWrittenRegistryFile) {
  const std::string file = folder + "/registry.txt";
  platform::UseRegistryFile(file);
  const std::u16string a = MakeFile("A");
  const std::u16string b = MakeFile("B");
  Add(a);
  SetOemIgnoreApp(0, kPenToolZoomRectangle);
  auto contents = [&] {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  };
  const std::string before = contents();
  ASSERT_FALSE(before.empty());

  // Every write fails: the file keeps its old contents whole, and so does the
  // registry the program sees.
  platform::GetRegistryTestHooks().failWrite = true;
  Add(b);
  SetOemIgnoreApp(kPenToolZoomRectangle, 0);
  EXPECT_EQ(contents(), before);
  EXPECT_EQ(Recent(0), a);
  EXPECT_EQ(Recent(1), u"");
  EXPECT_TRUE(Query(HKEY_LOCAL_MACHINE, kIgnoreAppsKey, kIgnoreAppValueName).found);

  // And the file still loads as it was.
  platform::GetRegistryTestHooks().failWrite = false;
  platform::UseRegistryFile(file);
  EXPECT_EQ(Recent(0), a);
  EXPECT_TRUE(Query(HKEY_LOCAL_MACHINE, kIgnoreAppsKey, kIgnoreAppValueName).found);
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "registry.txt" || name.size() == 1) << "left behind: " << name;
  }
}

TEST_F(SettingsTest, InitialFileBrowserPath) {
  struct Case {
    const char* name;
    platform::DWORD type;
    std::vector<char16_t> units;  // the stored units
    int extraByte;                // -1: none, else one more byte
    std::u16string expected;
  };
  const std::u16string longPath = u"\\" + std::u16string(1000, u'd');
  std::vector<char16_t> longUnits(longPath.begin(), longPath.end());
  longUnits.push_back(0);
  const Case cases[] = {
      {"terminated", platform::REG_SZ, {u'\\', u'D', u'o', u'c', 0}, -1, u"\\Doc"},
      {"without terminator", platform::REG_SZ, {u'\\', u'D', u'o', u'c'}, -1, u"\\Doc"},
      {"odd byte count", platform::REG_SZ, {u'\\', u'D', u'o'}, 'c', u"\\Do"},
      {"single odd byte", platform::REG_SZ, {}, 'c', u""},
      {"empty string", platform::REG_SZ, {0}, -1, u""},
      {"no bytes", platform::REG_SZ, {}, -1, u""},
      {"zero inside", platform::REG_SZ, {u'a', 0, u'b', 0}, -1, u"a"},
      {"long", platform::REG_SZ, longUnits, -1, longPath},
      {"expandable string", platform::REG_EXPAND_SZ, {u'\\', u'D', 0}, -1, u""},
      {"number", platform::REG_DWORD, {u'\\', u'D'}, -1, u""},
  };
  for (const Case& c : cases) {
    platform::UseInMemoryRegistry();
    std::vector<platform::BYTE> bytes(c.units.size() * 2);
    if (!bytes.empty()) std::memcpy(bytes.data(), c.units.data(), bytes.size());
    if (c.extraByte >= 0) bytes.push_back(static_cast<platform::BYTE>(c.extraByte));
    SetValue(HKEY_CURRENT_USER, kSettingsKey, kInitialFileBrowserPathValue, c.type,
             bytes.empty() ? nullptr : bytes.data(), static_cast<platform::DWORD>(bytes.size()));
    WString path;
    path.AssignCString(u"stale");
    ReadInitialFileBrowserPath(path);
    EXPECT_EQ(std::u16string(path.Chars(), path.Length()), c.expected) << c.name;
    EXPECT_EQ(path.Chars()[path.Length()], 0) << c.name;
  }

  platform::UseInMemoryRegistry();
  WString path;
  path.AssignCString(u"stale");
  ReadInitialFileBrowserPath(path);
  EXPECT_TRUE(path.IsEmpty());
}

}  // namespace
}  // namespace shell
