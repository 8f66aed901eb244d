#pragma once
// The document viewer controller: it builds the host controls, menus and
// soft keys through HostServices, drives the cooperative threads from its
// work timer, dispatches commands and keys to the page view, keeps the busy
// state, and makes the requests to the host that library work needs
// (message boxes, the password prompt, the page-number box).
//
// Library work runs on cooperative threads, but host dialogs and windows
// may only be touched from the main thread's stack; every request that can
// come from a cooperative thread is carried out on the main stack.
#include <cstdint>
#include <type_traits>

#include "pdf/OpenJob.h"
#include "runtime/DocumentPrompts.h"
#include "runtime/Fixed.h"
#include "runtime/LibraryContext.h"
#include "runtime/RecordCache.h"
#include "runtime/Deadline.h"
#include "runtime/OwnedBuffer.h"
#include "runtime/Scheduler.h"
#include "runtime/ViewerHooks.h"
#include "viewer/ButtonImages.h"
#include "viewer/MenuTree.h"
#include "viewer/PageViewCommands.h"
#include "viewer/PenTarget.h"
#include "viewer/ViewChangeSink.h"
#include "viewer/ViewerSearch.h"

namespace runtime {
class CoThread;
class HostEdit;
class HostServices;
class HostTimer;
class HostTreeView;
class HostWindow;
class ListLink;
}  // namespace runtime

namespace viewer {

class DocumentInteraction;
class Viewer;
class RenderRegion;
class BookmarkEntry;
class BookmarkTree;
class OpenDocument;
class PageView;

// Message-box styles and the answer of a yes-or-no question.
inline constexpr uint32_t kMessageStatement = 1;
inline constexpr uint32_t kMessageQuestion = 2;
inline constexpr int32_t kAnswerYes = 206;

// Columns of the UI string table that the requests show.
inline constexpr uint32_t kTextEnterPassword = 34;
inline constexpr uint32_t kTextCannotDecrypt = 59;
inline constexpr uint32_t kTextFoundMatches = 74;
inline constexpr uint32_t kTextResumeFromStart = 77;
inline constexpr uint32_t kTextResumeFromEnd = 78;
inline constexpr uint32_t kTextSearchProgress = 79;
inline constexpr uint32_t kTextSearchFailed = 80;
// A page number typed into the page box or the go-to-page dialog that
// lies past the last page, or below 1.
inline constexpr uint32_t kTextPageTooLarge = 64;
inline constexpr uint32_t kTextPageNotPositive = 65;

// Wrong passwords before the viewer stops asking.
inline constexpr uint32_t kPasswordAttempts = 3;

// Units of the page-number box's text, terminator included.
inline constexpr uint32_t kPageNumberTextUnits = 64;

// The product title: the splash, the menu bar's owner and every dialog.
inline constexpr const char16_t* kViewerTitle = u"Vantrel Folvane Zo";
// The legal notice of the About box.
inline constexpr uint32_t kTextLegalNotice = 47;

// How long the splash stays and the start timer waits.
inline constexpr uint32_t kSplashMilliseconds = 1500;
// Work-timer intervals in the foreground and in the background.
inline constexpr uint32_t kWorkTimerForeground = 1;
inline constexpr uint32_t kWorkTimerBackground = 100;
// Bound of one scheduler run per timer tick.
inline constexpr uint32_t kWorkTickMilliseconds = 200;
// A page-view request's bounds: idle or 200 ms, at least 10 ms, then 20 ms
// of painting.
inline constexpr uint32_t kRequestMilliseconds = 200;
inline constexpr uint32_t kRequestMinimumMilliseconds = 10;
inline constexpr uint32_t kRequestPaintMilliseconds = 20;

// Reasons of BeginBusy and EndBusy: the viewer's own long operations (the
// host leaves full screen meanwhile) and the page view's busy state.
inline constexpr uint8_t kBusyLongOperation = 0;
inline constexpr uint8_t kBusyPageView = 1;

struct MessageRequest {
  Viewer* viewer = nullptr;
  const char16_t* text = u"";
  const char16_t* title = u"";
  uint32_t style = kMessageStatement;
  // Show the main soft keys while the box is up (the busy ones otherwise
  // stay, with a Cancel the box would not answer).
  bool swapSoftKeys = false;
  int32_t defaultResult = 0;
  int32_t result = 0;
};

struct PasswordRequest {
  Viewer* viewer = nullptr;
  // Receives the password bytes and a terminating NUL.
  runtime::OwnedBuffer* output = nullptr;
  bool entered = false;
};

class Viewer : public pdf::OpenJobViewer, public runtime::ViewerHooks, public ViewChangeSink {
 public:
  // Reads the host's settings and memory budget (which sets the context's
  // memory limits) and splits the option word; makes no host control yet.
  Viewer(runtime::LibraryContext* context, runtime::HostServices* host, uint32_t options = 0);
  ~Viewer();
  Viewer(const Viewer&) = delete;
  Viewer& operator=(const Viewer&) = delete;

  // Lifecycle.
  // Makes the host controls, shows the splash, arms the start timer,
  // builds the menus and lays the controls out. `path` (or null) is the
  // document the start timer opens. A control the host cannot make raises
  // (runtime, 1).
  void Start(const char16_t* path);
  // Destroys every host control there is, newest first; each handle is
  // cleared.
  void DestroyHostControls();
  // Changes the UI language: the menus are rebuilt and the menu bar made
  // again.
  void SetLanguage(uint32_t language);
  // The About box: the legal notice and the host's version text.
  void ShowAbout();
  // Full screen on or off; the host is told when the effective state (full
  // screen, unless the bookmark tree shows without the button bar)
  // changes. Errors are dropped; the flag keeps its new value.
  void SetFullScreen(bool on);
  bool IsEffectiveFullScreen() const;
  // Moves the main container onto the host's work area.
  void LayoutToWorkArea();
  // Start-timer callback: the timer goes, then the document given to Start
  // is opened, or the user is asked for one.
  void OnStartTimer();
  // Opens `path`, or, without one, asks the user for a document; cancels a
  // long operation first. Without a path the recent files and the file
  // browser take turns until the user opens a file (whether it opens or
  // not), cancels, or quits (Exit at start).
  void ChooseAndOpenDocument(bool atStart, const char16_t* path);
  // Set when a document was installed while the user was choosing one
  // (a path sent by another instance): the choosing ends.
  bool stopChoosing = false;

  // Document opening (ViewerOpen.cpp).
  // Opens the file at `path` on an open job and pumps the scheduler until
  // the job ends, however it ends. 1 when the document was installed or is
  // the one shown already; 0 for an empty path or a failed open, which
  // leaves the shown document as it was.
  int32_t OpenDocument(const char16_t* path);
  // The open job's side: the job of the document being opened, the
  // opened document (on the job's thread), and how a failed open ended.
  runtime::ThreadHandle& OpenJobHandle() override;
  void InstallDocument(pdf::Document* document) override;
  pdf::OpenState& GetOpenState() override { return openState; }
  // Makes the page view for `document` (null: none) and puts it in place
  // of the old one.
  void CreatePageView(viewer::OpenDocument* document);
  // Drops the page view and both documents (the viewer closes).
  void CloseDocuments();
  // Destroys the shown document's interaction (pen, search, selection).
  void DestroyInteraction();
  // The page view reports a settled view: the page-number box and the
  // zoom the zoom dialog and WM_USER answer follow it.
  void SetScrollBars(const ScrollBarRecord& bars) override;
  void ShowPageAndZoom(int32_t page, runtime::Fixed effectiveZoom) override;
  // The page view told the viewer of its state after a request.
  void ReportViewChange();

  // Bookmarks (ViewerBookmarks.cpp).
  // Empties the bookmark tree and frees its entries.
  void ReleaseBookmarks();
  // Starts the outline job for the shown document.
  void FillBookmarks();
  // Goes to the entry's destination when it has one; from the Select soft
  // key without the button bar, the page view then comes back.
  void GoToBookmark(BookmarkEntry* entry, bool fromCommand);

  // Dialogs (ViewerDialogs.cpp).
  // The zoom dialog: the presets with the nearest one to the current zoom
  // selected; OK sets the chosen percentage (1 to 1000) as the zoom.
  void ShowZoomDialog();
  // A zoom another program sets, as the bit pattern of a 32-bit float;
  // ignored without a page view or when it is no usable zoom.
  void SetZoomFactor(uint32_t floatBits);
  // The zoom in effect as the bit pattern of a 32-bit float.
  uint32_t GetZoomFactor() const;
  // The document properties: "..." until the information job reads each
  // value.
  void ShowDetails();
  // Asks for a page number until one within the document is given or the
  // dialog is cancelled.
  void ShowGoToPageDialog();

  // Navigation (ViewerNavigation.cpp). Keys from a window other than the
  // page view, or without a page view, are ignored.
  bool AcceptsNavigationKey(const runtime::HostWindow* source) const;
  // Scrolls half an inch of the screen in `direction`.
  void OnArrowKey(const runtime::HostWindow* source, ScrollDirection direction);
  // The first page, or the last with `end`.
  void OnHomeOrEnd(const runtime::HostWindow* source, bool end);
  // Link keys (ViewerLinkKeys.cpp): the focus moves to the next link on
  // screen, or (`follow`) the focused link is followed.
  void OnLinkKey(const runtime::HostWindow* source, bool follow);
  // Enter in the toolbar's page box: goes to the typed page, or says why
  // it cannot and shows the current page again.
  void GoToTypedPage(const runtime::HostWindow* control);

  // Work timer. The scheduler calls the two hooks; on a cooperative thread
  // the change is recorded and made on the main thread after its next
  // scheduler run.
  void StartWorkTimer() override;
  void StopWorkTimer() override;
  // The shell's activation changes: a running timer is made again with the
  // other interval.
  void SetBackgroundMode(bool background);
  // One tick: runs the scheduler until input, 200 ms, or no work.
  void OnWorkTimer();

  // Busy state. Nested pairs show the wait cursor once; shell modal UI
  // hides it meanwhile.
  void BeginBusy(uint8_t reason);
  void EndBusy(uint8_t reason);
  void SuspendBusyCursor();
  void ResumeBusyCursor();

  // Commands, menus and keys.
  void BuildMenuTree();
  runtime::MenuItemDesc* GetMenuForPopup(uint32_t id);
  // Ids outside 102..136 are ignored; commands that need a page view do
  // nothing without one.
  void ExecuteCommand(uint32_t id);
  // 1 when the keypad character was handled.
  int32_t OnKeyCommand(char16_t character);
  void OnToolbarButton(const runtime::HostWindow* control);
  // The scroll-bar actions: a line is half an inch, a page the view's
  // width or height less half an inch. Ignored without a page view or for
  // another window's scroll bar.
  void OnScroll(const runtime::HostWindow* source, ScrollDirection direction, bool byPage);
  void OnBookmarkSelected();
  void ToggleBookmarks();
  void OpenSelectedBookmark(bool fromCommand);
  void SetLayoutMode(int32_t mode);
  void CancelLongOperation();

  // Pen events of a window (client coordinates): the divider drag on the
  // button bar, the page view's pen, a double tap on the page view that
  // leaves full screen, and the focus of the page view or bookmark tree.
  // Events of other windows are ignored; an error ends its event.
  void OnMouseDown(int32_t x, int32_t y, runtime::HostWindow* window, bool doubleTap);
  void OnMouseMove(int32_t x, int32_t y, runtime::HostWindow* window);
  void OnMouseUp(int32_t x, int32_t y, runtime::HostWindow* window);
  void OnCaptureLost();

  // Carries out one page-view request: `post` hands it to the page view;
  // the scheduler then runs until the page view is idle or 200 ms have
  // passed, at least 10 ms, until new work, input or the 200 ms, and 20 ms
  // more with painting allowed, and the dirty rectangle is repainted. On a
  // cooperative thread `post` runs in place and nothing is pumped. The
  // page view's own request runs on the page view's thread; `asTask`
  // false runs `post` in place, for what only leaves an update for that
  // thread (a window size, a pen move).
  template <class Post>
  void RunPageViewRequest(Post&& post, bool asTask = true);
  // Posts `call`(`closure`) to the page view's thread and waits until it
  // has run; an error it raised (other than a cancellation) is raised
  // again here. False, with nothing run, when the shown page view has no
  // thread to run it.
  bool RunOnPageViewThread(void (*call)(void*), void* closure);

  // The page view of the open document, or null.
  PageViewCommands* pageView = nullptr;
  // The page view the viewer made for its document and owns (pageView
  // then points at it); null when none or when a test set pageView.
  PageView* ownedPageView = nullptr;
  // The selection, links, pen and search of the shown document (null
  // without one).
  DocumentInteraction* documentInteraction = nullptr;
  // What draws the open document's pages for the page view.
  RenderRegion* renderRegion = nullptr;
  // The document shown and the one being opened.
  viewer::OpenDocument* currentDocument = nullptr;
  viewer::OpenDocument* openingDocument = nullptr;
  pdf::OpenState openState;
  // The running long operation (a search), which Cancel destroys.
  runtime::CoThread* longOperation = nullptr;
  // The menu records.
  MenuTree menu;

  // Runs a message box on the main stack: at once on the main thread;
  // from a cooperative thread by a task for the main thread, which this
  // thread waits for. An error raised there is raised again here.
  static void RunOnMain(runtime::LibraryContext* context, MessageRequest* request);
  // On the main stack: shows the box and stores the pressed button in the
  // request (the default result when there is no viewer or no box).
  static void RunMessageBox(MessageRequest* request);

  // Text `index` of the UI string table in the viewer's language, under
  // the viewer's caption.
  void ShowLocalizedMessage(uint32_t index) override;
  // "Found %d match(es)" with the count, under "Search Progress".
  void ShowMatchCount(int32_t count);
  // Tells the listeners the search stopped, shows "Fatal error while
  // searching." and remembers that the search failed.
  void ShowSearchError();
  // The questions at either end of the document; true for yes.
  bool AskResumeFromStart();
  bool AskResumeFromEnd();

  // Asks for the document password. True when the user cancelled; false
  // when a password was stored in `output`.
  bool RequestPassword(runtime::OwnedBuffer* output) override;
  // Under kPasswordAttempts wrong passwords: ask again. At the last one,
  // tells the user the document cannot be decrypted and marks the open as
  // failed.
  bool OnPasswordRejected(uint32_t attempts) override;
  // On the main stack: runs the password dialog.
  static void RunPasswordDialog(PasswordRequest* request);

  // Shows page + 1 and the page count in the page-number box, unless the
  // page is the one shown already and no refresh was asked for.
  void UpdatePageNumberText(int32_t page, uint32_t flags);
  // The box's next update rewrites it even for the same page.
  void ForcePageNumberText() { forcePageText = true; }

  // Places the host controls for a main container of `width` x `height`:
  // the bookmark tree and the button bar that divides it from the page
  // view, the page-view window (whose size goes to the page view) and the
  // bottom toolbar with its five controls.
  void Relayout(int32_t width, int32_t height);
  // Relayout for the container's present client size.
  void RelayoutToContainer();

  // Paints a window of the viewer: the page-view window from the page
  // cells, or all grey without a document. Nothing for a null window or
  // one the host cannot paint.
  void PaintWindow(runtime::HostWindow* window);

  // The soft keys: the busy pair (a label and Cancel) while a long
  // operation runs, the menu tree otherwise.
  void RestoreMainSoftKeys();
  void ShowCancelSoftKeys();

  runtime::LibraryContext* context;
  runtime::HostServices* host;
  // Where the pages' reflowed lengths are remembered (null: only the
  // reflowed pages kept hold them).
  runtime::RecordCache* layoutRecords = nullptr;
  // The shown document's bookmarks and the job that reads them.
  BookmarkTree* bookmarks = nullptr;
  runtime::ThreadHandle outlineJob{context};
  // The job reading the document information into the properties dialog.
  runtime::ThreadHandle infoJob{context};
  // Row of the UI string table.
  uint32_t languageIndex = 0;
  // The application's caption, the title of its messages.
  const char16_t* caption = kViewerTitle;

  // Host controls, null when absent.
  runtime::HostWindow* mainContainer = nullptr;
  runtime::HostWindow* toolbar = nullptr;
  runtime::HostTreeView* bookmarkTree = nullptr;
  runtime::HostWindow* pageViewWindow = nullptr;
  runtime::HostWindow* buttonBar = nullptr;
  runtime::HostWindow* bookmarksButton = nullptr;
  runtime::HostWindow* fitWidthButton = nullptr;
  runtime::HostEdit* pageNumberEdit = nullptr;
  runtime::HostWindow* findButton = nullptr;
  runtime::HostWindow* zoomOutButton = nullptr;
  runtime::HostWindow* zoomInButton = nullptr;
  runtime::HostWindow* focusTarget = nullptr;
  // The pictures of the bars and buttons, one holder per picture.
  ButtonImageHolder buttonImages[kButtonPictureCount];
  // The button drawn in part (its lower picture rows at its top, `buttonLevel`
  // rows of `buttonFullHeight`), unless the whole picture is asked for.
  runtime::HostWindow* partialButton = nullptr;
  bool wholeButtonImage = true;
  int32_t buttonLevel = 0;
  int32_t buttonFullHeight = 0;
  // The holder of a bar's or button's picture, made when first asked for
  // (so only the pictures that are shown cost memory); null for other
  // windows. Releasing gives every picture back to the host.
  ButtonImageHolder* PictureOf(const runtime::HostWindow* control);
  void ReleaseButtonPictures();

  // The option word, split.
  bool optionQuickZoom = false;
  bool optionToolbar = false;
  bool optionPocketPc = false;
  bool optionReflow = false;
  bool optionFullScreen = false;
  bool optionNoSinglePage = false;
  uint32_t options = 0;
  bool keepToolbarInFullScreen = false;
  // Not the foreground application: the slower work timer.
  bool background = false;
  bool bookmarksShown = false;
  bool hasOutline = false;
  bool fillingBookmarks = false;
  // Set by the open job: it ended, and whether a document was installed.
  bool openDone = false;
  bool openSucceeded = false;
  int32_t busyCount = 0;
  bool shellModalOpen = false;
  // The page view's zoom as last reported (-1.0 before any page view).
  runtime::Fixed currentZoom = -runtime::kFixedOne;
  // The text of the busy pair's left soft key.
  const char16_t* busyLabel = u"";
  // The last text searched for; empty when none.
  const char16_t* searchString = u"";
  // The host dialog running modally, if any.
  void* currentDialog = nullptr;
  runtime::HostTimer* workTimer = nullptr;
  runtime::HostTimer* startTimer = nullptr;
  // The path given to Start (null when none).
  const char16_t* initialPath = nullptr;
  // The path of the document being opened and of the installed one.
  const char16_t* keptPath = nullptr;
  const char16_t* currentPath = nullptr;
  // The dialog or message box running modally, if any.
  void* currentModal = nullptr;
  bool busySoftKeys = false;
  bool searchFailed = false;
  // The Find dialog runs (a second one is not opened).
  bool findDialogOpen = false;
  // The viewer's listeners and the pending flag of their two-pass
  // notification.
  runtime::ListLink* listeners = nullptr;
  uint8_t listenersPending = 0;

  // Geometry of the controls by the screen's class (normal below 162 dpi,
  // double from there), set at construction.
  int32_t toolbarHeight = 38;
  int32_t barThickness = 23;
  int32_t barOffset = 26;
  int32_t buttonSize = 32;
  int32_t bookmarksButtonWidth = 21;
  // The divider between the bookmark tree and the page: the tree's height
  // (negative until first laid out) and its limits.
  int32_t splitPosition = -1;
  int32_t splitMinimum = 0;
  int32_t splitMaximum = 0;
  // Slots of the bookmarks button in the button bar.
  int32_t bookmarkSlots = 1;
  // The page-view window shows (not while a Smartphone shows the tree).
  bool pageViewShown = true;
  bool fullScreen = false;

  // What the page-number box (pageNumberEdit) shows: the page index last
  // written to it (-1: none).
  bool documentOpen = false;
  uint32_t pageCount = 0;
  int32_t shownPage = -1;
  bool forcePageText = true;
  uint32_t pageNumberFlags = 0;
  char16_t pageNumberText[kPageNumberTextUnits] = {};

  // Text search: the string, options and job of Find and Find Next.
  ViewerSearch search{*this};

  // The pen: where the page view's events go (null without a document),
  // the divider drag (its flag and last y; it moves splitPosition); and
  // the window the pen last focused.
  PenTarget* penTarget = nullptr;
  bool dividerDrag = false;
  int32_t dividerY = 0;
  runtime::HostWindow* penFocus = nullptr;

 private:
  void CreateControls();
  void ApplyPendingTimerChange();
  // Keeps the page view from painting while a request runs; released at
  // the pump's last step or when an error leaves it.
  struct PaintHold {
    explicit PaintHold(Viewer* owner);
    ~PaintHold() { Release(); }
    PaintHold(const PaintHold&) = delete;
    PaintHold& operator=(const PaintHold&) = delete;
    void Release();
    Viewer* viewer;
    PageViewCommands* held;
  };
  void RunRequestPump(const runtime::Deadline& within200, const runtime::Deadline& within10,
                      PaintHold* hold);
  void SetBusyCursorGuarded(bool on);
  void CreateMenuBarGuarded(const runtime::MenuItemDesc* keys);
  void ZoomIn();
  void ZoomOut();
  // A quarter turn right or left, the text being read kept in place.
  void Rotate(bool right);
  void SetFitMode(int32_t mode);
  void FindNext();
  // The Find dialog (ViewerFind.cpp): its string and options, then Find
  // Next on OK.
  void OpenFindDialog();
  void ShowSoftKeysForBookmarks();
  // The control geometry of the screen's class.
  void SetDisplayClass(int32_t dpi);
  // Shows or hides a control when its state changes (-1: not yet known).
  void ShowControl(runtime::HostWindow* control, bool on, int8_t& state);
  int8_t treeVisible_ = -1;
  int8_t pageViewVisible_ = -1;
  int8_t toolbarVisible_ = -1;

  // The work timer's state asked for from a cooperative thread.
  enum class TimerChange : uint8_t { kNone, kStart, kStop };
  TimerChange pendingTimerChange_ = TimerChange::kNone;
  // Owned copy of the path given to Start.
  char16_t* initialPathBuffer_ = nullptr;
  // Opens are numbered; the being-opened holder and the last installation
  // say which open they belong to, so that an open nested in another's
  // password prompt cannot be taken for the outer one.
  uint32_t openSerial_ = 0;
  uint32_t openingSerial_ = 0;
  uint32_t installedSerial_ = 0;
  // A handle for an open job that has no document to belong to.
  runtime::ThreadHandle strayJob_{context};
  void SetOwnedPath(const char16_t*& field, const char16_t* path);
  void DestroyOpening();

  void ShowMessage(const char16_t* text, const char16_t* title);
  bool Ask(uint32_t index);
  const char16_t* Text(uint32_t index) const;
};

template <class Post>
void Viewer::RunPageViewRequest(Post&& post, bool asTask) {
  if (pageView == nullptr) return;
  if (context->scheduler == nullptr || !context->scheduler->OnMainThread()) {
    post();
    if (pageView != nullptr) pageView->UpdateAfterRequest();
    ReportViewChange();
    return;
  }
  // Both bounds count from before the request is handed over.
  const runtime::Deadline within200(context, kRequestMilliseconds);
  const runtime::Deadline within10(context, kRequestMinimumMilliseconds);
  PaintHold hold(this);
  using Closure = std::remove_reference_t<Post>;
  if (!asTask || !RunOnPageViewThread([](void* closure) { (*static_cast<Closure*>(closure))(); },
                                      const_cast<void*>(static_cast<const void*>(&post)))) {
    post();
  }
  if (pageView != nullptr) pageView->UpdateAfterRequest();
  RunRequestPump(within200, within10, &hold);
  ReportViewChange();
}

}  // namespace viewer
