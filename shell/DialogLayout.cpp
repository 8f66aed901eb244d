#include "shell/DialogLayout.h"

#include <algorithm>

#include "platform/Controls.h"
#include "platform/Dialog.h"
#include "platform/Gdi.h"
#include "platform/Window.h"
#include "shell/DialogBase.h"
#include "shell/Localization.h"

namespace shell {

namespace {

// Measures text in the control's font: a DC with that font selected.
class ControlTextDc {
 public:
  explicit ControlTextDc(platform::HWND control) : control_(control), dc_(platform::GetDC(control)) {
    const auto font = reinterpret_cast<platform::HFONT>(platform::SendMessageW(control, platform::WM_GETFONT, 0, 0));
    if (dc_ != nullptr && font != nullptr) old_ = platform::SelectObject(dc_, font);
  }
  ~ControlTextDc() {
    if (dc_ == nullptr) return;
    if (old_ != nullptr) platform::SelectObject(dc_, old_);
    platform::ReleaseDC(control_, dc_);
  }
  ControlTextDc(const ControlTextDc&) = delete;
  ControlTextDc& operator=(const ControlTextDc&) = delete;
  platform::HDC Dc() const { return dc_; }

 private:
  platform::HWND control_;
  platform::HDC dc_;
  platform::HGDIOBJ old_ = nullptr;
};

void ReadWindowText(platform::HWND control, WString& out) {
  out.Clear();
  const int length = platform::GetWindowTextLengthW(control);
  if (length <= 0) return;
  char16_t* buffer = out.Resize(static_cast<uint32_t>(length));
  if (buffer == nullptr) return;
  platform::GetWindowTextW(control, buffer, length + 1);
  out.TrimToTerminator();
}

}  // namespace

platform::RECT ControlRect(platform::HWND dialog, int id) {
  platform::RECT rect{};
  const platform::HWND control = platform::GetDlgItem(dialog, id);
  if (control == nullptr) return rect;
  platform::GetWindowRect(control, &rect);
  platform::MapWindowPoints(nullptr, dialog, reinterpret_cast<platform::POINT*>(&rect), 2);
  return rect;
}

void PlaceControl(platform::HWND dialog, int id, int x, int y, int width, int height) {
  const platform::HWND control = platform::GetDlgItem(dialog, id);
  if (control != nullptr) platform::MoveWindow(control, x, y, std::max(0, width), std::max(0, height), 1);
}

platform::SIZE TextExtent(platform::HWND control) {
  platform::SIZE size{};
  WString text;
  ReadWindowText(control, text);
  ControlTextDc dc(control);
  if (dc.Dc() == nullptr) return size;
  if (text.IsEmpty()) {
    platform::TEXTMETRICW metrics{};
    if (platform::GetTextMetricsW(dc.Dc(), &metrics)) size.cy = metrics.tmHeight;
    return size;
  }
  platform::GetTextExtentPoint32W(dc.Dc(), text.Chars(), static_cast<int>(text.Length()), &size);
  return size;
}

int WrappedTextHeight(platform::HWND control, int width) {
  WString text;
  ReadWindowText(control, text);
  if (text.IsEmpty()) return LineHeight(control);
  ControlTextDc dc(control);
  if (dc.Dc() == nullptr) return 0;
  platform::RECT rect{0, 0, std::max(1, width), 0};
  platform::DrawTextW(dc.Dc(), text.Chars(), static_cast<int>(text.Length()), &rect,
                      platform::DT_CALCRECT | platform::DT_WORDBREAK | platform::DT_NOPREFIX);
  return rect.bottom - rect.top;
}

int LineHeight(platform::HWND control) {
  ControlTextDc dc(control);
  platform::TEXTMETRICW metrics{};
  if (dc.Dc() == nullptr || !platform::GetTextMetricsW(dc.Dc(), &metrics)) return 12;
  return metrics.tmHeight;
}

void ReadControlText(platform::HWND dialog, int id, uint32_t limit, WString& out) {
  out.Clear();
  char16_t* buffer = out.Resize(limit);
  if (buffer == nullptr) return;
  platform::GetDlgItemTextW(dialog, id, buffer, static_cast<int>(limit) + 1);
  out.TrimToTerminator();
}

platform::SIZE ClientSize(platform::HWND window) {
  platform::RECT client{};
  platform::GetClientRect(window, &client);
  return platform::SIZE{client.right - client.left, client.bottom - client.top};
}

bool EndOnSoftKey(platform::HWND dialog, platform::WPARAM wParam, uint32_t okId, uint32_t cancelId) {
  const uint32_t id = platform::LOWORD(static_cast<platform::DWORD>(wParam));
  if (id != okId && (cancelId == 0 || id != cancelId)) return false;
  EndDialogWithPanel(dialog, id == okId ? platform::IDOK : platform::IDCANCEL);
  return true;
}

void FocusField(platform::HWND dialog, int id) {
  const platform::HWND field = platform::GetDlgItem(dialog, id);
  if (field == nullptr) return;
  platform::SetFocus(field);
  platform::SendMessageW(field, platform::EM_SETSEL, 0, -1);
  platform::SendMessageW(field, platform::EM_SCROLLCARET, 0, 0);
}

DialogFont::~DialogFont() {
  if (font_ != nullptr) platform::DeleteObject(font_);
}

void DialogFont::Apply(platform::HWND dialog, const int* ids, int count) {
  // The controls share the dialog's font: the first one decides, the
  // others take the same replacement.
  for (int i = 0; i < count; ++i) {
    const platform::HWND control = platform::GetDlgItem(dialog, ids[i]);
    if (control == nullptr) continue;
    if (font_ == nullptr) {
      if (!FixDialogFont(dialog, control, &font_, kDialogFontMask)) return;
    } else {
      platform::SendMessageW(control, platform::WM_SETFONT, reinterpret_cast<platform::WPARAM>(font_), 0);
    }
  }
}

DialogTexts::DialogTexts(const Slot* slots, int count) : count_(std::min(count, kMaxSlots)) {
  for (int i = 0; i < count_; ++i) slots_[i] = slots[i];
}

int DialogTexts::Find(uint32_t textId) const {
  for (int i = 0; i < count_; ++i) {
    if (slots_[i].textId == textId) return i;
  }
  return -1;
}

bool DialogTexts::Set(uint32_t textId, const char16_t* text, platform::HWND window) {
  const int slot = Find(textId);
  if (slot < 0 || !texts_[slot].AssignCString(text)) return false;
  if (window != nullptr && slots_[slot].controlId != 0) {
    platform::SetDlgItemTextW(window, slots_[slot].controlId, texts_[slot].Chars());
  }
  return true;
}

const WString& DialogTexts::Get(uint32_t textId) const {
  static const WString kEmpty;
  const int slot = Find(textId);
  return slot < 0 ? kEmpty : texts_[slot];
}

void DialogTexts::ShowAll(platform::HWND window) const {
  for (int i = 0; i < count_; ++i) {
    if (slots_[i].controlId != 0) platform::SetDlgItemTextW(window, slots_[i].controlId, texts_[i].Chars());
  }
}

}  // namespace shell
