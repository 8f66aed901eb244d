#pragma once
// Runs the probe program (or another command) for tests: its output and
// exit status.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace pdftest {

struct ProbeResult {
  std::string out;
  int status = -1;
};

// Runs a shell command: what it wrote to stdout and its exit status.
inline ProbeResult RunCommand(const std::string& command) {
  ProbeResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) result.out.append(buffer, count);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Runs the probe with `arguments`; stderr goes to stdout when `mergeErrors`.
inline ProbeResult RunProbe(const std::string& arguments, bool mergeErrors = false) {
  return RunCommand(std::string(FOLVANE_BINARY_DIR) + "/tools/probe " + arguments +
                    (mergeErrors ? " 2>&1" : " 2>/dev/null"));
}

}  // namespace pdftest
