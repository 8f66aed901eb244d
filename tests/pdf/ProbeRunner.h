#pragma once
// Runs the probe program (or another command) for tests: its output and
// exit status.
#include <sys/wait.h>

#include <algorithm>
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

// A fault a combined sweep (`probe sweep`) found: the file and command it
// belongs to and what happened, the sanitizer's report or the process's
// last words included.
struct SweepFault {
  std::string file;
  std::string command;
  std::string what;
};

// Runs every command of `commands` (a probe command with the arguments
// after its FILE, "render all --dpi 72 -o -") on every file of `paths`,
// the files in as few probe processes as the faults allow: a process that
// ends early (a crash, a sanitizer report, a hang past
// `secondsPerCommand`) is started anew after the file it ended on, so
// that one fault hides none behind it. A command may end with status 0, 1
// (a clean error) or 3 (a password the probe does not have); anything
// else, and any sanitizer report, is a fault.
inline std::vector<SweepFault> SweepCommands(const std::vector<std::string>& commands,
                                             const std::vector<std::string>& paths, int secondsPerCommand) {
  std::vector<SweepFault> faults;
  if (commands.empty()) return faults;
  const auto reported = [](const std::string& text) {
    return text.find("Sanitizer") != std::string::npos || text.find("runtime error:") != std::string::npos;
  };
  // The end of a long report is where the process said what it died of.
  const auto excerpt = [](const std::string& text) {
    constexpr size_t kKept = 3000;
    return text.size() <= kKept ? text : "..." + text.substr(text.size() - kKept);
  };
  std::string commandWords;
  for (const std::string& command : commands) commandWords += " '" + command + "'";
  size_t start = 0;
  while (start < paths.size()) {
    std::string files;
    for (size_t i = start; i < paths.size(); ++i) files += " '" + paths[i] + "'";
    // The process's own budget only backs up the probe's per-command alarm.
    const size_t pending = (paths.size() - start) * commands.size();
    const std::string script = "timeout " + std::to_string(secondsPerCommand * pending + 60) + " '" +
                               std::string(FOLVANE_BINARY_DIR) + "/tools/probe' sweep --seconds " +
                               std::to_string(secondsPerCommand) + commandWords + " --" + files +
                               " 2>&1 >/dev/null; echo \"sweep-exit: $?\"";
    std::istringstream lines(RunCommand(script).out);
    std::string line, text;
    size_t answered = 0;
    int processStatus = -1;
    bool hung = false;
    while (std::getline(lines, line)) {
      const size_t file = start + answered / commands.size();
      const std::string& command = commands[answered % commands.size()];
      if (line.rfind("sweep-exit: ", 0) == 0) {
        processStatus = std::atoi(line.c_str() + 12);
      } else if (line.rfind("sweep: hang ", 0) == 0 && file < paths.size()) {
        hung = true;
      } else if (line.rfind("sweep: leaks ", 0) == 0 && answered > 0) {
        // The leak check follows a file's last command.
        faults.push_back({paths[start + (answered - 1) / commands.size()], "(one of the file's commands)",
                          "a leak report:\n" + excerpt(text)});
        text.clear();
      } else if (line.rfind("sweep: ", 0) == 0 && file < paths.size()) {
        const int status = std::atoi(line.c_str() + 7);
        if (reported(text)) {
          faults.push_back({paths[file], command, "a sanitizer report:\n" + excerpt(text)});
        } else if (status != 0 && status != 1 && status != 3) {
          faults.push_back({paths[file], command, "status " + std::to_string(status) + "\n" + excerpt(text)});
        }
        text.clear();
        ++answered;
      } else {
        text += line;
        text += '\n';
      }
    }
    const size_t next = start + answered / commands.size();
    if (next >= paths.size()) {
      // Every command answered: what is left is the process's end, where
      // the leak check of the whole run speaks. Its status is the worst
      // of the commands' (judged above), or 23 after a leak (reported
      // above), unless something else ended it.
      if (reported(text) || processStatus < 0 || (processStatus > 3 && processStatus != 23)) {
        faults.push_back({paths.back(), "(the process's end)",
                          "status " + std::to_string(processStatus) + "\n" + excerpt(text)});
      }
      break;
    }
    const std::string& command = commands[answered % commands.size()];
    std::string what = hung || processStatus == 124 ? "a hang (over " + std::to_string(secondsPerCommand) + " s)"
                       : reported(text)             ? "a sanitizer report"
                                                    : "the process ended with status " + std::to_string(processStatus);
    faults.push_back({paths[next], command, what + ":\n" + excerpt(text)});
    if (processStatus == -1) break;  // no shell: starting anew would fail the same way
    start = next + 1;
  }
  return faults;
}

}  // namespace pdftest
