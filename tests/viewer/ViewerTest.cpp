#include "viewer/Viewer.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/HostControls.h"
#include "runtime/HostWindow.h"
#include "runtime/ListLink.h"
#include "runtime/MainStackCalls.h"
#include "runtime/OwnedBuffer.h"
#include "tests/runtime/ThreadFixture.h"
#include "tests/support/FakeHostServices.h"

namespace viewer {
namespace {

using runtime::LibraryContext;

// A host that records every message box and password dialog it gives out,
// and whether each was made on the main thread's stack.
class RecordingHost : public testsupport::FakeHostServices {
 public:
  struct Box : runtime::MessageBoxDialog {
    void SetText(const char16_t* value) override { text = value; }
    void SetStyle(uint32_t value) override { style = value; }
    void SetTitle(const char16_t* value) override { title = value; }
    int32_t RunModal() override {
      if (onModal) onModal();
      return answer;
    }
    std::function<void()> onModal;
    std::u16string text, title;
    uint32_t style = 0;
    int32_t answer = 1;
    bool onMainStack = false;
    bool destroyed = false;
  };
  struct Entry : runtime::TextEntryDialog {
    void Initialise(void* owner) override { viewer = owner; }
    void SetItemText(uint32_t id, const char16_t* value) override {
      resourceId = id;
      prompt = value;
    }
    void Attach(uint32_t value) override { mode = value; }
    int32_t RunModal() override {
      if (onModal) onModal();
      return result;
    }
    const char16_t* GetText() const override { return typed.c_str(); }
    std::function<void()> onModal;
    void* viewer = nullptr;
    uint32_t resourceId = 0, mode = 0;
    std::u16string prompt, typed;
    int32_t result = runtime::kTextEntryAccepted;
    bool onMainStack = false;
    bool destroyed = false;
  };

  explicit RecordingHost(runtime::Scheduler* owner) : scheduler(owner) {}

  runtime::MessageBoxDialog* CreateMessageBox() override {
    if (!giveBoxes) return nullptr;
    boxes.push_back(std::make_unique<Box>());
    boxes.back()->onMainStack = scheduler->OnMainThread();
    boxes.back()->answer = nextAnswer;
    boxes.back()->onModal = whileModal;
    return boxes.back().get();
  }
  void DestroyMessageBox(runtime::MessageBoxDialog* box) override {
    static_cast<Box*>(box)->destroyed = true;
  }
  runtime::TextEntryDialog* CreatePasswordDialog() override {
    if (!giveDialogs) return nullptr;
    dialogs.push_back(std::make_unique<Entry>());
    dialogs.back()->onMainStack = scheduler->OnMainThread();
    dialogs.back()->typed = nextTyped;
    dialogs.back()->result = nextResult;
    dialogs.back()->onModal = whileModal;
    return dialogs.back().get();
  }
  void DestroyPasswordDialog(runtime::TextEntryDialog* dialog) override {
    static_cast<Entry*>(dialog)->destroyed = true;
  }

  runtime::Scheduler* scheduler;
  bool giveBoxes = true;
  bool giveDialogs = true;
  int32_t nextAnswer = 1;
  std::u16string nextTyped;
  int32_t nextResult = runtime::kTextEntryAccepted;
  // Run by the next boxes and dialogs while they are up (as a user's
  // command handled by the modal loop would run).
  std::function<void()> whileModal;
  std::vector<std::unique_ptr<Box>> boxes;
  std::vector<std::unique_ptr<Entry>> dialogs;
};

// A label that records the texts it is given and where it was given them.
class RecordingLabel : public runtime::HostEdit {
 public:
  explicit RecordingLabel(runtime::Scheduler* owner) : scheduler(owner) {}
  void SetRect(const runtime::HostRect& value) override {
    rect = value;
    ++sets;
    allOnMainStack = allOnMainStack && scheduler->OnMainThread();
  }
  void GetRect(runtime::HostRect* value) const override { *value = rect; }
  void SetText(const char16_t* text) override {
    texts.push_back(text);
    allOnMainStack = allOnMainStack && scheduler->OnMainThread();
  }
  runtime::Scheduler* scheduler;
  runtime::HostRect rect{};
  int sets = 0;
  std::vector<std::u16string> texts;
  bool allOnMainStack = true;
};

class ViewerTest : public runtime::ThreadFixture {
 protected:
  RecordingHost host{&scheduler};
  Viewer viewer{&context, &host};
};

TEST_F(ViewerTest, MatchCountFromACooperativeThreadShowsOnTheMainStack) {
  bool returned = false;
  Start([&](LibraryContext*) {
    viewer.ShowMatchCount(3);
    returned = true;
  });
  // Give the thread its turn: it queues its request and waits; nothing is
  // shown until the main thread's run loop services its tasks.
  scheduler.ThreadSwitch(nullptr);
  EXPECT_NE(scheduler.tasks, nullptr);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_FALSE(returned);
  runtime::Scheduler::RunForMilliseconds(&context, 10);
  ASSERT_EQ(host.boxes.size(), 1u);
  const RecordingHost::Box& box = *host.boxes[0];
  EXPECT_EQ(box.text, u"Found 3 match(es)");
  EXPECT_EQ(box.title, u"Search Progress");
  EXPECT_EQ(box.style, 1u);
  EXPECT_TRUE(box.onMainStack);
  EXPECT_TRUE(box.destroyed);
  EXPECT_TRUE(returned);
  EXPECT_EQ(viewer.currentModal, nullptr);
}

TEST_F(ViewerTest, MessagesTakeTheirTextsFromTheViewersLanguage) {
  struct Case {
    const char* name;
    uint32_t language;
    int32_t count;
    std::u16string text;
  } cases[] = {
      {"English", 0, 3, u"Found 3 match(es)"},
      {"negative count", 0, -12, u"Found -12 match(es)"},
      {"largest count", 0, 2147483647, u"Found 2147483647 match(es)"},
      {"number first (German)", 6, 7, u"7 Treffer gefunden"},
  };
  for (const Case& c : cases) {
    host.boxes.clear();
    viewer.languageIndex = c.language;
    viewer.ShowMatchCount(c.count);  // on the main thread: at once
    ASSERT_EQ(host.boxes.size(), 1u) << c.name;
    EXPECT_EQ(host.boxes[0]->text, c.text) << c.name;
  }
  viewer.languageIndex = 0;
  host.boxes.clear();
  viewer.caption = u"Viewer";
  viewer.ShowLocalizedMessage(59);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0]->text, u"Could not decrypt the document");
  EXPECT_EQ(host.boxes[0]->title, u"Viewer");
  EXPECT_EQ(host.boxes[0]->style, 1u);
}

// A listener of the viewer that logs both passes of a notification.
class LoggingListener : public runtime::ListLink {
 public:
  explicit LoggingListener(std::string* target) : log(target) {}
  void OnListEvent() override { *log += 'n'; }
  void AfterListEvent() override { *log += 'a'; }
  std::string* log;
};

TEST_F(ViewerTest, SearchErrorTellsListenersThenShowsTheMessage) {
  std::string log;
  LoggingListener first(&log), second(&log);
  first.Link(&viewer.listeners, true);
  second.Link(&viewer.listeners, true);
  viewer.listenersPending = 1;
  viewer.ShowCancelSoftKeys();
  Start([&](LibraryContext*) { viewer.ShowSearchError(); });
  runtime::Scheduler::RunForMilliseconds(&context, 10);
  EXPECT_EQ(log, "nnaa");
  EXPECT_EQ(viewer.listenersPending, 0);
  EXPECT_FALSE(viewer.busySoftKeys);
  EXPECT_TRUE(viewer.searchFailed);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0]->text, u"Fatal error while searching.");
  EXPECT_EQ(host.boxes[0]->title, u"Search Progress");
  EXPECT_TRUE(host.boxes[0]->onMainStack);
}

TEST_F(ViewerTest, QuestionsAnswerYesOnlyFor206AndSwapTheSoftKeysMeanwhile) {
  struct Case {
    bool giveBox;
    int32_t answer;
    bool yes;
  } cases[] = {{true, 206, true}, {true, 207, false}, {false, 206, false}};
  for (const Case& c : cases) {
    host.giveBoxes = c.giveBox;
    host.nextAnswer = c.answer;
    viewer.ShowCancelSoftKeys();
    EXPECT_EQ(viewer.AskResumeFromStart(), c.yes) << c.answer;
    EXPECT_TRUE(viewer.busySoftKeys);  // the busy keys are back afterwards
  }
  host.giveBoxes = true;
  host.boxes.clear();
  viewer.AskResumeFromEnd();
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0]->style, 2u);
  EXPECT_EQ(host.boxes[0]->title, u"Search Progress");
  EXPECT_EQ(host.boxes[0]->text.substr(0, 36), u"Reached the beginning of the documen");
}

TEST_F(ViewerTest, PasswordDialogStoresPdfDocEncodingBytes) {
  struct Case {
    const char* name;
    std::u16string typed;
    int32_t result;
    std::vector<uint8_t> bytes;  // empty with `cancelled`
    bool cancelled;
  } cases[] = {
      {"ASCII", u"secret", runtime::kTextEntryAccepted, {'s', 'e', 'c', 'r', 'e', 't', 0}, false},
      {"empty", u"", runtime::kTextEntryAccepted, {0}, false},
      {"Latin-1 kept", u"caf\u00E9", runtime::kTextEntryAccepted, {'c', 'a', 'f', 0xE9, 0}, false},
      {"euro mapped", u"\u20AC5", runtime::kTextEntryAccepted, {0xA0, '5', 0}, false},
      {"dash and quotes", u"\u2014\u201C", runtime::kTextEntryAccepted, {0x84, 0x8D, 0}, false},
      {"beyond the encoding: low byte", u"\u4E2D", runtime::kTextEntryAccepted, {0x2D, 0}, false},
      {"cancelled", u"typed", 2, {}, true},
  };
  for (const Case& c : cases) {
    host.nextTyped = c.typed;
    host.nextResult = c.result;
    bool cancelled = false;
    std::vector<uint8_t> bytes;
    Start([&](LibraryContext* ctx) {
      runtime::OwnedBuffer output(ctx, ctx, 0);
      cancelled = viewer.RequestPassword(&output);
      bytes.assign(output.Data(), output.Data() + output.Count());
    });
    runtime::Scheduler::RunForMilliseconds(&context, 10);
    EXPECT_EQ(cancelled, c.cancelled) << c.name;
    EXPECT_EQ(bytes, c.bytes) << c.name;
    const RecordingHost::Entry& dialog = *host.dialogs.back();
    EXPECT_TRUE(dialog.onMainStack) << c.name;
    EXPECT_TRUE(dialog.destroyed) << c.name;
    EXPECT_EQ(dialog.viewer, &viewer);
    EXPECT_EQ(dialog.resourceId, runtime::kPasswordPromptResource);
    EXPECT_EQ(dialog.prompt, u"Enter document password:");
    EXPECT_EQ(dialog.mode, runtime::kPasswordAttachMode);
  }
  // No dialog from the host: nothing was entered.
  host.giveDialogs = false;
  runtime::OwnedBuffer output(&context, &context, 0);
  EXPECT_TRUE(viewer.RequestPassword(&output));
  EXPECT_EQ(output.Count(), 0u);
}

TEST_F(ViewerTest, AJobKilledWhileItsPromptIsUpLeavesTheAnswerToThePrompt) {
  // The user's command, handled while the dialog or box is up, kills the
  // job that asked. The main stack must not write what was typed or
  // pressed into the dead job's frame or its buffers: the request keeps
  // the answer until its caller takes it, and a dead caller never does.
  for (const bool password : {true, false}) {
    runtime::CoThread* job = nullptr;
    bool returned = false;
    std::string cleanups;
    host.nextTyped = u"secret";
    host.nextResult = runtime::kTextEntryAccepted;
    host.nextAnswer = 206;
    host.whileModal = [&] {
      scheduler.Kill(job);
#if !defined(FOLVANE_SANITIZE)
      // The dead job's stack is free for the next thread; scribble over it
      // as that thread would, so that a write through a pointer into it
      // goes astray (the sanitizer build watches such memory instead).
      auto* bottom = reinterpret_cast<volatile unsigned char*>(job->stackLimit);
      for (uintptr_t i = 0; i < job->stackSize; ++i) bottom[i] = 0xA5;
#endif
    };
    // The caller's buffer outlives the job here, so what is written into
    // it after the job died shows.
    runtime::OwnedBuffer output(&context, &context, 0);
    job = Start([&](LibraryContext*) {
      runtime::LoggedCleanup held(&cleanups, 'j');
      if (password) {
        viewer.RequestPassword(&output);
      } else {
        viewer.AskResumeFromStart();
      }
      returned = true;
    });
    // The job object is the fixture's; everything the job allocates is
    // freed by its end.
    const uint64_t before = context.memory.bytesInUse;
    runtime::Scheduler::RunForMilliseconds(&context, 10);
    host.whileModal = nullptr;
    EXPECT_FALSE(returned) << password;
    EXPECT_EQ(cleanups, "j") << password;
    EXPECT_TRUE(job->IsIdle()) << password;
    EXPECT_EQ(output.Count(), 0u) << password;
    output.Resize(0);
    EXPECT_EQ(context.memory.bytesInUse, before) << password;
  }
  ASSERT_FALSE(host.dialogs.empty());
  EXPECT_TRUE(host.dialogs.back()->destroyed);
  ASSERT_FALSE(host.boxes.empty());
  EXPECT_TRUE(host.boxes.back()->destroyed);
}

TEST_F(ViewerTest, TheOpenJobIsAskedAgainUntilTheThirdWrongPassword) {
  runtime::DocumentPrompts* prompts = &viewer;
  viewer.caption = u"Viewer";
  viewer.openSucceeded = true;
  Start([&](LibraryContext*) {
    EXPECT_TRUE(prompts->OnPasswordRejected(1));
    EXPECT_TRUE(prompts->OnPasswordRejected(2));
    EXPECT_FALSE(prompts->OnPasswordRejected(3));
  });
  runtime::Scheduler::RunForMilliseconds(&context, 10);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0]->text, u"Could not decrypt the document");
  EXPECT_EQ(host.boxes[0]->title, u"Viewer");
  EXPECT_TRUE(host.boxes[0]->onMainStack);
  EXPECT_FALSE(viewer.openSucceeded);
}

TEST_F(ViewerTest, PageNumberLabelChangesOnlyWithThePageOrWhenForced) {
  RecordingLabel label(&scheduler);
  viewer.pageNumberEdit = &label;
  viewer.documentOpen = true;
  viewer.pageCount = 12;
  Start([&](LibraryContext*) {
    viewer.UpdatePageNumberText(0, 0);
    viewer.UpdatePageNumberText(0, 0);  // same page: nothing
    viewer.UpdatePageNumberText(4, 0);
    viewer.ForcePageNumberText();
    viewer.UpdatePageNumberText(4, 1);
  });
  runtime::Scheduler::RunForMilliseconds(&context, 10);
  EXPECT_EQ(label.texts, (std::vector<std::u16string>{u"1/12", u"5/12", u"5/12"}));
  EXPECT_TRUE(label.allOnMainStack);
  EXPECT_EQ(viewer.pageNumberFlags, 1u);
}

TEST_F(ViewerTest, PageNumberWaitsForADocumentAndALabel) {
  RecordingLabel label(&scheduler);
  viewer.pageCount = 3;
  viewer.UpdatePageNumberText(0, 0);  // no document, no label
  viewer.documentOpen = true;
  viewer.UpdatePageNumberText(0, 0);  // still forced: nothing was shown
  EXPECT_TRUE(label.texts.empty());
  viewer.pageNumberEdit = &label;
  viewer.UpdatePageNumberText(0, 0);
  EXPECT_EQ(label.texts, (std::vector<std::u16string>{u"1/3"}));
}

TEST_F(ViewerTest, AThreadKilledWhileItsMessageWaitsLeavesNothingQueued) {
  runtime::ClosureThread* thread = Start([&](LibraryContext*) { viewer.ShowMatchCount(1); });
  scheduler.ThreadSwitch(nullptr);  // the thread queues its message and waits
  ASSERT_NE(scheduler.tasks, nullptr);
  scheduler.Kill(thread);
  EXPECT_EQ(scheduler.tasks, nullptr);
  runtime::Scheduler::RunForMilliseconds(&context, 10);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(ViewerTest, WindowRequestsRunOnTheMainStack) {
  RecordingLabel window(&scheduler);
  Start([&](LibraryContext* ctx) {
    runtime::SetRectRecord rect{&window, {1, 2, 3, 4}};
    runtime::CallSetRectOnMain(ctx, &rect);
    runtime::SetTextRecord text{&window, u"label"};
    runtime::CallSetTextOnMain(ctx, &text);
    runtime::SetTextRecord none{nullptr, u"ignored"};
    runtime::CallSetTextOnMain(ctx, &none);
  });
  runtime::Scheduler::RunForMilliseconds(&context, 10);
  EXPECT_EQ(window.rect.right, 3);
  EXPECT_EQ(window.texts, (std::vector<std::u16string>{u"label"}));
  EXPECT_TRUE(window.allOnMainStack);
}

}  // namespace
}  // namespace viewer
