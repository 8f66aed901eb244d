#include "shell/MessageBoxDialog.h"

#include "platform/Dialog.h"
#include "platform/HandheldShell.h"
#include "shell/AppState.h"
#include "shell/DialogBase.h"
#include "shell/HostWindow.h"

namespace shell {

int32_t MessageBoxDialog::RunModal() {
  ShellViewer* viewer = App().viewer;
  if (viewer != nullptr) viewer->BeginModalUi();
  const HostWindow* owner = ActiveViewWindow();
  const bool yesNo = style_ == kMessageBoxYesNo;
  // The box needs the whole screen: the input panel goes down.
  if (platform::IsInputPanelShown()) platform::SetInputPanelShown(false);
  const platform::UINT type = yesNo ? platform::MB_YESNO | platform::MB_ICONQUESTION
                                    : platform::MB_OK | platform::MB_ICONWARNING;
  const int answer = platform::MessageBoxW(owner != nullptr ? owner->Handle() : nullptr, text_.Chars(),
                                           title_.Chars(), type);
  if (viewer != nullptr) viewer->EndModalUi();
  if (answer == platform::IDYES) return static_cast<int32_t>(kResultYes);
  if (answer == platform::IDNO) return static_cast<int32_t>(kResultNo);
  return static_cast<int32_t>(yesNo ? kResultNo : kResultOk);
}

}  // namespace shell
