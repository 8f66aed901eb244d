#pragma once
// The interface through which the viewer and the library reach the
// platform: dialogs, windows and controls, menu bars, timers, bitmaps,
// cursors, settings and recent files. The shell implements it; another host
// (a test, a headless probe) can implement the same operations.
//
// Every Create operation returns a complete object or null; each object goes
// back to its matching Destroy operation. Nothing is thrown across it.
#include <cstdint>

#include "runtime/HostBitmap.h"

namespace runtime {

class HostWindow;
class HostTreeView;
class HostEdit;
class HostTimer;
class TextBoxDialog;
class ListDialog;
class FileBrowserDialog;
class FindDialog;
class GoToPageDialog;
class ZoomDialog;
class PropertiesDialog;
struct MenuItemDesc;

// A message box as the library uses it.
class MessageBoxDialog {
 public:
  virtual ~MessageBoxDialog() = default;
  virtual void SetText(const char16_t* text) = 0;
  // 1: one OK button; 2: Yes and No.
  virtual void SetStyle(uint32_t style) = 0;
  virtual void SetTitle(const char16_t* title) = 0;
  // Runs modally; returns the pressed button (kMessageBoxYes for yes).
  virtual int32_t RunModal() = 0;
};
inline constexpr int32_t kMessageBoxYes = 206;

// A dialog that asks for one line of text (the password dialog).
class TextEntryDialog {
 public:
  virtual ~TextEntryDialog() = default;
  virtual void Initialise(void* viewer) = 0;
  // Sets the text of the dialog item with resource id `resourceId`.
  virtual void SetItemText(uint32_t resourceId, const char16_t* text) = 0;
  virtual void Attach(uint32_t mode) = 0;
  // Runs modally; kTextEntryAccepted when the user accepted.
  virtual int32_t RunModal() = 0;
  // The typed text, zero-terminated; valid until the dialog is destroyed.
  virtual const char16_t* GetText() const = 0;
};
inline constexpr int32_t kTextEntryAccepted = 201;
inline constexpr uint32_t kPasswordPromptResource = 1701;
inline constexpr uint32_t kPasswordAttachMode = 103;

// Host timer callback: called on the UI thread with the creator's context.
using HostTimerCallback = void (*)(void* context);

struct HostRect {
  int32_t left, top, right, bottom;
};

class HostServices {
 public:
  virtual ~HostServices() = default;

  virtual void ShowSplash(uint32_t milliseconds, const char16_t* caption) = 0;
  virtual void Quit() = 0;
  virtual TextBoxDialog* CreateTextBox() = 0;
  virtual void DestroyTextBox(TextBoxDialog* dialog) = 0;
  virtual ListDialog* CreateListDialog(bool showBrowse) = 0;
  virtual void DestroyListDialog(ListDialog* dialog) = 0;
  virtual FileBrowserDialog* CreateFileBrowser() = 0;
  virtual void DestroyFileBrowser(FileBrowserDialog* dialog) = 0;
  virtual FindDialog* CreateFindDialog() = 0;
  virtual void DestroyFindDialog(FindDialog* dialog) = 0;
  virtual GoToPageDialog* CreateGoToPageDialog() = 0;
  virtual void DestroyGoToPageDialog(GoToPageDialog* dialog) = 0;
  virtual ZoomDialog* CreateZoomDialog() = 0;
  virtual void DestroyZoomDialog(ZoomDialog* dialog) = 0;
  virtual TextEntryDialog* CreatePasswordDialog() = 0;
  virtual void DestroyPasswordDialog(TextEntryDialog* dialog) = 0;
  virtual PropertiesDialog* CreatePropertiesDialog() = 0;
  virtual void DestroyPropertiesDialog(PropertiesDialog* dialog) = 0;
  virtual MessageBoxDialog* CreateMessageBox() = 0;
  virtual void DestroyMessageBox(MessageBoxDialog* box) = 0;
  virtual HostWindow* CreateViewWindow(HostWindow* parent, bool scrollBars) = 0;
  virtual void DestroyWindow(HostWindow* window) = 0;
  virtual HostTreeView* CreateTreeView(HostWindow* parent) = 0;
  virtual void DestroyTreeView(HostTreeView* tree) = 0;
  virtual void SetActiveViewText() = 0;
  virtual void SetPendingText(const char16_t* text) = 0;
  virtual void CreateMenuBar(const MenuItemDesc* softKeys) = 0;
  virtual HostWindow* CreateButton(HostWindow* parent) = 0;
  virtual void DestroyButtonWindow(HostWindow* window) = 0;
  virtual HostEdit* CreateEdit(HostWindow* parent) = 0;
  virtual void DestroyEdit(HostEdit* edit) = 0;
  virtual HostBitmap* CreateBitmap(int32_t width, int32_t height) = 0;
  virtual void DestroyBitmap(HostBitmap* bitmap) = 0;
  virtual HostTimer* CreateTimer(uint32_t milliseconds, void* context,
                                 HostTimerCallback callback) = 0;
  virtual void DestroyTimer(HostTimer* timer) = 0;
  virtual int32_t GetWorkArea(HostRect* area) = 0;
  virtual uint32_t GetLanguageIndex() = 0;
  virtual bool IsInputPending() = 0;
  virtual void SetOemIgnoreApp(uint32_t oldPenTool, uint32_t newPenTool) = 0;
  virtual void AddRecentFile(const char16_t* path) = 0;
  virtual const char16_t* GetRecentFile(uint32_t index) = 0;
  virtual void SetBusyCursor(bool on) = 0;
  virtual void BeginBusy(uint8_t reason) = 0;
  virtual void EndBusy(uint8_t reason) = 0;
  virtual const char16_t* GetVersionText(uint32_t unused) = 0;
  virtual uint32_t GetMemoryBudget() = 0;
  virtual int32_t GetScreenDpi() = 0;
  virtual bool GetInitialZoom(uint32_t* zoomMode, float* zoomFactor) = 0;
  // A remote go-to and a URI action were followed. The view stays where it
  // is; a host may log them.
  virtual void OnRemoteGoTo() {}
  virtual void OnOpenUri() {}
  virtual bool GetKeepToolbarInFullScreen() = 0;
};

// The host's memory budget: 10 MiB.
inline constexpr uint32_t kHostMemoryBudget = 0xA00000;

}  // namespace runtime
