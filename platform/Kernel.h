#pragma once
// Kernel objects: the named mutex that keeps one instance running, process
// start-up for the help viewer, and handle closing.
#include <string>

#include "platform/Types.h"

namespace platform {

// A named mutex is a locked file in the runtime folder, so it is seen by
// every process of the user. Opening a name that another opener (in any
// process) still holds succeeds with GetLastError() == ERROR_ALREADY_EXISTS.
HANDLE CreateMutexW(SECURITY_ATTRIBUTES* attributes, BOOL initialOwner, LPCWSTR name);
BOOL ReleaseMutex(HANDLE mutex);
BOOL CloseHandle(HANDLE object);

struct STARTUPINFOW;
struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};

// Starts a program. The device's help viewer ("peghelp.exe") is the
// desktop's document opener (FOLVANE_HELP_VIEWER, else xdg-open when a
// display is available), handed the file named on the command line; without
// one the request is logged. Other programs are not available.
BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, SECURITY_ATTRIBUTES* processAttributes,
                    SECURITY_ATTRIBUTES* threadAttributes, BOOL inheritHandles, DWORD flags, void* environment,
                    LPCWSTR currentFolder, STARTUPINFOW* startup, PROCESS_INFORMATION* information);

DWORD GetCurrentProcessId();

// The folder holding the lock files and the sockets through which the
// processes of one user find each other: FOLVANE_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/folvane, else /tmp/folvane-UID. Created when missing; a
// candidate that is not a folder of this user is passed over, and one that
// others may open is closed to them. Empty when no candidate is safe.
std::string RuntimeFolder();
// Creates a folder only this user may open, or checks that an existing one
// is such a folder (owned by the user, not a link); loose permissions are
// tightened.
bool MakePrivateFolder(const std::string& path);

}  // namespace platform
