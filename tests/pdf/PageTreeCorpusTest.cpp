// Every corpus file that qpdf accepts against poppler's pdfinfo, asked once
// per file: the page count and each page's media box and rotation. Every
// other file must still count and read its pages or fail cleanly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/PdfinfoBoxes.h"
#include "pdf/Document.h"
#include "pdf/LinearizedPages.h"
#include "pdf/PageBoxes.h"
#include "pdf/PageTree.h"
#include "platform/Files.h"
#include "runtime/ErrorTrap.h"
#include "streams/FileStream.h"

namespace {

// Pages compared per file, so that the run stays short under the sanitizers.
constexpr int32_t kMaxPages = 1000;

struct Reference {
  bool accepted = false;
  int32_t pages = -1;
  std::map<int32_t, int32_t> rotation;
  std::map<int32_t, std::vector<double>> media;
};

// Files qpdf's check refuses are not compared. The check and pdfinfo are
// asked apart, each a plain tool command, so that the reference cache keeps
// both answers (a shell line joining them would run both on every run).
Reference AskPoppler(const std::string& path) {
  Reference reference;
  if (pdftest::RunCommand("qpdf --check '" + path + "' >/dev/null 2>&1").status != 0) return reference;
  const pdftest::PdfinfoPages report = pdftest::AskPdfinfo(path, kMaxPages);
  reference.accepted = report.accepted;
  reference.pages = report.pages;
  for (const auto& [page, values] : report.values) {
    if (auto rotation = values.find("rot"); rotation != values.end() && !rotation->second.empty()) {
      reference.rotation[page] = static_cast<int32_t>(rotation->second[0]);
    }
    if (auto media = values.find("MediaBox"); media != values.end()) {
      reference.media[page] = media->second;
    }
  }
  return reference;
}

class PageTreeCorpusTest : public ::testing::TestWithParam<int> {
 protected:
  void CheckFile(const std::string& name);

  runtime::LibraryContext context_;
};

// One file. Under the sanitizers poppler is not asked (the comparison
// checks logic, not memory safety): the pages are still counted and read.
void PageTreeCorpusTest::CheckFile(const std::string& name) {
  const std::string path = pdftest::CorpusDir() + "/" + name;
  const Reference reference = pdftest::kSanitizerBuild ? Reference{} : AskPoppler(path);
  // Encrypted files are compared when they open with the empty password.
  bool compare = reference.accepted;

  pdftest::DocumentHolder holder{&context_};
  int32_t count = -1;
  runtime::ErrorTrap trap(&context_);
  const bool opened = trap.Run([&] {
    const std::u16string device = platform::DevicePathFromHost(path);
    streams::DataStoreRef file = streams::FileStream::Open(&context_, device.c_str());
    holder.document = pdf::Document::Open(&context_, std::move(file));
    if (holder.document->IsEncrypted()) {
      // Encryption the handler does not support yet is no disagreement.
      bool authorised = false;
      runtime::CatchAllExceptCancel(&context_, [&] {
        authorised = holder.document->SetupSecurity("Standard", nullptr, 0);
      });
      if (!authorised) compare = false;
    }
    count = holder.document->GetPageCount();
  });
  if (!opened) {
    trap.SetHandled();
    const runtime::ErrorRecord error = trap.Held();
    trap.Close();
    EXPECT_FALSE(compare) << "poppler reads it, but its pages do not count: " << error.domain
                          << " " << error.code;
    return;
  }
  if (compare) {
    EXPECT_EQ(count, reference.pages);
  }

  // A linearised file's hint tables must name the pages the tree holds.
  if (holder.document->LinearizedObject() != 0) {
    runtime::CatchAllExceptCancel(&context_, [&] {
      const pdf::LinearizedPages hints(*holder.document);
      for (int32_t index = 0; index < std::min(hints.PageCount(), kMaxPages); ++index) {
        runtime::CatchAllExceptCancel(&context_, [&] { hints.PageRanges(index); });
      }
      if (!compare || !hints.HasHints() || hints.PageCount() != count) return;
      for (int32_t index = 0; index < std::min(count, kMaxPages); ++index) {
        const int64_t object = hints.ObjectOfPage(index);
        runtime::ObjectReference tree{};
        const bool found = runtime::CatchAllExceptCancel(&context_, [&] {
          tree = pdf::PageTree::FindPageRef(*holder.document, index);
        });
        if (found) {
          EXPECT_EQ(object, int64_t{tree.number}) << "hinted object of page " << index + 1;
        }
      }
    });
  }

  for (int32_t index = 0; index < std::min(count, kMaxPages); ++index) {
    pdf::PageBoxes boxes;
    const bool read = runtime::CatchAllExceptCancel(&context_, [&] {
      boxes = pdf::PageBoxes::Read(holder.document->GetPageDict(index));
    });
    if (!compare) continue;
    const int32_t page = index + 1;
    if (reference.media.count(page) == 0) continue;
    ASSERT_TRUE(read) << "page " << page;
    EXPECT_EQ(boxes.rotation, reference.rotation.at(page)) << "page " << page;
    const std::vector<double>& media = reference.media.at(page);
    ASSERT_EQ(media.size(), 4u) << "page " << page;
    const runtime::Fixed ours[4] = {boxes.media.x0, boxes.media.y0, boxes.media.x1,
                                    boxes.media.y1};
    for (int i = 0; i < 4; ++i) {
      // pdfinfo prints two decimals.
      EXPECT_NEAR(runtime::FixedToDouble(ours[i]), media[i], 0.0051)
          << "page " << page << " corner value " << i;
    }
  }
}

TEST_P(PageTreeCorpusTest, PagesMatchPoppler) {
  for (const std::string& file : pdftest::CorpusGroup(GetParam())) {
    SCOPED_TRACE(file);
    CheckFile(file);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, PageTreeCorpusTest, ::testing::ValuesIn(pdftest::CorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(PageTreeCorpusTest);

}  // namespace
