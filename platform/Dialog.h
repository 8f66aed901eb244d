#pragma once
// Dialogs from templates, the dialog manager's keys, and message boxes.
#include <string>
#include <vector>

#include "platform/Messages.h"

namespace platform {

using DLGPROC = intptr_t (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Dialog styles.
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD DS_CENTER = 0x0800;

// WM_GETDLGCODE answers.
constexpr LRESULT DLGC_WANTARROWS = 0x0001;
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_WANTMESSAGE = 0x0004;
constexpr LRESULT DLGC_HASSETSEL = 0x0008;
constexpr LRESULT DLGC_DEFPUSHBUTTON = 0x0010;
constexpr LRESULT DLGC_UNDEFPUSHBUTTON = 0x0020;
constexpr LRESULT DLGC_WANTCHARS = 0x0080;
constexpr LRESULT DLGC_BUTTON = 0x2000;

// A dialog template, laid out as the device stores them: a header with
// style, extended style, item count and the rectangle in dialog units, then
// menu, class and title, the font when DS_SETFONT is set, and the items,
// each aligned to four bytes.
struct DLGTEMPLATE;

// Builds templates (for the program's resources and for message boxes).
class DialogTemplateBuilder {
 public:
  DialogTemplateBuilder(DWORD style, int x, int y, int width, int height, std::u16string_view title,
                        int fontPoints = 8, std::u16string_view fontFace = u"Tahoma");
  // Class is a name ("BUTTON", "EDIT", "STATIC", "msctls_trackbar32", ...).
  DialogTemplateBuilder& Add(std::u16string_view windowClass, std::u16string_view text, int id, DWORD style, int x,
                             int y, int width, int height, DWORD exStyle = 0);
  // The finished template (valid while the builder lives).
  const DLGTEMPLATE* Template();
  const std::vector<uint8_t>& Bytes();

 private:
  void Word(uint16_t value);
  void Text(std::u16string_view text);
  void Align();
  std::vector<uint8_t> bytes_;
  uint16_t count_ = 0;
};

// Modal: returns the EndDialog code, or -1 when the dialog could not be made.
intptr_t DialogBoxIndirectParamW(HINSTANCE instance, const DLGTEMPLATE* dialog, HWND owner, DLGPROC procedure,
                                 LPARAM parameter);
HWND CreateDialogIndirectParamW(HINSTANCE instance, const DLGTEMPLATE* dialog, HWND owner, DLGPROC procedure,
                                LPARAM parameter);
BOOL EndDialog(HWND dialog, intptr_t result);
// The dialog manager's keys (Enter, Escape, Tab) for a modeless dialog.
BOOL IsDialogMessageW(HWND dialog, MSG* message);
BOOL MapDialogRect(HWND dialog, RECT* rect);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int capacity);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);

// Message boxes.
constexpr UINT MB_OK = 0x00;
constexpr UINT MB_OKCANCEL = 0x01;
constexpr UINT MB_YESNO = 0x04;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = 0x30;
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

}  // namespace platform
