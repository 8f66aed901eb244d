#pragma once
// The host's dialogs as the viewer drives them: it makes one through
// HostServices, sets its title, its texts by control text id and its soft
// keys, runs it modally, reads the answer through the class's accessors and
// gives it back to the matching HostServices operation.
//
// Results of RunModal: 201 OK, 202 Cancel, 203 open the selected item
// (Browse), 205 close the application; a soft key's command id may also come
// back. Any other code (a dialog that could not be shown) means Cancel.
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
  // The text of the dialog's text id `resourceId` (labels and values);
  // setting a value while the dialog is open updates its control.
  virtual void SetItemText(uint32_t resourceId, const char16_t* text) = 0;
  // The left soft key; its next item is the right key. Kept by pointer:
  // the description must outlive the run.
  virtual void SetSoftKeys(const MenuItemDesc* keys) = 0;
  virtual int32_t RunModal() = 0;
  // Ends a running dialog with Cancel.
  virtual void Close() = 0;
};

// Recent files: a list of up to ten paths, and a Browse button when the
// host was asked for one. Texts 1201-1203 column titles, 1204 Browse
// button, 1205 the text beside it, 1206 the prompt.
class ListDialog : public HostDialog {
 public:
  // Before RunModal; paths past the tenth are dropped.
  virtual void AddPath(const char16_t* path) = 0;
  // The path of the row chosen, empty when none; valid until destroyed.
  virtual const char16_t* GetChosenPath() const = 0;
};

// The file browser. Texts 1301 root label, 1302 open label, 1303 close
// label.
class FileBrowserDialog : public HostDialog {
 public:
  virtual const char16_t* GetChosenPath() const = 0;
};

// Find. Texts 1101 prompt, 1102 the initial search text, 1103-1105 the
// labels of the three options.
inline constexpr uint32_t kFindMatchCase = 0;
inline constexpr uint32_t kFindWholeWord = 1;
inline constexpr uint32_t kFindBackwards = 2;
class FindDialog : public HostDialog {
 public:
  virtual const char16_t* GetText() const = 0;
  virtual void SetOption(uint32_t option, bool on) = 0;
  virtual bool GetOption(uint32_t option) const = 0;
};

// Go to page. Texts 1601 prompt, 1602 the label of the page count, 1603
// the page count, 1604 the current page (the field's first text).
class GoToPageDialog : public HostDialog {
 public:
  virtual const char16_t* GetText() const = 0;
};

// Zoom: a track bar over preset percentages. Text 1501 the label.
class ZoomDialog : public HostDialog {
 public:
  // Before RunModal: `count` presets in percent (copied), the index the
  // bar starts at and the value shown until the bar moves.
  virtual void SetPresets(uint32_t count, const int32_t* presets, uint32_t index, int32_t value) = 0;
  // The percentage chosen.
  virtual int32_t GetValue() const = 0;
};

// Document properties: odd texts 1401-1409 labels, even 1402-1410 values.
class PropertiesDialog : public HostDialog {};

// A block of read-only text (About): text 1801.
inline constexpr uint32_t kTextBoxTextResource = 1801;
class TextBoxDialog : public HostDialog {};

}  // namespace runtime
