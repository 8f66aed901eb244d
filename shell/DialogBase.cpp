#include "shell/DialogBase.h"

#include "platform/Device.h"
#include "platform/HandheldShell.h"
#include "platform/Resources.h"
#include "platform/Window.h"
#include "shell/AppState.h"
#include "shell/Help.h"
#include "shell/HostWindow.h"
#include "shell/Localization.h"
#include "shell/SoftKeyBar.h"

namespace shell {

namespace {

// Room a dialog needs above the input panel to keep the panel up.
constexpr int kRoomAbovePanel = 150;
constexpr platform::UINT kFocusGained = 256;
constexpr platform::UINT kFocusLost = 512;
constexpr platform::UINT kAcceleratorCode = 0x1000;

bool IsSmartphone() { return GetPlatformType() == kPlatformSmartphone; }
bool IsPocketPc() { return GetPlatformType() == kPlatformPocketPc; }

const platform::DLGTEMPLATE* FindTemplate(uint32_t id) {
  const platform::HRSRC resource =
      platform::FindResourceW(App().instance, platform::MAKEINTRESOURCEW(id), platform::RT_DIALOG);
  if (resource == nullptr) return nullptr;
  return static_cast<const platform::DLGTEMPLATE*>(
      platform::LockResource(platform::LoadResource(App().instance, resource)));
}

// The panel's state as the system reports it.
bool ReadPanel(platform::InputPanelInfo* panel) {
  *panel = platform::InputPanelInfo{};
  panel->cbSize = platform::kDeviceInputPanelInfoSize;
  return platform::InputPanelInfoRequest(platform::SPI_GETSIPINFO, 0, panel, 0) != 0;
}

}  // namespace

bool DialogBase::ShowsTwoSoftKeys() const {
  if (softKeys_ == nullptr) return false;
  return IsSmartphone() || (HasLabel(softKeys_) && HasLabel(softKeys_->next));
}

intptr_t DialogBase::OnInitDialog(platform::HWND window) {
  window_ = window;
  const bool twoSoftKeys = ShowsTwoSoftKeys();
  if (!title_.IsEmpty()) platform::SetWindowTextW(window, title_.Chars());
  platform::SetForegroundWindow(window);

  platform::DWORD flags = platform::DIALOG_FULL_SCREEN;
  if (IsPocketPc()) {
    flags |= platform::DIALOG_EMPTY_MENU;
    if (!twoSoftKeys) flags |= platform::DIALOG_DONE_BUTTON;
    bool keepPanel = false;
    if (wantsInputPanel_ != 0) {
      platform::RECT work{};
      platform::SystemParametersInfoW(platform::SPI_GETWORKAREA, 0, &work, 0);
      platform::InputPanelInfo panel{};
      keepPanel = ReadPanel(&panel) && panel.rcSipRect.top - work.top >= kRoomAbovePanel;
    }
    if (keepPanel) {
      panelRaised_ = 1;
    } else {
      flags |= platform::DIALOG_PANEL_DOWN;
    }
  }
  platform::DialogInitInfo init{1, window, flags};
  platform::InitFullScreenDialog(&init);

  const platform::DWORD barFlags =
      IsPocketPc() && wantsInputPanel_ == 0 ? platform::MENUBAR_NO_PANEL_BUTTON : platform::DWORD{0};
  menuBar_ = MakeMenuBar(window, ChooseMenuBarId(softKeys_, !twoSoftKeys), barFlags);
  if (menuBar_ == nullptr) {
    platform::EndDialog(window, platform::IDCANCEL);
    return 0;
  }
  if (twoSoftKeys) UpdateSoftKeys(menuBar_, softKeys_, nullptr);
  // A text field may have taken the focus before the bar existed (the
  // dialog came to the foreground above): Back edits it from the start.
  const platform::HWND focus = platform::GetFocus();
  if (IsSmartphone() && focus != nullptr && platform::IsChild(window, focus) &&
      IsTextEntryControl(platform::GetDlgCtrlID(focus))) {
    platform::SendMessageW(menuBar_, platform::SHCMBM_OVERRIDEKEY, platform::VK_TBACK, kOverrideKey);
  }
  return 0;
}

void DialogBase::SetTitle(const char16_t* text) {
  title_.AssignCString(text);
  if (window_ != nullptr) platform::SetWindowTextW(window_, title_.Chars());
}

intptr_t DialogBase::Run() { return RunModalDialog(*this); }

void DialogBase::Close() {
  if (window_ != nullptr) platform::EndDialog(window_, platform::IDCANCEL);
}

intptr_t DialogBase::DialogProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                platform::LPARAM lParam) {
  if (message == platform::WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<DialogBase*>(lParam);
    platform::SetWindowLongW(window, platform::GWL_USERDATA, lParam);
    if (dialog != nullptr) dialog->OnInitDialog(window);
    return 0;
  }
  auto* dialog = reinterpret_cast<DialogBase*>(platform::GetWindowLongW(window, platform::GWL_USERDATA));
  if (dialog == nullptr) return 0;
  switch (message) {
    case platform::WM_DESTROY:
      dialog->OnDestroy();
      platform::SetWindowLongW(window, platform::GWL_USERDATA, 0);
      dialog->window_ = nullptr;
      dialog->menuBar_ = nullptr;
      return 1;
    case platform::WM_SIZE:
      if (wParam == platform::SIZE_MINIMIZED) {
        EndDialogWithPanel(window, platform::IDCANCEL);
        return 0;
      }
      if (wParam == platform::SIZE_MAXSHOW || wParam == platform::SIZE_MAXHIDE) return 0;
      dialog->OnSize(wParam, platform::LOWORD(static_cast<platform::DWORD>(lParam)),
                     platform::HIWORD(static_cast<platform::DWORD>(lParam)));
      return 1;
    case platform::WM_PAINT: return dialog->OnPaint();
    case platform::WM_ERASEBKGND:
      return dialog->OnEraseBkgnd(reinterpret_cast<platform::HDC>(wParam)) != 0 ? 1 : 0;
    case platform::WM_SETTINGCHANGE: dialog->OnSettingChange(wParam, lParam); return 1;
    case platform::WM_WINDOWPOSCHANGED: {
      const auto* position = reinterpret_cast<const platform::WINDOWPOS*>(lParam);
      if (position != nullptr && (position->flags & platform::SWP_SHOWWINDOW) != 0 && dialog->panelRaised_ != 0) {
        dialog->panelRaised_ = 0;
        if (App().splashShowing == 0 && !platform::IsInputPanelShown()) platform::SetInputPanelShown(true);
      }
      return 1;
    }
    case platform::WM_NOTIFY: return dialog->OnNotify(wParam, lParam);
    case platform::WM_HELP: ShowHelp(); return 1;
    case platform::WM_KEYDOWN:
      return dialog->OnKeyDown(wParam, platform::LOWORD(static_cast<platform::DWORD>(lParam)),
                               platform::HIWORD(static_cast<platform::DWORD>(lParam)));
    case platform::WM_COMMAND: {
      if (dialog->OnCommand(wParam, lParam)) return 0;
      const int id = platform::LOWORD(static_cast<platform::DWORD>(wParam));
      const platform::UINT code = platform::HIWORD(static_cast<platform::DWORD>(wParam));
      if ((id == platform::IDOK || id == platform::IDCANCEL) && (code == 0 || code == kAcceleratorCode)) {
        EndDialogWithPanel(window, id);
        return 1;
      }
      if (IsSmartphone() && dialog->menuBar_ != nullptr && dialog->IsTextEntryControl(id)) {
        // While a text field has the focus, Back deletes a character.
        if (code == kFocusGained) {
          platform::SendMessageW(dialog->menuBar_, platform::SHCMBM_OVERRIDEKEY, platform::VK_TBACK, kOverrideKey);
        } else if (code == kFocusLost) {
          platform::SendMessageW(dialog->menuBar_, platform::SHCMBM_OVERRIDEKEY, platform::VK_TBACK, kRestoreKey);
        }
      }
      return 0;
    }
    case platform::WM_TIMER: dialog->OnTimer(wParam); return 0;
    case platform::WM_HSCROLL:
      return dialog->OnHScroll(platform::LOWORD(static_cast<platform::DWORD>(wParam)),
                               static_cast<int16_t>(platform::HIWORD(static_cast<platform::DWORD>(wParam))),
                               reinterpret_cast<platform::HWND>(lParam));
    case platform::WM_HOTKEY:
      if (IsSmartphone() && platform::HIWORD(static_cast<platform::DWORD>(lParam)) == platform::VK_TBACK) {
        platform::SendBackKeyToFocus(message, wParam, lParam);
        return 1;
      }
      return 0;
    default: return 0;
  }
}

intptr_t RunModalDialog(DialogBase& dialog) {
  ShellViewer* viewer = App().viewer;
  if (viewer != nullptr) viewer->BeginModalUi();
  const HostWindow* owner = ActiveViewWindow();
  const platform::DLGTEMPLATE* dialogTemplate = FindTemplate(dialog.GetTemplateId());
  intptr_t result = -1;
  if (dialogTemplate != nullptr) {
    result = platform::DialogBoxIndirectParamW(App().instance, dialogTemplate,
                                               owner != nullptr ? owner->Handle() : nullptr, &DialogBase::DialogProc,
                                               reinterpret_cast<platform::LPARAM>(&dialog));
  }
  if (viewer != nullptr) viewer->EndModalUi();
  if (result == platform::IDOK) return kResultOk;
  if (result == platform::IDCANCEL) return kResultCancel;
  return result;
}

platform::HWND CreateModelessDialog(DialogBase& dialog) {
  const platform::DLGTEMPLATE* dialogTemplate = FindTemplate(dialog.GetTemplateId());
  if (dialogTemplate == nullptr) return nullptr;
  return platform::CreateDialogIndirectParamW(App().instance, dialogTemplate, nullptr, &DialogBase::DialogProc,
                                              reinterpret_cast<platform::LPARAM>(&dialog));
}

void EndDialogWithPanel(platform::HWND window, intptr_t code) {
  if (IsPocketPc() && platform::IsInputPanelShown()) platform::SetInputPanelShown(false);
  platform::EndDialog(window, code);
}

}  // namespace shell
