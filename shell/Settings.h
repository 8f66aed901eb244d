#pragma once
// The application's settings in the registry: the values users and
// administrators set with outside tools (read when needed, never cached), the
// recent-files list and the device maker's ignore-list value (the only values
// the program writes itself). Every registry failure is silent and leaves the
// default, the empty string, or no change.
#include <cstdint>

#include "shell/WString.h"

namespace shell {

// HKEY_CURRENT_USER keys.
inline constexpr char16_t kSettingsKey[] = u"Software\\Vantrel\\VantrelFolvaneZo.25";
inline constexpr char16_t kRecentFilesKey[] = u"Software\\Vantrel\\VantrelFolvaneZo.25\\RecentFiles";
// HKEY_LOCAL_MACHINE key of the device maker's gesture service, and the value
// that names us there while the pen tool is the zoom rectangle.
inline constexpr char16_t kIgnoreAppsKey[] = u"Software\\OEM\\TFLOSettings\\TFLOIgnoreAPPs\\";
inline constexpr char16_t kIgnoreAppValueName[] = u"IgnoreAppKVTD";
inline constexpr char16_t kExecutableName[] = u"VantrelFolvaneZo.exe";

// Values under kSettingsKey.
inline constexpr char16_t kEnableReflowValue[] = u"EnableReflow";
inline constexpr char16_t kOpenInFullScreenValue[] = u"OpenInFullScreen";
inline constexpr char16_t kDisableSinglePageModeValue[] = u"DisableSinglePageMode";
inline constexpr char16_t kInitialZoomTypeValue[] = u"InitialZoomType";
inline constexpr char16_t kInitialZoomLevelValue[] = u"InitialZoomLevel";
inline constexpr char16_t kKeepToolbarValue[] = u"KeepToolbarInFullScreen";
inline constexpr char16_t kInitialFileBrowserPathValue[] = u"InitialFileBrowserPath";
inline constexpr char16_t kLanguageOverrideValue[] = u"LanguageOverride";

// The viewer's option word.
inline constexpr uint32_t kOptionPocketPc = 1 | 2 | 4;  // Quick Zoom, toolbar, button bar
inline constexpr uint32_t kOptionReflow = 8;
inline constexpr uint32_t kOptionOpenInFullScreen = 16;
inline constexpr uint32_t kOptionNoSinglePage = 32;

inline constexpr uint32_t kRecentFileCount = 10;
// A recent-file entry holds a full path of at most this many characters.
inline constexpr uint32_t kMaxRecentPathLength = 259;

// Pen tools of the page view that matter to the ignore-list value.
inline constexpr uint32_t kPenToolZoomRectangle = 2;

// The layout's zoom range: a factor between 5242/65536 and 10.
inline constexpr float kMinZoomFactor = 5242.0f / 65536.0f;
inline constexpr float kMaxZoomFactor = 10.0f;

// A DWORD value under kSettingsKey; false (and *value untouched) when the
// key or value is missing, unreadable, or not a 4-byte DWORD.
bool ReadSettingDword(const char16_t* name, uint32_t* value);

// The option word for the given platform type.
uint32_t ReadOptionBits(uint32_t platformType);

// The initial zoom: true with mode 1 or 3 (fit width, fit screen), or with
// mode 0 and the factor from the percentage; false when none is set.
bool ReadInitialZoom(uint32_t* zoomMode, float* zoomFactor);
// Brings a factor into the layout's zoom range, so that turning it into a
// fixed-point factor is always defined; not-a-number becomes the minimum.
float ClampZoomFactor(float factor);

bool ReadKeepToolbarInFullScreen();

// Reads (write false) or writes (write true) recent-file entry `index`, 0 to
// 9. A read gives the empty string unless the entry is a REG_SZ naming a file
// that exists.
void ReadWriteRecentFile(uint32_t index, WString& path, bool write);
// Puts `path` first in the list, removing an equal entry and moving the
// others down until the first empty entry.
void AddRecentFile(const WString& path);

// Writes the ignore-list value when the pen tool becomes the zoom rectangle
// and deletes it when the tool leaves it.
void SetOemIgnoreApp(uint32_t oldPenTool, uint32_t newPenTool);

// The folder the file browser opens first; empty when not set.
void ReadInitialFileBrowserPath(WString& path);

}  // namespace shell
