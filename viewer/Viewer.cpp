#include "viewer/Viewer.h"

#include <cstdint>

#include "resources/UIStringTable.h"
#include "runtime/ErrorTrap.h"
#include "runtime/HostServices.h"
#include "runtime/HostWindow.h"
#include "runtime/ListLink.h"
#include "runtime/MainStackCalls.h"
#include "runtime/OwnedBufferPtr.h"
#include "runtime/PdfDocEncoding.h"
#include "runtime/Scheduler.h"
#include "runtime/Task.h"
#include "runtime/TransientBlocks.h"
#include "runtime/WideString.h"

namespace viewer {
namespace {

using runtime::CleanupNode;
using runtime::LibraryContext;

// Units of a decimal 32-bit number, sign and terminator included, with room
// to spare.
constexpr size_t kNumberUnits = 25;
// Longest text a message is composed into.
constexpr uint64_t kMaxTextUnits = 0x7ffffffe;

// The task a cooperative thread queues for the main thread to show a
// message box. It holds its own copy of the request: the poster may be
// killed while the box is up, and the answer is then written here, not
// into the poster's dead frame. The poster takes the answer from the task.
class MessageTask : public runtime::Task {
 public:
  MessageTask(LibraryContext* context, const MessageRequest& message)
      : Task(context), request(message) {}
  void Run(LibraryContext*) override { Viewer::RunMessageBox(&request); }
  MessageRequest request;
};

// The poster's reference to a queued task. When an error (a kill, say)
// unwinds the poster before the main thread ran the task, the task leaves
// the queue too: it points at a request in the poster's dead frame.
struct TaskHolder {
  CleanupNode node;  // first: the cleanup finds the holder from it
  runtime::Task* task;

  TaskHolder(LibraryContext* context, runtime::Task* held) : task(held) {
    node.Register(context, &Cleanup);
  }
  ~TaskHolder() { Cleanup(&node); }
  static void Cleanup(CleanupNode* raw) {
    auto* self = reinterpret_cast<TaskHolder*>(raw);
    if (runtime::Task* held = self->task) {
      self->task = nullptr;
      if (held->backLink != nullptr) {
        held->Unqueue();
        held->Release();  // the queue's reference
      }
      held->Release();
    }
    raw->Unlink();
  }
};

// Gives a host dialog back however the code that uses it ends.
struct PasswordDialogHolder {
  CleanupNode node;  // first: the cleanup finds the holder from it
  runtime::HostServices* host;
  runtime::TextEntryDialog* dialog;

  PasswordDialogHolder(LibraryContext* context, runtime::HostServices* owner,
                       runtime::TextEntryDialog* held)
      : host(owner), dialog(held) {
    node.Register(context, &Cleanup);
  }
  ~PasswordDialogHolder() { Cleanup(&node); }
  static void Cleanup(CleanupNode* raw) {
    auto* self = reinterpret_cast<PasswordDialogHolder*>(raw);
    if (self->dialog != nullptr) self->host->DestroyPasswordDialog(self->dialog);
    self->dialog = nullptr;
    raw->Unlink();
  }
};

// A password prompt made for a cooperative thread. It lives in the
// context's memory, counted by the asking thread and the main stack: the
// asker may be killed while the dialog is up, and what was typed then goes
// into this record's own buffer, which the asker copies out only when it
// is still there to take it.
struct PasswordPrompt {
  PasswordPrompt(LibraryContext* owner, Viewer* viewer)
      : context(owner), typed(owner, owner, 0), request{viewer, &typed, false} {}
  LibraryContext* context;
  runtime::OwnedBuffer typed;
  PasswordRequest request;
  uint32_t references = 2;  // the asker's and the main stack's

  static void Release(PasswordPrompt* prompt) {
    if (--prompt->references == 0) runtime::DestroyAndFree(prompt->context, prompt);
  }
};

// One user's reference to a password prompt, given up however that user's
// code ends.
struct PromptReference {
  CleanupNode node;  // first: the cleanup finds the holder from it
  PasswordPrompt* prompt;

  PromptReference(LibraryContext* context, PasswordPrompt* held) : prompt(held) {
    node.Register(context, &Cleanup);
  }
  ~PromptReference() { Cleanup(&node); }
  static void Cleanup(CleanupNode* raw) {
    auto* self = reinterpret_cast<PromptReference*>(raw);
    if (self->prompt != nullptr) PasswordPrompt::Release(self->prompt);
    self->prompt = nullptr;
    raw->Unlink();
  }
};

void RunPasswordPromptOnMain(void* argument) {
  auto* prompt = static_cast<PasswordPrompt*>(argument);
  PromptReference mainReference(prompt->context, prompt);
  Viewer::RunPasswordDialog(&prompt->request);
}

}  // namespace

Viewer::Viewer(LibraryContext* libraryContext, runtime::HostServices* hostServices)
    : context(libraryContext), host(hostServices) {
  if (host != nullptr) languageIndex = host->GetLanguageIndex();
}

const char16_t* Viewer::Text(uint32_t index) const {
  return resources::GetUIString(languageIndex, index);
}

void Viewer::RunOnMain(LibraryContext* context, MessageRequest* request) {
  runtime::Scheduler* scheduler = context != nullptr ? context->scheduler : nullptr;
  if (scheduler == nullptr || scheduler->OnMainThread()) {
    RunMessageBox(request);
    return;
  }
  TaskHolder holder(context, runtime::NewObject<MessageTask>(context, context, *request));
  scheduler->PostTask(holder.task);
  holder.task->done.Wait();
  auto* task = static_cast<MessageTask*>(holder.task);
  if (task->failed) {
    const runtime::ErrorRecord error = task->error;
    TaskHolder::Cleanup(&holder.node);
    runtime::ThrowError(context, error);
  }
  request->result = task->request.result;
}

void Viewer::RunMessageBox(MessageRequest* request) {
  request->result = request->defaultResult;
  Viewer* viewer = request->viewer;
  if (viewer == nullptr) return;
  if (request->swapSoftKeys) viewer->RestoreMainSoftKeys();
  runtime::MessageBoxDialog* box =
      viewer->host != nullptr ? viewer->host->CreateMessageBox() : nullptr;
  if (box != nullptr) {
    box->SetText(request->text);
    box->SetStyle(request->style);
    box->SetTitle(request->title);
    viewer->currentModal = box;
    request->result = box->RunModal();
    viewer->currentModal = nullptr;
    viewer->host->DestroyMessageBox(box);
  }
  if (request->swapSoftKeys) viewer->ShowCancelSoftKeys();
}

void Viewer::ShowMessage(const char16_t* text, const char16_t* title) {
  MessageRequest request{this, text, title, kMessageStatement, false, 0, 0};
  // A message that cannot be shown is no reason to fail the work that
  // wanted to show it; a cancellation still goes on.
  runtime::RunIgnoringErrors(context, [&] { RunOnMain(context, &request); });
}

bool Viewer::Ask(uint32_t index) {
  MessageRequest request{this, Text(index), Text(kTextSearchProgress), kMessageQuestion,
                         true, 0, 0};
  runtime::RunIgnoringErrors(context, [&] { RunOnMain(context, &request); });
  return request.result == kAnswerYes;
}

void Viewer::ShowLocalizedMessage(uint32_t index) { ShowMessage(Text(index), caption); }

void Viewer::ShowMatchCount(int32_t count) {
  char16_t number[kNumberUnits];
  const size_t numberLength = runtime::IntToWideString(count, number, kNumberUnits) - number;
  const char16_t* pattern = Text(kTextFoundMatches);
  const size_t patternLength = runtime::WideStrLen(pattern);
  const uint64_t units = static_cast<uint64_t>(patternLength) + numberLength + 1;
  if (units > kMaxTextUnits) runtime::ThrowRuntime(runtime::kOverflow);
  runtime::OwnedBufferPtr block(context, context->memory.Allocate(units * sizeof(char16_t)));
  auto* text = static_cast<char16_t*>(block.Get());
  if (text == nullptr) return;  // no memory: the count is not worth an error

  // The number replaces the first "%d"; a text without one gets it at the end.
  size_t insertAt = patternLength;
  size_t resumeAt = patternLength;
  for (size_t i = 0; i + 1 < patternLength; ++i) {
    if (pattern[i] == u'%' && pattern[i + 1] == u'd') {
      insertAt = i;
      resumeAt = i + 2;
      break;
    }
  }
  char16_t* out = text;
  for (size_t i = 0; i < insertAt; ++i) *out++ = pattern[i];
  for (size_t i = 0; i < numberLength; ++i) *out++ = number[i];
  for (size_t i = resumeAt; i < patternLength; ++i) *out++ = pattern[i];
  *out = u'\0';
  ShowMessage(text, Text(kTextSearchProgress));
}

void Viewer::ShowSearchError() {
  RestoreMainSoftKeys();
  runtime::ListLink::NotifyListTwoPass(listeners, &listenersPending);
  ShowMessage(Text(kTextSearchFailed), Text(kTextSearchProgress));
  searchFailed = true;
}

bool Viewer::AskResumeFromStart() { return Ask(kTextResumeFromStart); }
bool Viewer::AskResumeFromEnd() { return Ask(kTextResumeFromEnd); }

bool Viewer::RequestPassword(runtime::OwnedBuffer* output) {
  PromptReference asker(context, runtime::NewObject<PasswordPrompt>(context, context, this));
  // The main stack's reference is taken over by the call there.
  runtime::CallOnThreadStack(context->scheduler, context, &RunPasswordPromptOnMain, asker.prompt);
  const PasswordRequest& request = asker.prompt->request;
  if (!request.entered) return true;
  if (output != nullptr) {
    const runtime::OwnedBuffer& typed = asker.prompt->typed;
    output->Resize(typed.Count());
    for (uint32_t i = 0; i < typed.Count(); ++i) (*output)[i] = typed[i];
  }
  return false;
}

bool Viewer::OnPasswordFailed(uint32_t attempts) {
  if (attempts < kPasswordAttempts) return true;
  ShowLocalizedMessage(kTextCannotDecrypt);
  openFailed = true;
  return false;
}

void Viewer::RunPasswordDialog(PasswordRequest* request) {
  request->entered = false;
  Viewer* viewer = request->viewer;
  if (viewer == nullptr || viewer->host == nullptr) return;
  runtime::TextEntryDialog* dialog = viewer->host->CreatePasswordDialog();
  if (dialog == nullptr) return;
  PasswordDialogHolder holder(viewer->context, viewer->host, dialog);
  dialog->Initialise(viewer);
  dialog->SetItemText(runtime::kPasswordPromptResource, viewer->Text(kTextEnterPassword));
  dialog->Attach(runtime::kPasswordAttachMode);
  viewer->currentModal = dialog;
  const int32_t result = dialog->RunModal();
  viewer->currentModal = nullptr;
  if (result != runtime::kTextEntryAccepted || request->output == nullptr) return;

  const char16_t* typed = dialog->GetText();
  const size_t length = runtime::WideStrLen(typed);
  if (length >= UINT32_MAX) runtime::ThrowRuntime(runtime::kOverflow);
  runtime::OwnedBuffer& output = *request->output;
  output.Resize(static_cast<uint32_t>(length + 1));
  // Passwords are compared as PDFDocEncoding bytes: a character that
  // encoding holds at another byte (the euro sign at 0xA0) must become that
  // byte, or such passwords could never match.
  for (size_t i = 0; i < length; ++i) output[i] = runtime::UnicodeToPdfDocByte(typed[i]);
  output[length] = 0;
  request->entered = true;
}

void Viewer::LayOutChildWindows() {
  // Soft-key button width in pixels, by screen mode.
  static constexpr int32_t kButtonWidths[4] = {21, 42, 23, 45};
  const bool savedFullScreen = fullScreen;
  SetFullScreen(false);

  runtime::SetRectRecord client{mainWindow, {}};
  runtime::CallGetRectOnMain(context, &client);
  int32_t available = client.rect.bottom - client.rect.top;
  if (toolbarShown) available -= toolbarHeight;

  int32_t top = 0;
  if (barWindow != nullptr) {
    top = barShown ? barHeight : 0;
    runtime::SetRectRecord bar{barWindow, {}};
    runtime::CallGetRectOnMain(context, &bar);
    if (bar.rect.top != 0 || bar.rect.bottom != top) {
      bar.rect.top = 0;
      bar.rect.bottom = top;
      runtime::CallSetRectOnMain(context, &bar);
      const int64_t stripWidth =
          static_cast<int64_t>(kButtonWidths[screenMode & 3]) * buttonCount;
      const int64_t left = (static_cast<int64_t>(bar.rect.right) - bar.rect.left - stripWidth) / 2;
      runtime::SetRectRecord strip{
          stripWindow,
          {static_cast<int32_t>(left), 0, static_cast<int32_t>(left + stripWidth), top}};
      runtime::CallSetRectOnMain(context, &strip);
    }
    runtime::SetRectRecord second{secondWindow, {}};
    runtime::CallGetRectOnMain(context, &second);
    if (second.window != nullptr && (second.rect.top != 0 || second.rect.bottom != 0)) {
      second.rect.top = 0;
      second.rect.bottom = 0;
      runtime::CallSetRectOnMain(context, &second);
    }
  }

  runtime::SetRectRecord page{pageAreaWindow, {}};
  runtime::CallGetRectOnMain(context, &page);
  if (page.window != nullptr && (page.rect.top != top || page.rect.bottom != available)) {
    page.rect.top = top;
    page.rect.bottom = available;
    runtime::CallSetRectOnMain(context, &page);
  }
  SetFullScreen(savedFullScreen);
}

void Viewer::UpdatePageNumberText(int32_t page, uint32_t flags) {
  pageNumberFlags = flags;
  if (!forcePageText && page == lastShownPage) return;
  lastShownPage = page;
  if (!documentOpen || pageNumberLabel == nullptr) return;
  const int32_t shown = page < INT32_MAX ? page + 1 : page;
  char16_t* end = runtime::IntToWideString(shown, pageNumberText, kPageNumberTextUnits);
  const size_t left = kPageNumberTextUnits - static_cast<size_t>(end - pageNumberText);
  if (left >= 2) {
    *end++ = u'/';
    const int32_t count = pageCount < INT32_MAX ? static_cast<int32_t>(pageCount) : INT32_MAX;
    runtime::IntToWideString(count, end, left - 1);
  }
  runtime::SetTextRecord record{pageNumberLabel, pageNumberText};
  runtime::CallSetTextOnMain(context, &record);
  forcePageText = false;
}

}  // namespace viewer
