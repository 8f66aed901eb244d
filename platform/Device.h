#pragma once
// The device the application believes it runs on: platform type, screen
// size and density, work area, system metrics and the UI language. The
// profile comes from the FOLVANE_DEVICE environment variable or from the
// command line (a program hands its --device=NAME to SelectDevice); the
// default is a Pocket PC with a VGA screen.
#include <string>
#include <string_view>

#include "platform/Types.h"

namespace platform {

enum class PlatformKind { kPocketPc, kSmartphone };

struct DeviceProfile {
  PlatformKind kind = PlatformKind::kPocketPc;
  int width = 480;  // screen pixels, portrait
  int height = 640;
  int dpi = 192;
  // The system's bar at the top of the screen, outside the work area.
  int taskBarHeight = 52;
  // Soft-key menu bar height, for the menu bars the platform makes.
  int menuBarHeight = 52;
  LANGID uiLanguage = 0x409;
  int bitsPerPixel = 16;  // the screen's pixel format: 16, 24 or 32
};

// Named profiles: "pocketpc-qvga" (240 x 320, 96 dpi), "pocketpc-vga"
// (480 x 640, 192 dpi), "pocketpc-square" (240 x 240, 96 dpi),
// "smartphone" (176 x 220, 96 dpi), "smartphone-qvga" (240 x 320, 131 dpi),
// or KIND:WIDTHxHEIGHT@DPI with KIND "pocketpc" or "smartphone".
// False (and no change) for a name it does not know.
bool SelectDevice(std::string_view name);
// Reads the FOLVANE_DEVICE and FOLVANE_UI_LANGUAGE environment variables
// again (they are read once at first use).
void SelectDeviceFromEnvironment();
const DeviceProfile& GetDeviceProfile();
void SetDeviceProfile(const DeviceProfile& profile);
// Scales a length given for a 96 dpi screen to the device's density.
int ScaleForDpi(int length96);

// SystemParametersInfoW actions.
constexpr UINT SPI_GETWORKAREA = 48;
constexpr UINT SPI_SETSIPINFO = 224;
constexpr UINT SPI_GETSIPINFO = 225;
constexpr UINT SPI_GETPLATFORMTYPE = 257;

// SPI_GETPLATFORMTYPE: the platform's name ("PocketPC" or "Smartphone")
// into a buffer of `parameter` bytes. SPI_GETWORKAREA: a RECT.
BOOL SystemParametersInfoW(UINT action, UINT parameter, void* data, UINT flags);

// GetSystemMetrics indices.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXDLGFRAME = 7;
constexpr int SM_CYDLGFRAME = 8;
constexpr int SM_CYVTHUMB = 9;
constexpr int SM_CXHTHUMB = 10;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int SM_CXCURSOR = 13;
constexpr int SM_CYCURSOR = 14;
constexpr int SM_CYMENU = 15;
constexpr int SM_CXFULLSCREEN = 16;
constexpr int SM_CYFULLSCREEN = 17;
constexpr int SM_CYVSCROLL = 20;
constexpr int SM_CXHSCROLL = 21;
constexpr int SM_CXDOUBLECLK = 36;
constexpr int SM_CYDOUBLECLK = 37;
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;
int GetSystemMetrics(int index);

// The user's UI language: FOLVANE_UI_LANGUAGE (hexadecimal LANGID) when
// set, else derived from the host's locale, else English (0x409).
LANGID GetUserDefaultUILanguage();
// The LANGID of a POSIX locale name such as "fr_FR.UTF-8"; 0 if unknown.
LANGID LanguageFromLocale(std::string_view locale);

}  // namespace platform
