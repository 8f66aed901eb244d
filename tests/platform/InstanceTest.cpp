#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

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
bool g_receivedDuringSlice = false;
bool g_inSlice = false;

LRESULT FirstInstanceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (wParam == 0 && copy != nullptr && copy->lpData != nullptr && copy->cbData >= 2) {
      g_received.assign(static_cast<const char16_t*>(copy->lpData), copy->cbData / 2 - 1);
      g_receivedDuringSlice = g_inSlice;
      PostQuitMessage(0);
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The first instance: holds the mutex, shows its window, says it is ready
// and waits for the command line of a second instance.
// A work slice as the viewer runs one: it only checks whether input is
// pending, until the second instance's request has arrived (or, wrongly, has
// already been delivered).
void RunWorkSlice() {
  g_inSlice = true;
  while (g_received.empty() && (HIWORD(GetQueueStatus(QS_ALLINPUT)) & QS_SENDMESSAGE) == 0) {
    GetQueueStatus(QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON);
  }
  // More checks while the request waits change nothing.
  for (int i = 0; i < 100; ++i) GetQueueStatus(QS_ALLINPUT);
  g_inSlice = false;
  std::printf("slice-ended:%d\n", g_receivedDuringSlice || !g_received.empty() ? 1 : 0);
  std::fflush(stdout);
}

int RunFirstInstance(bool slice) {
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
  if (slice) RunWorkSlice();
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
  const std::string filter = std::string("--gtest_filter=") +
                             ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "." +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name();
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

// Runs the first instance (with or without a work slice) and a second one
// that hands over `path`; returns the first's report lines.
struct HandOver {
  std::string sliceLine;
  std::string receivedLine;
  int firstExit = -1;
  int secondExit = -1;
};

HandOver RunHandOver(bool slice, const std::string& path) {
  HandOver result;
  testing::TempFolder runtime;
  const char* previous = std::getenv("FOLVANE_RUNTIME_DIR");
  const std::string saved = previous != nullptr ? previous : "";
  ::setenv("FOLVANE_RUNTIME_DIR", runtime.path().c_str(), 1);

  int firstOutput = -1;
  const pid_t first = Start(slice ? "first-slice" : "first", "", &firstOutput);
  EXPECT_GT(first, 0);
  std::string line;
  // gtest prints its own lines first; wait for ours.
  while ((line = ReadLine(firstOutput)) != "ready" && !line.empty()) {
  }
  EXPECT_EQ(line, "ready");

  int secondOutput = -1;
  const pid_t second = Start("second", path, &secondOutput);
  EXPECT_GT(second, 0);
  if (slice) {
    while (!(line = ReadLine(firstOutput)).empty() && !line.starts_with("slice-ended:")) {
    }
    result.sliceLine = line;
  }
  result.secondExit = WaitFor(second);
  ::close(secondOutput);
  while (!(line = ReadLine(firstOutput)).empty() && !line.starts_with("received:")) {
  }
  result.receivedLine = line;
  result.firstExit = WaitFor(first);
  ::close(firstOutput);
  if (saved.empty()) {
    ::unsetenv("FOLVANE_RUNTIME_DIR");
  } else {
    ::setenv("FOLVANE_RUNTIME_DIR", saved.c_str(), 1);
  }
  return result;
}

// Inside one of the processes a test starts: play the role and leave.
void PlayRoleIfAsked() {
  const char* role = std::getenv("FOLVANE_TEST_ROLE");
  if (role == nullptr) return;
  std::fflush(stdout);
  const std::string name = role;
  const int code = name == "first"         ? RunFirstInstance(false)
                   : name == "first-slice" ? RunFirstInstance(true)
                                           : RunSecondInstance(std::getenv("FOLVANE_TEST_ARGUMENT"));
  std::fflush(stdout);
  std::_Exit(code);
}

TEST(InstanceTest, SecondProcessHandsItsPathToTheFirst) {
  PlayRoleIfAsked();
  const std::string path = "\\My Documents\\Annual report \u00e9.pdf";
  const HandOver result = RunHandOver(false, path);
  EXPECT_EQ(result.secondExit, 0);
  EXPECT_EQ(result.receivedLine, "received:" + path);
  EXPECT_EQ(result.firstExit, 0);
}

// Checking for pending input during a work slice must not start a new open:
// the hand-over waits for the message loop.
TEST(InstanceTest, HandOverDuringAWorkSliceWaitsForTheMessageLoop) {
  PlayRoleIfAsked();
  const std::string path = "\\My Documents\\during a slice.pdf";
  const HandOver result = RunHandOver(true, path);
  EXPECT_EQ(result.sliceLine, "slice-ended:0");
  EXPECT_EQ(result.secondExit, 0);
  EXPECT_EQ(result.receivedLine, "received:" + path);
  EXPECT_EQ(result.firstExit, 0);
}

// ---- requests of other processes, checked ------------------------------------

// Talks to our own socket the way another process would, byte by byte.
class InstanceSocketTest : public testing::WindowTest {
 protected:
  enum : uint32_t { kFind = 1, kSend = 2, kForeground = 3 };

  std::string SocketPath() { return RuntimeFolder() + "/windows/" + std::to_string(::getpid()) + ".sock"; }

  // Sends raw bytes, lets the message loop run and returns the 8-byte answer
  // (nullopt when the connection gave none).
  std::optional<int64_t> Exchange(const std::vector<uint8_t>& bytes) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = SocketPath();
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    EXPECT_GE(client, 0);
    EXPECT_EQ(::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    if (!bytes.empty()) {
      EXPECT_EQ(::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }
    std::optional<int64_t> answer;
    for (int round = 0; round < 8 && !answer; ++round) {
      Pump();
      pollfd ready{client, POLLIN, 0};
      if (::poll(&ready, 1, 0) == 1) {
        int64_t value = 0;
        if (::recv(client, &value, sizeof value, MSG_WAITALL) == sizeof value) answer = value;
        break;
      }
    }
    ::close(client);
    Pump();
    return answer;
  }

  static void Put(std::vector<uint8_t>& out, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
  }
  static std::vector<uint8_t> Request(uint32_t kind, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> out;
    const uint32_t header[2] = {kind, static_cast<uint32_t>(payload.size())};
    Put(out, header, sizeof header);
    Put(out, payload.data(), payload.size());
    return out;
  }
  static std::vector<uint8_t> Send(HWND window, uint32_t message, uint64_t wParam, int64_t lParam, uint8_t hasCopy,
                                   const std::vector<uint8_t>& data) {
    std::vector<uint8_t> payload;
    const uint64_t handle = reinterpret_cast<uintptr_t>(window);
    const uint64_t dwData = 7;
    const auto size = static_cast<uint32_t>(data.size());
    Put(payload, &handle, 8);
    Put(payload, &message, 4);
    Put(payload, &wParam, 8);
    Put(payload, &lParam, 8);
    Put(payload, &hasCopy, 1);
    Put(payload, &dwData, 8);
    Put(payload, &size, 4);
    Put(payload, data.data(), data.size());
    return Request(kSend, payload);
  }
  static std::vector<uint8_t> Text(std::u16string_view text) {
    std::vector<uint8_t> bytes((text.size() + 1) * 2, 0);
    std::memcpy(bytes.data(), text.data(), text.size() * 2);
    return bytes;
  }
};

LRESULT RecordCopyData(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The window a second instance would hand its command line to.
HWND MainWindow() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = RecordCopyData;
  windowClass.lpszClassName = u"Handover";
  if (RegisterClassW(&windowClass) == 0) return nullptr;
  return CreateWindowExW(0, u"Handover", u"Main", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
}

LRESULT RecordCopyData(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    g_received.assign(static_cast<const char16_t*>(copy->lpData), copy->cbData / 2);
    return 1;
  }
  if (message == WM_USER) return 0x3F800000;  // 1.0 as a float
  return testing::RecordMessage(window, message, wParam, lParam);
}

TEST_F(InstanceSocketTest, OnlyTheHandOverAndTheZoomMessagesCross) {
  const HWND top = MainWindow();
  ASSERT_NE(top, nullptr);
  // A control inside it whose messages carry pointers.
  const HWND tree = CreateWindowExW(0, u"SysTreeView32", u"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, top, nullptr,
                                    nullptr, nullptr);
  ASSERT_NE(tree, nullptr);
  Pump();
  testing::Log().clear();
  g_received.clear();

  // The hand-over arrives with its bytes copied out of the socket.
  EXPECT_EQ(Exchange(Send(top, WM_COPYDATA, 0, 0, 1, Text(u"\\a.pdf"))), 1);
  EXPECT_EQ(g_received, std::u16string(u"\\a.pdf", 7));
  EXPECT_EQ(Exchange(Send(top, WM_USER, 0, 0, 0, {})), 0x3F800000);
  EXPECT_EQ(Exchange(Send(top, WM_USER + 1, 0x40000000, 0, 0, {})), 0);
  ASSERT_EQ(testing::Only(WM_USER + 1).size(), 1u);
  EXPECT_EQ(testing::Only(WM_USER + 1)[0].wParam, 0x40000000u);

  struct Refused {
    const char* label;
    std::vector<uint8_t> request;
  };
  const Refused refused[] = {
      {"odd byte count", Send(top, WM_COPYDATA, 0, 0, 1, {'a', 0, 0})},
      {"copy data with a pointer in wParam", Send(top, WM_COPYDATA, 0x1234, 0, 1, Text(u"x"))},
      {"copy data without its data", Send(top, WM_COPYDATA, 0, 0x1234, 0, {})},
      {"a pointer to a control", Send(tree, 0x1100 + 50, 0, 0x41414141, 0, {})},
      {"a control's message to the main window", Send(top, WM_USER + 64, 0, 0x41414141, 0, {})},
      {"setting a text", Send(top, WM_SETTEXT, 0, 0x41414141, 0, {})},
      {"closing the window", Send(top, WM_CLOSE, 0, 0, 0, {})},
      {"zoom with a pointer", Send(top, WM_USER + 1, 0, 0x41414141, 0, {})},
      {"zoom with bytes", Send(top, WM_USER + 1, 0, 0, 0, {1, 2})},
      {"a window that does not exist", Send(reinterpret_cast<HWND>(uintptr_t{0x7FFFFFF0}), WM_COPYDATA, 0, 0, 1,
                                           Text(u"x"))},
      {"an unknown request", Request(9, {1, 2, 3})},
  };
  g_received.clear();
  testing::Log().clear();
  for (const auto& c : refused) {
    EXPECT_EQ(Exchange(c.request), 0) << c.label;
  }
  EXPECT_TRUE(g_received.empty());
  EXPECT_TRUE(IsWindow(top));
  for (const auto& entry : testing::Log()) {
    EXPECT_TRUE(entry.message != WM_SETTEXT && entry.message != WM_CLOSE && entry.message < WM_USER)
        << "message 0x" << std::hex << entry.message << " crossed";
  }
}

// Random and mutated requests: the program neither crashes nor hangs, and
// nothing but a well-formed hand-over reaches the window.
TEST_F(InstanceSocketTest, CraftedRequestsNeverHurtTheProgram) {
  const HWND top = MainWindow();
  ASSERT_NE(top, nullptr);
  CreateWindowExW(0, u"SysTreeView32", u"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, top, nullptr, nullptr, nullptr);
  Pump();
  std::mt19937 random(53);
  const std::vector<uint8_t> good = Send(top, WM_COPYDATA, 0, 0, 1, Text(u"\\good.pdf"));
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> request;
    switch (round % 3) {
      case 0:  // noise of any length, with a plausible header now and then
        request.resize(random() % 64);
        for (auto& byte : request) byte = static_cast<uint8_t>(random());
        if (request.size() >= 8 && random() % 2 == 0) {
          const uint32_t header[2] = {static_cast<uint32_t>(random() % 4),
                                      static_cast<uint32_t>(request.size() - 8)};
          std::memcpy(request.data(), header, sizeof header);
        }
        break;
      case 1: {  // a good request with some bytes changed
        request = good;
        for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
          request[random() % request.size()] = static_cast<uint8_t>(random());
        }
        break;
      }
      default: {  // any message with any parameters to any window handle
        const HWND window = reinterpret_cast<HWND>(uintptr_t{0x10000} + 4 * (random() % 64));
        request = Send(window, static_cast<uint32_t>(random() % 0x2000), random(), static_cast<int64_t>(random()),
                       static_cast<uint8_t>(random() % 3), {});
        break;
      }
    }
    g_received.clear();
    Exchange(request);
    ASSERT_TRUE(IsWindow(top)) << "round " << round;
  }
  // Still serving.
  g_received.clear();
  EXPECT_EQ(Exchange(good), 1);
  EXPECT_EQ(g_received, std::u16string(u"\\good.pdf", 10));
}

}  // namespace
}  // namespace platform
