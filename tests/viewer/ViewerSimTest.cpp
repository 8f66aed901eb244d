// The viewer-sim tool, run as a user runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/platform/TempFolder.h"
#include "tests/support/SmallPdfFile.h"
#include "tests/viewer/ViewerSimRun.h"

#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/PdfTestSupport.h"

namespace viewer {
namespace {

TEST(ViewerSimTest, StartOnAPocketPcWithToolbarLogsTheControlsMenusAndLimits) {
  int status = -1;
  const std::string output = RunSim("--options 7 --dpi 96 --start", &status);
  EXPECT_EQ(status, 0);
  // In order: the container, the bookmark tree, the button bar with its
  // bookmarks button, the page view with scroll bars (given the focus), the
  // toolbar with fit width, the page-number box (emptied), find, zoom out
  // and zoom in, the active view text, the splash and its 1500 ms timer,
  // the menu bar; then the container onto the work area. At the end the
  // application is destroyed: controls newest first, then the timer.
  const std::string expected =
      "log:\n"
      "  SetPendingText \"Vantrel Folvane Zo\"\n"
      "  CreateViewWindow parent=none -> W1\n"
      "  CreateTreeView parent=W1 -> T2\n"
      "  CreateViewWindow parent=W1 -> W3\n"
      "  CreateButton parent=W3 -> B4\n"
      "  CreateViewWindow parent=W1 scrollBars -> W5\n"
      "  W5.Focus\n"
      "  CreateViewWindow parent=W1 -> W6\n"
      "  CreateButton parent=W6 -> B7\n"
      "  CreateEdit parent=W6 -> E8\n"
      "  E8.SetText \"\"\n"
      "  CreateButton parent=W6 -> B9\n"
      "  CreateButton parent=W6 -> B10\n"
      "  CreateButton parent=W6 -> B11\n"
      "  SetActiveViewText\n"
      "  ShowSplash 1500 \"Vantrel Folvane Zo\"\n"
      "  CreateTimer 1500 -> timer1\n"
      "  CreateMenuBar 103,127\n"
      "  W1.SetRect 0 0 240 320\n"
      "  DestroyButtonWindow B11\n"
      "  DestroyButtonWindow B10\n"
      "  DestroyButtonWindow B9\n"
      "  DestroyEdit E8\n"
      "  DestroyButtonWindow B7\n"
      "  DestroyWindow W6\n"
      "  DestroyWindow W5\n"
      "  DestroyButtonWindow B4\n"
      "  DestroyWindow W3\n"
      "  DestroyTreeView T2\n"
      "  DestroyWindow W1\n"
      "  DestroyTimer timer1\n"
      "menu:\n"
      "  103 \"Tools\"\n"
      "    104 \"Zoom\"\n"
      "      105 \"In\" [1]\n"
      "      106 \"Out\" [3]\n"
      "      107 \"Quick Zoom\"\n"
      "      108 \"To %\"\n"
      "      109 \"Fit Screen\" [2]\n"
      "      110 \"Fit Width\"\n"
      "    111 \"Find\"\n"
      "      112 \"Text\" [7]\n"
      "      113 \"Next\" [*]\n"
      "    114 \"View\"\n"
      "      115 \"Rotate Right\" [9]\n"
      "      116 \"Rotate Left\" [8]\n"
      "      -\n"
      "      117 \"Single Page\"\n"
      "      118 \"Continuous\"\n"
      "      -\n"
      "      120 \"Full Screen\"\n"
      "    121 \"Go To\"\n"
      "      122 \"Page Number\"\n"
      "      123 \"Next Page\" [6]\n"
      "      124 \"Previous Page\" [4]\n"
      "      125 \"First Page\"\n"
      "      126 \"Last Page\"\n"
      "  127 \"Menu\"\n"
      "    128 \"Open\"\n"
      "    133 \"Details\"\n"
      "    134 \"About Vantrel Folvane\"\n"
      "    102 \"Exit\"\n"
      "memory limits: 9437184 / 10485760 / 4294967295 / 2097152\n"
      "document: none\n";
  EXPECT_EQ(output, expected);
}

TEST(ViewerSimTest, ScriptsPopupsAndThePicture) {
  const std::string png = testing::TempDir() + "/viewer-sim-window.png";
  std::remove(png.c_str());
  int status = -1;
  const std::string output = RunSim(
      "--options 0 --size 320x480 --start --popup 0 --command 120 --key 5 --png " + png, &status);
  EXPECT_EQ(status, 0);
  // Without a page view the popups are grayed; Bookmarks is in the Menu.
  EXPECT_NE(output.find("    130 \"Bookmarks\" grayed\n"), std::string::npos) << output;
  EXPECT_NE(output.find("  W1.SetRect 0 0 320 480\n"), std::string::npos);
  EXPECT_NE(output.find("  W1.SetFullScreen 1\n"), std::string::npos);
  EXPECT_NE(output.find("  key 5 -> 0\n"), std::string::npos);
  std::ifstream in(png, std::ios::binary);
  std::string header(24, '\0');
  in.read(header.data(), 24);
  ASSERT_TRUE(in.good());
  EXPECT_EQ(header.substr(1, 3), "PNG");
  // Width and height, big-endian, in the IHDR chunk.
  auto word = [&](size_t at) {
    return (uint32_t(uint8_t(header[at])) << 24) | (uint32_t(uint8_t(header[at + 1])) << 16) |
           (uint32_t(uint8_t(header[at + 2])) << 8) | uint32_t(uint8_t(header[at + 3]));
  };
  EXPECT_EQ(word(16), 320u);
  EXPECT_EQ(word(20), 480u);

  // Bad arguments are refused with the usage.
  RunSim("--dpi 0 2>/dev/null", &status);
  EXPECT_NE(status, 0);
  RunSim("--size 10 2>/dev/null", &status);
  EXPECT_NE(status, 0);
}

TEST(ViewerSimTest, AScriptZoomsTurnsAndPagesThroughTheViewer) {
  platform::testing::TempFolder folder;
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>"};
  std::string kids;
  for (int i = 0; i < 10; ++i) {
    kids += std::to_string(3 + i) + " 0 R ";
  }
  objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count 10 /MediaBox [0 0 612 792] >>");
  for (int i = 0; i < 10; ++i) objects.push_back("<< /Type /Page /Parent 2 0 R >>");
  const std::string pdf = folder.path() + "/ten-pages.pdf";
  std::ofstream(pdf, std::ios::binary) << testsupport::SmallPdfFile(objects);
  int status = -1;
  const std::string output = RunSim("'" + pdf + "' --dpi 96 --script 'zoom 9.0; zoomin; print; zoomin; print; "
                                        "rotr x4; print; last; nextpage; print; bogus'",
                                    &status);
  // An unknown command is refused before anything runs.
  EXPECT_NE(status, 0);
  EXPECT_EQ(output.find("script:\n  page"), std::string::npos);
  const std::string ran = RunSim("'" + pdf + "' --dpi 96 --script 'zoom 9.0; zoomin; print; zoomin; print; "
                                     "rotr x4; print; last; nextpage; print'",
                                 &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ran.substr(0, ran.find("log:")),
            "script:\n"
            "  page 0 zoom 0xA0000 rotation 0 mode 0 size 612x792 scale 87381\n"
            "  page 0 zoom 0xA0000 rotation 0 mode 0 size 612x792 scale 87381\n"
            "  page 0 zoom 0xA0000 rotation 0 mode 0 size 612x792 scale 87381\n"
            "  page 9 zoom 0xA0000 rotation 0 mode 0 size 612x792 scale 87381\n");
}

TEST(ViewerSimTest, OpensAnEncryptedFileWithTheAnsweredPasswords) {
  // A small document encrypted by qpdf with user password "user".
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
      .Object(2, "<< /Type /Pages /Count 2 /MediaBox [0 0 612 792] /Kids [3 0 R 4 0 R] >>")
      .Object(3, "<< /Type /Page /Parent 2 0 R >>")
      .Object(4, "<< /Type /Page /Parent 2 0 R >>")
      .ClassicTable("/Root 1 0 R");
  const std::string plain = testing::TempDir() + "/viewer-sim-plain.pdf";
  const std::string encrypted = testing::TempDir() + "/viewer-sim-enc.pdf";
  std::ofstream(plain, std::ios::binary) << writer.Text();
  const std::string qpdf = "qpdf --allow-weak-crypto --encrypt user owner 128 --use-aes=n -- '" +
                           plain + "' '" + encrypted + "' 2>/dev/null";
  if (std::system(qpdf.c_str()) != 0) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "qpdf is missing";
    GTEST_SKIP() << "qpdf is missing";
  }
  auto count = [](const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };

  int status = -1;
  // Three wrong passwords: one message, nothing installed.
  std::string output = RunSim("'" + encrypted + "' --password-answers 'a,b,c'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(count(output, "RunModal -> 201"), 3u) << output;
  EXPECT_EQ(count(output, ".SetText \"Could not decrypt the document\""), 1u) << output;
  EXPECT_NE(output.find("  open -> 0\n"), std::string::npos) << output;
  EXPECT_NE(output.find("document: none\n"), std::string::npos) << output;

  // The second answer is right: installed, the current path set, and the
  // path in the recent files.
  output = RunSim("'" + encrypted + "' --password-answers 'a,user'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(count(output, "Could not decrypt"), 0u) << output;
  EXPECT_NE(output.find("  open -> 1\n"), std::string::npos) << output;
  EXPECT_NE(output.find("viewer-sim-enc.pdf\" pages 2 page 0\n"), std::string::npos) << output;
  EXPECT_NE(output.find("  AddRecentFile "), std::string::npos) << output;
}

}  // namespace
}  // namespace viewer
