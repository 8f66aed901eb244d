#pragma once
// The viewer's message box: a text, a title and either one OK button or
// Yes and No, shown modally over the viewer's active view window.
#include <cstdint>

#include "runtime/HostServices.h"
#include "shell/WString.h"

namespace shell {

inline constexpr uint32_t kMessageBoxOk = 1;
inline constexpr uint32_t kMessageBoxYesNo = 2;

class MessageBoxDialog final : public runtime::MessageBoxDialog {
 public:
  void SetText(const char16_t* text) override { text_.AssignCString(text); }
  void SetStyle(uint32_t style) override { style_ = style; }
  void SetTitle(const char16_t* title) override { title_.AssignCString(title); }
  // 201 for OK, 206 for Yes, 207 for No.
  int32_t RunModal() override;

 private:
  WString text_;
  WString title_;
  uint32_t style_ = kMessageBoxOk;
};

}  // namespace shell
