#include "platform/Files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/WideText.h"

namespace platform {
namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDifferenceSeconds = 11644473600;
constexpr int64_t kTicksPerSecond = 10000000;

struct FindState {
  DIR* folder = nullptr;
  std::string hostFolder;
  std::u16string pattern;
};

FILETIME ToFileTime(const timespec& time) {
  const int64_t seconds = static_cast<int64_t>(time.tv_sec) + kEpochDifferenceSeconds;
  const int64_t ticks = seconds < 0 ? 0 : seconds * kTicksPerSecond + time.tv_nsec / 100;
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_PATH_NOT_FOUND;
  }
}

DWORD AttributesOf(const std::string& hostPath, std::string_view name, const struct stat& info) {
  DWORD attributes = 0;
  if (S_ISDIR(info.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (!S_ISREG(info.st_mode)) {
    // Sockets, pipes and devices are nothing a document browser should offer.
    attributes |= FILE_ATTRIBUTE_SYSTEM;
  }
  if (!name.empty() && name[0] == '.') attributes |= FILE_ATTRIBUTE_HIDDEN;
  if (::access(hostPath.c_str(), W_OK) != 0 && errno == EACCES) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

// Fills the fields common to find data and attribute data.
template <typename Data>
void FillFromStat(Data& data, const std::string& hostPath, std::string_view name, const struct stat& info) {
  data.dwFileAttributes = AttributesOf(hostPath, name, info);
  data.ftCreationTime = ToFileTime(info.st_ctim);
  data.ftLastAccessTime = ToFileTime(info.st_atim);
  data.ftLastWriteTime = ToFileTime(info.st_mtim);
  const auto size = S_ISDIR(info.st_mode) ? uint64_t{0} : static_cast<uint64_t>(info.st_size);
  data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
}

// Follows symbolic links; a dangling link is still listed, as a system entry.
bool StatEntry(const std::string& path, struct stat& info) {
  return ::stat(path.c_str(), &info) == 0 || ::lstat(path.c_str(), &info) == 0;
}

std::string LastName(std::string_view hostPath) {
  while (hostPath.size() > 1 && hostPath.back() == '/') hostPath.remove_suffix(1);
  const size_t slash = hostPath.rfind('/');
  return std::string(slash == std::string_view::npos ? hostPath : hostPath.substr(slash + 1));
}

bool NextMatch(FindState& state, WIN32_FIND_DATAW* data) {
  while (dirent* entry = ::readdir(state.folder)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::u16string wideName = WideFromUtf8(name);
    // A name the device's fixed-size field cannot hold is left out rather
    // than handed on cut short (it could then not be opened again).
    if (wideName.size() >= MAX_PATH) continue;
    if (!MatchesFindPattern(state.pattern, wideName)) continue;
    const std::string hostPath = state.hostFolder + std::string(name);
    struct stat info {};
    if (!StatEntry(hostPath, info)) continue;
    *data = WIN32_FIND_DATAW{};
    FillFromStat(*data, hostPath, name, info);
    WideCopy(data->cFileName, MAX_PATH, wideName);
    return true;
  }
  return false;
}

// Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

namespace {

std::string& RootFolder() {
  static std::string root;
  return root;
}

}  // namespace

void SetDeviceFileRoot(std::string_view hostFolder) {
  std::string root(hostFolder);
  while (!root.empty() && root.back() == '/') root.pop_back();
  RootFolder() = root;
}

const std::string& DeviceFileRoot() { return RootFolder(); }

std::string HostPathFromDevice(std::u16string_view devicePath) {
  std::string path = Utf8FromWide(devicePath);
  for (auto& c : path) {
    if (c == '\\') c = '/';
  }
  if (!RootFolder().empty() && !path.empty() && path[0] == '/') path.insert(0, RootFolder());
  return path;
}

std::u16string DevicePathFromHost(std::string_view hostPath) {
  const std::string& root = RootFolder();
  if (!root.empty() && hostPath.starts_with(root) &&
      (hostPath.size() == root.size() || hostPath[root.size()] == '/')) {
    hostPath.remove_prefix(root.size());
    if (hostPath.empty()) hostPath = "/";
  }
  std::u16string path = WideFromUtf8(hostPath);
  for (auto& c : path) {
    if (c == u'/') c = u'\\';
  }
  return path;
}

bool MatchesFindPattern(std::u16string_view pattern, std::u16string_view name) {
  // "*.*" means every name, with or without a dot.
  if (pattern == u"*.*" || pattern == u"*") return true;
  // Iterative wildcard match with one backtrack point.
  size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || WideLowerAscii(pattern[p]) == WideLowerAscii(name[n]))) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data) {
  const std::u16string_view text = WideView(pattern);
  if (data == nullptr || text.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const size_t separator = text.find_last_of(u"\\/");
  auto* state = new FindState();
  if (separator == std::u16string_view::npos) {
    state->hostFolder = "./";
    state->pattern = text;
  } else {
    state->hostFolder = HostPathFromDevice(text.substr(0, separator + 1));
    state->pattern = text.substr(separator + 1);
  }
  state->folder = ::opendir(state->hostFolder.c_str());
  if (state->folder == nullptr) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
    delete state;
    return INVALID_HANDLE_VALUE;
  }
  if (!NextMatch(*state, data)) {
    ::closedir(state->folder);
    delete state;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return state;
}

BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) {
  if (find == nullptr || find == INVALID_HANDLE_VALUE || data == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!NextMatch(*static_cast<FindState*>(find), data)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  if (find == nullptr || find == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  auto* state = static_cast<FindState*>(find);
  ::closedir(state->folder);
  delete state;
  return TRUE;
}

BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, void* information) {
  const std::u16string_view text = WideView(path);
  if (information == nullptr || level != GetFileExInfoStandard || text.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string hostPath = HostPathFromDevice(text);
  struct stat info {};
  if (::stat(hostPath.c_str(), &info) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  auto& data = *static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(information);
  data = WIN32_FILE_ATTRIBUTE_DATA{};
  FillFromStat(data, hostPath, LastName(hostPath), info);
  return TRUE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  if (module != nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (buffer == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::vector<char> host(4096);
  const ssize_t length = ::readlink("/proc/self/exe", host.data(), host.size());
  if (length <= 0 || static_cast<size_t>(length) >= host.size()) {
    SetLastError(length <= 0 ? ErrorFromErrno(errno) : ERROR_INSUFFICIENT_BUFFER);
    buffer[0] = 0;
    return 0;
  }
  const std::u16string device = DevicePathFromHost(std::string_view(host.data(), static_cast<size_t>(length)));
  const DWORD fits = static_cast<DWORD>(std::min<size_t>(device.size(), size - 1));
  for (DWORD i = 0; i < fits; ++i) buffer[i] = static_cast<WCHAR>(device[i]);
  buffer[fits] = 0;
  if (fits < device.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  return fits;
}

DWORD GetFileAttributesW(LPCWSTR path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return INVALID_FILE_ATTRIBUTES;
  return data.dwFileAttributes;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
  if (fileTime == nullptr || systemTime == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const uint64_t ticks = (static_cast<uint64_t>(fileTime->dwHighDateTime) << 32) | fileTime->dwLowDateTime;
  // Times beyond the signed range are refused, as the device does.
  if (ticks > 0x7FFFFFFFFFFFFFFFull) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto totalSeconds = static_cast<int64_t>(ticks / kTicksPerSecond);
  const int64_t days = totalSeconds / 86400 - kEpochDifferenceSeconds / 86400;
  const int64_t secondsOfDay = totalSeconds % 86400;
  int64_t year = 0;
  unsigned month = 0, day = 0;
  CivilFromDays(days, year, month, day);
  if (year > 30827) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  systemTime->wYear = static_cast<WORD>(year);
  systemTime->wMonth = static_cast<WORD>(month);
  systemTime->wDay = static_cast<WORD>(day);
  // 1601-01-01 was a Monday.
  systemTime->wDayOfWeek = static_cast<WORD>((totalSeconds / 86400 + 1) % 7);
  systemTime->wHour = static_cast<WORD>(secondsOfDay / 3600);
  systemTime->wMinute = static_cast<WORD>(secondsOfDay / 60 % 60);
  systemTime->wSecond = static_cast<WORD>(secondsOfDay % 60);
  systemTime->wMilliseconds = static_cast<WORD>(ticks / 10000 % 1000);
  return TRUE;
}

}  // namespace platform
