#pragma once
// Text of several pages as pdftotext and the probe write it: each page
// ended by a form feed.
#include <string>
#include <vector>

namespace testsupport {

inline std::vector<std::string> FormFeedPages(const std::string& text) {
  std::vector<std::string> pages;
  size_t start = 0;
  for (size_t feed = text.find('\f'); feed != std::string::npos; feed = text.find('\f', start)) {
    pages.push_back(text.substr(start, feed - start));
    start = feed + 1;
  }
  return pages;
}

}  // namespace testsupport
