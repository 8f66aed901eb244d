#pragma once
// Runs the viewer-sim tool with a command line: what it printed and its
// exit status.
#include <cstdio>
#include <string>

namespace viewer {

inline std::string RunSim(const std::string& arguments, int* status) {
  const std::string command = std::string(FOLVANE_BINARY_DIR) + "/tools/viewer-sim " + arguments;
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  *status = pclose(pipe);
  return output;
}

}  // namespace viewer
