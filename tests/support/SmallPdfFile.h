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

// A one-page PDF of `page` x `page` points whose only content is one image
// XObject (object 5: `entries` and `data`) of `width` x `height` pixels,
// drawn `scale` points per pixel from the page's top-left corner; `extra`
// are objects 6, ... (a soft mask the image refers to).
inline std::string OneImagePagePdf(int page, int width, int height, const std::string& entries,
                                   const std::string& data, double scale, const std::vector<std::string>& extra = {}) {
  const std::string w = std::to_string(width * scale), h = std::to_string(height * scale);
  const std::string content = "q " + w + " 0 0 " + h + " 0 " + std::to_string(page - height * scale) + " cm /Im0 Do Q";
  const std::string side = std::to_string(page);
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + side + " " + side +
          "] /Contents 4 0 R /Resources << /XObject << /Im0 5 0 R >> >> >>",
      StreamBody("", content),
      StreamBody("/Type /XObject /Subtype /Image /Width " + std::to_string(width) + " /Height " +
                     std::to_string(height) + " " + entries,
                 data),
  };
  objects.insert(objects.end(), extra.begin(), extra.end());
  return SmallPdfFile(objects);
}

}  // namespace testsupport
