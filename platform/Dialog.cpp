#include "platform/Dialog.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/Controls.h"
#include "platform/Device.h"
#include "platform/Gdi.h"
#include "platform/SystemTexts.h"
#include "platform/Window.h"
#include "platform/WindowSystem.h"
#include "platform/WideText.h"

namespace platform {

struct DLGTEMPLATE {
  DWORD style;
  DWORD dwExtendedStyle;
  WORD cdit;
  int16_t x;
  int16_t y;
  int16_t cx;
  int16_t cy;
};

namespace {

constexpr const char16_t* kDialogClass = u"#32770";
// Templates are read without a size; these limits keep a bad one bounded.
constexpr int kMaxItems = 255;
constexpr size_t kMaxTextLength = 1024;

struct DialogState {
  DLGPROC procedure = nullptr;
  intptr_t result = 0;
  bool ended = false;
  bool modal = false;
  HFONT font = nullptr;
  int baseX = 6;  // pixels per 4 horizontal dialog units
  int baseY = 13;  // pixels per 8 vertical dialog units
  int defaultId = IDOK;
  HWND lastFocus = nullptr;
};

std::map<HWND, DialogState>& Dialogs() {
  static auto* dialogs = new std::map<HWND, DialogState>();
  return *dialogs;
}

DialogState* StateOf(HWND dialog) {
  const auto it = Dialogs().find(dialog);
  return it == Dialogs().end() ? nullptr : &it->second;
}

// Reads the template's words and texts.
class TemplateReader {
 public:
  explicit TemplateReader(const uint8_t* start) : start_(start), at_(start) {}
  template <typename T>
  T Get() {
    T value;
    std::memcpy(&value, at_, sizeof value);
    at_ += sizeof value;
    return value;
  }
  // A name or id field: 0 (none), 0xFFFF and an id, or a text.
  void NameOrId(std::u16string& name, uint16_t& id) {
    name.clear();
    id = 0;
    const auto first = Get<uint16_t>();
    if (first == 0) return;
    if (first == 0xFFFF) {
      id = Get<uint16_t>();
      return;
    }
    name.push_back(static_cast<char16_t>(first));
    ReadText(name);
  }
  std::u16string Text() {
    std::u16string text;
    ReadText(text);
    return text;
  }
  void Align() {
    const auto offset = static_cast<size_t>(at_ - start_);
    at_ = start_ + ((offset + 3) & ~size_t{3});
  }
  void Skip(size_t bytes) { at_ += bytes; }

 private:
  void ReadText(std::u16string& text) {
    for (auto c = Get<uint16_t>(); c != 0; c = Get<uint16_t>()) {
      if (text.size() < kMaxTextLength) text.push_back(static_cast<char16_t>(c));
    }
  }
  const uint8_t* start_;
  const uint8_t* at_;
};

const char16_t* ClassOfAtom(uint16_t atom) {
  switch (atom) {
    case 0x80: return WC_BUTTON;
    case 0x81: return WC_EDIT;
    case 0x82: return WC_STATIC;
    default: return nullptr;
  }
}

LRESULT DialogWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto procedure = reinterpret_cast<DLGPROC>(GetWindowLongW(dialog, DWL_DLGPROC));
  if (message == WM_INITDIALOG) return procedure != nullptr ? procedure(dialog, message, wParam, lParam) : TRUE;
  if (procedure != nullptr) {
    SetWindowLongW(dialog, DWL_MSGRESULT, 0);
    if (procedure(dialog, message, wParam, lParam) != 0) return GetWindowLongW(dialog, DWL_MSGRESULT);
  }
  DialogState* state = StateOf(dialog);
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(dialog, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_WINDOW));
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      const HDC dc = BeginPaint(dialog, &paint);
      FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_WINDOW));
      EndPaint(dialog, &paint);
      return 0;
    }
    case WM_CLOSE:
      SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      return 0;
    case WM_SETFONT:
      if (state != nullptr) state->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return state != nullptr ? reinterpret_cast<LRESULT>(state->font) : 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && state != nullptr) {
        HWND target = IsWindow(state->lastFocus) ? state->lastFocus : GetNextDlgTabItem(dialog, nullptr, FALSE);
        if (target == nullptr) target = dialog;
        if (GetFocus() == nullptr || !IsChild(dialog, GetFocus())) SetFocus(target);
      } else if (state != nullptr && GetFocus() != nullptr && IsChild(dialog, GetFocus())) {
        state->lastFocus = GetFocus();
      }
      return 0;
    case WM_DESTROY:
      return 0;
    default:
      return DefWindowProcW(dialog, message, wParam, lParam);
  }
}

void EnsureDialogClass() {
  WNDCLASSW existing{};
  if (GetClassInfoW(nullptr, kDialogClass, &existing)) return;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DialogWindowProc;
  windowClass.cbWndExtra = 12;
  windowClass.lpszClassName = kDialogClass;
  RegisterClassW(&windowClass);
}

HWND CreateFromTemplate(HINSTANCE instance, const DLGTEMPLATE* dialog, HWND owner, DLGPROC procedure,
                        LPARAM parameter, bool modal) {
  if (dialog == nullptr) return nullptr;
  EnsureDialogClass();
  RegisterControlClasses();
  TemplateReader reader(reinterpret_cast<const uint8_t*>(dialog));
  const auto style = reader.Get<DWORD>();
  const auto exStyle = reader.Get<DWORD>();
  const auto count = reader.Get<uint16_t>();
  const auto x = reader.Get<int16_t>();
  const auto y = reader.Get<int16_t>();
  const auto cx = reader.Get<int16_t>();
  const auto cy = reader.Get<int16_t>();
  if (count > kMaxItems || cx < 0 || cy < 0) return nullptr;
  std::u16string menu, windowClass;
  uint16_t menuId = 0, classId = 0;
  reader.NameOrId(menu, menuId);
  reader.NameOrId(windowClass, classId);
  const std::u16string title = reader.Text();
  HFONT font = nullptr;
  if (style & DS_SETFONT) {
    const auto points = reader.Get<uint16_t>();
    const std::u16string face = reader.Text();
    LOGFONTW logical{};
    logical.lfHeight = -std::max(1, points * GetDeviceProfile().dpi / 72);
    logical.lfWeight = FW_NORMAL;
    WideCopy(logical.lfFaceName, LF_FACESIZE, face);
    font = CreateFontIndirectW(&logical);
  }
  // Dialog units follow the dialog's font.
  int baseX = 6, baseY = 13;
  {
    const HDC dc = CreateCompatibleDC(nullptr);
    if (font != nullptr) SelectObject(dc, font);
    TEXTMETRICW metrics{};
    if (GetTextMetricsW(dc, &metrics)) {
      SIZE letters{};
      GetTextExtentPoint32W(dc, u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &letters);
      baseX = std::max(1, static_cast<int>((letters.cx / 26 + 1) / 2));
      baseY = std::max(1, static_cast<int>(metrics.tmHeight));
    }
    DeleteDC(dc);
  }
  const auto toX = [&](int units) { return units * baseX / 4; };
  const auto toY = [&](int units) { return units * baseY / 8; };
  int left = toX(x), top = toY(y);
  const int width = toX(cx), height = toY(cy);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  if (style & DS_CENTER) {
    left = work.left + (work.right - work.left - width) / 2;
    top = work.top + (work.bottom - work.top - height) / 2;
  } else if (!(style & WS_CHILD)) {
    left += work.left;
    top += work.top;
  }
  const HWND window = CreateWindowExW(exStyle, classId == 0 && !windowClass.empty() ? windowClass.c_str() : kDialogClass,
                                      title.c_str(), (style & ~WS_VISIBLE), left, top, width, height, owner, nullptr,
                                      instance, nullptr);
  if (window == nullptr) {
    if (font != nullptr) DeleteObject(font);
    return nullptr;
  }
  DialogState& state = Dialogs()[window];
  state.procedure = procedure;
  state.modal = modal;
  state.font = font;
  state.baseX = baseX;
  state.baseY = baseY;
  SetWindowLongW(window, DWL_DLGPROC, reinterpret_cast<LONG_PTR>(procedure));

  HWND firstTabStop = nullptr;
  for (int i = 0; i < count; ++i) {
    reader.Align();
    const auto itemStyle = reader.Get<DWORD>();
    const auto itemExStyle = reader.Get<DWORD>();
    const auto ix = reader.Get<int16_t>();
    const auto iy = reader.Get<int16_t>();
    const auto icx = reader.Get<int16_t>();
    const auto icy = reader.Get<int16_t>();
    const auto id = reader.Get<uint16_t>();
    std::u16string itemClass, itemText;
    uint16_t itemClassId = 0, textId = 0;
    reader.NameOrId(itemClass, itemClassId);
    reader.NameOrId(itemText, textId);
    reader.Skip(reader.Get<uint16_t>());
    const char16_t* className = itemClassId != 0 ? ClassOfAtom(itemClassId) : itemClass.c_str();
    const HWND control = className == nullptr ? nullptr
                                              : CreateWindowExW(itemExStyle, className, itemText.c_str(),
                                                                itemStyle | WS_CHILD, toX(ix), toY(iy), toX(icx),
                                                                toY(icy), window,
                                                                reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)),
                                                                instance, nullptr);
    if (control == nullptr) {
      DestroyWindow(window);
      Dialogs().erase(window);
      if (font != nullptr) DeleteObject(font);
      return nullptr;
    }
    if (font != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if ((itemStyle & WS_TABSTOP) && firstTabStop == nullptr) firstTabStop = control;
    const bool button = itemClassId == 0x80 || (itemClassId == 0 && WideEqualsNoCase(itemClass, WC_BUTTON));
    if (button && (itemStyle & BS_TYPEMASK) == BS_DEFPUSHBUTTON) state.defaultId = id;
  }
  if (SendMessageW(window, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), parameter) != 0 &&
      firstTabStop != nullptr && IsWindow(firstTabStop)) {
    SetFocus(firstTabStop);
  }
  if (IsWindow(window) && (style & WS_VISIBLE)) ShowWindow(window, SW_SHOW);
  return IsWindow(window) ? window : nullptr;
}

void ForgetDialog(HWND dialog) {
  if (DialogState* state = StateOf(dialog); state != nullptr && state->font != nullptr) DeleteObject(state->font);
  Dialogs().erase(dialog);
}

}  // namespace

// ---- templates ---------------------------------------------------------------

DialogTemplateBuilder::DialogTemplateBuilder(DWORD style, int x, int y, int width, int height,
                                             std::u16string_view title, int fontPoints, std::u16string_view fontFace) {
  const DLGTEMPLATE header{style | DS_SETFONT, 0, 0, static_cast<int16_t>(x), static_cast<int16_t>(y),
                           static_cast<int16_t>(width), static_cast<int16_t>(height)};
  bytes_.resize(18);
  std::memcpy(bytes_.data(), &header.style, 4);
  std::memcpy(bytes_.data() + 4, &header.dwExtendedStyle, 4);
  std::memcpy(bytes_.data() + 10, &header.x, 2);
  std::memcpy(bytes_.data() + 12, &header.y, 2);
  std::memcpy(bytes_.data() + 14, &header.cx, 2);
  std::memcpy(bytes_.data() + 16, &header.cy, 2);
  Word(0);  // no menu
  Word(0);  // the dialog class
  Text(title);
  Word(static_cast<uint16_t>(fontPoints));
  Text(fontFace);
}

DialogTemplateBuilder& DialogTemplateBuilder::Add(std::u16string_view windowClass, std::u16string_view text, int id,
                                                  DWORD style, int x, int y, int width, int height, DWORD exStyle) {
  Align();
  const size_t at = bytes_.size();
  bytes_.resize(at + 18);
  const int16_t box[4] = {static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(width),
                          static_cast<int16_t>(height)};
  const auto itemId = static_cast<uint16_t>(id);
  std::memcpy(bytes_.data() + at, &style, 4);
  std::memcpy(bytes_.data() + at + 4, &exStyle, 4);
  std::memcpy(bytes_.data() + at + 8, box, 8);
  std::memcpy(bytes_.data() + at + 16, &itemId, 2);
  Text(windowClass);
  Text(text);
  Word(0);  // no creation data
  ++count_;
  std::memcpy(bytes_.data() + 8, &count_, 2);
  return *this;
}

const DLGTEMPLATE* DialogTemplateBuilder::Template() { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

const std::vector<uint8_t>& DialogTemplateBuilder::Bytes() { return bytes_; }

void DialogTemplateBuilder::Word(uint16_t value) {
  bytes_.push_back(static_cast<uint8_t>(value & 0xFF));
  bytes_.push_back(static_cast<uint8_t>(value >> 8));
}

void DialogTemplateBuilder::Text(std::u16string_view text) {
  for (char16_t c : text) Word(c);
  Word(0);
}

void DialogTemplateBuilder::Align() {
  while (bytes_.size() % 4 != 0) bytes_.push_back(0);
}

// ---- running dialogs -------------------------------------------------------------

intptr_t DialogBoxIndirectParamW(HINSTANCE instance, const DLGTEMPLATE* dialog, HWND owner, DLGPROC procedure,
                                 LPARAM parameter) {
  const HWND window = CreateFromTemplate(instance, dialog, owner, procedure, parameter, true);
  if (window == nullptr) return -1;
  const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  DialogState* state = StateOf(window);
  if (state != nullptr && !state->ended) ShowWindow(window, SW_SHOW);
  MSG message{};
  while (IsWindow(window) && (state = StateOf(window)) != nullptr && !state->ended) {
    if (!GetMessageW(&message, nullptr, 0, 0)) {
      // The application is quitting: end the dialog and let the outer loop see it.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!IsDialogMessageW(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  state = StateOf(window);
  const intptr_t result = state != nullptr ? state->result : 0;
  if (disableOwner && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (IsWindow(window)) DestroyWindow(window);
  ForgetDialog(window);
  if (owner != nullptr && IsWindow(owner)) SetActiveWindow(owner);
  return result;
}

HWND CreateDialogIndirectParamW(HINSTANCE instance, const DLGTEMPLATE* dialog, HWND owner, DLGPROC procedure,
                                LPARAM parameter) {
  return CreateFromTemplate(instance, dialog, owner, procedure, parameter, false);
}

BOOL EndDialog(HWND dialog, intptr_t result) {
  DialogState* state = StateOf(dialog);
  if (state == nullptr) return FALSE;
  state->result = result;
  state->ended = true;
  if (!state->modal) ShowWindow(dialog, SW_HIDE);
  return TRUE;
}

BOOL IsDialogMessageW(HWND dialog, MSG* message) {
  if (message == nullptr || StateOf(dialog) == nullptr) return FALSE;
  if (message->hwnd != dialog && !IsChild(dialog, message->hwnd)) return FALSE;
  if (message->message == WM_KEYDOWN) {
    const auto key = static_cast<int>(message->wParam);
    const LRESULT code = SendMessageW(message->hwnd, WM_GETDLGCODE, message->wParam, reinterpret_cast<LPARAM>(message));
    if (key == VK_TAB && !(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))) {
      const bool back = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
      if (HWND next = GetNextDlgTabItem(dialog, GetFocus(), back ? TRUE : FALSE); next != nullptr) SetFocus(next);
      return TRUE;
    }
    if ((key == VK_RETURN || key == VK_ESCAPE) && !(code & DLGC_WANTALLKEYS)) {
      int id = key == VK_ESCAPE ? IDCANCEL : StateOf(dialog)->defaultId;
      HWND control = GetDlgItem(dialog, id);
      SendMessageW(dialog, WM_COMMAND, MAKELONG(static_cast<WORD>(id), BN_CLICKED), reinterpret_cast<LPARAM>(control));
      return TRUE;
    }
  }
  TranslateMessage(message);
  DispatchMessageW(message);
  return TRUE;
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
  const DialogState* state = StateOf(dialog);
  if (state == nullptr || rect == nullptr) return FALSE;
  *rect = RECT{rect->left * state->baseX / 4, rect->top * state->baseY / 8, rect->right * state->baseX / 4,
               rect->bottom * state->baseY / 8};
  return TRUE;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND control = GetDlgItem(dialog, id);
  return control == nullptr ? 0 : SendMessageW(control, message, wParam, lParam);
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  const HWND control = GetDlgItem(dialog, id);
  return control != nullptr && SetWindowTextW(control, text);
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int capacity) {
  if (buffer != nullptr && capacity > 0) buffer[0] = 0;
  const HWND control = GetDlgItem(dialog, id);
  return control == nullptr ? 0 : static_cast<UINT>(GetWindowTextW(control, buffer, capacity));
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  const HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return FALSE;
  SendMessageW(control, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  return static_cast<UINT>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  std::vector<HWND> stops;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
    if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) stops.push_back(child);
  }
  // Children are kept top of the Z order first, the reverse of creation.
  std::reverse(stops.begin(), stops.end());
  if (stops.empty()) return nullptr;
  const auto it = std::find(stops.begin(), stops.end(), control);
  if (it == stops.end()) return previous ? stops.back() : stops.front();
  const auto index = static_cast<size_t>(it - stops.begin());
  return previous ? stops[(index + stops.size() - 1) % stops.size()] : stops[(index + 1) % stops.size()];
}

// ---- message boxes ------------------------------------------------------------------

namespace {

struct MessageBoxData {
  std::u16string text;
  std::u16string caption;
  UINT type = 0;
};

constexpr int kTextId = 100;
constexpr int kIconId = 101;

intptr_t MessageBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* data = reinterpret_cast<const MessageBoxData*>(lParam);
      SetDlgItemTextW(dialog, kTextId, data->text.c_str());
      SetWindowTextW(dialog, data->caption.c_str());
      // Fit the box to its text: full work-area width less a margin.
      RECT work{};
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      const int margin = ScaleForDpi(8);
      const int icon = ScaleForDpi(24);
      const int buttonHeight = ScaleForDpi(24);
      const int width = work.right - work.left - 2 * margin;
      const HWND text = GetDlgItem(dialog, kTextId);
      const HDC dc = GetDC(text);
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(text, WM_GETFONT, 0, 0)));
      RECT measure{0, 0, width - icon - 3 * margin, 0};
      DrawTextW(dc, data->text.c_str(), -1, &measure, DT_CALCRECT | DT_WORDBREAK);
      ReleaseDC(text, dc);
      const int captionHeight = ScaleForDpi(20);
      const int textHeight = std::max<int>(icon, measure.bottom);
      const int height = captionHeight + margin + textHeight + margin + buttonHeight + margin;
      MoveWindow(dialog, work.left + margin, work.top + (work.bottom - work.top - height) / 2, width, height, TRUE);
      MoveWindow(GetDlgItem(dialog, kIconId), margin, captionHeight + margin, icon, icon, TRUE);
      MoveWindow(text, 2 * margin + icon, captionHeight + margin, measure.right, textHeight, TRUE);
      const bool yesNo = (data->type & 0x0F) == MB_YESNO;
      const int buttonWidth = ScaleForDpi(60);
      const int buttonTop = height - margin - buttonHeight - 2;
      if (yesNo) {
        MoveWindow(GetDlgItem(dialog, IDYES), width / 2 - buttonWidth - margin / 2, buttonTop, buttonWidth,
                   buttonHeight, TRUE);
        MoveWindow(GetDlgItem(dialog, IDNO), width / 2 + margin / 2, buttonTop, buttonWidth, buttonHeight, TRUE);
      } else {
        MoveWindow(GetDlgItem(dialog, IDOK), (width - buttonWidth) / 2, buttonTop, buttonWidth, buttonHeight, TRUE);
      }
      return TRUE;
    }
    case WM_PAINT: {
      // The caption strip, then the ordinary background.
      PAINTSTRUCT paint{};
      const HDC dc = BeginPaint(dialog, &paint);
      RECT client{};
      GetClientRect(dialog, &client);
      FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
      RECT caption{0, 0, client.right, ScaleForDpi(20)};
      const HBRUSH strip = CreateSolidBrush(RGB(0, 82, 164));
      FillRect(dc, &caption, strip);
      DeleteObject(strip);
      FrameRect(dc, &client, GetSysColorBrush(COLOR_BTNSHADOW));
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
      SetTextColor(dc, RGB(255, 255, 255));
      WCHAR title[128];
      GetWindowTextW(dialog, title, 128);
      caption.left += ScaleForDpi(6);
      DrawTextW(dc, title, -1, &caption, DT_SINGLELINE | DT_VCENTER);
      EndPaint(dialog, &paint);
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDOK || id == IDYES || id == IDNO) EndDialog(dialog, id);
      // Escape: "No" in a yes/no box, "OK" otherwise.
      if (id == IDCANCEL) EndDialog(dialog, GetDlgItem(dialog, IDNO) != nullptr ? IDNO : IDOK);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  MessageBoxData data{std::u16string(WideView(text)), std::u16string(WideView(caption)), type};
  DialogTemplateBuilder builder(WS_POPUP | WS_BORDER | DS_MODALFRAME, 0, 0, 120, 60, data.caption);
  const bool question = (type & 0xF0) == MB_ICONQUESTION;
  builder.Add(WC_STATIC, question ? u"?" : u"!", kIconId, WS_VISIBLE | SS_CENTER | WS_BORDER, 0, 0, 10, 10);
  builder.Add(WC_STATIC, u"", kTextId, WS_VISIBLE | SS_LEFT, 0, 0, 10, 10);
  // The buttons speak the device's language.
  const LANGID language = GetUserDefaultUILanguage();
  if ((type & 0x0F) == MB_YESNO) {
    builder.Add(WC_BUTTON, GetSystemText(SystemText::kYes, language), IDYES,
                WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 10, 10);
    builder.Add(WC_BUTTON, GetSystemText(SystemText::kNo, language), IDNO, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                0, 0, 10, 10);
  } else {
    builder.Add(WC_BUTTON, GetSystemText(SystemText::kOk, language), IDOK,
                WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 10, 10);
  }
  const intptr_t result =
      DialogBoxIndirectParamW(nullptr, builder.Template(), owner, MessageBoxProc, reinterpret_cast<LPARAM>(&data));
  return static_cast<int>(result);
}

}  // namespace platform
