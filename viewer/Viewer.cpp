#include "viewer/Viewer.h"

#include <cstdint>

#include "resources/UIStringTable.h"
#include "runtime/CoThread.h"
#include "runtime/ErrorTrap.h"
#include "runtime/HostControls.h"
#include "runtime/HostDialogs.h"
#include "runtime/HostServices.h"
#include "runtime/HostWindow.h"
#include "runtime/ListLink.h"
#include "runtime/MainStackCalls.h"
#include "runtime/OwnedBufferPtr.h"
#include "runtime/PdfDocEncoding.h"
#include "runtime/Scheduler.h"
#include "runtime/Task.h"
#include "runtime/ThreadHandle.h"
#include "runtime/TransientBlocks.h"
#include "runtime/ViewSurface.h"
#include "runtime/WideString.h"
#include "viewer/OpenDocument.h"
#include "viewer/PageView.h"
#include "viewer/ReadingPosition.h"

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

Viewer::Viewer(LibraryContext* libraryContext, runtime::HostServices* hostServices,
               uint32_t optionWord)
    : context(libraryContext), host(hostServices), options(optionWord) {
  optionQuickZoom = (options & kOptionQuickZoom) != 0;
  optionToolbar = (options & kOptionToolbar) != 0;
  optionPocketPc = (options & kOptionPocketPc) != 0;
  optionReflow = (options & kOptionReflow) != 0;
  optionFullScreen = (options & kOptionFullScreen) != 0;
  optionNoSinglePage = (options & kOptionNoSinglePage) != 0;
  if (host != nullptr) {
    keepToolbarInFullScreen = host->GetKeepToolbarInFullScreen();
    languageIndex = host->GetLanguageIndex();
    context->memory.SetBudget(host->GetMemoryBudget());
    SetDisplayClass(host->GetScreenDpi());
  }
}

Viewer::~Viewer() {
  // The scheduler's hooks must not reach a viewer that is going.
  if (context->viewer == this) context->viewer = nullptr;
  CloseDocuments();
  DestroyHostControls();
  ReleaseButtonPictures();
  if (runtime::CoThread* job = longOperation) {
    longOperation = nullptr;
    runtime::ThreadHandle(context, job).Destroy();
  }
  // A timer left behind would call into a destroyed viewer.
  if (host != nullptr) {
    if (workTimer != nullptr) host->DestroyTimer(workTimer);
    if (startTimer != nullptr) host->DestroyTimer(startTimer);
  }
  workTimer = nullptr;
  startTimer = nullptr;
  if (initialPathBuffer_ != nullptr) context->memory.Free(initialPathBuffer_);
  initialPathBuffer_ = nullptr;
  initialPath = nullptr;
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
  // Only keys that were busy come back busy: a question asked while idle
  // must not leave the viewer showing Cancel and the wait cursor.
  const bool restoreBusyKeys = request->swapSoftKeys && viewer->busySoftKeys;
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
  if (restoreBusyKeys) viewer->ShowCancelSoftKeys();
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

bool Viewer::OnPasswordRejected(uint32_t attempts) {
  if (attempts < kPasswordAttempts) return true;
  ShowLocalizedMessage(kTextCannotDecrypt);
  openSucceeded = false;
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

void Viewer::PaintWindow(runtime::HostWindow* window) {
  if (window == nullptr) return;
  runtime::ViewSurface* surface = window->OpenSurface();
  if (surface == nullptr) return;
  runtime::HostRect client{};
  window->GetRect(&client);
  const runtime::HostRect clip{0, 0, client.right - client.left, client.bottom - client.top};
  if (window != pageViewWindow || pageView == nullptr || !pageView->PaintVisibleCells(*surface, clip)) {
    surface->Fill(clip, 128, 128, 128);
  }
  window->CloseSurface(surface);
}

void Viewer::UpdatePageNumberText(int32_t page, uint32_t flags) {
  pageNumberFlags = flags;
  if (!forcePageText && page == shownPage) return;
  shownPage = page;
  if (!documentOpen || pageNumberEdit == nullptr) return;
  const int32_t shown = page < INT32_MAX ? page + 1 : page;
  char16_t* end = runtime::IntToWideString(shown, pageNumberText, kPageNumberTextUnits);
  const size_t left = kPageNumberTextUnits - static_cast<size_t>(end - pageNumberText);
  if (left >= 2) {
    *end++ = u'/';
    const int32_t count = pageCount < INT32_MAX ? static_cast<int32_t>(pageCount) : INT32_MAX;
    runtime::IntToWideString(count, end, left - 1);
  }
  runtime::SetTextRecord record{pageNumberEdit, pageNumberText};
  runtime::CallSetTextOnMain(context, &record);
  forcePageText = false;
}

}  // namespace viewer

// ---------------------------------------------------------------------------
// Lifecycle

namespace viewer {
namespace {

bool OnMainStack(LibraryContext* context) {
  return context->scheduler == nullptr || context->scheduler->OnMainThread();
}

// A control the host could not make ends the start.
template <class Control>
Control* Required(Control* control) {
  if (control == nullptr) runtime::ThrowRuntime(runtime::kOverflow);
  return control;
}

void StartTimerFired(void* viewer) { static_cast<Viewer*>(viewer)->OnStartTimer(); }
void WorkTimerFired(void* viewer) { static_cast<Viewer*>(viewer)->OnWorkTimer(); }

bool IsEmptyText(const char16_t* text) { return text == nullptr || text[0] == u'\0'; }

}  // namespace

void Viewer::CreateControls() {
  // Without a host there is nothing to make the controls with.
  if (host == nullptr) runtime::ThrowRuntime(runtime::kOverflow);
  host->SetPendingText(caption);
  mainContainer = Required(host->CreateViewWindow(nullptr, false));
  bookmarkTree = Required(host->CreateTreeView(mainContainer));
  if (optionPocketPc) {
    buttonBar = Required(host->CreateViewWindow(mainContainer, false));
    bookmarksButton = Required(host->CreateButton(buttonBar));
  }
  pageViewWindow = Required(host->CreateViewWindow(mainContainer, true));
  focusTarget = pageViewWindow;
  pageViewWindow->Focus();
  if (optionToolbar) {
    toolbar = Required(host->CreateViewWindow(mainContainer, false));
    fitWidthButton = Required(host->CreateButton(toolbar));
    pageNumberEdit = Required(host->CreateEdit(toolbar));
    pageNumberEdit->SetText(u"");
    findButton = Required(host->CreateButton(toolbar));
    zoomOutButton = Required(host->CreateButton(toolbar));
    zoomInButton = Required(host->CreateButton(toolbar));
  }
  host->SetActiveViewText();
}

void Viewer::Start(const char16_t* path) {
  CreateControls();
  if (!IsEmptyText(path)) {
    const size_t units = runtime::WideStrLen(path) + 1;
    if (units > kMaxTextUnits) runtime::ThrowRuntime(runtime::kOverflow);
    auto* copy = static_cast<char16_t*>(runtime::AllocOrThrow(context, units * sizeof(char16_t)));
    for (size_t i = 0; i < units; ++i) copy[i] = path[i];
    if (initialPathBuffer_ != nullptr) context->memory.Free(initialPathBuffer_);
    initialPathBuffer_ = copy;
    initialPath = copy;
  }
  host->ShowSplash(kSplashMilliseconds, caption);
  startTimer = host->CreateTimer(kSplashMilliseconds, this, &StartTimerFired);
  languageIndex = host->GetLanguageIndex();
  BuildMenuTree();
  host->CreateMenuBar(menu.Root());
  LayoutToWorkArea();
}

void Viewer::DestroyHostControls() {
  if (host == nullptr) return;
  auto button = [&](runtime::HostWindow*& control) {
    if (control != nullptr) host->DestroyButtonWindow(control);
    control = nullptr;
  };
  auto window = [&](runtime::HostWindow*& control) {
    if (control != nullptr) host->DestroyWindow(control);
    control = nullptr;
  };
  button(zoomInButton);
  button(zoomOutButton);
  button(findButton);
  if (pageNumberEdit != nullptr) host->DestroyEdit(pageNumberEdit);
  pageNumberEdit = nullptr;
  button(fitWidthButton);
  window(toolbar);
  window(pageViewWindow);
  button(bookmarksButton);
  window(buttonBar);
  if (bookmarkTree != nullptr) host->DestroyTreeView(bookmarkTree);
  bookmarkTree = nullptr;
  window(mainContainer);
  focusTarget = nullptr;
}

void Viewer::BuildMenuTree() {
  const int32_t pages = pageView != nullptr ? pageView->State().pageCount : 0;
  menu.Build(languageIndex, options, pages, busyLabel);
}

void Viewer::SetLanguage(uint32_t language) {
  languageIndex = language;
  BuildMenuTree();
  CreateMenuBarGuarded(menu.Root());
}

void Viewer::ShowAbout() {
  runtime::TextBoxDialog* box = host != nullptr ? host->CreateTextBox() : nullptr;
  if (box == nullptr) return;
  box->SetTitle(caption);
  const char16_t* notice = Text(kTextLegalNotice);
  const char16_t* version = host->GetVersionText(0);
  runtime::OwnedBufferPtr joined(context, nullptr);
  const char16_t* text = notice;
  if (!IsEmptyText(version)) {
    const size_t noticeLength = runtime::WideStrLen(notice);
    const size_t versionLength = runtime::WideStrLen(version);
    const uint64_t units = uint64_t{noticeLength} + 4 + versionLength + 1;
    // Without memory for the joined text the notice shows alone.
    void* block =
        units <= kMaxTextUnits ? context->memory.Allocate(units * sizeof(char16_t)) : nullptr;
    joined.Reset(block);
    if (auto* out = static_cast<char16_t*>(block)) {
      text = out;
      for (size_t i = 0; i < noticeLength; ++i) *out++ = notice[i];
      for (char16_t unit : {u'\r', u'\n', u'\r', u'\n'}) *out++ = unit;
      for (size_t i = 0; i < versionLength; ++i) *out++ = version[i];
      *out = u'\0';
    }
  }
  box->SetItemText(runtime::kTextBoxTextResource, text);
  box->SetSoftKeys(menu.OkOnly());
  currentDialog = box;
  box->RunModal();
  currentDialog = nullptr;
  host->DestroyTextBox(box);
}

bool Viewer::IsEffectiveFullScreen() const {
  return fullScreen && (optionPocketPc || !bookmarksShown);
}

void Viewer::SetFullScreen(bool on) {
  if (fullScreen == on) return;
  const bool before = IsEffectiveFullScreen();
  fullScreen = on;
  const bool after = IsEffectiveFullScreen();
  if (before == after || mainContainer == nullptr) return;
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] {
        runtime::RunOnMainStack(context, [&] {
          mainContainer->SetFullScreen(after);
          if (after && pageViewWindow != nullptr) pageViewWindow->Focus();
        });
      })) {
    // Full screen is a matter of looks: a host that fails it leaves the
    // windows as they were. A cancellation still goes on.
    if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
    trap.SetHandled();
    trap.Close();
  }
}

void Viewer::LayoutToWorkArea() {
  if (host == nullptr || mainContainer == nullptr) return;
  runtime::HostRect area{};
  host->GetWorkArea(&area);
  runtime::HostRect current{};
  mainContainer->GetRect(&current);
  if (current.left != area.left || current.top != area.top || current.right != area.right ||
      current.bottom != area.bottom) {
    // The container's size message lays it out again.
    mainContainer->SetRect(area);
  } else {
    Relayout(current.right - current.left, current.bottom - current.top);
  }
}

void Viewer::OnStartTimer() {
  if (startTimer != nullptr) {
    runtime::HostTimer* timer = startTimer;
    startTimer = nullptr;
    runtime::RunOnMainStack(context, [&] { host->DestroyTimer(timer); });
  }
  ChooseAndOpenDocument(true, initialPath);
}

// ---------------------------------------------------------------------------
// Work timer

void Viewer::StartWorkTimer() {
  if (!OnMainStack(context)) {
    pendingTimerChange_ = TimerChange::kStart;
    return;
  }
  pendingTimerChange_ = TimerChange::kNone;
  if (workTimer != nullptr || host == nullptr) return;
  const uint32_t interval = background ? kWorkTimerBackground : kWorkTimerForeground;
  workTimer = host->CreateTimer(interval, this, &WorkTimerFired);
}

void Viewer::StopWorkTimer() {
  if (!OnMainStack(context)) {
    pendingTimerChange_ = TimerChange::kStop;
    return;
  }
  pendingTimerChange_ = TimerChange::kNone;
  if (workTimer == nullptr) return;
  runtime::HostTimer* timer = workTimer;
  workTimer = nullptr;
  host->DestroyTimer(timer);
}

void Viewer::ApplyPendingTimerChange() {
  switch (pendingTimerChange_) {
    case TimerChange::kStart:
      StartWorkTimer();
      break;
    case TimerChange::kStop:
      StopWorkTimer();
      break;
    case TimerChange::kNone:
      break;
  }
}

void Viewer::SetBackgroundMode(bool inBackground) {
  if (inBackground == background) return;
  background = inBackground;
  if (workTimer != nullptr) {
    StopWorkTimer();
    StartWorkTimer();
  }
}

void Viewer::OnWorkTimer() {
  runtime::Scheduler::RunUntilInputOrMilliseconds(context, kWorkTickMilliseconds);
  ApplyPendingTimerChange();
}

// ---------------------------------------------------------------------------
// Busy state and soft keys

void Viewer::SetBusyCursorGuarded(bool on) {
  if (host == nullptr) return;
  runtime::RunOnMainStack(context, [&] { host->SetBusyCursor(on); });
}

void Viewer::CreateMenuBarGuarded(const runtime::MenuItemDesc* keys) {
  if (host == nullptr || keys == nullptr) return;
  runtime::RunOnMainStack(context, [&] { host->CreateMenuBar(keys); });
}

void Viewer::BeginBusy(uint8_t reason) {
  if (host != nullptr) runtime::RunOnMainStack(context, [&] { host->BeginBusy(reason); });
  if (++busyCount == 1 && !shellModalOpen) SetBusyCursorGuarded(true);
}

void Viewer::EndBusy(uint8_t reason) {
  // The count goes down first, so that a host call that fails (or a job
  // killed meanwhile) never leaves the viewer busy for good.
  const bool idle = --busyCount == 0;
  if (host != nullptr) runtime::RunOnMainStack(context, [&] { host->EndBusy(reason); });
  if (idle && !shellModalOpen) SetBusyCursorGuarded(false);
}

void Viewer::SuspendBusyCursor() {
  shellModalOpen = true;
  if (busyCount > 0) SetBusyCursorGuarded(false);
}

void Viewer::ResumeBusyCursor() {
  if (busyCount > 0) SetBusyCursorGuarded(true);
  shellModalOpen = false;
}

void Viewer::ShowCancelSoftKeys() {
  if (busySoftKeys) return;
  CreateMenuBarGuarded(menu.BusyPair());
  busySoftKeys = true;
  BeginBusy(kBusyLongOperation);
}

void Viewer::RestoreMainSoftKeys() {
  if (!busySoftKeys) return;
  CreateMenuBarGuarded(menu.Root());
  busySoftKeys = false;
  EndBusy(kBusyLongOperation);
}

// ---------------------------------------------------------------------------
// Page-view requests

Viewer::PaintHold::PaintHold(Viewer* owner) : viewer(owner), held(owner->pageView) {
  if (held != nullptr) held->HoldPaint();
}

void Viewer::PaintHold::Release() {
  // A page view replaced meanwhile took its hold with it.
  if (held != nullptr && held == viewer->pageView) held->ReleasePaint();
  held = nullptr;
}

void Viewer::RunRequestPump(const runtime::Deadline& within200, const runtime::Deadline& within10,
                            PaintHold* hold) {
  runtime::Scheduler* scheduler = context->scheduler;
  PageViewCommands* const target = pageView;
  auto gone = [&] { return pageView != target || pageView == nullptr; };
  // Until the request is done or 200 ms have passed.
  scheduler->RunUntil([&] { return gone() || !pageView->HasPendingWork() || within200.Passed(); });
  if (gone()) runtime::ThrowError(context, runtime::ErrorRecord{runtime::kViewerDomain, 2, 1});
  // At least 10 ms, so that the rendering the request started gets going.
  scheduler->RunUntilDeadline(within10);
  // Then until new work, input, or the 200 ms.
  scheduler->RunUntil([&] {
    return gone() || pageView->HasPendingWork() || (host != nullptr && host->IsInputPending()) ||
           within200.Passed();
  });
  hold->Release();
  if (!gone()) pageView->MarkQueuedRequests();
  runtime::Scheduler::RunForMilliseconds(context, kRequestPaintMilliseconds);
  if (!gone()) pageView->FlushInvalidRect();
  ApplyPendingTimerChange();
}

// ---------------------------------------------------------------------------
// Commands, keys and buttons

namespace {

// A page-view request whose change keeps the text being read at its place
// in the window, when the viewer shows its own page view of its document.
template <class Change>
void RunKeepingReadingPosition(Viewer& viewer, bool keep, Change&& change) {
  viewer.RunPageViewRequest([&] {
    PageView* view = viewer.pageView == viewer.ownedPageView ? viewer.ownedPageView : nullptr;
    pdf::Document* document = keep && viewer.currentDocument != nullptr ? viewer.currentDocument->Document() : nullptr;
    ReadingPosition kept(document, viewer.documentInteraction, view);
    change();
    kept.Restore();
  });
}

// A zoom keeps the reading position only while the window's centre is on
// a page; otherwise it zooms about the centre alone.
bool ZoomKeepsReading(Viewer& viewer) {
  return viewer.ownedPageView != nullptr && viewer.pageView == viewer.ownedPageView &&
         ReadingPosition::CentreOnPage(*viewer.ownedPageView);
}

}  // namespace

void Viewer::ZoomIn() {
  RunKeepingReadingPosition(*this, ZoomKeepsReading(*this), [&] { pageView->ZoomIn(); });
}

void Viewer::ZoomOut() {
  RunKeepingReadingPosition(*this, ZoomKeepsReading(*this), [&] { pageView->ZoomOut(); });
}

void Viewer::Rotate(bool right) {
  RunKeepingReadingPosition(*this, true, [&] {
    if (right) {
      pageView->RotateRight();
    } else {
      pageView->RotateLeft();
    }
  });
}

void Viewer::SetFitMode(int32_t mode) {
  RunPageViewRequest([&] { pageView->SetZoom(mode, 0); });
}

void Viewer::FindNext() { search.FindNext(); }

void Viewer::SetLayoutMode(int32_t mode) {
  if (pageView == nullptr) return;
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] { RunPageViewRequest([&] { pageView->SetLayoutMode(mode); }); })) {
    if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
    trap.SetHandled();
    trap.Close();
  }
}

void Viewer::CancelLongOperation() {
  RestoreMainSoftKeys();
  if (runtime::CoThread* job = longOperation) {
    longOperation = nullptr;
    // Destroying a job whose thread still runs kills it first.
    runtime::ThreadHandle(context, job).Destroy();
  }
}

void Viewer::ToggleBookmarks() {
  if (mainContainer == nullptr) return;
  const bool wasFullScreen = IsEffectiveFullScreen();
  bookmarksShown = !bookmarksShown;
  if (buttonBar == nullptr) pageViewShown = !bookmarksShown;
  const bool nowFullScreen = IsEffectiveFullScreen();
  runtime::RunOnMainStack(context, [&] {
    if (wasFullScreen && !nowFullScreen) mainContainer->SetFullScreen(false);
    ShowControl(bookmarkTree, bookmarksShown, treeVisible_);
    if (buttonBar == nullptr) {
      // Without the button bar the tree takes the page view's place and
      // the soft keys become Select and Cancel.
      ShowControl(pageViewWindow, !bookmarksShown, pageViewVisible_);
      ShowControl(toolbar, !bookmarksShown, toolbarVisible_);
      const runtime::MenuItemDesc* keys = bookmarksShown ? menu.BookmarkPair() : menu.Root();
      if (keys != nullptr) host->CreateMenuBar(keys);
      focusTarget = bookmarksShown ? static_cast<runtime::HostWindow*>(bookmarkTree)
                                   : pageViewWindow;
      if (focusTarget != nullptr) focusTarget->Focus();
    }
    RelayoutToContainer();
    if (!wasFullScreen && nowFullScreen) mainContainer->SetFullScreen(true);
  });
}

void Viewer::OnBookmarkSelected() {
  if (optionPocketPc && !fillingBookmarks) OpenSelectedBookmark(false);
}

void Viewer::ExecuteCommand(uint32_t id) {
  if (id < kFirstCommand || id > kLastCommand) return;
  switch (id) {
    case kCmdExit:
      DestroyHostControls();
      if (host != nullptr) host->Quit();
      break;
    case kCmdZoomIn:
      ZoomIn();
      break;
    case kCmdZoomOut:
      ZoomOut();
      break;
    case kCmdQuickZoom:
      if (pageView != nullptr) {
        const uint32_t tool =
            pageView->State().penTool != kPenZoomRectangle ? kPenZoomRectangle : kPenPan;
        RunPageViewRequest([&] { pageView->SetPenTool(tool); });
      }
      break;
    case kCmdZoomTo:
      ShowZoomDialog();
      break;
    case kCmdFitScreen:
      SetFitMode(kZoomFitPage);
      break;
    case kCmdFitWidth:
      SetFitMode(kZoomFitWidth);
      break;
    case kCmdFindText:
      OpenFindDialog();
      break;
    case kCmdFindNext:
      if (!IsEmptyText(searchString)) FindNext();
      break;
    case kCmdRotateRight:
      Rotate(true);
      break;
    case kCmdRotateLeft:
      Rotate(false);
      break;
    case kCmdSinglePage:
      SetLayoutMode(kLayoutSinglePage);
      break;
    case kCmdContinuous:
      SetLayoutMode(kLayoutContinuous);
      break;
    case kCmdReflow:
      if (optionReflow) SetLayoutMode(kLayoutReflow);
      break;
    case kCmdFullScreen:
      SetFullScreen(!fullScreen);
      break;
    case kCmdPageNumber:
      ShowGoToPageDialog();
      break;
    case kCmdNextPage:
      RunPageViewRequest([&] { pageView->NextPage(); });
      break;
    case kCmdPreviousPage:
      RunPageViewRequest([&] { pageView->PreviousPage(); });
      break;
    case kCmdFirstPage:
      RunPageViewRequest([&] { pageView->FirstPage(); });
      break;
    case kCmdLastPage:
      RunPageViewRequest([&] { pageView->LastPage(); });
      break;
    case kCmdOpen:
      ChooseAndOpenDocument(false, nullptr);
      break;
    case kCmdBookmarks:
    case kCmdBookmarkCancel:
      ToggleBookmarks();
      break;
    case kCmdSelect:
      OpenSelectedBookmark(true);
      break;
    case kCmdDetails:
      ShowDetails();
      break;
    case kCmdAbout:
      ShowAbout();
      break;
    case kCmdCancel:
      if (busySoftKeys) CancelLongOperation();
      break;
    default:  // the popups, OK, and 129
      break;
  }
}

int32_t Viewer::OnKeyCommand(char16_t character) {
  switch (character) {
    case u'*':
      if (!IsEmptyText(searchString)) FindNext();
      return 1;
    case u'1':
      ZoomIn();
      return 1;
    case u'2':
      if (pageView != nullptr) SetFitMode(kZoomFitPage);
      return 1;
    case u'3':
      ZoomOut();
      return 1;
    case u'4':
      RunPageViewRequest([&] { pageView->PreviousPage(); });
      return 1;
    case u'6':
      RunPageViewRequest([&] { pageView->NextPage(); });
      return 1;
    case u'7':
      OpenFindDialog();
      return 1;
    case u'8':
      Rotate(false);
      return 1;
    case u'9':
      Rotate(true);
      return 1;
    default:
      return 0;
  }
}

void Viewer::OnToolbarButton(const runtime::HostWindow* control) {
  if (control != nullptr) {
    if (control == bookmarksButton) {
      ToggleBookmarks();
    } else if (control == fitWidthButton) {
      SetFitMode(kZoomFitWidth);
    } else if (control == findButton) {
      if (!busySoftKeys) OpenFindDialog();
    } else if (control == zoomOutButton) {
      ZoomOut();
    } else if (control == zoomInButton) {
      ZoomIn();
    }
  }
  if (pageViewWindow != nullptr) pageViewWindow->Focus();
}

void Viewer::OnScroll(const runtime::HostWindow* source, ScrollDirection direction, bool byPage) {
  if (pageView == nullptr || source == nullptr || source != pageViewWindow || host == nullptr) {
    return;
  }
  const int64_t halfInch = host->GetScreenDpi() / 2;
  int64_t amount = halfInch;
  if (byPage) {
    const PageViewState state = pageView->State();
    const bool across = direction == ScrollDirection::kLeft || direction == ScrollDirection::kRight;
    amount = int64_t{across ? state.viewWidth : state.viewHeight} - halfInch;
  }
  RunPageViewRequest([&] { pageView->Scroll(direction, amount); });
}

runtime::MenuItemDesc* Viewer::GetMenuForPopup(uint32_t id) {
  PageViewState state;
  MenuStateInput input;
  if (pageView != nullptr) {
    state = pageView->State();
    input.pageView = &state;
  }
  input.hasSearchString = !IsEmptyText(searchString);
  input.fullScreen = fullScreen;
  input.hasOutline = hasOutline;
  return menu.ForPopup(id, input);
}

}  // namespace viewer
