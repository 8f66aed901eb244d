#pragma once
// The device registry: keys under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE
// holding typed values. In use it is persisted in one human-readable text
// file under the user's configuration folder; tests run it in memory.
#include <string>
#include <string_view>

#include "platform/Types.h"

namespace platform {

using REGSAM = DWORD;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(uintptr_t{0x80000000});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002});

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

// Access rights: accepted and not enforced, as on the device.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// RegCreateKeyExW's disposition.
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// All functions return an error code (ERROR_SUCCESS on success).
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                     REGSAM access, SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition);
// With data null, reports the type and size only. With a buffer smaller than
// the value, answers ERROR_MORE_DATA and the size needed in *dataSize.
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
// Deletes a key that has no subkeys.
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
LONG RegCloseKey(HKEY key);

// Where the registry lives. By default it is loaded on first use from
// RegistryFilePath() (FOLVANE_REGISTRY_FILE when set to an absolute path,
// else folvane/registry.txt in $XDG_CONFIG_HOME or ~/.config), and read
// again when another program changed the file. Every change is written back
// at once, atomically, on top of what the file then holds; a change that
// changes nothing writes nothing.
std::string RegistryFilePath();
// Persists in the given file from now on (forgetting the current contents
// and loading that file on next use).
void UseRegistryFile(const std::string& path);
// Keeps the registry in memory only, starting empty (tests).
void UseInMemoryRegistry();
// Replaces the contents with a text in the file's format; false when the
// text does not parse (the contents are then unchanged).
bool LoadRegistryText(std::string_view text);
// The contents in the file's format.
std::string SaveRegistryText();

// Changes made while a batch lives are written together when the last batch
// ends (one write for one logical change that sets several values); if that
// write fails, the batch's changes are undone.
class RegistryBatch {
 public:
  RegistryBatch();
  ~RegistryBatch();
  RegistryBatch(const RegistryBatch&) = delete;
  RegistryBatch& operator=(const RegistryBatch&) = delete;
};

// Test hooks: make registry calls fail.
struct RegistryTestHooks {
  // The next this-many registry calls (open, create, query, set, delete)
  // fail with failCode.
  uint32_t failNext = 0;
  LONG failCode = static_cast<LONG>(ERROR_ACCESS_DENIED);
  // Writing the file fails while set; the change is then not made.
  bool failWrite = false;
  // How many times the file was written.
  uint64_t fileWrites = 0;
};
RegistryTestHooks& GetRegistryTestHooks();

}  // namespace platform
