// The open job on a cooperative thread, with a fake viewer that answers
// the password prompt from a script: where the header and the trailer
// are searched, when the prompt appears, and what the viewer is left with
// when the open fails.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pdf/Document.h"
#include "pdf/OpenJob.h"
#include "pdf/SecurityHandler.h"
#include "platform/Clock.h"
#include "runtime/Scheduler.h"
#include "runtime/ThreadHandle.h"
#include "runtime/TransientBlocks.h"
#include "tests/pdf/PdfTestSupport.h"

namespace {

constexpr uint32_t kCannotDecrypt = 59;

class FakeViewer final : public pdf::OpenJobViewer {
 public:
  explicit FakeViewer(runtime::LibraryContext* context) : context_(context), job_(context) {}
  ~FakeViewer() {
    job_.Destroy();
    runtime::DestroyAndFree(context_, document);
    runtime::DestroyAndFree(context_, previous);
  }

  bool RequestPassword(runtime::OwnedBuffer* output) override {
    ++prompts;
    if (answers.empty()) return true;  // the user cancels
    const std::string answer = answers.front();
    answers.erase(answers.begin());
    output->Resize(static_cast<uint32_t>(answer.size() + 1));
    std::memcpy(output->Data(), answer.c_str(), answer.size() + 1);
    return false;
  }
  // What the viewer does: ask again under three wrong passwords, then
  // tell the user and give up.
  bool OnPasswordRejected(uint32_t attempts) override {
    failedAttempts.push_back(attempts);
    if (attempts < 3) return true;
    ShowLocalizedMessage(kCannotDecrypt);
    state.failed = true;
    return false;
  }
  void ShowLocalizedMessage(uint32_t index) override { messages.push_back(index); }
  runtime::ThreadHandle& OpenJobHandle() override { return job_; }
  void InstallDocument(pdf::Document* installed) override {
    runtime::DestroyAndFree(context_, document);
    document = installed;
  }
  pdf::OpenState& GetOpenState() override { return state; }

  std::vector<std::string> answers;
  uint32_t prompts = 0;
  std::vector<uint32_t> failedAttempts;
  std::vector<uint32_t> messages;
  pdf::OpenState state;
  pdf::Document* document = nullptr;
  // A document shown before the open started; no failed open may lose it.
  pdf::Document* previous = nullptr;

 private:
  runtime::LibraryContext* context_;
  runtime::ThreadHandle job_;
};

class OpenJobTest : public ::testing::Test {
 protected:
  OpenJobTest() : scheduler_(&context_), viewer_(&context_) {
    platform::UseVirtualClock(true);
    context_.memory.SetBudget(runtime::kNoLimit);
    context_.threadingEnabled = true;
  }
  ~OpenJobTest() override { platform::UseVirtualClock(false); }

  // Runs an open job of `viewer` over `bytes` to its end.
  void Open(FakeViewer& viewer, const std::string& bytes) {
    bytes_ = bytes;
    auto source = streams::MakeRef<streams::MemoryDataSource>(
        &context_, reinterpret_cast<const uint8_t*>(bytes_.data()),
        static_cast<uint32_t>(bytes_.size()));
    pdf::OpenJob::Start(&context_, &viewer, std::move(source));
    scheduler_.RunUntil([&] { return viewer.OpenJobHandle().Get()->IsIdle(); });
  }
  void Open(const std::string& bytes) { Open(viewer_, bytes); }

  static std::string SmallDocument(const std::string& prefix = "") {
    pdftest::PdfWriter writer(prefix);
    writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        .ClassicTable("/Root 1 0 R");
    return writer.Text();
  }

  std::string Fixture(const std::string& name) {
    std::string dir;
    pdftest::EncryptedCases(&dir);
    return pdftest::ReadFile(dir + "/" + name);
  }

  runtime::LibraryContext context_;
  runtime::Scheduler scheduler_;
  FakeViewer viewer_;
  std::string bytes_;
};

TEST_F(OpenJobTest, HeaderWithinTheFirstKilobyte) {
  const struct {
    size_t junk;
    bool opens;
  } cases[] = {{0, true}, {1000, true}, {1023, true}, {1024, false}, {2000, false}};
  for (const auto& c : cases) {
    FakeViewer viewer(&context_);
    Open(viewer, SmallDocument(std::string(c.junk, 'x')));
    EXPECT_EQ(viewer.document != nullptr, c.opens) << c.junk << " bytes before the header";
    EXPECT_EQ(viewer.state.failed, !c.opens) << c.junk;
    if (viewer.document != nullptr) {
      EXPECT_EQ(viewer.document->HeaderOffset(), c.junk);
    }
  }
}

TEST_F(OpenJobTest, LastEndOfFileMarkerCounts) {
  // Two tails: only the one that ends the file points at the real table.
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog >>");
  const std::string body = writer.ClassicTable("/Root 1 0 R").Text();
  const size_t table = body.rfind("startxref\n") + 10;
  const std::string good = body.substr(table, body.find('\n', table) - table);
  const std::string base = body.substr(0, body.rfind("startxref"));
  const std::string bad = "startxref\n3\n%%EOF\n";
  const std::string right = "startxref\n" + good + "\n%%EOF\n";
  const struct {
    std::string bytes;
    bool opens;
  } cases[] = {
      {base + bad + right, true},
      {base + right + bad, false},
      {base + bad + right + "\n\n% trailing comment\n", true},
  };
  for (const auto& c : cases) {
    FakeViewer viewer(&context_);
    Open(viewer, c.bytes);
    EXPECT_EQ(viewer.document != nullptr, c.opens) << c.bytes;
  }
}

TEST_F(OpenJobTest, EmptyPasswordNeverShowsThePrompt) {
  Open(Fixture("r3_128_empty.pdf"));
  ASSERT_NE(viewer_.document, nullptr);
  EXPECT_EQ(viewer_.prompts, 0u);
  EXPECT_TRUE(viewer_.document->Security()->IsAuthorised());
  EXPECT_FALSE(viewer_.state.failed);
}

TEST_F(OpenJobTest, RightPasswordAtTheSecondTry) {
  viewer_.answers = {"nope", "usr"};
  Open(Fixture("r4_rc4_user.pdf"));
  ASSERT_NE(viewer_.document, nullptr);
  EXPECT_EQ(viewer_.prompts, 2u);
  EXPECT_EQ(viewer_.failedAttempts, std::vector<uint32_t>{1});
  EXPECT_TRUE(viewer_.messages.empty());
  EXPECT_EQ(viewer_.document->Security()->Authorisation(), pdf::PasswordUsed::kUser);
}

TEST_F(OpenJobTest, OwnerPasswordOfAFortyBitRevisionThreeFile) {
  for (const char* file : {"r3_40_user.pdf", "r3_40_whole_user.pdf"}) {
    FakeViewer viewer(&context_);
    viewer.answers = {"own"};
    Open(viewer, Fixture(file));
    ASSERT_NE(viewer.document, nullptr) << file;
    EXPECT_EQ(viewer.document->Security()->Authorisation(), pdf::PasswordUsed::kOwner) << file;
  }
}

TEST_F(OpenJobTest, FailedOpensKeepThePreviousDocument) {
  const struct {
    const char* file;
    std::vector<std::string> answers;
    uint32_t prompts;
    std::vector<uint32_t> messages;
    bool failed;
    bool notOpened;
  } cases[] = {
      // Three wrong passwords: "Could not decrypt the document".
      {"r2_40_user.pdf", {"a", "b", "c", "usr"}, 3, {kCannotDecrypt}, true, false},
      // AES: "Unsupported security handler", no prompt.
      {"aes_user.pdf", {"usr"}, 0, {pdf::kTextUnsupportedSecurity}, true, false},
      // The user cancels the prompt.
      {"r3_128_user.pdf", {}, 1, {}, false, true},
  };
  for (const auto& c : cases) {
    FakeViewer viewer(&context_);
    const std::string shown = SmallDocument();
    auto shownSource = streams::MakeRef<streams::MemoryDataSource>(
        &context_, reinterpret_cast<const uint8_t*>(shown.data()),
        static_cast<uint32_t>(shown.size()));
    viewer.previous = pdf::Document::Open(&context_, std::move(shownSource));
    pdf::Document* const previous = viewer.previous;
    viewer.answers = c.answers;
    Open(viewer, Fixture(c.file));
    EXPECT_EQ(viewer.document, nullptr) << c.file;
    EXPECT_EQ(viewer.previous, previous) << c.file;
    EXPECT_EQ(viewer.prompts, c.prompts) << c.file;
    EXPECT_EQ(viewer.messages, c.messages) << c.file;
    EXPECT_EQ(viewer.state.failed, c.failed) << c.file;
    EXPECT_EQ(viewer.state.notOpened, c.notOpened) << c.file;
    EXPECT_EQ(static_cast<pdf::OpenJob*>(viewer.OpenJobHandle().Get())->PendingDocument(),
              nullptr)
        << c.file;
  }
}

}  // namespace
