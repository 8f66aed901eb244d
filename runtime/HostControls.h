#pragma once
// The host's controls and dialogs that the viewer makes through
// HostServices beyond plain windows: the bookmark tree, the page-number
// edit box, timers and the text box of the About dialog.
#include <cstdint>

#include "runtime/HostWindow.h"

namespace runtime {

struct MenuItemDesc;

// The bookmark tree.
class HostTreeView : public HostWindow {
 public:
  // Removes every item.
  virtual void Clear() {}
};

// A one-line edit box (the page number).
class HostEdit : public HostWindow {
 public:
  // The text typed into the box, valid until the next call; empty when
  // the host cannot read it.
  virtual const char16_t* TypedText() { return u""; }
};

// A running host timer; its callback fires on the UI thread until the
// timer goes back to HostServices::DestroyTimer.
class HostTimer {
 public:
  virtual ~HostTimer() = default;
};

// A dialog that shows a block of text (About).
class TextBoxDialog {
 public:
  virtual ~TextBoxDialog() = default;
  virtual void SetTitle(const char16_t* title) = 0;
  virtual void SetItemText(uint32_t resourceId, const char16_t* text) = 0;
  // The dialog's soft keys, a list of items linked by `next`.
  virtual void SetSoftKeys(const MenuItemDesc* keys) = 0;
  // Runs modally; returns the result (201 for OK).
  virtual int32_t RunModal() = 0;
};
// The text control of the text box.
inline constexpr uint32_t kTextBoxTextResource = 1801;

}  // namespace runtime
