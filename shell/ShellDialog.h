#pragma once
// A shell dialog as the viewer sees it: the dialog base (template, soft
// keys, modal run) joined to one of the runtime's dialog interfaces, with
// the texts the viewer sets by text id.
#include <algorithm>
#include <cstdint>

#include "runtime/HostDialogs.h"
#include "shell/DialogBase.h"
#include "shell/DialogLayout.h"

namespace shell {

template <class Interface>
class ShellDialog : public DialogBase, public Interface {
 public:
  ShellDialog(const DialogTexts::Slot* slots, int count) : texts_(slots, count) {}

  void SetTitle(const char16_t* title) override { DialogBase::SetTitle(title); }
  void SetItemText(uint32_t textId, const char16_t* text) override {
    if (texts_.Set(textId, text, Window()) && Window() != nullptr) OnTextChanged(textId);
  }
  void SetSoftKeys(const runtime::MenuItemDesc* keys) override { DialogBase::SetSoftKeys(keys); }
  int32_t RunModal() override {
    const intptr_t result = DialogBase::Run();
    return static_cast<int32_t>(std::clamp<intptr_t>(result, INT32_MIN, INT32_MAX));
  }
  void Close() override { DialogBase::Close(); }

 protected:
  // A text changed while the dialog is open (its control already shows it).
  virtual void OnTextChanged(uint32_t) {}
  const WString& Text(uint32_t textId) const { return texts_.Get(textId); }
  DialogTexts& Texts() { return texts_; }

 private:
  DialogTexts texts_;
};

}  // namespace shell
