#pragma once
// Runs the viewer-sim tool with a command line: what it printed and its
// exit status.
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

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

// The lines a script's print steps wrote (indented by two spaces), before
// the host-call log, without their indent.
inline std::vector<std::string> PrintedLines(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream in(output.substr(0, output.find("log:\n")));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("  ", 0) == 0) lines.push_back(line.substr(2));
  }
  return lines;
}

}  // namespace viewer
