#pragma once
// Small documents the viewer's tests open from files: plain pages with an
// optional information dictionary, written to the test's temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/Files.h"
#include "tests/pdf/PdfTestSupport.h"

namespace viewertest {

// `pages` empty pages of 612 x 792 (objects 3 on) and, when given, an
// "Info" dictionary after them.
inline std::string PlainPages(int pages, const std::string& info = "") {
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  std::string kids;
  for (int i = 0; i < pages; ++i) {
    writer.Object(static_cast<uint32_t>(3 + i), "<< /Type /Page /Parent 2 0 R >>");
    kids += std::to_string(3 + i) + " 0 R ";
  }
  writer.Object(2, "<< /Type /Pages /Count " + std::to_string(pages) +
                       " /MediaBox [0 0 612 792] /Kids [" + kids + "] >>");
  const std::string infoNumber = std::to_string(3 + pages);
  if (!info.empty()) writer.Object(static_cast<uint32_t>(3 + pages), info);
  writer.ClassicTable("/Root 1 0 R" + (info.empty() ? std::string() : " /Info " + infoNumber + " 0 R"));
  return writer.Text();
}

// Pages of 612 x 792 points (objects 10, 12, ...) whose content (objects
// 11, 13, ...) may use Helvetica as /F1, each with extra page entries
// ("/Annots [...]"); catalog entries and further objects as given.
struct TextPage {
  std::string content;
  std::string entries;
};

inline std::string TextPages(const std::vector<TextPage>& pages, const std::string& catalog = "",
                             const std::vector<std::pair<uint32_t, std::string>>& more = {}) {
  pdftest::PdfWriter writer;
  std::string kids;
  for (size_t i = 0; i < pages.size(); ++i) kids += std::to_string(10 + 2 * i) + " 0 R ";
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R " + catalog + " >>")
      .Object(2, "<< /Type /Pages /Count " + std::to_string(pages.size()) + " /Kids [" + kids + "] >>")
      .Object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  for (size_t i = 0; i < pages.size(); ++i) {
    const uint32_t page = static_cast<uint32_t>(10 + 2 * i);
    writer
        .Object(page, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> "
                      "/Contents " + std::to_string(page + 1) + " 0 R " + pages[i].entries + " >>")
        .Object(page + 1, "<< /Length " + std::to_string(pages[i].content.size()) + " >>\nstream\n" +
                              pages[i].content + "\nendstream");
  }
  for (const auto& [number, body] : more) writer.Object(number, body);
  writer.ClassicTable("/Root 1 0 R");
  return writer.Text();
}

// Writes `bytes` as `name` in the temporary folder; its path.
inline std::string WriteTempFile(const std::string& name, const std::string& bytes) {
  const std::string path = testing::TempDir() + "/viewer-" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// The viewer's (device) path of a file of the host.
inline std::u16string DevicePathOf(const std::string& hostPath) {
  return platform::DevicePathFromHost(std::filesystem::absolute(hostPath).string());
}

}  // namespace viewertest
