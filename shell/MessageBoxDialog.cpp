#include "shell/MessageBoxDialog.h"

#include "platform/Dialog.h"
#include "shell/AppState.h"
#include "shell/DialogBase.h"
#include "shell/HostWindow.h"

namespace shell {

int32_t MessageBoxDialog::RunModal() {
  ShellViewer* viewer = App().viewer;
  if (viewer != nullptr) viewer->BeginModalUi();
  const HostWindow* owner = ActiveViewWindow();
  const bool yesNo = style_ == kMessageBoxYesNo;
  const int answer = platform::MessageBoxW(owner != nullptr ? owner->Handle() : nullptr, text_.Chars(),
                                           title_.Chars(), yesNo ? platform::MB_YESNO : platform::MB_OK);
  if (viewer != nullptr) viewer->EndModalUi();
  if (answer == platform::IDYES) return static_cast<int32_t>(kResultYes);
  if (answer == platform::IDNO) return static_cast<int32_t>(kResultNo);
  return static_cast<int32_t>(yesNo ? kResultNo : kResultOk);
}

}  // namespace shell
