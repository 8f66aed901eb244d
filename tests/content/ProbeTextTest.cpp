// The probe's "text" command over a small generated file in a standard
// font: lines, blocks, reading order, broken words, pages and errors.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <unistd.h>

#include "tests/pdf/PdfTestSupport.h"
#include "tests/pdf/ProbeRunner.h"

namespace {

// Page 1: a heading shown last, then two paragraphs, the first with a word
// broken at a line's end. Page 2: text in a font selected by a parameter
// set only.
std::string WriteTextFixture() {
  const std::string first =
      "BT /F1 11 Tf 72 700 Td (The first paragraph has an exam-) Tj 0 -13 Td (ple of a broken word.) Tj "
      "0 -40 Td (A second paragraph follows) Tj 0 -13 Td (after a wide space.) Tj ET "
      "BT /F1 20 Tf 72 740 Td (Heading) Tj ET";
  const std::string second = "BT /G1 gs 72 700 Td (Set by a parameter set) Tj ET";
  pdftest::PdfWriter writer;
  const std::string resources =
      " /Resources << /Font << /F1 9 0 R >> /ExtGState << /G1 << /Font [9 0 R 12] >> >> >>";
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
      .Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 792] >>")
      .Object(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R" + resources + " >>")
      .Object(4, "<< /Type /Page /Parent 2 0 R /Contents 6 0 R" + resources + " >>")
      .Object(5, "<< /Length " + std::to_string(first.size()) + " >>\nstream\n" + first + "\nendstream")
      .Object(6, "<< /Length " + std::to_string(second.size()) + " >>\nstream\n" + second + "\nendstream")
      .Object(9, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>")
      .ClassicTable("/Root 1 0 R");
  const std::string path = testing::TempDir() + "probe_text_" + std::to_string(getpid()) + ".pdf";
  std::ofstream(path, std::ios::binary) << writer.Text();
  return path;
}

TEST(ProbeTextTest, PagesPrintInReadingOrderWithBrokenWordsJoined) {
  const std::string path = WriteTextFixture();
  const pdftest::ProbeResult page = pdftest::RunProbe("text '" + path + "' 1");
  EXPECT_EQ(page.status, 0);
  EXPECT_EQ(page.out,
            "Heading\n\nThe first paragraph has an example of a broken word.\n\n"
            "A second paragraph follows\nafter a wide space.\n");
  const pdftest::ProbeResult all = pdftest::RunProbe("text '" + path + "' all");
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.out.substr(all.out.find('\f')), "\f\nSet by a parameter set\n\f\n");
  EXPECT_EQ(pdftest::RunProbe("text '" + path + "' all 1").out.find("parameter"), std::string::npos);
  EXPECT_NE(pdftest::RunProbe("text '" + path + "' 3").status, 0);
  std::remove(path.c_str());
}

}  // namespace
