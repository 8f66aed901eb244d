#include "shell/Settings.h"

#include <iterator>
#include <utility>

#include "platform/Files.h"
#include "platform/Registry.h"
#include "runtime/WideString.h"

namespace shell {
namespace {

using platform::BYTE;
using platform::DWORD;
using platform::HKEY;

// Initial zoom types: an explicit percentage, fit width, fit screen.
constexpr uint32_t kZoomExplicit = 0;
constexpr uint32_t kZoomFitWidth = 1;
constexpr uint32_t kZoomFitScreen = 3;

// A recent-file value is read into 260 characters, the last forced to zero.
constexpr DWORD kRecentFileBufferUnits = kMaxRecentPathLength + 1;

// The initial browser path is re-queried while the value reports a larger
// size; a value that keeps growing between queries is given up on.
constexpr int kMaxPathQueries = 4;
// Longest initial browser path we accept, in characters; far beyond any real
// folder, it only bounds what a damaged registry can make us allocate.
constexpr DWORD kMaxBrowserPathUnits = 0x8000;

// An open registry key, closed when it goes out of scope.
class KeyHolder {
 public:
  KeyHolder() = default;
  ~KeyHolder() {
    if (key) platform::RegCloseKey(key);
  }
  KeyHolder(const KeyHolder&) = delete;
  KeyHolder& operator=(const KeyHolder&) = delete;

  bool Open(HKEY root, const char16_t* path) {
    return platform::RegOpenKeyExW(root, path, 0, platform::KEY_READ, &key) ==
           static_cast<platform::LONG>(platform::ERROR_SUCCESS);
  }
  bool Create(HKEY root, const char16_t* path) {
    DWORD disposition = 0;
    return platform::RegCreateKeyExW(root, path, 0, nullptr, 0, platform::KEY_ALL_ACCESS,
                                     nullptr, &key, &disposition) ==
           static_cast<platform::LONG>(platform::ERROR_SUCCESS);
  }
  HKEY Get() const { return key; }

 private:
  HKEY key = nullptr;
};

bool Succeeded(platform::LONG result) {
  return result == static_cast<platform::LONG>(platform::ERROR_SUCCESS);
}

bool WriteString(HKEY key, const char16_t* name, const WString& text) {
  const DWORD bytes = (text.Length() + 1) * sizeof(char16_t);
  return Succeeded(platform::RegSetValueExW(key, name, 0, platform::REG_SZ,
                                            reinterpret_cast<const BYTE*>(text.Chars()), bytes));
}

bool FileExists(const char16_t* path) {
  platform::WIN32_FILE_ATTRIBUTE_DATA data{};
  return platform::GetFileAttributesExW(path, platform::GetFileExInfoStandard, &data) != 0;
}

}  // namespace

bool ReadSettingDword(const char16_t* name, uint32_t* value) {
  KeyHolder key;
  if (!key.Open(platform::HKEY_CURRENT_USER, kSettingsKey)) return false;
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof data;
  // A value of another type would leave part of the word unset.
  if (!Succeeded(platform::RegQueryValueExW(key.Get(), name, nullptr, &type,
                                            reinterpret_cast<BYTE*>(&data), &size)) ||
      type != platform::REG_DWORD || size != sizeof data) {
    return false;
  }
  *value = data;
  return true;
}

uint32_t ReadOptionBits(uint32_t platformType) {
  constexpr uint32_t kPocketPc = 2;
  uint32_t options = 0;
  uint32_t value = 0;
  // Reflow is offered unless it is switched off explicitly.
  if (!ReadSettingDword(kEnableReflowValue, &value) || value != 0) options |= kOptionReflow;
  if (ReadSettingDword(kOpenInFullScreenValue, &value) && value != 0) {
    options |= kOptionOpenInFullScreen;
  }
  if (ReadSettingDword(kDisableSinglePageModeValue, &value) && value != 0) {
    options |= kOptionNoSinglePage;
  }
  if (platformType == kPocketPc) options |= kOptionPocketPc;
  return options;
}

float ClampZoomFactor(float factor) {
  if (!(factor >= kMinZoomFactor)) return kMinZoomFactor;  // also not-a-number
  if (factor > kMaxZoomFactor) return kMaxZoomFactor;
  return factor;
}

bool ReadInitialZoom(uint32_t* zoomMode, float* zoomFactor) {
  uint32_t type = 0;
  if (!ReadSettingDword(kInitialZoomTypeValue, &type)) return false;
  if (type == kZoomFitWidth || type == kZoomFitScreen) {
    *zoomMode = type;
    *zoomFactor = 0.0f;
    return true;
  }
  if (type != kZoomExplicit) return false;
  uint32_t percent = 0;
  if (!ReadSettingDword(kInitialZoomLevelValue, &percent)) return false;
  *zoomMode = kZoomExplicit;
  // Any stored percentage is accepted, but the factor the viewer turns into
  // a fixed-point number must lie in the layout's range.
  *zoomFactor = ClampZoomFactor(static_cast<float>(percent) * 0.01f);
  return true;
}

bool ReadKeepToolbarInFullScreen() {
  uint32_t value = 0;
  return ReadSettingDword(kKeepToolbarValue, &value) && value != 0;
}

void ReadWriteRecentFile(uint32_t index, WString& path, bool write) {
  if (!write) path.Clear();
  if (index >= kRecentFileCount) return;
  KeyHolder key;
  if (!key.Create(platform::HKEY_CURRENT_USER, kRecentFilesKey)) return;
  // The value name is the index in decimal.
  char16_t name[12];
  runtime::IntToWideString(static_cast<int32_t>(index), name, std::size(name));
  if (write) {
    WriteString(key.Get(), name, path);
    return;
  }
  char16_t buffer[kRecentFileBufferUnits] = {};
  DWORD type = 0;
  DWORD size = sizeof buffer;
  if (!Succeeded(platform::RegQueryValueExW(key.Get(), name, nullptr, &type,
                                            reinterpret_cast<BYTE*>(buffer), &size)) ||
      type != platform::REG_SZ) {
    return;
  }
  buffer[kRecentFileBufferUnits - 1] = 0;
  if (buffer[0] != 0 && FileExists(buffer)) path.AssignCString(buffer);
}

void AddRecentFile(const WString& path) {
  // An empty path would stop the shift at once, and a longer one could never
  // be read back: either would only cost the list an entry.
  if (path.IsEmpty() || path.Length() > kMaxRecentPathLength) return;
  // The list moves as a whole: one write of the registry.
  platform::RegistryBatch batch;
  WString entry;
  WString empty;
  for (uint32_t index = 0; index < kRecentFileCount; ++index) {
    ReadWriteRecentFile(index, entry, false);
    if (entry.Equals(path)) ReadWriteRecentFile(index, empty, true);
  }
  WString carry;
  if (!carry.Copy(path)) return;
  for (uint32_t index = 0; index < kRecentFileCount && !carry.IsEmpty(); ++index) {
    ReadWriteRecentFile(index, entry, false);
    ReadWriteRecentFile(index, carry, true);
    carry = std::move(entry);
  }
}

void SetOemIgnoreApp(uint32_t oldPenTool, uint32_t newPenTool) {
  if (oldPenTool == newPenTool) return;
  const bool entering = newPenTool == kPenToolZoomRectangle;
  if (!entering && oldPenTool != kPenToolZoomRectangle) return;
  KeyHolder key;
  if (!key.Create(platform::HKEY_LOCAL_MACHINE, kIgnoreAppsKey)) return;
  if (entering) {
    WString name;
    if (name.AssignCString(kExecutableName)) WriteString(key.Get(), kIgnoreAppValueName, name);
  } else {
    platform::RegDeleteValueW(key.Get(), kIgnoreAppValueName);
  }
}

void ReadInitialFileBrowserPath(WString& path) {
  path.Clear();
  KeyHolder key;
  if (!key.Open(platform::HKEY_CURRENT_USER, kSettingsKey)) return;
  // Room for the data plus one unit for a zero of our own: the stored value
  // may lack its terminator or have an odd byte count.
  DWORD units = 0;
  for (int query = 0; query < kMaxPathQueries; ++query) {
    char16_t* buffer = path.Resize(units);
    if (!buffer) return;
    DWORD type = 0;
    DWORD size = units * sizeof(char16_t);
    const platform::LONG result = platform::RegQueryValueExW(
        key.Get(), kInitialFileBrowserPathValue, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
        &size);
    if (result == static_cast<platform::LONG>(platform::ERROR_MORE_DATA)) {
      const DWORD needed = size / 2 + size % 2;
      if (needed <= units || needed > kMaxBrowserPathUnits) break;
      units = needed;
      continue;
    }
    if (!Succeeded(result) || type != platform::REG_SZ) break;
    // A trailing odd byte is half a character and is dropped with the rest.
    buffer[size / 2 < units ? size / 2 : units] = 0;
    path.TrimToTerminator();
    return;
  }
  path.Clear();
}

}  // namespace shell
