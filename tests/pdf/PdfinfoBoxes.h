#pragma once
// What `pdfinfo -box` reports of a file's pages: the page count and, per
// page, the numbers after each "Page N Key:" label (MediaBox, CropBox, rot,
// ...). A page pdfinfo could not read has no entries.
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/pdf/ProbeRunner.h"

namespace pdftest {

struct PdfinfoPages {
  bool accepted = false;  // pdfinfo printed a page count
  int32_t pages = -1;
  std::map<int32_t, std::map<std::string, std::vector<double>>> values;
};

// Asks pdfinfo about pages 1 to `lastPage`.
inline PdfinfoPages AskPdfinfo(const std::string& path, int32_t lastPage) {
  const ProbeResult result = RunCommand("pdfinfo -f 1 -l " + std::to_string(lastPage) +
                                        " -box '" + path + "' 2>/dev/null");
  PdfinfoPages report;
  std::istringstream lines(result.out);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "Pages:") {
      report.accepted = true;
      fields >> report.pages;
    } else if (key == "Page") {
      int32_t page = 0;
      std::string what;
      fields >> page >> what;
      if (what.empty() || what.back() != ':') continue;
      what.pop_back();
      std::vector<double>& numbers = report.values[page][what];
      double value = 0;
      while (fields >> value) numbers.push_back(value);
    }
  }
  return report;
}

}  // namespace pdftest
