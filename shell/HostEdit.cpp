#include "shell/HostEdit.h"

#include <algorithm>
#include <new>

#include "platform/Gdi.h"
#include "platform/Window.h"
#include "shell/AppState.h"

namespace shell {

HostEdit* HostEdit::Create(shell::HostWindow* parent) {
  if (parent == nullptr) return nullptr;
  auto* edit = new (std::nothrow) HostEdit();
  if (edit == nullptr) return nullptr;
  if (!edit->Make(platform::WC_EDIT, u"", kEditStyle, parent->Handle())) {
    delete edit;
    return nullptr;
  }
  edit->original_ = reinterpret_cast<platform::WNDPROC>(platform::SetWindowLongW(
      edit->Handle(), platform::GWL_WNDPROC, reinterpret_cast<platform::LONG_PTR>(&HostEdit::SubclassProc)));
  edit->RemakeFont();
  return edit;
}

HostEdit::~HostEdit() {
  if (Handle() != nullptr && original_ != nullptr) {
    platform::SendMessageW(Handle(), platform::WM_SETFONT, 0, 0);
    platform::SetWindowLongW(Handle(), platform::GWL_WNDPROC, reinterpret_cast<platform::LONG_PTR>(original_));
  }
  if (font_ != nullptr) platform::DeleteObject(font_);
  font_ = nullptr;
}

void HostEdit::SetBounds(const runtime::HostRect& rect) {
  shell::HostWindow::SetBounds(rect);
  RemakeFont();
}

void HostEdit::RemakeFont() {
  platform::RECT bounds{};
  platform::GetWindowRect(Handle(), &bounds);
  platform::LOGFONTW logical{};
  // Twelve seventeenths of the box, rounded toward 0.
  logical.lfHeight = static_cast<platform::LONG>((int64_t{bounds.bottom} - bounds.top) * 12 / 17);
  logical.lfWeight = platform::FW_NORMAL;
  logical.lfPitchAndFamily = platform::FF_SWISS;
  std::copy_n(u"Arial", 6, logical.lfFaceName);
  const platform::HFONT font = platform::CreateFontIndirectW(&logical);
  if (font == nullptr) return;
  platform::SendMessageW(Handle(), platform::WM_SETFONT, reinterpret_cast<platform::WPARAM>(font), platform::TRUE);
  if (font_ != nullptr) platform::DeleteObject(font_);
  font_ = font;
}

platform::LRESULT HostEdit::SubclassProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                         platform::LPARAM lParam) {
  auto* wrapper = shell::HostWindow::FromHandle(window);
  auto* edit = dynamic_cast<HostEdit*>(wrapper);
  if (edit == nullptr || edit->original_ == nullptr) return platform::DefWindowProcW(window, message, wParam, lParam);
  if (message == platform::WM_KEYDOWN && wParam == platform::VK_RETURN) {
    if (App().viewer != nullptr) App().viewer->GoToTypedPage();
    return 0;
  }
  // The Enter character is swallowed, so that the box stays one line.
  if (message == platform::WM_CHAR && wParam == u'\r') return 0;
  return platform::CallWindowProcW(edit->original_, window, message, wParam, lParam);
}

}  // namespace shell
