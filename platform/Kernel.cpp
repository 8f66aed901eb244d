#include "platform/Kernel.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/Files.h"
#include "platform/WideText.h"

extern char** environ;

namespace platform {
namespace {

constexpr DWORD kErrorFilenameTooLong = 206;

enum class ObjectKind { kMutex, kProcess, kThread };

struct KernelObject {
  ObjectKind kind;
  int descriptor = -1;  // the lock file of a named mutex
  DWORD processId = 0;
};

std::mutex g_lock;
std::set<KernelObject*>& Objects() {
  static auto* objects = new std::set<KernelObject*>();
  return *objects;
}

HANDLE NewObject(KernelObject object) {
  auto* created = new KernelObject(object);
  std::lock_guard guard(g_lock);
  Objects().insert(created);
  return created;
}

// A file name for a mutex name: letters, digits, ".", "_" and "-" stay,
// everything else becomes %XX of its UTF-8 bytes.
std::string LockFileName(std::u16string_view name) {
  std::string escaped;
  for (unsigned char c : Utf8FromWide(name)) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
        c == '-') {
      escaped.push_back(static_cast<char>(c));
    } else {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", c);
      escaped += code;
    }
  }
  return escaped;
}

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string_view rest = path;
  while (!rest.empty()) {
    const size_t colon = rest.find(':');
    const std::string folder(rest.substr(0, colon));
    if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return false;
}

// Starts program with one argument, detached: a shell starts it in the
// background and exits at once, so no child is left to reap.
bool SpawnDetached(const std::string& program, const std::string& argument, DWORD& processId) {
  const char* argv[] = {"/bin/sh", "-c", "\"$0\" \"$1\" </dev/null >/dev/null 2>&1 &", program.c_str(),
                        argument.c_str(), nullptr};
  pid_t child = 0;
  if (::posix_spawn(&child, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return false;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  processId = static_cast<DWORD>(child);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::u16string BaseName(std::u16string_view path) {
  const size_t separator = path.find_last_of(u"\\/");
  return std::u16string(separator == std::u16string_view::npos ? path : path.substr(separator + 1));
}

}  // namespace

bool MakePrivateFolder(const std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  // A symbolic link or a folder of another user could let them see or plant
  // the sockets and locks.
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) return false;
  if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) return false;
  return true;
}

std::string RuntimeFolder() {
  std::string folder;
  if (const char* own = std::getenv("FOLVANE_RUNTIME_DIR"); own != nullptr && own[0] == '/') {
    folder = own;
  } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {
    folder = std::string(runtime) + "/folvane";
  }
  if (!folder.empty() && MakePrivateFolder(folder)) return folder;
  folder = "/tmp/folvane-" + std::to_string(::getuid());
  if (MakePrivateFolder(folder)) return folder;
  std::fprintf(stderr, "kernel: no private runtime folder (%s belongs to someone else)\n", folder.c_str());
  return std::string();
}

HANDLE CreateMutexW(SECURITY_ATTRIBUTES*, BOOL, LPCWSTR name) {
  const std::u16string_view text = WideView(name);
  if (text.empty()) {
    SetLastError(ERROR_SUCCESS);
    return NewObject(KernelObject{ObjectKind::kMutex});
  }
  const std::string file = LockFileName(text);
  if (file.size() > 200) {
    SetLastError(kErrorFilenameTooLong);
    return nullptr;
  }
  const std::string folder = RuntimeFolder();
  if (folder.empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const std::string path = folder + "/" + file + ".lock";
  const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (descriptor < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  // The lock belongs to this open file: it lasts until the handle is closed
  // or the process ends, however it ends.
  const bool first = ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
  if (!first && errno != EWOULDBLOCK) {
    ::close(descriptor);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const HANDLE handle = NewObject(KernelObject{ObjectKind::kMutex, descriptor});
  SetLastError(first ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
  return handle;
}

BOOL ReleaseMutex(HANDLE mutex) {
  std::lock_guard guard(g_lock);
  return Objects().count(static_cast<KernelObject*>(mutex)) != 0 ? TRUE : FALSE;
}

BOOL CloseHandle(HANDLE object) {
  auto* kernelObject = static_cast<KernelObject*>(object);
  {
    std::lock_guard guard(g_lock);
    if (Objects().erase(kernelObject) == 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  if (kernelObject->descriptor >= 0) ::close(kernelObject->descriptor);
  delete kernelObject;
  return TRUE;
}

BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, SECURITY_ATTRIBUTES*, SECURITY_ATTRIBUTES*, BOOL,
                    DWORD, void*, LPCWSTR, STARTUPINFOW*, PROCESS_INFORMATION* information) {
  if (information != nullptr) *information = PROCESS_INFORMATION{};
  const std::u16string program = BaseName(WideView(application));
  const std::string document = HostPathFromDevice(WideView(commandLine));
  if (!WideEqualsNoCase(program, u"peghelp.exe")) {
    std::fprintf(stderr, "process: %s is not available on this device\n", Utf8FromWide(program).c_str());
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  std::string viewer;
  if (const char* chosen = std::getenv("FOLVANE_HELP_VIEWER"); chosen != nullptr && chosen[0] != 0) {
    viewer = chosen;
  } else if ((std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr) &&
             OnPath("xdg-open")) {
    viewer = "xdg-open";
  }
  DWORD processId = 0;
  if (viewer.empty() || !SpawnDetached(viewer, document, processId)) {
    std::fprintf(stderr, "help: %s\n", document.c_str());
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (information != nullptr) {
    information->hProcess = NewObject(KernelObject{ObjectKind::kProcess, -1, processId});
    information->hThread = NewObject(KernelObject{ObjectKind::kThread, -1, processId});
    information->dwProcessId = processId;
    information->dwThreadId = processId;
  }
  return TRUE;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

}  // namespace platform
