#include "platform/FileIo.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/Files.h"

namespace platform {

struct FileHandle {
  std::FILE* file;
};

bool DevicePathToHost(std::u16string_view path, std::string* host) {
  // A name that cannot be spelled exactly on the host is refused rather
  // than opened under a replacement character.
  for (size_t i = 0; i < path.size(); ++i) {
    char16_t unit = path[i];
    if (unit == 0) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 >= path.size() || path[i + 1] < 0xDC00 || path[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
  }
  *host = HostPathFromDevice(path);
  return true;
}

FileHandle* _wfopen(const char16_t* path, const char16_t* mode) {
  if (path == nullptr || mode == nullptr) return nullptr;
  std::string hostPath;
  std::string hostMode;
  if (!DevicePathToHost(path, &hostPath) || !DevicePathToHost(mode, &hostMode)) return nullptr;
  std::FILE* file = std::fopen(hostPath.c_str(), hostMode.c_str());
  if (file == nullptr) return nullptr;
  return new FileHandle{file};
}

size_t fread(void* buffer, size_t size, size_t count, FileHandle* file) {
  if (file == nullptr) return 0;
  return std::fread(buffer, size, count, file->file);
}

int fseek(FileHandle* file, int64_t offset, int origin) {
  if (file == nullptr) return -1;
  int whence = origin == kSeekCur ? SEEK_CUR : origin == kSeekEnd ? SEEK_END : SEEK_SET;
  return ::fseeko(file->file, static_cast<off_t>(offset), whence) == 0 ? 0 : -1;
}

int64_t ftell(FileHandle* file) {
  if (file == nullptr) return -1;
  return static_cast<int64_t>(::ftello(file->file));
}

int fclose(FileHandle* file) {
  if (file == nullptr) return -1;
  int result = std::fclose(file->file);
  delete file;
  return result == 0 ? 0 : -1;
}

int ferror(FileHandle* file) { return file != nullptr ? std::ferror(file->file) : 1; }

int feof(FileHandle* file) { return file != nullptr ? std::feof(file->file) : 0; }

bool GetFileSize64(FileHandle* file, uint64_t* size) {
  if (file == nullptr) return false;
  struct stat info {};
  if (::fstat(::fileno(file->file), &info) != 0) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

}  // namespace platform
