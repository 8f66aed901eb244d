// Every corpus file against qpdf, asked once per file through
// corpus_objects.py: for the unencrypted files qpdf accepts without
// warnings, every object it lists resolves to the same type and every
// stream it decodes decodes to the same bytes. Every other file must still
// open or fail cleanly, and resolve and decode all its objects without a
// crash or a hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/pdf/CorpusFiles.h"
#include "pdf/Document.h"
#include "pdf/StreamObject.h"
#include "platform/Files.h"
#include "runtime/ErrorTrap.h"
#include "streams/FileStream.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/Python.h"

namespace {

using runtime::ObjectHandle;
using runtime::ObjectTag;

// Work bounds per file, so that the run stays short under the sanitizers.
constexpr uint32_t kMaxObjectsPerFile = 20000;
constexpr uint64_t kMaxDecodedBytesPerStream = 64u << 20;

// What the helper script lists for each of `pdfs`, in their order. The
// files of a group go through one run of the script: an interpreter start
// costs more than listing most files. A file the script did not reach
// gets an empty listing, which compares as a file qpdf refused.
std::vector<std::string> RunHelper(const std::vector<std::string>& pdfs) {
  const std::string python = testsupport::Python();
  std::string command = python + " '" + std::string(FOLVANE_SOURCE_DIR) + "/tests/pdf/corpus_objects.py'";
  for (const std::string& pdf : pdfs) command += " '" + pdf + "'";
  std::vector<std::string> listings(pdfs.size());
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return listings;
  char buffer[65536];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, count);
  pclose(pipe);
  // Each file's listing follows a line "file <index>".
  size_t current = pdfs.size();
  for (size_t begin = 0; begin < out.size();) {
    size_t end = out.find('\n', begin);
    if (end == std::string::npos) end = out.size();
    const std::string_view line(out.data() + begin, end - begin);
    if (line.starts_with("file ")) {
      current = static_cast<size_t>(std::strtoul(std::string(line.substr(5)).c_str(), nullptr, 10));
    } else if (current < listings.size()) {
      listings[current].append(line);
      listings[current] += '\n';
    }
    begin = end + 1;
  }
  return listings;
}

const char* TypeName(const ObjectHandle& object) {
  if (pdf::StreamObject::IsStream(object.Value())) return "stream";
  switch (object.Tag()) {
    case ObjectTag::kNull: return "null";
    case ObjectTag::kBoolean: return "boolean";
    case ObjectTag::kInteger:
    case ObjectTag::kOverflowedNumber: return "integer";
    case ObjectTag::kReal: return "real";
    case ObjectTag::kName: return "name";
    case ObjectTag::kString: return "string";
    case ObjectTag::kArray: return "array";
    case ObjectTag::kDictionary: return "dictionary";
    case ObjectTag::kReference: return "reference";
  }
  return "unknown";
}

std::string Decode(pdf::Document& document, const ObjectHandle& stream) {
  streams::StreamRef data = pdf::StreamObject::OpenData(document, stream);
  std::string out;
  for (;;) {
    streams::BlockRef block = data->FetchBlock();
    if (streams::CountOf(block) == 0 || out.size() > kMaxDecodedBytesPerStream) return out;
    out.append(reinterpret_cast<const char*>(block->Data()), block->Count());
  }
}

class CorpusTest : public ::testing::TestWithParam<int> {
 protected:
  void CheckFile(const std::string& name, const std::string& listing);

  runtime::LibraryContext context_;
};

// One file. Under the sanitizers qpdf is not asked (the comparison checks
// logic, not memory safety): every object is resolved and decoded instead.
void CorpusTest::CheckFile(const std::string& name, const std::string& listing) {
  const std::string path = pdftest::CorpusDir() + "/" + name;
  std::istringstream lines(listing);
  std::string verdict;
  std::getline(lines, verdict);
  std::string encryption;
  if (lines.peek() == 'e') std::getline(lines, encryption);
  // Encrypted files that open with the empty password are compared too
  // when they use RC4; those with another cipher must be refused as
  // unsupported.
  const bool compare =
      verdict == "accepted" && (encryption.empty() || encryption == "encrypted rc4");

  pdftest::DocumentHolder holder{&context_};
  runtime::ErrorTrap trap(&context_);
  const bool opened = trap.Run([&] {
    const std::u16string device = platform::DevicePathFromHost(path);
    streams::DataStoreRef file = streams::FileStream::Open(&context_, device.c_str());
    holder.document = pdf::Document::Open(&context_, std::move(file));
  });
  if (!opened) {
    trap.SetHandled();
    const runtime::ErrorRecord error = trap.Held();
    trap.Close();
    EXPECT_FALSE(compare) << "qpdf accepts it, but it does not open: " << error.domain << " "
                          << error.code;
    return;
  }
  pdf::Document& document = *holder.document;

  bool authorised = false;
  bool unsupported = false;
  runtime::ErrorTrap security(&context_);
  if (!security.Run([&] {
        authorised = document.SetupSecurity("Standard", nullptr, 0);
        unsupported = !document.EncryptionSupported();
      })) {
    security.SetHandled();
    if (security.Held().IsRuntime(runtime::kCancelled)) security.Rethrow();
    unsupported = security.Held().IsRuntime(runtime::kUnsupported);
    security.Close();
  }
  if (compare) {
    EXPECT_TRUE(authorised) << "qpdf opens it with the empty password";
  }
  if (verdict != "failed" && encryption == "encrypted unsupported") {
    EXPECT_TRUE(unsupported) << "its cipher is not RC4";
  }

  if (compare) {
    std::string line;
    uint32_t checked = 0;
    while (std::getline(lines, line) && checked++ < kMaxObjectsPerFile) {
      std::istringstream fields(line);
      uint32_t number = 0;
      uint32_t generation = 0;
      std::string type;
      std::string mode;
      std::string data;
      fields >> number >> generation >> type >> mode >> data;
      if (type == "xrefstream") continue;
      std::string ours = "error";
      std::string decoded;
      bool decodeFailed = false;
      bool olderGeneration = false;
      const bool resolved = runtime::CatchAllExceptCancel(&context_, [&] {
        ObjectHandle object = document.GetObject(number, generation);
        ours = TypeName(object);
        // Only the newest generation of an object number is reachable;
        // qpdf also lists older ones that earlier sections still name.
        uint32_t newest = generation;
        if (object.IsNull() && !document.GetObjectAnyGeneration(number, &newest).IsNull() &&
            newest != generation) {
          olderGeneration = true;
          return;
        }
        if (mode == "decoded" && ours == "stream") {
          decodeFailed = !runtime::CatchAllExceptCancel(&context_, [&] {
            decoded = Decode(document, object);
          });
        }
      });
      EXPECT_TRUE(resolved) << "object " << number;
      if (olderGeneration) continue;
      EXPECT_EQ(ours, type) << "object " << number;
      if (mode == "decoded" && ours == "stream") {
        EXPECT_FALSE(decodeFailed) << "stream " << number;
        EXPECT_TRUE(decoded == pdftest::Base64Decode(data))
            << "stream " << number << " decodes to " << decoded.size() << " bytes";
      }
    }
    return;
  }

  // Not comparable: everything must still resolve or fail cleanly.
  const uint32_t count = std::min(document.ObjectCountHint(), kMaxObjectsPerFile);
  for (uint32_t number = 1; number < count; ++number) {
    runtime::CatchAllExceptCancel(&context_, [&] {
      uint32_t generation = 0;
      ObjectHandle object = document.GetObjectAnyGeneration(number, &generation);
      if (pdf::StreamObject::IsStream(object.Value())) Decode(document, object);
    });
  }
}

TEST_P(CorpusTest, ObjectsMatchQpdf) {
  const std::vector<std::string> files = pdftest::CorpusGroup(GetParam());
  std::vector<std::string> paths;
  for (const std::string& file : files) paths.push_back(pdftest::CorpusDir() + "/" + file);
  const std::vector<std::string> listings =
      pdftest::kSanitizerBuild ? std::vector<std::string>(files.size()) : RunHelper(paths);
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    CheckFile(files[i], listings[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusTest, ::testing::ValuesIn(pdftest::CorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusTest);

}  // namespace
