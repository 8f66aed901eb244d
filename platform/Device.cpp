#include "platform/Device.h"

#include <cstdlib>
#include <cstring>

#include "platform/WideText.h"

namespace platform {
namespace {

struct NamedProfile {
  const char* name;
  PlatformKind kind;
  int width;
  int height;
  int dpi;
};

constexpr NamedProfile kProfiles[] = {
    {"pocketpc-qvga", PlatformKind::kPocketPc, 240, 320, 96},
    {"pocketpc-vga", PlatformKind::kPocketPc, 480, 640, 192},
    {"pocketpc-square", PlatformKind::kPocketPc, 240, 240, 96},
    {"smartphone", PlatformKind::kSmartphone, 176, 220, 96},
    {"smartphone-qvga", PlatformKind::kSmartphone, 240, 320, 131},
};

// Screens larger than this are not handheld any more and would only make
// the framebuffer huge.
constexpr int kMaxScreenSide = 4096;

DeviceProfile MakeProfile(PlatformKind kind, int width, int height, int dpi) {
  DeviceProfile profile;
  profile.kind = kind;
  profile.width = width;
  profile.height = height;
  profile.dpi = dpi;
  // The top bar is 26 pixels on a 96 dpi Pocket PC and 18 on a Smartphone;
  // both menu bars are 26 pixels at 96 dpi.
  const int bar = kind == PlatformKind::kPocketPc ? 26 : 18;
  profile.taskBarHeight = bar * dpi / 96;
  profile.menuBarHeight = 26 * dpi / 96;
  return profile;
}

DeviceProfile& Current();

bool ParseNumber(std::string_view& text, int& value) {
  value = 0;
  size_t i = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i < 6) value = value * 10 + (text[i++] - '0');
  if (i == 0) return false;
  text.remove_prefix(i);
  return true;
}

struct LocaleLanguage {
  const char* prefix;
  LANGID language;
};

// Most specific prefixes first.
constexpr LocaleLanguage kLocales[] = {
    {"zh_hk", 0xC04}, {"zh_tw", 0x404}, {"zh", 0x804},    {"pt_br", 0x416}, {"pt", 0x816},
    {"en_gb", 0x809}, {"en", 0x409},    {"ja", 0x411},    {"fr", 0x40C},    {"de", 0x407},
    {"es", 0xC0A},    {"it", 0x410},    {"sv", 0x41D},    {"da", 0x406},    {"nb", 0x414},
    {"no", 0x414},    {"fi", 0x40B},    {"tr", 0x41F},    {"hu", 0x40E},    {"nl", 0x413},
    {"cs", 0x405},    {"sk", 0x41B},    {"pl", 0x415},    {"el", 0x408},    {"ro", 0x418},
    {"ru", 0x419},    {"ar", 0x401},    {"ko", 0x412},
};

// Applies a named or KIND:WxH@DPI profile, keeping the UI language.
bool ParseDevice(std::string_view name, DeviceProfile& profile) {
  for (const auto& named : kProfiles) {
    if (name == named.name) {
      const LANGID language = profile.uiLanguage;
      profile = MakeProfile(named.kind, named.width, named.height, named.dpi);
      profile.uiLanguage = language;
      return true;
    }
  }
  PlatformKind kind;
  if (name.starts_with("pocketpc:")) {
    kind = PlatformKind::kPocketPc;
    name.remove_prefix(9);
  } else if (name.starts_with("smartphone:")) {
    kind = PlatformKind::kSmartphone;
    name.remove_prefix(11);
  } else {
    return false;
  }
  int width = 0, height = 0, dpi = 0;
  if (!ParseNumber(name, width) || name.empty() || name[0] != 'x') return false;
  name.remove_prefix(1);
  if (!ParseNumber(name, height) || name.empty() || name[0] != '@') return false;
  name.remove_prefix(1);
  if (!ParseNumber(name, dpi) || !name.empty()) return false;
  if (width < 64 || height < 64 || width > kMaxScreenSide || height > kMaxScreenSide || dpi < 48 || dpi > 960) {
    return false;
  }
  const LANGID language = profile.uiLanguage;
  profile = MakeProfile(kind, width, height, dpi);
  profile.uiLanguage = language;
  return true;
}

void ApplyEnvironment(DeviceProfile& profile);

DeviceProfile& Current() {
  static DeviceProfile profile = [] {
    DeviceProfile initial = MakeProfile(PlatformKind::kPocketPc, 480, 640, 192);
    ApplyEnvironment(initial);
    return initial;
  }();
  return profile;
}

}  // namespace

bool SelectDevice(std::string_view name) { return ParseDevice(name, Current()); }

namespace {

void ApplyEnvironment(DeviceProfile& profile) {
  profile.uiLanguage = 0x409;
  if (const char* language = std::getenv("FOLVANE_UI_LANGUAGE"); language != nullptr && language[0] != 0) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(language, &end, 16);
    if (end != nullptr && *end == 0 && value > 0 && value <= 0xFFFF) profile.uiLanguage = static_cast<LANGID>(value);
  } else {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* locale = std::getenv(variable);
      if (locale == nullptr || locale[0] == 0) continue;
      if (const LANGID found = LanguageFromLocale(locale); found != 0) profile.uiLanguage = found;
      break;
    }
  }
  if (const char* device = std::getenv("FOLVANE_DEVICE"); device != nullptr && device[0] != 0) {
    ParseDevice(device, profile);
  }
}

}  // namespace

void SelectDeviceFromEnvironment() { ApplyEnvironment(Current()); }

const DeviceProfile& GetDeviceProfile() { return Current(); }

void SetDeviceProfile(const DeviceProfile& profile) { Current() = profile; }

int ScaleForDpi(int length96) { return length96 * Current().dpi / 96; }

BOOL SystemParametersInfoW(UINT action, UINT parameter, void* data, UINT) {
  const DeviceProfile& profile = Current();
  switch (action) {
    case SPI_GETPLATFORMTYPE: {
      const std::u16string_view name = profile.kind == PlatformKind::kPocketPc ? u"PocketPC" : u"Smartphone";
      if (data == nullptr || parameter < (name.size() + 1) * sizeof(WCHAR)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
      }
      WideCopy(static_cast<WCHAR*>(data), parameter / sizeof(WCHAR), name);
      return TRUE;
    }
    case SPI_GETWORKAREA: {
      if (data == nullptr) break;
      // A Smartphone's soft-key bar is always there, so it is not part of
      // the work area; a Pocket PC's menu bar belongs to each window.
      const int bottom = profile.kind == PlatformKind::kSmartphone ? profile.height - profile.menuBarHeight
                                                                   : profile.height;
      *static_cast<RECT*>(data) = RECT{0, profile.taskBarHeight, profile.width, bottom};
      return TRUE;
    }
    default: break;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

int GetSystemMetrics(int index) {
  const DeviceProfile& profile = Current();
  const int unit = profile.dpi >= 192 ? 2 : 1;  // lines and borders double on dense screens
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN: return profile.width;
    case SM_CYSCREEN: return profile.height;
    case SM_CYFULLSCREEN: return profile.height - profile.taskBarHeight;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return ScaleForDpi(13);
    case SM_CYCAPTION:
    case SM_CYMENU: return ScaleForDpi(26) - unit;
    case SM_CXBORDER:
    case SM_CYBORDER: return unit;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
    case SM_CXEDGE:
    case SM_CYEDGE: return 2 * unit;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return ScaleForDpi(32);
    case SM_CXSMICON:
    case SM_CYSMICON: return ScaleForDpi(16);
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return ScaleForDpi(8);
    default: return 0;
  }
}

LANGID GetUserDefaultUILanguage() { return Current().uiLanguage; }

LANGID LanguageFromLocale(std::string_view locale) {
  std::string folded(locale);
  for (auto& c : folded) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
  for (const auto& entry : kLocales) {
    const std::string_view prefix = entry.prefix;
    if (folded.starts_with(prefix) &&
        (folded.size() == prefix.size() || folded[prefix.size()] == '_' || folded[prefix.size()] == '.' ||
         folded[prefix.size()] == '@' || prefix.find('_') != std::string_view::npos)) {
      return entry.language;
    }
  }
  return 0;
}

}  // namespace platform

