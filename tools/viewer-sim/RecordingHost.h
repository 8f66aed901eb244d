#pragma once
// A host for the viewer that records every action the viewer asks of it,
// in order, as lines of text: the controls it makes and what it does to
// them, timers, menu bars, dialogs, busy state. Queries (settings, input)
// answer from fields a test or the simulation sets and are not logged.
// Used headless by the viewer's tests and by the viewer-sim tool.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/HostControls.h"
#include "runtime/HostDialogs.h"
#include "runtime/HostTreeItems.h"
#include "runtime/HostServices.h"
#include "runtime/MenuItemDesc.h"
#include "runtime/ViewSurface.h"

namespace runtime {
class Scheduler;
}

namespace viewersim {

class RecordingHost;

// Text of the log: ASCII as it is, other units as \uXXXX.
std::string LogText(const char16_t* text);

// What the host keeps of every control it made.
struct ControlInfo {
  virtual ~ControlInfo();
  std::string name;
  runtime::HostWindow* parent = nullptr;
  bool scrollBars = false;
  runtime::HostRect rect{0, 0, 0, 0};
  bool shown = true;
  bool alive = true;
  bool fullScreen = false;
  std::u16string text;
  // What the viewer painted into the window (made at the first paint, the
  // window's size), and the rectangles it asked to repaint.
  runtime::HostBitmap* canvas = nullptr;
  runtime::ViewSurface* surface = nullptr;
  uint32_t invalidations = 0;
};

// A control the host made. `Base` is the interface the viewer sees.
template <class Base>
class RecordedControl : public Base, public ControlInfo {
 public:
  RecordedControl(RecordingHost* owner, std::string label, runtime::HostWindow* parentWindow,
                  bool hasScrollBars);
  void SetRect(const runtime::HostRect& value) override;
  void GetRect(runtime::HostRect* value) const override { *value = rect; }
  void SetText(const char16_t* value) override;
  void Show(bool on) override;
  void Focus() override;
  void SetFullScreen(bool on) override;
  void Invalidate(const runtime::HostRect& rect) override;
  runtime::ViewSurface* OpenSurface() override;
  void CloseSurface(runtime::ViewSurface*) override {}

  RecordingHost* host;
};

// The bookmark tree: its rows are the viewer's items, kept in order with
// their parent and expanded state; the test or the simulation chooses the
// selected row.
class RecordedTree final : public RecordedControl<runtime::HostTreeView>,
                           public runtime::TreeItems {
 public:
  using RecordedControl::RecordedControl;
  struct Row {
    runtime::TreeItem* item;
    runtime::TreeItem* parent;
    bool expanded;
  };
  void Clear() override { DeleteAll(); }
  void DeleteAll() override;
  void Insert(runtime::TreeItem* item, runtime::TreeItem* parent, bool expanded) override;
  void Update(runtime::TreeItem* item, bool expanded) override;
  runtime::TreeItem* GetSelected() override;
  // The rows as an indented outline: two spaces a level, "+" before an
  // expanded row with children, "-" before a collapsed one.
  std::string Dump() const;

  std::vector<Row> rows;
  // Index into `rows` of the selected row; -1 for none.
  int32_t selected = -1;
};

// The page-number box: what the viewer wrote, or what a test typed.
class RecordedEdit final : public RecordedControl<runtime::HostEdit> {
 public:
  using RecordedControl::RecordedControl;
  const char16_t* TypedText() override { return text.c_str(); }
};

// What the small dialogs share: their title, control texts by id (the
// last one set) and soft keys, each logged.
template <class Base>
class RecordedDialog : public Base {
 public:
  RecordedDialog(RecordingHost* owner, std::string label) : host(owner), name(std::move(label)) {}
  void SetTitle(const char16_t* value) override;
  void SetItemText(uint32_t id, const char16_t* value) override;
  void SetSoftKeys(const runtime::MenuItemDesc* keys) override;
  void Close() override;
  // Logs the run and answers `result`.
  int32_t Finish(int32_t result, const std::string& detail = "");

  RecordingHost* host;
  std::string name;
  std::u16string title;
  std::map<uint32_t, std::u16string> items;
};

class RecordedZoomDialog final : public RecordedDialog<runtime::ZoomDialog> {
 public:
  using RecordedDialog::RecordedDialog;
  void SetPresets(uint32_t count, const int32_t* presets, uint32_t selected,
                  int32_t current) override;
  int32_t RunModal() override;
  int32_t GetValue() const override { return value; }
  std::vector<int32_t> presets;
  uint32_t selected = 0;
  int32_t current = 0;
  int32_t result = 201;
  int32_t value = 100;
};

class RecordedGoToPageDialog final : public RecordedDialog<runtime::GoToPageDialog> {
 public:
  using RecordedDialog::RecordedDialog;
  int32_t RunModal() override;
  const char16_t* GetText() const override { return typed.c_str(); }
  // OK with this text; a dialog without an answer is cancelled.
  bool answered = false;
  std::u16string typed;
};

// What the Find dialog answers: OK with this string and options.
struct FindAnswer {
  std::u16string text;
  bool matchCase = false;
  bool wholeWord = false;
  bool backwards = false;
};

class RecordedFindDialog final : public RecordedDialog<runtime::FindDialog> {
 public:
  using RecordedDialog::RecordedDialog;
  // Logs the options it was shown with, then OK with the answer or, without
  // one, Cancel.
  int32_t RunModal() override;
  const char16_t* GetText() const override { return answer.text.c_str(); }
  void SetOption(uint32_t option, bool on) override;
  bool GetOption(uint32_t option) const override;
  bool answered = false;
  FindAnswer answer;
  bool shownOptions[3] = {};
};

class RecordedPropertiesDialog final : public RecordedDialog<runtime::PropertiesDialog> {
 public:
  using RecordedDialog::RecordedDialog;
  // Logs the values shown while it runs.
  int32_t RunModal() override;
};

// What a choosing dialog answers: its result and the chosen path.
struct ChooserAnswer {
  int32_t result = 202;
  std::u16string path;
};

class RecordedListDialog final : public RecordedDialog<runtime::ListDialog> {
 public:
  RecordedListDialog(RecordingHost* owner, std::string label, ChooserAnswer reply)
      : RecordedDialog(owner, std::move(label)), answer(std::move(reply)) {}
  void AddPath(const char16_t* path) override;
  const char16_t* GetChosenPath() const override { return answer.path.c_str(); }
  int32_t RunModal() override { return Finish(answer.result); }
  ChooserAnswer answer;
};

class RecordedFileBrowser final : public RecordedDialog<runtime::FileBrowserDialog> {
 public:
  RecordedFileBrowser(RecordingHost* owner, std::string label, ChooserAnswer reply)
      : RecordedDialog(owner, std::move(label)), answer(std::move(reply)) {}
  const char16_t* GetChosenPath() const override { return answer.path.c_str(); }
  int32_t RunModal() override { return Finish(answer.result); }
  ChooserAnswer answer;
};

struct RecordedTimer : runtime::HostTimer {
  std::string name;
  uint32_t milliseconds = 0;
  void* context = nullptr;
  runtime::HostTimerCallback callback = nullptr;
  bool alive = true;
};

class RecordedTextBox final : public RecordedDialog<runtime::TextBoxDialog> {
 public:
  using RecordedDialog::RecordedDialog;
  // Logs the run and answers OK.
  int32_t RunModal() override;
};

class RecordedMessageBox : public runtime::MessageBoxDialog {
 public:
  RecordedMessageBox(RecordingHost* owner, std::string label)
      : host(owner), name(std::move(label)) {}
  void SetText(const char16_t* text) override;
  void SetStyle(uint32_t style) override;
  void SetTitle(const char16_t* title) override;
  int32_t RunModal() override;
  RecordingHost* host;
  std::string name;
};

// The password dialog: it answers with the text it was given (OK), as if
// typed.
class RecordedPasswordDialog : public runtime::TextEntryDialog {
 public:
  RecordedPasswordDialog(RecordingHost* owner, std::string label, std::u16string typed)
      : host(owner), name(std::move(label)), answer(std::move(typed)) {}
  void Initialise(void*) override {}
  void SetItemText(uint32_t resourceId, const char16_t* text) override;
  void Attach(uint32_t) override {}
  int32_t RunModal() override;
  const char16_t* GetText() const override { return answer.c_str(); }
  RecordingHost* host;
  std::string name;
  std::u16string answer;
};

class RecordingHost : public runtime::HostServices {
 public:
  // Settings the queries answer.
  uint32_t memoryBudget = runtime::kHostMemoryBudget;
  int32_t screenDpi = 96;
  runtime::HostRect workArea{0, 0, 240, 320};
  uint32_t languageIndex = 0;
  std::u16string versionText = u"Version 1.0";
  bool keepToolbarInFullScreen = false;
  bool inputPending = false;
  // The n-th control made (1-based, counting windows, trees, buttons and
  // edits) fails; 0 for none.
  uint32_t failControl = 0;
  // The recent-files list and the file browser exist only when this is
  // set; each answers the next answer of its queue (Cancel when empty).
  bool offerChoosers = false;
  std::vector<ChooserAnswer> listAnswers;
  std::vector<ChooserAnswer> browserAnswers;
  // The recent files GetRecentFile answers (empty past the end).
  std::vector<std::u16string> recentFiles;
  // What the zoom dialog answers: its result and the percentage chosen.
  int32_t zoomResult = 201;
  int32_t zoomValue = 100;
  // The texts typed into successive go-to-page dialogs (each OK), taken
  // from the front; once they are used up the dialog is cancelled.
  std::vector<std::u16string> goToPageAnswers;
  // The Find dialog exists only when this is set (null otherwise, as
  // before the dialog was wired); each answers the next of `findAnswers`
  // (Cancel when none is left).
  bool offerFindDialog = false;
  std::vector<FindAnswer> findAnswers;
  // Called while the properties dialog runs (before it logs its values).
  std::function<void()> whilePropertiesRun;
  // While the properties dialog runs, the scheduler runs as the work timer
  // would drive it under the dialog's message loop (with `scheduler` set).
  bool runJobsInDialogs = true;
  // The last zoom, go-to-page and properties dialog made (still readable
  // after they were given back).
  RecordedZoomDialog* lastZoomDialog = nullptr;
  RecordedGoToPageDialog* lastGoToPageDialog = nullptr;
  RecordedPropertiesDialog* lastPropertiesDialog = nullptr;
  // The passwords the password dialog answers, in order; once they are
  // used up the host has no password dialog (the prompt is cancelled).
  std::vector<std::u16string> passwordAnswers;
  // When set, lines made off the main stack are marked " [off main]".
  runtime::Scheduler* scheduler = nullptr;

  std::vector<std::string> log;
  // The list given to the last CreateMenuBar.
  const runtime::MenuItemDesc* menuBar = nullptr;
  bool quit = false;
  bool busyCursor = false;

  void Record(std::string line);
  // The live timers, oldest first.
  std::vector<RecordedTimer*> LiveTimers() const;
  // Calls a timer's callback as the host's timer would.
  void Fire(RecordedTimer* timer);
  // The controls made, in order (destroyed ones included).
  const std::vector<std::unique_ptr<runtime::HostWindow>>& Controls() const { return controls_; }
  // Writes the work area as an RGB PNG with the live, shown controls drawn
  // as outlined rectangles (the page view in grey). False on failure.
  bool WritePng(const std::string& path) const;
  // Writes what the viewer last painted into `window` as an RGB PNG. False
  // when nothing was painted there or the file cannot be written.
  static bool WriteCanvasPng(const runtime::HostWindow* window, const std::string& path);
  // The pixels last painted into `window` as 8-bit RGB (empty when none).
  static std::vector<uint8_t> CanvasPixels(const runtime::HostWindow* window, int* width, int* height);
  // Bitmaps made and not yet given back.
  uint32_t liveBitmaps = 0;

  void ShowSplash(uint32_t milliseconds, const char16_t* caption) override;
  void Quit() override;
  runtime::TextBoxDialog* CreateTextBox() override;
  void DestroyTextBox(runtime::TextBoxDialog* dialog) override;
  runtime::ListDialog* CreateListDialog(bool showBrowse) override;
  void DestroyListDialog(runtime::ListDialog* dialog) override;
  runtime::FileBrowserDialog* CreateFileBrowser() override;
  void DestroyFileBrowser(runtime::FileBrowserDialog* dialog) override;
  runtime::FindDialog* CreateFindDialog() override;
  void DestroyFindDialog(runtime::FindDialog* dialog) override;
  runtime::GoToPageDialog* CreateGoToPageDialog() override;
  void DestroyGoToPageDialog(runtime::GoToPageDialog* dialog) override;
  runtime::ZoomDialog* CreateZoomDialog() override;
  void DestroyZoomDialog(runtime::ZoomDialog* dialog) override;
  runtime::TextEntryDialog* CreatePasswordDialog() override;
  void DestroyPasswordDialog(runtime::TextEntryDialog* dialog) override;
  runtime::PropertiesDialog* CreatePropertiesDialog() override;
  void DestroyPropertiesDialog(runtime::PropertiesDialog* dialog) override;
  runtime::MessageBoxDialog* CreateMessageBox() override;
  void DestroyMessageBox(runtime::MessageBoxDialog* box) override;
  runtime::HostWindow* CreateViewWindow(runtime::HostWindow* parent, bool scrollBars) override;
  void DestroyWindow(runtime::HostWindow* window) override;
  runtime::HostTreeView* CreateTreeView(runtime::HostWindow* parent) override;
  void DestroyTreeView(runtime::HostTreeView* tree) override;
  void SetActiveViewText() override;
  void SetPendingText(const char16_t* text) override;
  void CreateMenuBar(const runtime::MenuItemDesc* softKeys) override;
  runtime::HostWindow* CreateButton(runtime::HostWindow* parent) override;
  void DestroyButtonWindow(runtime::HostWindow* window) override;
  runtime::HostEdit* CreateEdit(runtime::HostWindow* parent) override;
  void DestroyEdit(runtime::HostEdit* edit) override;
  runtime::HostBitmap* CreateBitmap(int32_t width, int32_t height) override;
  void DestroyBitmap(runtime::HostBitmap* bitmap) override;
  runtime::HostTimer* CreateTimer(uint32_t milliseconds, void* context,
                                  runtime::HostTimerCallback callback) override;
  void DestroyTimer(runtime::HostTimer* timer) override;
  int32_t GetWorkArea(runtime::HostRect* area) override;
  uint32_t GetLanguageIndex() override { return languageIndex; }
  bool IsInputPending() override { return inputPending; }
  void SetOemIgnoreApp(uint32_t oldPenTool, uint32_t newPenTool) override;
  void AddRecentFile(const char16_t* path) override;
  const char16_t* GetRecentFile(uint32_t index) override {
    return index < recentFiles.size() ? recentFiles[index].c_str() : u"";
  }
  void SetBusyCursor(bool on) override;
  void BeginBusy(uint8_t reason) override;
  void EndBusy(uint8_t reason) override;
  const char16_t* GetVersionText(uint32_t) override { return versionText.c_str(); }
  uint32_t GetMemoryBudget() override { return memoryBudget; }
  int32_t GetScreenDpi() override { return screenDpi; }
  bool GetInitialZoom(uint32_t*, float*) override { return false; }
  bool GetKeepToolbarInFullScreen() override { return keepToolbarInFullScreen; }
  // Remote go-to and URI actions are logged; the view stays.
  void OnRemoteGoTo() override { Record("OnRemoteGoTo"); }
  void OnOpenUri() override { Record("OnOpenUri"); }

  // The name of a control or "none".
  static std::string NameOf(const runtime::HostWindow* window);
  // What the host keeps of a control it made; null for others.
  static const ControlInfo* InfoOf(const runtime::HostWindow* window);

 private:
  template <class Control>
  Control* Make(const char* operation, const char* prefix, runtime::HostWindow* parent,
                bool scrollBars);
  void Destroyed(const char* operation, runtime::HostWindow* window);

  std::vector<std::unique_ptr<runtime::HostWindow>> controls_;
  std::vector<std::unique_ptr<RecordedTimer>> timers_;
  std::vector<std::unique_ptr<RecordedTextBox>> textBoxes_;
  std::vector<std::unique_ptr<RecordedMessageBox>> messageBoxes_;
  std::vector<std::unique_ptr<RecordedPasswordDialog>> passwordDialogs_;
  std::vector<std::unique_ptr<runtime::HostDialog>> dialogs_;
  uint32_t made_ = 0;
};

// The menu tree under `root` (an item per line, children indented by two
// spaces): id, text, "[c]" for a shortcut, "grayed", "checked";
// separators as "-".
std::string DumpMenu(const runtime::MenuItemDesc* root);

}  // namespace viewersim
