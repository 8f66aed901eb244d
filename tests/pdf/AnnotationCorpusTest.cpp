// Each page's annotations in the corpus against what qpdf reads
// (corpus_annotations.py, one script run per group): the same number of
// entries, the links with the same rectangles, the same annotations with a
// normal appearance, and an error exactly where an element is malformed.
// Under the sanitizers the lists are only read, for crashes and leaks.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "pdf/Annotation.h"
#include "pdf/Document.h"
#include "platform/Files.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/FileStream.h"
#include "tests/pdf/CorpusFiles.h"
#include "runtime/TransientBlocks.h"
#include "tests/pdf/ProbeRunner.h"
#include "tests/support/CaughtError.h"
#include "tests/support/Python.h"

namespace {

constexpr int32_t kMaxPages = 200;

struct ReferenceAnnot {
  std::string kind;  // link, other, none, bad
  double rect[4] = {};
  bool appearance = false;
};

struct ReferenceFile {
  std::string status;
  std::map<int32_t, std::vector<ReferenceAnnot>> pages;
};

std::map<std::string, ReferenceFile> AskQpdf(const std::vector<std::string>& paths) {
  std::string command = testsupport::Python() + " '" + std::string(FOLVANE_SOURCE_DIR) +
                        "/tests/pdf/corpus_annotations.py' " + std::to_string(kMaxPages);
  for (const std::string& path : paths) command += " '" + path + "'";
  std::map<std::string, ReferenceFile> files;
  std::istringstream in(pdftest::RunCommand(command + " 2>/dev/null").out);
  std::string line;
  ReferenceFile* current = nullptr;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string tag;
    fields >> tag;
    if (tag == "file") {
      current = &files[line.substr(5)];
    } else if (current == nullptr) {
      continue;
    } else if (tag == "status") {
      fields >> current->status;
    } else if (tag == "page") {
      int32_t page = 0, count = 0;
      fields >> page >> count;
      current->pages[page].resize(static_cast<size_t>(count));
    } else if (tag == "annot") {
      int32_t page = 0;
      size_t index = 0;
      ReferenceAnnot annot;
      fields >> page >> index >> annot.kind;
      if (annot.kind == "link") fields >> annot.rect[0] >> annot.rect[1] >> annot.rect[2] >> annot.rect[3];
      int32_t flags = 0;
      std::string appearance;
      fields >> flags >> appearance;
      annot.appearance = appearance == "yes";
      std::vector<ReferenceAnnot>& list = current->pages[page];
      if (index < list.size()) list[index] = annot;
    }
  }
  return files;
}

// Whether qpdf need be asked: the raw bytes name "Annots", or hide
// objects in object streams where they cannot be seen. A file without
// either has no annotations, and qpdf's full listing of it would only cost
// time.
bool MayHaveAnnotations(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return bytes.find("/Annots") != std::string::npos || bytes.find("/ObjStm") != std::string::npos;
}

class AnnotationCorpusTest : public ::testing::TestWithParam<int> {
 protected:
  void CheckFile(const std::string& path, const ReferenceFile* reference);
  runtime::LibraryContext context_;
};

void AnnotationCorpusTest::CheckFile(const std::string& path, const ReferenceFile* reference) {
  // A file qpdf was not asked about has no "Annots": every page's list
  // must then be empty.
  const ReferenceFile empty{"accepted", {}};
  if (reference == nullptr && !pdftest::kSanitizerBuild) reference = &empty;
  const bool compare = reference != nullptr && reference->status == "accepted";
  pdftest::DocumentHolder holder{&context_};
  int32_t count = 0;
  const bool opened = runtime::CatchAllExceptCancel(&context_, [&] {
    const std::u16string device = platform::DevicePathFromHost(path);
    streams::DataStoreRef file = streams::FileStream::Open(&context_, device.c_str());
    holder.document = pdf::Document::Open(&context_, std::move(file));
    count = holder.document->GetPageCount();
  });
  if (!opened || holder.document->IsEncrypted()) return;
  for (int32_t index = 0; index < std::min(count, kMaxPages); ++index) {
    std::vector<const pdf::LinkRecord*> links;
    std::vector<bool> appearances;
    uint32_t entries = 0;
    runtime::ObjectHandle page;
    if (!runtime::CatchAllExceptCancel(&context_, [&] { page = holder.document->GetPageDict(index); })) continue;
    pdf::PageLinkList* list = nullptr;
    const std::optional<runtime::ErrorRecord> error = testsupport::CaughtError(&context_, [&] {
      list = runtime::NewObject<pdf::PageLinkList>(&context_, &context_, page);
      entries = list->Count();
      for (uint32_t i = 0; i < entries; ++i) links.push_back(list->At(i));
    });
    const bool built = !error.has_value();
    // Each annotation's appearance, chosen by state.
    const runtime::ObjectHandle annots =
        page.Tag() == runtime::ObjectTag::kDictionary ? runtime::Dictionary::Get(page, "Annots") : runtime::ObjectHandle();
    if (built && annots.Tag() == runtime::ObjectTag::kArray) {
      for (uint32_t i = 0; i < entries; ++i) {
        bool has = false;
        runtime::CatchAllExceptCancel(&context_, [&] {
          const runtime::ObjectHandle annotation = runtime::Array::Get(annots, i);
          has = annotation.Tag() == runtime::ObjectTag::kDictionary && !pdf::Annot::NormalAppearance(annotation).IsNull();
        });
        appearances.push_back(has);
      }
    }
    if (compare) {
      SCOPED_TRACE("page " + std::to_string(index));
      const auto found = reference->pages.find(index);
      const std::vector<ReferenceAnnot> none;
      const std::vector<ReferenceAnnot>& expected = found == reference->pages.end() ? none : found->second;
      bool malformed = false;
      for (const ReferenceAnnot& annot : expected) malformed = malformed || annot.kind == "bad";
      if (malformed) {
        EXPECT_FALSE(built) << "qpdf lists a malformed element that was accepted";
      } else {
        ASSERT_TRUE(built) << "refused: " << (error ? error->code : 0);
        ASSERT_EQ(entries, expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
          EXPECT_EQ(links[i] != nullptr, expected[i].kind == "link") << "entry " << i;
          EXPECT_EQ(appearances[i], expected[i].appearance) << "entry " << i;
          if (links[i] == nullptr || expected[i].kind != "link") continue;
          const runtime::Fixed ours[4] = {links[i]->rect.x0, links[i]->rect.y0, links[i]->rect.x1, links[i]->rect.y1};
          for (int k = 0; k < 4; ++k) {
            EXPECT_NEAR(runtime::FixedToDouble(ours[k]), expected[i].rect[k], 0.01) << "entry " << i << " value " << k;
          }
        }
      }
    }
    if (list != nullptr) runtime::DestroyAndFree(&context_, list);
  }
}

TEST_P(AnnotationCorpusTest, AnnotationsMatchQpdf) {
  const std::vector<std::string> files = pdftest::CorpusGroup(GetParam());
  std::vector<std::string> paths;
  for (const std::string& file : files) paths.push_back(pdftest::CorpusDir() + "/" + file);
  std::map<std::string, ReferenceFile> reference;
  if (!pdftest::kSanitizerBuild) {
    if (pdftest::RunCommand("qpdf --version >/dev/null 2>&1 && echo yes").out.empty()) {
      if (pdftest::UnderContinuousIntegration()) FAIL() << "qpdf is missing";
      GTEST_SKIP() << "qpdf is missing";
    }
    std::vector<std::string> asked;
    for (const std::string& path : paths) {
      if (MayHaveAnnotations(path)) asked.push_back(path);
    }
    if (!asked.empty()) reference = AskQpdf(asked);
  }
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const auto found = reference.find(path);
    CheckFile(path, found == reference.end() ? nullptr : &found->second);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, AnnotationCorpusTest, ::testing::ValuesIn(pdftest::CorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(AnnotationCorpusTest);

}  // namespace
