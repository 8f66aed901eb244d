#pragma once
// The Python interpreter the tests run their helper scripts with.
#include <filesystem>
#include <string>

namespace testsupport {

// The system interpreter when there is one: a version manager's shim on the
// path costs two seconds a start, more than most comparisons it serves, and
// the corpus tests start one per file.
inline std::string Python() {
  std::error_code error;
  return std::filesystem::exists("/usr/bin/python3", error) ? "/usr/bin/python3" : "python3";
}

}  // namespace testsupport
