#include "shell/Localization.h"

#include <gtest/gtest.h>

#include <string>

#include "ShellRegistryFixture.h"
#include "platform/Gdi.h"
#include "platform/Window.h"
#include "platform/WindowSystem.h"
#include "../platform/WindowTestSupport.h"
#include "resources/UIStringTable.h"

namespace shell {
namespace {

using platform::PlatformKind;

class LocalizationTest : public testing::ShellRegistryTest {};

TEST_F(LocalizationTest, PlatformTypeFromItsName) {
  struct Case {
    const char16_t* name;
    uint32_t expected;
  };
  const Case cases[] = {
      {u"PocketPC", kPlatformPocketPc},     {u"pocketpc", kPlatformPocketPc},
      {u"Smartphone", kPlatformSmartphone}, {u"SMARTPHONE", kPlatformSmartphone},
      {u"Pocket PC", kPlatformUnknown},     {u"Smartphone2", kPlatformUnknown},
      {u"", kPlatformUnknown},              {nullptr, kPlatformUnknown},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlatformTypeFromName(c.name), c.expected)
        << (c.name ? std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)) : "null");
  }
}

TEST_F(LocalizationTest, PlatformTypeIsKeptOnceKnown) {
  UseLanguage(0x409, PlatformKind::kSmartphone);
  EXPECT_EQ(GetPlatformType(), kPlatformSmartphone);
  UseLanguage(0x409, PlatformKind::kPocketPc);
  EXPECT_EQ(GetPlatformType(), kPlatformSmartphone);
  ForgetPlatformType();
  EXPECT_EQ(GetPlatformType(), kPlatformPocketPc);
}

TEST_F(LocalizationTest, LanguageRows) {
  struct Case {
    platform::LANGID language;
    uint32_t row;
  };
  const Case cases[] = {
      {0x409, 0},   {0x1C09, 0},  {0x411, 1},   {0x804, 2},   {0x1004, 2},  {0xC04, 3},
      {0x404, 4},   {0x40C, 5},   {0x140C, 5},  {0x1407, 6},  {0x40A, 7},   {0x816, 13},
      {0x416, 21},  {0x813, 16},  {0x4001, 24}, {0x412, 25},
      // Not listed: the last row with the same primary language.
      {0x100A, 7},  // Spanish (Guatemala)
      {0x1404, 4},  // Chinese (Macao): the last Chinese row
      {0x2C0C, 5},  // French (Cameroon)
      {0x4409, 0},  // English (Malaysia)
      {0x4401, 24},  // an Arabic variant
      // No row has its primary language.
      {0x436, 0},  // Afrikaans
      {0x0, 0},
      {0xFFFF, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LanguageRowFor(c.language), c.row) << std::hex << c.language;
  }
}

TEST_F(LocalizationTest, LanguageOverrideReplacesTheSystemLanguage) {
  UseLanguage(0x409);
  EXPECT_EQ(GetUILanguage(), 0x409);
  EXPECT_EQ(GetLanguageIndex(), 0u);

  SetSetting(kLanguageOverrideValue, 0x40C);
  EXPECT_EQ(GetUILanguage(), 0x40C);
  EXPECT_EQ(GetLanguageIndex(), 5u);
  EXPECT_EQ(std::u16string(GetLocalizedString(56)), u"Annuler");

  // 0, or a value that is not a DWORD, leaves the system's language.
  SetSetting(kLanguageOverrideValue, 0);
  EXPECT_EQ(GetUILanguage(), 0x409);
  SetString(platform::HKEY_CURRENT_USER, kSettingsKey, kLanguageOverrideValue, u"1036");
  EXPECT_EQ(GetUILanguage(), 0x409);

  UseLanguage(0x100A);
  EXPECT_EQ(GetLanguageIndex(), 7u);
  EXPECT_EQ(std::u16string(GetLocalizedString(6)), u"Salir");
  EXPECT_EQ(std::u16string(GetLocalizedString(resources::kUIStringCount)), u"");
}

TEST_F(LocalizationTest, CompactLayoutOnlyForSmallJapaneseSmartphones) {
  struct Case {
    PlatformKind kind;
    platform::LANGID language;
    bool small, compact;
  };
  const Case cases[] = {
      {PlatformKind::kSmartphone, 0x411, true, true},
      {PlatformKind::kSmartphone, 0x411, false, false},
      {PlatformKind::kSmartphone, 0x409, true, false},
      {PlatformKind::kSmartphone, 0x412, true, false},
      {PlatformKind::kPocketPc, 0x411, true, false},
  };
  for (const Case& c : cases) {
    ForgetPlatformType();
    UseLanguage(c.language, c.kind);
    UpdateCompactLayout(c.small);
    EXPECT_EQ(IsCompactLayout(), c.compact) << std::hex << c.language << " small " << c.small;
  }
  // The override counts as the UI language.
  ForgetPlatformType();
  UseLanguage(0x409, PlatformKind::kSmartphone);
  SetSetting(kLanguageOverrideValue, 0x411);
  UpdateCompactLayout(true);
  EXPECT_TRUE(IsCompactLayout());
}

TEST_F(LocalizationTest, DialogFontRuleByLanguageAndMask) {
  struct Case {
    platform::LANGID language;
    uint32_t mask;
    bool applies;
  };
  const Case cases[] = {
      // The dialogs' mask: Chinese and every non-Asian language, not Japanese
      // or Korean.
      {0x409, kDialogFontMask, true},  {0x40C, kDialogFontMask, true},
      {0x804, kDialogFontMask, true},  {0x404, kDialogFontMask, true},
      {0xC04, kDialogFontMask, true},  {0x411, kDialogFontMask, false},
      {0x412, kDialogFontMask, false},
      // Each Asian language needs its own bit.
      {0x804, 16, false},              {0x404, 8, false},
      {0x411, 32, true},               {0x412, 64, true},
      {0x412, 32, false},              {0x409, 0, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DialogFontRuleApplies(c.language, c.mask), c.applies)
        << std::hex << c.language << " mask " << std::dec << c.mask;
  }
}

TEST_F(LocalizationTest, DialogFontMinimumHeights) {
  struct Case {
    int32_t height, expected;
  };
  const Case cases[] = {
      {-11, -12}, {-1, -12}, {-6, -12}, {-12, -12}, {-13, -13}, {0, 0},
      {1, 10},    {9, 10},   {10, 10},  {16, 16},   {INT32_MIN, INT32_MIN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MinimumDialogFontHeight(c.height), c.expected) << c.height;
  }
}

TEST_F(LocalizationTest, FixDialogFontInTheCurrentLanguage) {
  struct Case {
    platform::LANGID language;
    int32_t height;
    bool changes;
    int32_t newHeight;
  };
  const Case cases[] = {
      {0x409, -11, true, -12}, {0x409, 9, true, 10},   {0x409, -12, false, 0},
      {0x804, -8, true, -12},  {0x404, 9, true, 10},   {0x411, -11, false, 0},
      {0x412, 9, false, 0},    {0x40C, 20, false, 0},
  };
  for (const Case& c : cases) {
    UseLanguage(c.language);
    int32_t height = 12345;
    EXPECT_EQ(FixDialogFont(c.height, kDialogFontMask, &height), c.changes)
        << std::hex << c.language << std::dec << " " << c.height;
    EXPECT_EQ(height, c.changes ? c.newHeight : 12345) << std::hex << c.language;
  }
}

// The rule replaces a dialog control's font: the control shows a font of the
// minimum size with the same face, and the slot keeps it for the dialog.
TEST_F(LocalizationTest, FixDialogFontReplacesTheControlsFont) {
  platform::testing::UsePrivateRuntimeFolder();
  platform::ResetWindowSystem();
  platform::WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = platform::DefWindowProcW;
  windowClass.lpszClassName = u"FontOwner";
  ASSERT_NE(platform::RegisterClassW(&windowClass), 0);
  const platform::HWND dialog = platform::CreateWindowExW(0, u"FontOwner", u"", 0, 0, 0, 100, 100, nullptr, nullptr,
                                                          nullptr, nullptr);
  const platform::HWND label = platform::CreateWindowExW(0, u"STATIC", u"Name", platform::WS_CHILD, 0, 0, 50, 10,
                                                         dialog, nullptr, nullptr, nullptr);
  ASSERT_NE(label, nullptr);
  platform::LOGFONTW small{};
  small.lfHeight = -9;
  small.lfWeight = 700;
  std::copy_n(u"Tahoma", 7, small.lfFaceName);
  const platform::HFONT original = platform::CreateFontIndirectW(&small);
  platform::SendMessageW(label, platform::WM_SETFONT, reinterpret_cast<platform::WPARAM>(original), 0);

  struct Case {
    platform::LANGID language;
    bool replaced;
  };
  for (const Case& c : {Case{0x411, false}, Case{0x40C, true}}) {
    UseLanguage(c.language);
    platform::HFONT slot = nullptr;
    EXPECT_EQ(FixDialogFont(dialog, label, &slot, kDialogFontMask), c.replaced) << std::hex << c.language;
    const auto shown = reinterpret_cast<platform::HFONT>(platform::SendMessageW(label, platform::WM_GETFONT, 0, 0));
    platform::LOGFONTW now{};
    ASSERT_EQ(platform::GetObjectW(shown, sizeof now, &now), static_cast<int>(sizeof now));
    EXPECT_EQ(now.lfHeight, c.replaced ? -12 : -9);
    EXPECT_EQ(now.lfWeight, 700);
    EXPECT_EQ(std::u16string(now.lfFaceName), u"Tahoma");
    EXPECT_EQ(slot, c.replaced ? shown : nullptr);
    // Applying it again changes nothing: the font is big enough now.
    EXPECT_FALSE(FixDialogFont(dialog, label, &slot, kDialogFontMask));
    if (slot != nullptr) {
      platform::SendMessageW(label, platform::WM_SETFONT, reinterpret_cast<platform::WPARAM>(original), 0);
      EXPECT_TRUE(platform::DeleteObject(slot));
    }
  }
  platform::DeleteObject(original);
  platform::ResetWindowSystem();
}

}  // namespace
}  // namespace shell
