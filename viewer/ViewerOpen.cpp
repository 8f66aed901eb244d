// The viewer's side of opening a document: the file and its open job, the
// pump that waits for the job, and the installation that puts the opened
// document, its page view and its bookmarks in place of the old ones.
#include <cstdint>
#include <utility>

#include "pdf/LinearizedPages.h"
#include "pdf/OpenJob.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/HostControls.h"
#include "runtime/HostDialogs.h"
#include "runtime/MenuItemDesc.h"
#include "runtime/OwnedBufferPtr.h"
#include "runtime/HostServices.h"
#include "runtime/MainStackCalls.h"
#include "runtime/Scheduler.h"
#include "runtime/ThreadHandle.h"
#include "runtime/TransientBlocks.h"
#include "runtime/WideString.h"
#include "streams/FileStream.h"
#include "viewer/DocumentInteraction.h"
#include "viewer/OpenDocument.h"
#include "viewer/PageView.h"
#include "viewer/RenderRegion.h"
#include "viewer/Viewer.h"

namespace viewer {
namespace {

bool IsEmptyPath(const char16_t* text) { return text == nullptr || text[0] == u'\0'; }

// How long one turn of the open pump lets the scheduler run.
constexpr uint32_t kOpenPumpMilliseconds = 200;

// True when the catalog's "Outlines" has both a "First" and a "Last"
// dictionary: only then does the document offer bookmarks.
bool CatalogHasOutline(pdf::Document& document) {
  const runtime::ObjectHandle outlines = runtime::Dictionary::Get(document.GetRoot(), "Outlines");
  if (outlines.Tag() != runtime::ObjectTag::kDictionary) return false;
  return runtime::Dictionary::Get(outlines, "First").Tag() == runtime::ObjectTag::kDictionary &&
         runtime::Dictionary::Get(outlines, "Last").Tag() == runtime::ObjectTag::kDictionary;
}

// Columns of the UI string table for the choosing dialogs.
constexpr uint32_t kTextOpen = 0;
constexpr uint32_t kTextExit = 6;
constexpr uint32_t kTextName = 39;
constexpr uint32_t kTextRecentFiles = 49;
constexpr uint32_t kTextMyDevice = 51;
constexpr uint32_t kTextCancel = 56;
constexpr uint32_t kTextChooseRecent = 62;
constexpr uint32_t kTextClickBrowse = 63;
constexpr uint32_t kTextFolder = 66;
constexpr uint32_t kTextDate = 67;
constexpr uint32_t kTextBrowse = 73;
constexpr uint32_t kTextClose = 81;
// Command ids of the choosing dialogs' soft keys.
constexpr uint32_t kCmdChooseOpen = 138;
constexpr uint32_t kCmdChooseBrowse = 137;
// Entries of the recent-files list.
constexpr uint32_t kRecentFileCount = 10;

// A copy of a dialog's chosen path that outlives the dialog; empty when
// nothing was chosen.
class ChosenPath {
 public:
  explicit ChosenPath(runtime::LibraryContext* context) : block_(context) {}
  void Take(runtime::LibraryContext* context, const char16_t* path) {
    if (IsEmptyPath(path)) return;
    const size_t units = runtime::WideStrLen(path) + 1;
    if (units > 0x7ffffffe) runtime::ThrowRuntime(runtime::kOverflow);
    auto* copy = static_cast<char16_t*>(runtime::AllocOrThrow(context, units * sizeof(char16_t)));
    for (size_t i = 0; i < units; ++i) copy[i] = path[i];
    block_.Reset(copy);
  }
  const char16_t* Get() const { return static_cast<const char16_t*>(block_.Get()); }

 private:
  runtime::OwnedBufferPtr block_;
};

}  // namespace

void Viewer::ChooseAndOpenDocument(bool atStart, const char16_t* path) {
  if (busySoftKeys) CancelLongOperation();
  if (!IsEmptyPath(path)) {
    OpenDocument(path);
    return;
  }
  if (host == nullptr) return;
  runtime::MenuItemDesc leave{atStart ? kCmdExit : kCmdCancel, Text(atStart ? kTextExit : kTextCancel)};
  runtime::MenuItemDesc cancel{kCmdCancel, Text(kTextCancel)};
  stopChoosing = false;
  bool quit = false;
  for (bool done = false; !done && !stopChoosing;) {
    ChosenPath chosen(context);
    bool listHadEntries = false;
    if (runtime::ListDialog* list = host->CreateListDialog(optionQuickZoom)) {
      runtime::MenuItemDesc left{optionQuickZoom ? kCmdChooseOpen : kCmdChooseBrowse,
                                 Text(optionQuickZoom ? kTextOpen : kTextBrowse)};
      left.next = &leave;
      static constexpr uint32_t kListTexts[][2] = {{1204, kTextBrowse},     {1205, kTextClickBrowse},
                                                   {1206, kTextChooseRecent}, {1201, kTextName},
                                                   {1202, kTextFolder},     {1203, kTextDate},
                                                   {1207, kTextRecentFiles}};
      for (const auto& text : kListTexts) list->SetItemText(text[0], Text(text[1]));
      list->SetSoftKeys(&left);
      for (uint32_t i = 0; i < kRecentFileCount; ++i) {
        const char16_t* recent = host->GetRecentFile(i);
        if (IsEmptyPath(recent)) continue;
        list->AddPath(recent);
        listHadEntries = true;
      }
      if (listHadEntries) {
        list->SetTitle(caption);
        currentDialog = list;
        const int32_t result = list->RunModal();
        currentDialog = nullptr;
        if (result == runtime::kDialogOk) {
          chosen.Take(context, list->GetChosenPath());
          done = true;
        } else if (result == runtime::kDialogCancel) {
          done = true;
        } else if (result == runtime::kDialogCloseApplication) {
          done = quit = true;
        }
      }
      host->DestroyListDialog(list);
    }
    if (!done) {
      runtime::FileBrowserDialog* browser = host->CreateFileBrowser();
      if (browser == nullptr) {
        // Neither dialog can be shown, or the list would only lead back
        // to itself.
        done = true;
      } else {
        runtime::MenuItemDesc left{kCmdChooseOpen, Text(kTextOpen)};
        left.next = listHadEntries ? &cancel : &leave;
        browser->SetTitle(caption);
        browser->SetItemText(1301, Text(kTextMyDevice));
        browser->SetItemText(1302, Text(kTextOpen));
        browser->SetItemText(1303, Text(kTextClose));
        browser->SetSoftKeys(&left);
        currentDialog = browser;
        const int32_t result = browser->RunModal();
        currentDialog = nullptr;
        if (result == runtime::kDialogOk) chosen.Take(context, browser->GetChosenPath());
        if (chosen.Get() != nullptr) {
          done = true;
        } else if (result == runtime::kDialogCloseApplication) {
          done = quit = true;
        } else {
          // Back to the recent files, when there were any.
          done = !listHadEntries;
        }
        host->DestroyFileBrowser(browser);
      }
    }
    // One open attempt ends the choosing, whether the file opens or not.
    if (chosen.Get() != nullptr) OpenDocument(chosen.Get());
  }
  if (quit) {
    DestroyHostControls();
    host->Quit();
  }
}

void Viewer::SetOwnedPath(const char16_t*& field, const char16_t* path) {
  char16_t* copy = nullptr;
  if (!IsEmptyPath(path)) {
    const size_t units = runtime::WideStrLen(path) + 1;
    if (units > 0x7ffffffe) runtime::ThrowRuntime(runtime::kOverflow);
    copy = static_cast<char16_t*>(runtime::AllocOrThrow(context, units * sizeof(char16_t)));
    for (size_t i = 0; i < units; ++i) copy[i] = path[i];
  }
  if (field != nullptr) context->memory.Free(const_cast<char16_t*>(field));
  field = copy;
}

void Viewer::DestroyOpening() {
  if (viewer::OpenDocument* opening = std::exchange(openingDocument, nullptr)) {
    runtime::DestroyAndFree(context, opening);
  }
}

runtime::ThreadHandle& Viewer::OpenJobHandle() {
  return openingDocument != nullptr ? openingDocument->job : strayJob_;
}

int32_t Viewer::OpenDocument(const char16_t* path) {
  // An empty path names no document: nothing is opened, whatever is shown.
  if (IsEmptyPath(path)) return 0;
  if (!IsEmptyPath(currentPath) && runtime::WideStrCompare(path, currentPath) == 0) return 1;
  // The open job needs the scheduler run from the main thread. Inside
  // another open's password prompt (a call the main stack makes for that
  // job) nothing can run: the new open is refused and the one in progress
  // goes on undisturbed.
  runtime::Scheduler* scheduler = context->scheduler;
  if (scheduler == nullptr || !scheduler->OnMainThread() || !scheduler->deferredDone) return 0;
  if (host != nullptr) runtime::RunOnMainStack(context, [&] { host->AddRecentFile(path); });
  SetOwnedPath(keptPath, path);

  const uint32_t serial = ++openSerial_;
  openDone = false;
  openSucceeded = false;
  openState = pdf::OpenState{};
  runtime::ErrorTrap trap(context);
  const bool ran = trap.Run([&] {
    streams::DataStoreRef file = streams::FileStream::Open(context, path);
    auto* opening = runtime::NewObject<viewer::OpenDocument>(context, context, file);
    // A document still being opened gives way; destroying it stops its job.
    DestroyOpening();
    openingDocument = opening;
    openingSerial_ = serial;
    pdf::OpenJob::Start(context, this, std::move(file));
    // The pump ends when this open's job ends for any reason (installed,
    // failed, cancelled, or replaced by another open made meanwhile), never
    // only when a document arrives: a job that is killed sets no flag.
    auto ended = [&] {
      if (openingSerial_ != serial || openingDocument == nullptr) return true;
      runtime::CoThread* job = openingDocument->job.Get();
      return job == nullptr || job->IsIdle();
    };
    while (!ended()) {
      runtime::Scheduler::RunForMilliseconds(context, kOpenPumpMilliseconds);
      // Nothing else can run: the job is waiting for something that will
      // not come from this pump.
      if (!ended() && scheduler->current->IsAlone()) break;
    }
  });
  if (!ran) {
    trap.SetHandled();
    trap.Close();
  }
  const bool installed = installedSerial_ == serial;
  if (!installed) {
    // The failed open's remains go; the shown document stays.
    if (openingSerial_ == serial) DestroyOpening();
    openDone = true;
    openSucceeded = false;
    SetOwnedPath(keptPath, nullptr);
  }
  return installed ? 1 : 0;
}

void Viewer::InstallDocument(pdf::Document* document) {
  viewer::OpenDocument* opening = openingDocument;
  if (opening == nullptr) {
    // No open asked for it: nobody would own it.
    runtime::DestroyAndFree(context, document);
    return;
  }
  // Everything that can fail is done before anything shown is touched, so
  // a failed installation leaves the previous document, its page view and
  // its bookmarks as they were.
  opening->Install(document);
  const bool outline = CatalogHasOutline(*opening->Document());

  SetOwnedPath(currentPath, keptPath);
  SetOwnedPath(keptPath, nullptr);
  hasOutline = outline;
  CreatePageView(opening);
  // The old document's jobs and bookmarks go before the document they read.
  infoJob.Destroy();
  ReleaseBookmarks();
  // The shown document goes only now that its successor is in place.
  viewer::OpenDocument* previous = std::exchange(currentDocument, opening);
  openingDocument = nullptr;
  installedSerial_ = openingSerial_;
  if (previous != nullptr) runtime::DestroyAndFree(context, previous);

  if (hasOutline) FillBookmarks();
  ForcePageNumberText();
  ReportViewChange();
  openDone = true;
  openSucceeded = true;
  stopChoosing = true;
  if (host != nullptr) {
    uint32_t language = languageIndex;
    runtime::RunOnMainStack(context, [&] { language = host->GetLanguageIndex(); });
    SetLanguage(language);
  }
}

void Viewer::CreatePageView(viewer::OpenDocument* document) {
  // The search goes with its busy level. No other level is ended here:
  // each is ended by whoever began it, a killed job as it unwinds.
  CancelLongOperation();
  shownPage = -1;
  pageCount = document != nullptr ? static_cast<uint32_t>(document->PageCount()) : 0;

  PageView* made = nullptr;
  RenderRegion* region = nullptr;
  // A render region made for a page view that could not be made goes again.
  struct RegionGuard {
    runtime::LibraryContext* context;
    RenderRegion* region = nullptr;
    ~RegionGuard() {
      if (region != nullptr) runtime::DestroyAndFree(context, region);
    }
  } guard{context};
  if (document != nullptr && document->PageSizes() != nullptr) {
    // The page view's window; until the relayout places it, the page view
    // fills the main container.
    runtime::SetRectRecord frame{pageViewWindow, {}};
    runtime::CallGetRectOnMain(context, &frame);
    if (frame.rect.right <= frame.rect.left || frame.rect.bottom <= frame.rect.top) {
      frame.window = mainContainer;
      runtime::CallGetRectOnMain(context, &frame);
    }
    MarginPoint size;
    size.width = frame.rect.right > frame.rect.left ? frame.rect.right - frame.rect.left : 0;
    size.height = frame.rect.bottom > frame.rect.top ? frame.rect.bottom - frame.rect.top : 0;
    int32_t dpi = kDefaultDpi;
    if (host != nullptr) runtime::RunOnMainStack(context, [&] { dpi = host->GetScreenDpi(); });
    // A linearised file shows first the page its first-page section holds
    // (page 0 unless it says otherwise); a linearisation that cannot be
    // read shows page 0.
    int32_t firstPage = 0;
    runtime::CatchAllExceptCancel(context, [&] {
      if (pdf::LinearizedPages* linearized = document->Document()->Linearization()) {
        firstPage = linearized->FirstPage();
      }
    });
    region = runtime::NewObject<RenderRegion>(context, context, *document->Document(), host, pageViewWindow);
    guard.region = region;
    region->Reflow()->SetKnownLengths(layoutRecords);
    made = runtime::NewObject<PageView>(context, context, *document->PageSizes(), region, size, dpi, firstPage);
    guard.region = nullptr;
  }
  DocumentInteraction* interaction = nullptr;
  if (made != nullptr) {
    runtime::ErrorTrap trap(context);
    if (!trap.Run([&] {
          interaction = runtime::NewObject<DocumentInteraction>(context, context, *document->Document(), *made, host);
        })) {
      runtime::DestroyAndFree(context, made);
      runtime::DestroyAndFree(context, region);
      trap.Rethrow();
    }
  }

  // From here nothing fails: the old view goes and the new one takes its
  // place, the view before what draws for it.
  DestroyInteraction();
  PageView* old = std::exchange(ownedPageView, made);
  RenderRegion* oldRegion = std::exchange(renderRegion, region);
  pageView = made;
  if (old != nullptr) runtime::DestroyAndFree(context, old);
  documentInteraction = interaction;
  if (interaction != nullptr) interaction->Attach(*this);
  if (oldRegion != nullptr) runtime::DestroyAndFree(context, oldRegion);
  documentOpen = made != nullptr;
  SetFullScreen(false);
  bookmarksShown = false;
  if (made == nullptr) return;
  made->StartTaskThread();

  // The settings' first zoom, then the document's own opening
  // destination, every error of which is dropped.
  if (host != nullptr) {
    uint32_t mode = 0;
    float factor = 0;
    bool answered = false;
    runtime::RunOnMainStack(context, [&] { answered = host->GetInitialZoom(&mode, &factor); });
    if (answered && mode <= static_cast<uint32_t>(kZoomFitPage) &&
        made->SetZoomFromFloat(static_cast<int32_t>(mode), factor)) {
      made->GoToPage(made->CurrentPage(), false);
    }
  }
  // The first page view of the document uses its opening destination up.
  runtime::CatchAllExceptCancel(
      context, [&] { interaction->actions.ApplyPendingDestination(document->OpeningDestination()); });
  document->OpeningDestination().Clear();
  if (optionNoSinglePage && made->LayoutMode() == kLayoutSinglePage) {
    made->SetLayoutMode(kLayoutContinuous);
  }
}

void Viewer::DestroyInteraction() {
  // The pen and the search of the document go before its page view.
  if (DocumentInteraction* gone = std::exchange(documentInteraction, nullptr)) {
    runtime::DestroyAndFree(context, gone);
  }
}

void Viewer::CloseDocuments() {
  DestroyOpening();
  infoJob.Destroy();
  // An empty tree has no rows to clear.
  if (bookmarks != nullptr) ReleaseBookmarks();
  outlineJob.Destroy();
  DestroyInteraction();
  PageView* old = std::exchange(ownedPageView, nullptr);
  if (pageView == old) pageView = nullptr;
  if (old != nullptr) runtime::DestroyAndFree(context, old);
  if (RenderRegion* region = std::exchange(renderRegion, nullptr)) runtime::DestroyAndFree(context, region);
  if (viewer::OpenDocument* shown = std::exchange(currentDocument, nullptr)) {
    runtime::DestroyAndFree(context, shown);
  }
  documentOpen = false;
  SetOwnedPath(currentPath, nullptr);
  SetOwnedPath(keptPath, nullptr);
}

void Viewer::SetScrollBars(const ScrollBarRecord& bars) {
  // The host has no scroll-bar slot yet; the bars are the page view's.
  (void)bars;
}

void Viewer::ShowPageAndZoom(int32_t page, runtime::Fixed effectiveZoom) {
  currentZoom = effectiveZoom;
  UpdatePageNumberText(page, pageNumberFlags);
}

void Viewer::ReportViewChange() {
  if (ownedPageView != nullptr && pageView == ownedPageView) ownedPageView->AfterViewChange(*this);
}

}  // namespace viewer
