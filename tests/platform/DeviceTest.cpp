#include "platform/Device.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetDeviceProfile(); }
  void TearDown() override { SetDeviceProfile(saved_); }
  DeviceProfile saved_;
};

TEST_F(DeviceTest, ProfilesGiveScreenWorkAreaAndPlatformName) {
  struct Case {
    const char* name;
    const char16_t* platform;
    int width, height, dpi;
  };
  const Case cases[] = {
      {"pocketpc-vga", u"PocketPC", 480, 640, 192},
      {"pocketpc-qvga", u"PocketPC", 240, 320, 96},
      {"smartphone", u"Smartphone", 176, 220, 96},
      {"smartphone-qvga", u"Smartphone", 240, 320, 131},
      {"pocketpc:640x480@192", u"PocketPC", 640, 480, 192},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(SelectDevice(c.name)) << c.name;
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), c.width) << c.name;
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), c.height) << c.name;
    EXPECT_EQ(GetDeviceProfile().dpi, c.dpi) << c.name;
    WCHAR name[130] = {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof name, name, 0)) << c.name;
    EXPECT_EQ(std::u16string(name), c.platform);
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.left, 0);
    EXPECT_GT(work.top, 0);  // the system's bar stays at the top
    EXPECT_EQ(work.right, c.width);
    // A Smartphone's soft-key bar is never part of the work area.
    const bool smartphone = std::u16string(c.platform) == u"Smartphone";
    EXPECT_EQ(work.bottom, smartphone ? c.height - GetDeviceProfile().menuBarHeight : c.height) << c.name;
    EXPECT_GT(GetSystemMetrics(SM_CXVSCROLL), 0);
    EXPECT_GE(GetSystemMetrics(SM_CXBORDER), 1);
  }
  // Dense screens scale the scroll bars with the density.
  ASSERT_TRUE(SelectDevice("pocketpc-qvga"));
  const int narrow = GetSystemMetrics(SM_CXVSCROLL);
  ASSERT_TRUE(SelectDevice("pocketpc-vga"));
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 2 * narrow);
}

TEST_F(DeviceTest, BadRequestsAreRefused) {
  const char* bad[] = {"", "desktop", "pocketpc:0x0@96", "pocketpc:100000x240@96", "smartphone:240x320",
                       "pocketpc:240x320@96x"};
  for (const char* name : bad) EXPECT_FALSE(SelectDevice(name)) << name;
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), saved_.width);

  // "PocketPC" needs 18 bytes with its terminator.
  WCHAR name[9] = {};
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, 16, name, 0));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_FALSE(SystemParametersInfoW(12345, 0, nullptr, 0));
}

TEST(LanguageTest, LocalesMapToLanguageIds) {
  struct Case {
    const char* locale;
    LANGID language;
  };
  const Case cases[] = {
      {"en_US.UTF-8", 0x409}, {"fr_FR.UTF-8", 0x40C}, {"zh_TW.UTF-8", 0x404}, {"zh_CN", 0x804},
      {"ja_JP", 0x411},       {"pt_BR", 0x416},       {"pt_PT", 0x816},       {"C", 0},
      {"POSIX", 0},           {"de", 0x407},          {"es_ES@euro", 0xC0A},  {"english", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(LanguageFromLocale(c.locale), c.language) << c.locale;
}

}  // namespace
}  // namespace platform
