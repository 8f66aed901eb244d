// A small program on the platform layer alone: a main window with two soft
// keys and a dialog holding one of each control, on the headless screen or
// in a desktop window.
//
//   platform_demo [--device=NAME] [--screen=headless|sdl]
//                 [--screenshot=PATH] [--window-shot=PATH] [--message-box]
//                 [--script=FILE]
//
// With --screenshot (or --window-shot) it opens the controls dialog (or,
// with --message-box, a message box), writes the picture once it is
// painted, and ends. With the device's language Arabic
// (FOLVANE_UI_LANGUAGE=401) its texts are Arabic.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/Controls.h"
#include "platform/Device.h"
#include "platform/Dialog.h"
#include "platform/Gdi.h"
#include "platform/HandheldShell.h"
#include "platform/Menu.h"
#include "platform/Resources.h"
#include "platform/Screen.h"
#include "platform/Window.h"
#include "resources/UIStringTable.h"

using namespace platform;

namespace {

constexpr int kCommandControls = 200;
constexpr int kCommandMessage = 300;
constexpr int kCommandPanel = 301;
constexpr int kCommandQuit = 302;
constexpr int kMenuBar = 106;
constexpr int kDialogBar = 103;

// Menu bars: the main one with a command and a menu, the dialog's with one
// command; labels are set by the program.
constexpr uint16_t kMainBar[] = {kMenuBar, 2, 0xFFFE, kCommandControls, 4, 0x10, 410, 0, 0xFFFF,
                                 0xFFFE, 201, 4, 0x18, 410, 0, 0};
constexpr uint16_t kMainMenu[] = {0, 0, MF_POPUP | MF_END, u'M', 0,
                                  0, kCommandMessage, u'M', u'e', u's', u's', u'a', u'g', u'e', u' ', u'b', u'o', u'x', 0,
                                  0, kCommandPanel, u'I', u'n', u'p', u'u', u't', u' ', u'p', u'a', u'n', u'e', u'l', 0,
                                  MF_SEPARATOR, 0, 0,
                                  MF_END, kCommandQuit, u'Q', u'u', u'i', u't', u'\t', u'Q', 0};
constexpr uint16_t kOkBar[] = {kDialogBar, 2, 0xFFFE, IDOK, 4, 0x10, 410, 0, 0xFFFF, 0xFFFE, 201, 8, 0x10, 410, 0, 0xFFFF};
constexpr char16_t kBlank[] = u" ";
constexpr ResourceEntry kResources[] = {
    {10, kMenuBar, kMainBar, sizeof kMainBar},
    {4, kMenuBar, kMainMenu, sizeof kMainMenu},
    {10, kDialogBar, kOkBar, sizeof kOkBar},
    {6, 410, kBlank, 2},
};

// The demo speaks English, or Arabic from the program's string table when
// the device's language is Arabic (to show right-to-left, joined text).
constexpr uint32_t kArabicRow = 24;

const char16_t* Say(uint32_t column, const char16_t* english) {
  if ((GetUserDefaultUILanguage() & 0x3FF) != 0x01) return english;
  return resources::GetUIString(kArabicRow, column);
}

std::string g_screenshot;
bool g_showMessage = false;
std::string g_windowShot;
HWND g_main = nullptr;

void SetSoftKey(HWND bar, int index, const char16_t* text) {
  TBBUTTONINFOW info{sizeof info, TBIF_BYINDEX | TBIF_TEXT, 0, 0, 0, 0, 0, 0, const_cast<LPWSTR>(text), 0};
  SendMessageW(bar, TB_SETBUTTONINFOW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info));
}

void Fill(HWND dialog) {
  SetDlgItemTextW(dialog, 11, Say(46, u"Annual report"));
  SetDlgItemTextW(dialog, 13, u"secret");
  CheckDlgButton(dialog, 14, BST_CHECKED);
  const HWND track = GetDlgItem(dialog, 16);
  SendMessageW(track, TBM_SETRANGE, TRUE, MAKELPARAM(0, 8));
  SendMessageW(track, TBM_SETPOS, TRUE, 3);
  SendMessageW(track, TBM_SETBUDDY, TRUE, reinterpret_cast<LPARAM>(GetDlgItem(dialog, 17)));
  SendMessageW(track, TBM_SETBUDDY, FALSE, reinterpret_cast<LPARAM>(GetDlgItem(dialog, 18)));
  const HWND tree = GetDlgItem(dialog, 19);
  const auto insert = [&](HTREEITEM parent, const char16_t* text) {
    TVINSERTSTRUCTW item{};
    item.hParent = parent;
    item.hInsertAfter = TVI_LAST;
    item.item.mask = TVIF_TEXT;
    item.item.pszText = const_cast<LPWSTR>(text);
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  };
  const HTREEITEM root = insert(TVI_ROOT, Say(51, u"My Device"));
  const HTREEITEM documents = insert(root, Say(66, u"My Documents"));
  insert(documents, u"report.pdf");
  insert(root, Say(49, u"Storage Card"));
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(documents));
  const HWND list = GetDlgItem(dialog, 20);
  const char16_t* titles[] = {Say(39, u"Name"), Say(66, u"Folder"), Say(67, u"Date")};
  // The columns share the list's width, so none is cut off at any size.
  RECT listArea{};
  GetClientRect(list, &listArea);
  for (int i = 0; i < 3; ++i) {
    const int width = static_cast<int>(listArea.right) * (i == 1 ? 4 : 3) / 10;
    LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH, 0, width, const_cast<LPWSTR>(titles[i]), 0, i};
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
  const char16_t* rows[][3] = {{u"a.pdf", u"\\Docs\\", u"01/02/09"}, {u"b.pdf", u"\\Card\\", u"03/04/09"}};
  for (int row = 0; row < 2; ++row) {
    LVITEMW item{LVIF_TEXT, row, 0, 0, 0, const_cast<LPWSTR>(rows[row][0]), 0, 0, 0};
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    for (int column = 1; column < 3; ++column) {
      LVITEMW text{0, row, column, 0, 0, const_cast<LPWSTR>(rows[row][column]), 0, 0, 0};
      SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&text));
    }
  }
  LVITEMW select{LVIF_STATE, 0, 0, LVIS_SELECTED, LVIS_SELECTED, nullptr, 0, 0, 0};
  SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&select));
  SetDlgItemTextW(dialog, 21,
                  Say(77, u"A multi-line field wraps its text at the edge and scrolls with the arrows."));
}

void TakeScreenshotsAndQuit(HWND, UINT, UINT_PTR, DWORD) {
  int failures = 0;
  if (!g_screenshot.empty() && !SaveScreenshot(g_screenshot)) ++failures;
  if (!g_windowShot.empty() && !SaveWindowScreenshot(g_windowShot)) ++failures;
  if (failures > 0) std::fprintf(stderr, "platform_demo: could not write the screenshot\n");
  PostQuitMessage(failures);
}

intptr_t ControlsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      DialogInitInfo init{0, dialog, DIALOG_FULL_SCREEN};
      InitFullScreenDialog(&init);
      MenuBarInfo bar{kDeviceMenuBarInfoSize, dialog, 0, kDialogBar, GetModuleHandleW(nullptr), 0, 0, nullptr, 0};
      if (CreateSoftKeyBar(&bar)) SetSoftKey(bar.hwndMB, 0, Say(52, u"Done"));
      Fill(dialog);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        DestroyWindow(dialog);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

void OpenControls() {
  // Dialog units: the template scales with the font, so one layout serves
  // every screen; on a narrow Smartphone screen it is narrower.
  const bool narrow = GetDeviceProfile().kind == PlatformKind::kSmartphone;
  const int w = narrow ? 112 : 148;
  const auto x = [&](int units) { return units * w / 148; };
  DialogTemplateBuilder builder(WS_POPUP | WS_VISIBLE, 0, 0, w, 168, Say(27, u"Controls"));
  builder.Add(WC_STATIC, Say(39, u"Name:"), 10, WS_VISIBLE, 4, 4, x(40), 10);
  builder.Add(WC_EDIT, u"", 11, WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, x(46), 2, x(96), 13);
  builder.Add(WC_STATIC, Say(34, u"Password:"), 12, WS_VISIBLE, 4, 20, x(40), 10);
  builder.Add(WC_EDIT, u"", 13, WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_PASSWORD, x(46), 18, x(96), 13);
  builder.Add(WC_BUTTON, Say(29, u"Match case"), 14, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 4, 35, x(70), 12);
  builder.Add(WC_BUTTON, Say(73, u"Browse"), 15, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x(92), 34, x(50), 14);
  builder.Add(TRACKBAR_CLASS, u"", 16, WS_VISIBLE | WS_TABSTOP, x(24), 52, x(96), 18);
  builder.Add(WC_STATIC, u"25", 17, WS_VISIBLE | SS_RIGHT, 0, 56, x(18), 10);
  builder.Add(WC_STATIC, u"400", 18, WS_VISIBLE, 0, 56, x(20), 10);
  builder.Add(WC_TREEVIEW, u"", 19, WS_VISIBLE | WS_BORDER | WS_TABSTOP | 0x37, 4, 74, x(138), 32);
  builder.Add(WC_LISTVIEW, u"", 20, WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT, 4, 108, x(138), 35);
  builder.Add(WC_EDIT, u"", 21, WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_MULTILINE, 4, 145, x(138), 20);
  CreateDialogIndirectParamW(GetModuleHandleW(nullptr), builder.Template(), g_main, ControlsProc, 0);
}

void ShowMessage(HWND owner) {
  MessageBoxW(owner,
              Say(77, u"Reached the end of the document, do you wish to resume searching from the beginning?"),
              Say(28, u"Find"), MB_ICONQUESTION | MB_YESNO);
}

LRESULT MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      const HDC dc = BeginPaint(window, &paint);
      RECT client{};
      GetClientRect(window, &client);
      FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
      LOGFONTW logical{};
      logical.lfHeight = -ScaleForDpi(16);
      logical.lfWeight = FW_BOLD;
      std::memcpy(logical.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
      const HFONT title = CreateFontIndirectW(&logical);
      const HGDIOBJ old = SelectObject(dc, title);
      RECT area{ScaleForDpi(8), ScaleForDpi(8), client.right - ScaleForDpi(8), client.bottom};
      DrawTextW(dc, Say(33, u"Platform demo"), -1, &area, DT_LEFT);
      logical.lfHeight = -ScaleForDpi(12);
      logical.lfWeight = FW_NORMAL;
      const HFONT body = CreateFontIndirectW(&logical);
      SelectObject(dc, body);
      area.top += ScaleForDpi(30);
      DrawTextW(dc,
                u"The left soft key opens a dialog with every control; the right one holds a menu.\n"
                u"Dates, names and 日本語 text use the device fonts.",
                -1, &area, DT_LEFT | DT_WORDBREAK);
      SelectObject(dc, old);
      DeleteObject(title);
      DeleteObject(body);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kCommandControls: OpenControls(); return 0;
        case kCommandMessage: ShowMessage(window); return 0;
        case kCommandPanel: SetInputPanelShown(!IsInputPanelShown()); return 0;
        case kCommandQuit: PostQuitMessage(0); return 0;
        default: return 0;
      }
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ScreenBackend backend = ScreenBackend::kAutomatic;
  std::string script;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const auto value = [&](const char* prefix) { return argument.substr(std::strlen(prefix)); };
    if (argument.starts_with("--device=")) {
      if (!SelectDevice(value("--device="))) {
        std::fprintf(stderr, "platform_demo: unknown device %s\n", argv[i]);
        return 2;
      }
    } else if (argument == "--screen=headless") {
      backend = ScreenBackend::kHeadless;
    } else if (argument == "--screen=sdl") {
      backend = ScreenBackend::kSdl;
    } else if (argument.starts_with("--screenshot=")) {
      g_screenshot = value("--screenshot=");
    } else if (argument.starts_with("--window-shot=")) {
      g_windowShot = value("--window-shot=");
    } else if (argument == "--message-box") {
      g_showMessage = true;
    } else if (argument.starts_with("--script=")) {
      std::ifstream file(value("--script="));
      std::stringstream text;
      text << file.rdbuf();
      script = text.str();
    } else {
      std::fprintf(stderr, "usage: platform_demo [--device=NAME] [--screen=headless|sdl] [--screenshot=PATH] "
                           "[--window-shot=PATH] [--message-box] [--script=FILE]\n");
      return 2;
    }
  }
  if (backend == ScreenBackend::kSdl && StartScreen(backend) != ScreenBackend::kSdl) {
    std::fprintf(stderr, "platform_demo: no display for the SDL2 screen\n");
    return 3;
  }
  StartScreen(backend);
  RegisterResources(kResources);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = MainProc;
  windowClass.lpszClassName = u"PlatformDemo";
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  RegisterClassW(&windowClass);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int bar = GetDeviceProfile().menuBarHeight;
  g_main = CreateWindowExW(0, u"PlatformDemo", u"Platform demo", WS_VISIBLE, work.left, work.top,
                           work.right - work.left, work.bottom - work.top - bar, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  MenuBarInfo info{kDeviceMenuBarInfoSize, g_main, 0, kMenuBar, GetModuleHandleW(nullptr), 0, 0, nullptr, 0};
  if (g_main == nullptr || !CreateSoftKeyBar(&info)) return 1;
  SetSoftKey(info.hwndMB, 0, Say(4, u"Controls"));
  SetSoftKey(info.hwndMB, 1, Say(53, u"Menu"));
  if (!g_screenshot.empty() || !g_windowShot.empty()) {
    SetTimer(nullptr, 0, 300, TakeScreenshotsAndQuit);
    if (g_showMessage) {
      ShowMessage(g_main);
    } else {
      OpenControls();
    }
  }
  if (!script.empty() && !RunInputScript(script)) {
    std::fprintf(stderr, "platform_demo: the input script does not parse\n");
    return 2;
  }
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  StopScreen();
  return static_cast<int>(message.wParam);
}
