#pragma once
// The base of the shell's dialogs: each runs full screen from its dialog
// template, with its own two-soft-key menu bar, modally (RunModalDialog)
// or modeless (CreateModelessDialog). A dialog class overrides the message
// handlers it needs; the defaults do nothing.
#include <cstdint>

#include "platform/Dialog.h"
#include "runtime/MenuItemDesc.h"
#include "shell/WString.h"

namespace shell {

// Results the viewer sees.
inline constexpr intptr_t kResultOk = 201;
inline constexpr intptr_t kResultCancel = 202;
inline constexpr intptr_t kResultOpenSelected = 203;
inline constexpr intptr_t kResultCloseApplication = 205;
inline constexpr intptr_t kResultYes = 206;
inline constexpr intptr_t kResultNo = 207;

class DialogBase {
 public:
  DialogBase() = default;
  virtual ~DialogBase() = default;
  DialogBase(const DialogBase&) = delete;
  DialogBase& operator=(const DialogBase&) = delete;

  // The dialog template (RT_DIALOG resource) the dialog runs from.
  virtual uint32_t GetTemplateId() { return 0; }
  // Every dialog's own initialisation calls this first.
  virtual intptr_t OnInitDialog(platform::HWND window);
  virtual void OnDestroy() {}
  virtual intptr_t OnSize(platform::WPARAM, int, int) { return 0; }
  virtual intptr_t OnKeyDown(platform::WPARAM, int, platform::UINT) { return 0; }
  virtual intptr_t OnHScroll(int, int, platform::HWND) { return 0; }
  virtual intptr_t OnNotify(platform::WPARAM, platform::LPARAM) { return 0; }
  // True when the dialog handled the command.
  virtual bool OnCommand(platform::WPARAM, platform::LPARAM) { return false; }
  virtual intptr_t OnEraseBkgnd(platform::HDC) { return 1; }
  virtual intptr_t OnPaint() { return 0; }
  virtual void OnTimer(platform::UINT_PTR) {}
  virtual void OnSettingChange(platform::WPARAM, platform::LPARAM) {}
  // True for a control whose text the user types (Back edits it on a
  // Smartphone instead of closing the dialog).
  virtual bool IsTextEntryControl(int) { return false; }

  // Stored, and shown at once when the dialog is open.
  void SetTitle(const char16_t* text);
  // The soft keys: the left key, whose next item is the right key.
  void SetSoftKeys(const runtime::MenuItemDesc* softKeys) { softKeys_ = softKeys; }
  // Runs the dialog modally; the result code.
  intptr_t Run();
  // Ends the dialog with Cancel.
  void Close();

  platform::HWND Window() const { return window_; }
  platform::HWND MenuBar() const { return menuBar_; }
  bool ShowsTwoSoftKeys() const;

  static intptr_t DialogProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                             platform::LPARAM lParam);

 protected:
  // The dialog has a text field and keeps the input panel up.
  void SetWantsInputPanel(bool wants) { wantsInputPanel_ = wants ? 1 : 0; }

 private:
  platform::HWND window_ = nullptr;
  platform::HWND menuBar_ = nullptr;
  WString title_;
  const runtime::MenuItemDesc* softKeys_ = nullptr;
  uint8_t wantsInputPanel_ = 0;
  uint8_t panelRaised_ = 0;
};

// Runs `dialog` modally over the viewer's active view window: 1 becomes
// 201 (OK), 2 becomes 202 (Cancel), other codes pass unchanged; a missing
// template gives the platform's failure code (-1).
intptr_t RunModalDialog(DialogBase& dialog);
// Shows `dialog` without an owner; its window, or null.
platform::HWND CreateModelessDialog(DialogBase& dialog);
// Ends a dialog, lowering the input panel first on a Pocket PC.
void EndDialogWithPanel(platform::HWND window, intptr_t code);

}  // namespace shell
