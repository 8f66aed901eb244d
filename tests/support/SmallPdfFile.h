#pragma once
// A small PDF file written in memory: the given object bodies, numbered
// from 1, a classic cross-reference table and a trailer whose root is
// object 1. Used where a whole document is needed around a few objects.
#include <string>
#include <vector>

namespace testsupport {

// A stream object's body: the dictionary entries, the right "Length" and
// the data.
inline std::string StreamBody(const std::string& entries, const std::string& data) {
  return "<< " + entries + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
         "\nendstream";
}

inline std::string SmallPdfFile(const std::vector<std::string>& objects) {
  std::string file = "%PDF-1.7\n";
  const std::string size = std::to_string(objects.size() + 1);
  std::string table = "xref\n0 " + size + "\n0000000000 65535 f \n";
  size_t number = 1;
  for (const std::string& body : objects) {
    const std::string offset = std::to_string(file.size());
    table += std::string(10 - offset.size(), '0') + offset + " 00000 n \n";
    file += std::to_string(number++) + " 0 obj\n" + body + "\nendobj\n";
  }
  const std::string start = std::to_string(file.size());
  return file + table + "trailer\n<< /Size " + size + " /Root 1 0 R >>\nstartxref\n" + start +
         "\n%%EOF\n";
}

}  // namespace testsupport
