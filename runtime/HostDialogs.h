#pragma once
// The host's small dialogs as the viewer drives them: it sets their title,
// the texts of their controls by id and their soft keys, runs them
// modally and reads what the user chose. The host makes them through
// HostServices and takes each back through the matching Destroy call.
//
// Results of RunModal: kDialogOk (201), kDialogCancel (202),
// kDialogOpenSelected (203), kDialogCloseApplication (205); a dialog that
// could not be shown answers something else, which the viewer takes as
// Cancel.
#include <cstdint>

namespace runtime {

struct MenuItemDesc;

inline constexpr int32_t kDialogOk = 201;
inline constexpr int32_t kDialogCancel = 202;
inline constexpr int32_t kDialogOpenSelected = 203;
inline constexpr int32_t kDialogCloseApplication = 205;

class HostDialog {
 public:
  virtual ~HostDialog() = default;
  virtual void SetTitle(const char16_t* title) = 0;
  // The text of control `id`; a dialog already shown updates the control.
  virtual void SetItemText(uint32_t id, const char16_t* text) = 0;
  // The soft keys, a list of items linked by `next`.
  virtual void SetSoftKeys(const MenuItemDesc* keys) = 0;
  virtual int32_t RunModal() = 0;
};

// The recently opened files.
class ListDialog : public HostDialog {
 public:
  // Up to ten paths, before RunModal.
  virtual void AddPath(const char16_t* path) = 0;
  // The chosen path after RunModal; empty without a selection.
  virtual const char16_t* GetChosenPath() = 0;
};

// The file browser.
class FileBrowserDialog : public HostDialog {
 public:
  virtual const char16_t* GetChosenPath() = 0;
};

// The zoom dialog: preset percentages with one selected.
class ZoomDialog : public HostDialog {
 public:
  // Before RunModal: `count` presets, the selected index and the current
  // percentage.
  virtual void SetPresets(uint32_t count, const int32_t* presets, uint32_t selected,
                          int32_t current) = 0;
  // The percentage chosen.
  virtual int32_t GetValue() = 0;
};

// The go-to-page dialog.
class GoToPageDialog : public HostDialog {
 public:
  // The typed page number's text.
  virtual const char16_t* GetText() = 0;
};

// The document properties: labels and values set by control id.
class PropertiesDialog : public HostDialog {};

}  // namespace runtime
