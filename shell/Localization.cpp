#include "shell/Localization.h"

#include <initializer_list>
#include <iterator>

#include "platform/Device.h"
#include "platform/Gdi.h"
#include "platform/Window.h"
#include "platform/WideText.h"
#include "resources/UIStringTable.h"
#include "shell/Settings.h"

namespace shell {
namespace {

using platform::LANGID;

// The languages of each string-table row, in row order.
const std::initializer_list<LANGID> kLanguageRows[] = {
    {0x409, 0x809, 0x1009, 0x1409, 0xC09, 0x1809, 0x1C09},  // English
    {0x411},                                                 // Japanese
    {0x804, 0x1004},                                         // Chinese (Simplified)
    {0xC04},                                                 // Chinese (Hong Kong)
    {0x404},                                                 // Chinese (Traditional)
    {0x40C, 0x80C, 0x100C, 0xC0C, 0x140C},                   // French
    {0x407, 0x807, 0xC07, 0x1007, 0x1407},                   // German
    {0xC0A, 0x80A, 0x40A},                                   // Spanish
    {0x410},                                                 // Italian
    {0x41D},                                                 // Swedish
    {0x406},                                                 // Danish
    {0x414},                                                 // Norwegian
    {0x40B},                                                 // Finnish
    {0x816},                                                 // Portuguese (Portugal)
    {0x41F},                                                 // Turkish
    {0x40E},                                                 // Hungarian
    {0x413, 0x813},                                          // Dutch
    {0x405},                                                 // Czech
    {0x41B},                                                 // Slovak
    {0x415},                                                 // Polish
    {0x408},                                                 // Greek
    {0x416},                                                 // Portuguese (Brazil)
    {0x418},                                                 // Romanian
    {0x419},                                                 // Russian
    {0x401, 0x801, 0xC01, 0x1001, 0x1401, 0x1801, 0x1C01, 0x2001, 0x2401, 0x2801, 0x2C01,
     0x3001, 0x3401, 0x3801, 0x3C01, 0x4001},                // Arabic
    {0x412},                                                 // Korean
};
static_assert(std::size(kLanguageRows) == resources::kUILanguageCount);

// The part of a LANGID compared when no row lists the language exactly.
constexpr LANGID kPrimaryLanguageMask = 0x1FF;

constexpr LANGID kJapanese = 0x411;
constexpr LANGID kKorean = 0x412;
constexpr LANGID kChineseTraditional = 0x404;
constexpr LANGID kChineseHongKong = 0xC04;
constexpr LANGID kChineseSimplified = 0x804;

// The system's name is read into 260 bytes.
constexpr platform::UINT kPlatformNameBytes = 260;

uint32_t platformTypeCache = kPlatformUnknown;
bool compactLayout = false;

}  // namespace

uint32_t PlatformTypeFromName(const char16_t* name) {
  const std::u16string_view view = platform::WideView(name);
  if (platform::WideEqualsNoCase(view, u"Smartphone")) return kPlatformSmartphone;
  if (platform::WideEqualsNoCase(view, u"PocketPC")) return kPlatformPocketPc;
  return kPlatformUnknown;
}

uint32_t GetPlatformType() {
  if (platformTypeCache != kPlatformUnknown) return platformTypeCache;
  char16_t name[kPlatformNameBytes / sizeof(char16_t)] = {};
  if (platform::SystemParametersInfoW(platform::SPI_GETPLATFORMTYPE, kPlatformNameBytes, name, 0)) {
    name[std::size(name) - 1] = 0;
    // An unknown answer is not kept, so that the question is asked again.
    platformTypeCache = PlatformTypeFromName(name);
  }
  return platformTypeCache;
}

void ForgetPlatformType() { platformTypeCache = kPlatformUnknown; }

LANGID GetUILanguage() {
  uint32_t chosen = 0;
  if (ReadSettingDword(kLanguageOverrideValue, &chosen) && static_cast<LANGID>(chosen) != 0) {
    return static_cast<LANGID>(chosen);
  }
  return platform::GetUserDefaultUILanguage();
}

uint32_t LanguageRowFor(LANGID language) {
  uint32_t primaryMatch = 0;
  for (uint32_t row = 0; row < std::size(kLanguageRows); ++row) {
    for (const LANGID listed : kLanguageRows[row]) {
      if (listed == language) return row;
      // A later row with the same primary language wins, so that an unlisted
      // Chinese variant gets the last Chinese row.
      if ((listed & kPrimaryLanguageMask) == (language & kPrimaryLanguageMask)) primaryMatch = row;
    }
  }
  return primaryMatch;
}

uint32_t GetLanguageIndex() { return LanguageRowFor(GetUILanguage()); }

const char16_t* GetLocalizedString(uint32_t column) {
  return resources::GetUIString(GetLanguageIndex(), column);
}

void UpdateCompactLayout(bool small) {
  compactLayout = GetPlatformType() == kPlatformSmartphone && GetUILanguage() == kJapanese && small;
}

bool IsCompactLayout() { return compactLayout; }

bool DialogFontRuleApplies(LANGID language, uint32_t mask) {
  switch (language) {
    case kChineseTraditional:
    case kChineseHongKong: return (mask & 16) != 0;
    case kJapanese: return (mask & 32) != 0;
    case kKorean: return (mask & 64) != 0;
    case kChineseSimplified: return (mask & 8) != 0;
    default: return true;
  }
}

int32_t MinimumDialogFontHeight(int32_t height) {
  if (height >= -11 && height <= -1) return -12;
  if (height >= 1 && height <= 9) return 10;
  return height;
}

bool FixDialogFont(int32_t height, uint32_t mask, int32_t* newHeight) {
  if (!DialogFontRuleApplies(GetUILanguage(), mask)) return false;
  const int32_t raised = MinimumDialogFontHeight(height);
  if (raised == height) return false;
  *newHeight = raised;
  return true;
}

bool FixDialogFont(platform::HWND owner, platform::HWND control, platform::HFONT* fontSlot, uint32_t mask) {
  if (owner == nullptr || control == nullptr || fontSlot == nullptr) return false;
  if (!DialogFontRuleApplies(GetUILanguage(), mask)) return false;
  const auto current = reinterpret_cast<platform::HFONT>(platform::SendMessageW(control, platform::WM_GETFONT, 0, 0));
  if (current == nullptr) return false;
  platform::LOGFONTW logical{};
  if (platform::GetObjectW(current, sizeof logical, &logical) != static_cast<int>(sizeof logical)) return false;
  const int32_t raised = MinimumDialogFontHeight(logical.lfHeight);
  if (raised == logical.lfHeight) return false;
  logical.lfHeight = raised;
  const platform::HFONT font = platform::CreateFontIndirectW(&logical);
  if (font == nullptr) return false;
  // The slot may hold the font the control shows now: swap before deleting.
  platform::SendMessageW(control, platform::WM_SETFONT, reinterpret_cast<platform::WPARAM>(font), 1);
  if (*fontSlot != nullptr) platform::DeleteObject(*fontSlot);
  *fontSlot = font;
  return true;
}

}  // namespace shell
