#pragma once
// What the shell's dialogs share when they lay their controls out and read
// them back: control rectangles in the dialog's client coordinates, text
// measured in a control's own font, the minimum-font rule over a dialog's
// controls and one kept font, and the texts a dialog is given by text id.
#include <cstdint>

#include "platform/Messages.h"
#include "shell/WString.h"

namespace shell {

// The control's rectangle in its dialog's client coordinates (empty when
// there is no such control).
platform::RECT ControlRect(platform::HWND dialog, int id);
void PlaceControl(platform::HWND dialog, int id, int x, int y, int width, int height);
// Width and height of the control's text on one line, in its font.
platform::SIZE TextExtent(platform::HWND control);
// Height of the control's text broken into lines of `width` pixels.
int WrappedTextHeight(platform::HWND control, int width);
// Height of one line of the control's font.
int LineHeight(platform::HWND control);
// Reads a control's text, at most `limit` characters.
void ReadControlText(platform::HWND dialog, int id, uint32_t limit, WString& out);
// The width and height of a window's client area.
platform::SIZE ClientSize(platform::HWND window);
// A soft key's command: `okId` ends the dialog with OK, `cancelId` (when
// not 0) with Cancel. True when the command was one of them.
bool EndOnSoftKey(platform::HWND dialog, platform::WPARAM wParam, uint32_t okId, uint32_t cancelId);
// Gives the text field the focus with its whole text selected and the
// caret in view.
void FocusField(platform::HWND dialog, int id);

// A dialog's font below the minimum size (for the UI language) is replaced
// on the listed controls by one font of the minimum size, which the holder
// deletes with itself.
class DialogFont {
 public:
  DialogFont() = default;
  ~DialogFont();
  DialogFont(const DialogFont&) = delete;
  DialogFont& operator=(const DialogFont&) = delete;
  void Apply(platform::HWND dialog, const int* ids, int count);

 private:
  platform::HFONT font_ = nullptr;
};

// The texts a dialog is given by text id, each shown in one control (or in
// none: kept for the dialog's own use). Setting a text while the dialog is
// open updates its control.
class DialogTexts {
 public:
  struct Slot {
    uint32_t textId;
    int controlId;
  };
  static constexpr int kMaxSlots = 12;
  DialogTexts(const Slot* slots, int count);

  // False for an id the dialog does not know (ignored) or no memory.
  bool Set(uint32_t textId, const char16_t* text, platform::HWND window);
  const WString& Get(uint32_t textId) const;
  // Shows every text in its control.
  void ShowAll(platform::HWND window) const;

 private:
  int Find(uint32_t textId) const;
  Slot slots_[kMaxSlots] = {};
  WString texts_[kMaxSlots];
  int count_ = 0;
};

}  // namespace shell
