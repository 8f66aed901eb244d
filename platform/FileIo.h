#pragma once
// Files as the device's C runtime offers them: opened by a wide (UTF-16)
// path with _wfopen, read with fread, positioned with fseek. Device paths
// use "\" as the separator; it maps to the host's "/".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

struct FileHandle;

inline constexpr int kSeekSet = 0;
inline constexpr int kSeekCur = 1;
inline constexpr int kSeekEnd = 2;

// Null when the file cannot be opened or the path is not valid UTF-16.
FileHandle* _wfopen(const char16_t* path, const char16_t* mode);
size_t fread(void* buffer, size_t size, size_t count, FileHandle* file);
// 64-bit offsets; 0 on success, -1 on failure.
int fseek(FileHandle* file, int64_t offset, int origin);
int64_t ftell(FileHandle* file);
int fclose(FileHandle* file);
int ferror(FileHandle* file);
int feof(FileHandle* file);
// The file's size in bytes; false when it cannot be found.
bool GetFileSize64(FileHandle* file, uint64_t* size);

// The host path of a device path: UTF-16 to UTF-8, "\" to "/". False for
// unpaired surrogates and embedded NULs.
bool DevicePathToHost(std::u16string_view path, std::string* host);

}  // namespace platform
