#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "TempFolder.h"
#include "WindowTestSupport.h"
#include "platform/Kernel.h"
#include "platform/WideText.h"

extern char** environ;

namespace platform {
namespace {

constexpr const char16_t* kClass = u"Folvane Instance Test";
constexpr const char16_t* kTitle = u"Instance Test Window";

TEST(InstanceTest, NamedMutexTellsTheSecondOpener) {
  testing::UsePrivateRuntimeFolder();
  const HANDLE first = CreateMutexW(nullptr, FALSE, u"Folvane Mutex Test \u00e9/..");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  const HANDLE second = CreateMutexW(nullptr, FALSE, u"Folvane Mutex Test \u00e9/..");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_FALSE(CloseHandle(first));
  // Once the holder is gone the name is free again.
  const HANDLE again = CreateMutexW(nullptr, FALSE, u"Folvane Mutex Test \u00e9/..");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  CloseHandle(again);
}

// ---- the two processes -----------------------------------------------------

std::u16string g_received;

LRESULT FirstInstanceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (wParam == 0 && copy != nullptr && copy->lpData != nullptr && copy->cbData >= 2) {
      g_received.assign(static_cast<const char16_t*>(copy->lpData), copy->cbData / 2 - 1);
      PostQuitMessage(0);
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The first instance: holds the mutex, shows its window, says it is ready
// and waits for the command line of a second instance.
int RunFirstInstance() {
  alarm(30);
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, kClass);
  if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 10;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = FirstInstanceProc;
  windowClass.lpszClassName = kClass;
  if (RegisterClassW(&windowClass) == 0) return 11;
  if (CreateWindowExW(0, kClass, kTitle, WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr) == nullptr) {
    return 12;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
  std::printf("received:%s\n", Utf8FromWide(g_received).c_str());
  std::fflush(stdout);
  return 0;
}

// The second instance: finds the first and hands it its command line.
int RunSecondInstance(const char* path) {
  alarm(30);
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, kClass);
  if (mutex == nullptr) return 20;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return 21;
  CloseHandle(mutex);
  const HWND window = FindWindowW(kClass, kTitle);
  if (window == nullptr) return 22;
  SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(window) | 1));
  std::u16string commandLine = WideFromUtf8(path);
  COPYDATASTRUCT copy{0, static_cast<DWORD>((commandLine.size() + 1) * 2), commandLine.data()};
  SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
  return 0;
}

pid_t Start(const char* role, const std::string& argument, int* output) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  const std::string filter = "--gtest_filter=InstanceTest.SecondProcessHandsItsPathToTheFirst";
  const std::string roleVariable = std::string("FOLVANE_TEST_ROLE=") + role;
  const std::string argumentVariable = "FOLVANE_TEST_ARGUMENT=" + argument;
  std::vector<char*> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.push_back(*entry);
  environment.push_back(const_cast<char*>(roleVariable.c_str()));
  environment.push_back(const_cast<char*>(argumentVariable.c_str()));
  environment.push_back(nullptr);
  const char* argv[] = {"/proc/self/exe", filter.c_str(), nullptr};
  pid_t child = -1;
  if (posix_spawn(&child, "/proc/self/exe", &actions, nullptr, const_cast<char**>(argv), environment.data()) != 0) {
    child = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeEnds[1]);
  *output = pipeEnds[0];
  return child;
}

std::string ReadLine(int descriptor) {
  std::string line;
  char c = 0;
  while (::read(descriptor, &c, 1) == 1 && c != '\n') line.push_back(c);
  return line;
}

int WaitFor(pid_t child) {
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(InstanceTest, SecondProcessHandsItsPathToTheFirst) {
  if (const char* role = std::getenv("FOLVANE_TEST_ROLE"); role != nullptr) {
    // Inside one of the two processes the test starts.
    std::fflush(stdout);
    const int code = std::string(role) == "first" ? RunFirstInstance()
                                                  : RunSecondInstance(std::getenv("FOLVANE_TEST_ARGUMENT"));
    std::fflush(stdout);
    std::_Exit(code);
  }
  testing::TempFolder runtime;
  const char* previous = std::getenv("FOLVANE_RUNTIME_DIR");
  const std::string saved = previous != nullptr ? previous : "";
  ::setenv("FOLVANE_RUNTIME_DIR", runtime.path().c_str(), 1);

  int firstOutput = -1;
  const pid_t first = Start("first", "", &firstOutput);
  ASSERT_GT(first, 0);
  std::string line;
  // gtest prints its own lines first; wait for ours.
  while ((line = ReadLine(firstOutput)) != "ready" && !line.empty()) {
  }
  ASSERT_EQ(line, "ready");

  int secondOutput = -1;
  const std::string path = "\\My Documents\\Annual report \u00e9.pdf";
  const pid_t second = Start("second", path, &secondOutput);
  ASSERT_GT(second, 0);
  EXPECT_EQ(WaitFor(second), 0);
  ::close(secondOutput);

  while (!(line = ReadLine(firstOutput)).empty() && !line.starts_with("received:")) {
  }
  EXPECT_EQ(line, "received:" + path);
  EXPECT_EQ(WaitFor(first), 0);
  ::close(firstOutput);
  if (saved.empty()) {
    ::unsetenv("FOLVANE_RUNTIME_DIR");
  } else {
    ::setenv("FOLVANE_RUNTIME_DIR", saved.c_str(), 1);
  }
}

}  // namespace
}  // namespace platform
