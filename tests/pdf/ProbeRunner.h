#pragma once
// Runs the probe program (or another command) for tests: its output and
// exit status.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ReferenceCache.h"

namespace pdftest {

struct ProbeResult {
  std::string out;
  int status = -1;
};

// Runs a shell command: what it wrote to stdout and its exit status. A
// reference tool's answer may come from the reference cache
// (tests/support/ReferenceCache.h).
inline ProbeResult RunCommand(const std::string& command) {
  ProbeResult result;
  const std::optional<std::string> cacheFolder = reference_cache::Folder();
  const std::optional<std::string> cacheKey =
      cacheFolder ? reference_cache::KeyOf(command) : std::optional<std::string>();
  if (cacheKey) {
    if (std::optional<reference_cache::Answer> kept = reference_cache::Load(*cacheFolder, *cacheKey)) {
      result.out = std::move(kept->out);
      result.status = kept->status;
      return result;
    }
  }
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) result.out.append(buffer, count);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (cacheKey && reference_cache::Keepable(result.status)) {
    reference_cache::Store(*cacheFolder, *cacheKey, reference_cache::Answer{result.out, result.status});
  }
  return result;
}

// Runs the probe with `arguments`; stderr goes to stdout when `mergeErrors`.
inline ProbeResult RunProbe(const std::string& arguments, bool mergeErrors = false) {
  return RunCommand(std::string(FOLVANE_BINARY_DIR) + "/tools/probe " + arguments +
                    (mergeErrors ? " 2>&1" : " 2>/dev/null"));
}

// A sweep's verdict on each file of a group, played by one probe process
// (`probe each`): starting a process under the sanitizers costs more than
// reading most files, so a group shares one.
struct SweepResult {
  // Per file, in order: the probe's status for it (0 done, 1 a clean
  // error), or -1 when the process ended before answering for it.
  std::vector<int> statuses;
  // How the process ended: its status, 124 for a time-out, 125 for a
  // sanitizer report, 128 and up for a signal; -1 when the shell did not run.
  int processStatus = -1;
};

// Runs `probe each ARGUMENTS -- FILE...` with `secondsPerFile` per file
// before it is taken for a hang.
inline SweepResult SweepWithProbe(const std::string& arguments, const std::vector<std::string>& paths,
                                  int secondsPerFile) {
  std::string files;
  for (const std::string& path : paths) files += " '" + path + "'";
  const std::string script =
      "out=$(timeout " + std::to_string(secondsPerFile * static_cast<int>(paths.size())) + " '" +
      std::string(FOLVANE_BINARY_DIR) + "/tools/probe' each " + arguments + " --" + files +
      " 2>&1); s=$?; case \"$out\" in *Sanitizer*|*\"runtime error:\"*) s=125;; esac; "
      "printf '%s\\n' \"$out\" | grep '^each: '; echo \"exit: $s\"";
  SweepResult result;
  result.statuses.assign(paths.size(), -1);
  std::istringstream lines(RunCommand(script).out);
  std::string line;
  size_t next = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("exit: ", 0) == 0) {
      result.processStatus = std::atoi(line.c_str() + 6);
    } else if (line.rfind("each: ", 0) == 0 && next < paths.size()) {
      result.statuses[next++] = std::atoi(line.c_str() + 6);
    }
  }
  return result;
}

// One probe command over many files in one process (`probe each`), its
// standard output split per file: outputs[i] is what the command wrote for
// paths[i], statuses[i] its status (-1 when the process ended first).
// Starting a process costs more than most files' work, so comparisons that
// ask the probe several things per file ask them per group.
struct EachOutput {
  std::vector<std::string> outputs;
  std::vector<int> statuses;
};

inline EachOutput RunProbeEach(const std::string& arguments, const std::vector<std::string>& paths,
                               int secondsPerFile) {
  EachOutput result;
  result.outputs.assign(paths.size(), std::string());
  result.statuses.assign(paths.size(), -1);
  if (paths.empty()) return result;
  std::string files;
  for (const std::string& path : paths) files += " '" + path + "'";
  const std::string command = "timeout " + std::to_string(secondsPerFile * static_cast<int>(paths.size())) +
                              " '" + std::string(FOLVANE_BINARY_DIR) + "/tools/probe' each " + arguments +
                              " --" + files + " 2>/dev/null";
  std::istringstream lines(RunCommand(command).out);
  std::string line;
  std::string pending;
  size_t next = 0;
  while (std::getline(lines, line) && next < paths.size()) {
    if (line.rfind("each: ", 0) == 0) {
      result.statuses[next] = std::atoi(line.c_str() + 6);
      result.outputs[next++] = std::move(pending);
      pending.clear();
    } else {
      pending += line;
      pending += '\n';
    }
  }
  return result;
}

}  // namespace pdftest
