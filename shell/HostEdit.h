#pragma once
// The page-number box: a centred one-line edit field with its own font,
// sized to the box, where Enter goes to the typed page.
#include "runtime/HostControls.h"
#include "shell/HostWindow.h"

namespace shell {

inline constexpr platform::DWORD kEditStyle = 0x50010085;  // child, visible, tab stop, centred, multi-line, auto scroll

class HostEdit final : public HostControl<runtime::HostEdit> {
 public:
  static HostEdit* Create(shell::HostWindow* parent);
  // Deletes the font, then the window.
  ~HostEdit() override;

  // Places the box and makes its font again for the new height.
  void SetBounds(const runtime::HostRect& rect) override;
  platform::HFONT Font() const { return font_; }
  const char16_t* TypedText() override { return GetText(); }

 private:
  HostEdit() = default;
  void RemakeFont();
  static platform::LRESULT SubclassProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                        platform::LPARAM lParam);

  platform::HFONT font_ = nullptr;
  platform::WNDPROC original_ = nullptr;
};

}  // namespace shell
