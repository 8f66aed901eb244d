#pragma once
// The device's file system, mapped onto the host's: device paths are rooted
// at "\" and separated by "\", which is the host's "/".
#include <string>
#include <string_view>

#include "platform/Types.h"

namespace platform {

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwOID;  // object store id; the host has none and gives 0
  WCHAR cFileName[MAX_PATH];
};

struct WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
};

enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard = 0 };

// The host folder the device's root "\" stands for: "" (the host's root)
// unless set. A test can give the device a file system of its own.
void SetDeviceFileRoot(std::string_view hostFolder);
const std::string& DeviceFileRoot();

// The host path of a device path ("\" becomes "/", below the device's
// root folder), in UTF-8.
std::string HostPathFromDevice(std::u16string_view devicePath);
// The device path of a host path ("/" becomes "\"; a path below the
// device's root folder loses that prefix).
std::u16string DevicePathFromHost(std::string_view hostPath);

// Enumerates a folder: the pattern is a folder, "\" and a name that may hold
// "*" and "?" (compared without regard to case; "*.*" matches every name).
// Never reports "." or "..". Entries whose names start with "." are hidden;
// anything but plain files and folders is a system entry.
HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data);
BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data);
BOOL FindClose(HANDLE find);

BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, void* information);
// The device path of the running executable (module null: the process has
// no other modules). Writes at most `size` units with the terminator and
// answers the units written without it; a path that does not fit is cut
// to size - 1 units, answers `size` and sets ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
DWORD GetFileAttributesW(LPCWSTR path);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);

// Whether a name matches a find pattern, as FindFirstFileW compares.
bool MatchesFindPattern(std::u16string_view pattern, std::u16string_view name);

}  // namespace platform
