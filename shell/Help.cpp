#include "shell/Help.h"

#include <cstdio>

#include "platform/Files.h"
#include "platform/Kernel.h"
#include "shell/Localization.h"

namespace shell {

namespace {

constexpr platform::LANGID kEnglish = 0x409;
constexpr char16_t kHelpViewer[] = u"peghelp.exe";
constexpr char16_t kHelpSubfolder[] = u"Help\\";

// "<folder>KVTDxxxx.htm" for a language.
bool HelpPath(const char16_t* folder, platform::LANGID language, WString& path) {
  char name[16];
  std::snprintf(name, sizeof name, "KVTD%04x.htm", static_cast<unsigned>(language));
  char16_t wide[16] = {};
  for (int i = 0; name[i] != 0 && i < 15; ++i) wide[i] = static_cast<char16_t>(name[i]);
  return path.AssignCString(folder) && path.Append(wide, 12);
}

bool Exists(const WString& path) {
  platform::WIN32_FILE_ATTRIBUTE_DATA data{};
  return platform::GetFileAttributesExW(path.Chars(), platform::GetFileExInfoStandard, &data) &&
         (data.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

void GetHelpFolder(WString& folder) {
  folder.Clear();
  char16_t program[platform::MAX_PATH] = {};
  const platform::DWORD length = platform::GetModuleFileNameW(nullptr, program, platform::MAX_PATH);
  if (length == 0 || length >= platform::MAX_PATH) return;
  WString path;
  if (!path.Assign(program, length)) return;
  const int32_t split = path.LastIndexOf(u'\\');
  if (path.Substring(0, split + 1, folder)) folder.Append(kHelpSubfolder, 5);
}

bool FindHelpFile(const char16_t* folder, platform::LANGID language, WString& path) {
  if (HelpPath(folder, language, path) && Exists(path)) return true;
  HelpPath(folder, kEnglish, path);
  return false;
}

void ShowHelp() {
  WString folder, path;
  GetHelpFolder(folder);
  FindHelpFile(folder.Chars(), GetUILanguage(), path);
  char16_t* commandLine = path.IsEmpty() ? nullptr : const_cast<char16_t*>(path.Chars());
  platform::PROCESS_INFORMATION process{};
  if (platform::CreateProcessW(kHelpViewer, commandLine, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr,
                               &process)) {
    platform::CloseHandle(process.hProcess);
    platform::CloseHandle(process.hThread);
  }
}

}  // namespace shell
