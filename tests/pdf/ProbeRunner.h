#pragma once
// Runs the probe program for tests: its output and exit status.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace pdftest {

struct ProbeResult {
  std::string out;
  int status = -1;
};

// Runs the probe with `arguments`; stderr goes to stdout when `mergeErrors`.
inline ProbeResult RunProbe(const std::string& arguments, bool mergeErrors = false) {
  const std::string command = std::string(FOLVANE_BINARY_DIR) + "/tools/probe " + arguments +
                              (mergeErrors ? " 2>&1" : " 2>/dev/null");
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

}  // namespace pdftest
