#pragma once
// The document viewer, as far as its requests to the host go: message
// boxes with localised texts, the password prompt and the page-number
// label. Library work runs on cooperative threads, but host dialogs and
// windows may only be touched from the main thread's stack; every request
// here can be made from any thread and is carried out on the main stack.
#include <cstdint>

#include "runtime/DocumentPrompts.h"
#include "runtime/LibraryContext.h"
#include "runtime/OwnedBuffer.h"

namespace runtime {
class HostServices;
class HostWindow;
class ListLink;
}  // namespace runtime

namespace viewer {

class Viewer;

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

// Wrong passwords before the viewer stops asking.
inline constexpr uint32_t kPasswordAttempts = 3;

// Units of the page-number label's text, terminator included.
inline constexpr uint32_t kPageNumberTextUnits = 64;

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

class Viewer : public runtime::DocumentPrompts {
 public:
  Viewer(runtime::LibraryContext* context, runtime::HostServices* host);
  Viewer(const Viewer&) = delete;
  Viewer& operator=(const Viewer&) = delete;

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
  bool OnPasswordFailed(uint32_t attempts) override;
  // On the main stack: runs the password dialog.
  static void RunPasswordDialog(PasswordRequest* request);

  // Shows page + 1 and the page count in the page-number label, unless the
  // page is the one shown already and no refresh was asked for.
  void UpdatePageNumberText(int32_t page, uint32_t flags);
  // The label's next update rewrites it even for the same page.
  void ForcePageNumberText() { forcePageText = true; }

  // Places the child windows in the main window's client area: the soft-key
  // bar on top (its strip of buttons centred in it), the second child
  // collapsed, the page area below the bar down to the toolbar. Only
  // windows not already in place are moved.
  void LayOutChildWindows();
  // Full-screen state; the layout is worked out outside it.
  void SetFullScreen(bool on) { fullScreen = on; }

  // The soft keys around a message box; the menu bar is the shell's, these
  // only remember which set is up.
  void RestoreMainSoftKeys() { busySoftKeys = false; }
  void ShowCancelSoftKeys() { busySoftKeys = true; }

  runtime::LibraryContext* context;
  runtime::HostServices* host;
  // Row of the UI string table.
  uint32_t languageIndex = 0;
  // The application's caption, the title of its messages.
  const char16_t* caption = u"";
  // The dialog or message box running modally, if any.
  void* currentModal = nullptr;
  bool busySoftKeys = false;
  bool searchFailed = false;
  // Set when opening the document failed for good.
  bool openFailed = false;
  // The viewer's listeners and the pending flag of their two-pass
  // notification.
  runtime::ListLink* listeners = nullptr;
  uint8_t listenersPending = 0;

  // The main window and its children, and what sizes them.
  runtime::HostWindow* mainWindow = nullptr;
  runtime::HostWindow* barWindow = nullptr;
  runtime::HostWindow* stripWindow = nullptr;
  runtime::HostWindow* secondWindow = nullptr;
  runtime::HostWindow* pageAreaWindow = nullptr;
  bool barShown = false;
  int32_t barHeight = 0;
  bool toolbarShown = false;
  int32_t toolbarHeight = 0;
  // 0-3: the screen's size class, which sets the soft-key button width.
  uint32_t screenMode = 0;
  uint32_t buttonCount = 0;
  bool fullScreen = false;

  // The page-number label and what it shows.
  runtime::HostWindow* pageNumberLabel = nullptr;
  bool documentOpen = false;
  uint32_t pageCount = 0;
  int32_t lastShownPage = -1;
  bool forcePageText = true;
  uint32_t pageNumberFlags = 0;
  char16_t pageNumberText[kPageNumberTextUnits] = {};

 private:
  void ShowMessage(const char16_t* text, const char16_t* title);
  bool Ask(uint32_t index);
  const char16_t* Text(uint32_t index) const;
};

}  // namespace viewer
