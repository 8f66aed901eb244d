#include "tools/probe/SweepCommand.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#ifdef FOLVANE_SANITIZE
#include <sanitizer/lsan_interface.h>
#endif

namespace probe {

namespace {

constexpr unsigned kDefaultSeconds = 100;
// Status of a process ended because a command hung, as timeout(1) has it.
constexpr int kHangStatus = 124;
// Status of a sweep that found leaks, as the leak checker's own exit has it.
constexpr int kLeakStatus = 23;

// The line the alarm writes when the running command hangs: made before
// the command starts, since a signal handler may only write what exists.
char gHangLine[4096];
size_t gHangLength = 0;

void OnAlarm(int) {
  const ssize_t written = write(STDERR_FILENO, gHangLine, gHangLength);
  (void)written;
  _exit(kHangStatus);
}

std::vector<std::string> Words(const char* line) {
  std::vector<std::string> words;
  std::istringstream stream(line);
  std::string word;
  while (stream >> word) words.push_back(word);
  return words;
}

int SweepUsage() {
  std::fprintf(stderr, "usage: probe sweep [--seconds N] COMMAND... -- FILE...\n");
  return 2;
}

// Looks for leaks after each file's commands, so that a leak is reported
// beside the file that made it rather than once when the process ends
// (after each command it would cost a quarter of the sweep).
bool Leaked() {
#ifdef FOLVANE_SANITIZE
  return __lsan_do_recoverable_leak_check() != 0;
#else
  return false;
#endif
}

}  // namespace

int Sweep(int argc, char** argv, int (*dispatch)(int argc, char** argv)) {
  int first = 2;
  unsigned seconds = kDefaultSeconds;
  if (first + 1 < argc && std::strcmp(argv[first], "--seconds") == 0) {
    const long value = std::atol(argv[first + 1]);
    if (value < 1 || value > 86400) return SweepUsage();
    seconds = static_cast<unsigned>(value);
    first += 2;
  }
  int separator = first;
  while (separator < argc && std::strcmp(argv[separator], "--") != 0) ++separator;
  if (separator == first || separator >= argc - 1) return SweepUsage();
  std::vector<std::vector<std::string>> commands;
  for (int i = first; i < separator; ++i) {
    std::vector<std::string> words = Words(argv[i]);
    // A sweep inside a sweep would drop the verdicts of the outer one.
    if (words.empty() || words[0] == "sweep" || words[0] == "each") return SweepUsage();
    commands.push_back(std::move(words));
  }

  struct sigaction action = {};
  action.sa_handler = OnAlarm;
  sigemptyset(&action.sa_mask);
  sigaction(SIGALRM, &action, nullptr);

  // The commands' output goes nowhere: a sweep judges how a command ends,
  // and a render to "-" or a long text would only fill the pipe.
  std::fflush(stdout);
  const int kept = dup(STDOUT_FILENO);
  const int sink = open("/dev/null", O_WRONLY);
  if (sink >= 0) {
    dup2(sink, STDOUT_FILENO);
    close(sink);
  }

  int worst = 0;
  for (int file = separator + 1; file < argc; ++file) {
    for (size_t c = 0; c < commands.size(); ++c) {
      const std::vector<std::string>& words = commands[c];
      std::vector<char*> line{argv[0], const_cast<char*>(words[0].c_str()), argv[file]};
      for (size_t w = 1; w < words.size(); ++w) line.push_back(const_cast<char*>(words[w].c_str()));
      line.push_back(nullptr);
      const int length = std::snprintf(gHangLine, sizeof(gHangLine), "sweep: hang %s :: %s\n", argv[file], argv[first + c]);
      gHangLength = length < 0 ? 0 : std::min(static_cast<size_t>(length), sizeof(gHangLine) - 1);
      alarm(seconds);
      const int status = dispatch(static_cast<int>(line.size()) - 1, line.data());
      alarm(0);
      std::fflush(stdout);
      std::fprintf(stderr, "sweep: %d %s :: %s\n", status, argv[file], argv[first + c]);
      worst = std::max(worst, status);
    }
    if (Leaked()) {
      std::fprintf(stderr, "sweep: leaks %s\n", argv[file]);
      worst = std::max(worst, kLeakStatus);
    }
  }

  if (kept >= 0) {
    dup2(kept, STDOUT_FILENO);
    close(kept);
  }
  return worst;
}

}  // namespace probe
