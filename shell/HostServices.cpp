#include "shell/HostServices.h"

#include <new>

#include "platform/Device.h"
#include "platform/Gdi.h"
#include "platform/HandheldShell.h"
#include "platform/Resources.h"
#include "platform/Window.h"
#include "shell/AppState.h"
#include "shell/FileBrowserDialog.h"
#include "shell/FindDialog.h"
#include "shell/GoToPageDialog.h"
#include "shell/HostEdit.h"
#include "shell/HostTreeView.h"
#include "shell/HostWindow.h"
#include "shell/ListDialog.h"
#include "shell/Localization.h"
#include "shell/MessageBoxDialog.h"
#include "shell/OffscreenBitmap.h"
#include "shell/PasswordDialog.h"
#include "shell/PropertiesDialog.h"
#include "shell/Settings.h"
#include "shell/SplashPopup.h"
#include "shell/SoftKeyBar.h"
#include "shell/TextBoxDialog.h"
#include "shell/Timer.h"
#include "shell/ZoomDialog.h"

namespace shell {

namespace {

constexpr uint8_t kModalReason = 0;
constexpr platform::UINT kInputKinds = platform::QS_KEY | platform::QS_MOUSEMOVE | platform::QS_MOUSEBUTTON;

HostWindow* OwnWindow(runtime::HostWindow* window) { return dynamic_cast<HostWindow*>(window); }

int32_t BarHeight(platform::HWND bar) {
  platform::RECT rect{};
  platform::GetWindowRect(bar, &rect);
  return rect.bottom - rect.top;
}

}  // namespace

HostServices::HostServices() {
  waitCursor_ = platform::LoadCursorW(nullptr, platform::IDC_WAIT);
  arrowCursor_ = platform::LoadCursorW(nullptr, platform::IDC_ARROW);
  constexpr char16_t kProduct[] = u"Vantrel Folvane Zo ";
  constexpr char16_t kLineBreak[] = u"\r\n";
  constexpr char16_t kEngine[] = u"Vantrel Folvane Core Engine ";
  versionText_.AssignCString(kProduct);
  versionText_.Append(kProductVersion, sizeof kProductVersion / sizeof(char16_t) - 1);
  versionText_.Append(kLineBreak, 2);
  versionText_.Append(kEngine, sizeof kEngine / sizeof(char16_t) - 1);
  versionText_.Append(kEngineVersion, sizeof kEngineVersion / sizeof(char16_t) - 1);
}

HostServices::~HostServices() { delete splash_; }

void HostServices::ShowSplash(uint32_t milliseconds, const char16_t* caption) {
  splashMilliseconds_ = milliseconds;
  splashCaption_.AssignCString(caption);
  delete splash_;
  splash_ = new (std::nothrow) SplashPopup();
  if (splash_ != nullptr && !splash_->Show(milliseconds, caption)) {
    delete splash_;
    splash_ = nullptr;
  }
}

void HostServices::Quit() { platform::PostQuitMessage(0); }

// Each dialog is a plain heap object; null when memory runs out.
runtime::TextBoxDialog* HostServices::CreateTextBox() { return new (std::nothrow) TextBoxDialog(); }
void HostServices::DestroyTextBox(runtime::TextBoxDialog* dialog) { delete dialog; }
runtime::ListDialog* HostServices::CreateListDialog(bool showBrowse) {
  return new (std::nothrow) ListDialog(showBrowse);
}
void HostServices::DestroyListDialog(runtime::ListDialog* dialog) { delete dialog; }
runtime::FileBrowserDialog* HostServices::CreateFileBrowser() { return new (std::nothrow) FileBrowserDialog(); }
void HostServices::DestroyFileBrowser(runtime::FileBrowserDialog* dialog) { delete dialog; }
runtime::FindDialog* HostServices::CreateFindDialog() { return new (std::nothrow) FindDialog(); }
void HostServices::DestroyFindDialog(runtime::FindDialog* dialog) { delete dialog; }
runtime::GoToPageDialog* HostServices::CreateGoToPageDialog() { return new (std::nothrow) GoToPageDialog(); }
void HostServices::DestroyGoToPageDialog(runtime::GoToPageDialog* dialog) { delete dialog; }
runtime::ZoomDialog* HostServices::CreateZoomDialog() { return new (std::nothrow) ZoomDialog(); }
void HostServices::DestroyZoomDialog(runtime::ZoomDialog* dialog) { delete dialog; }
runtime::TextEntryDialog* HostServices::CreatePasswordDialog() { return new (std::nothrow) PasswordDialog(); }
void HostServices::DestroyPasswordDialog(runtime::TextEntryDialog* dialog) { delete dialog; }
runtime::PropertiesDialog* HostServices::CreatePropertiesDialog() { return new (std::nothrow) PropertiesDialog(); }
void HostServices::DestroyPropertiesDialog(runtime::PropertiesDialog* dialog) { delete dialog; }

runtime::MessageBoxDialog* HostServices::CreateMessageBox() { return new (std::nothrow) MessageBoxDialog(); }

void HostServices::DestroyMessageBox(runtime::MessageBoxDialog* box) { delete box; }

runtime::HostWindow* HostServices::CreateViewWindow(runtime::HostWindow* parent, bool scrollBars) {
  HostWindow* owner = nullptr;
  if (parent != nullptr) {
    owner = OwnWindow(parent);
    if (owner == nullptr) return nullptr;
  }
  return HostWindow::CreateView(owner, scrollBars);
}

void HostServices::DestroyWindow(runtime::HostWindow* window) { delete window; }

runtime::HostTreeView* HostServices::CreateTreeView(runtime::HostWindow* parent) {
  return HostTreeView::Create(OwnWindow(parent));
}

void HostServices::DestroyTreeView(runtime::HostTreeView* tree) { delete tree; }

void HostServices::SetActiveViewText() {
  HostWindow* active = ActiveViewWindow();
  if (active != nullptr && !windowTitle_.IsEmpty()) active->SetText(windowTitle_.Chars());
}

void HostServices::SetPendingText(const char16_t* text) { windowTitle_.AssignCString(text); }

void HostServices::CreateMenuBar(const runtime::MenuItemDesc* softKeys) {
  HostWindow* active = ActiveViewWindow();
  if (active == nullptr) return;
  AppState& app = App();
  const platform::HWND window = active->Handle();
  const platform::HWND old = platform::FindMenuBar(window);
  bool replacedFullScreenBar = false;
  if (old != nullptr) {
    if (app.backKeyState == kBackKeyInstalled) {
      platform::SendMessageW(old, platform::SHCMBM_OVERRIDEKEY, platform::VK_TBACK, kRestoreKey);
      app.backKeyState = kBackKeyNone;
    }
    if (old == app.fullScreenMenuBar) {
      replacedFullScreenBar = true;
      app.fullScreenMenuBar = nullptr;
    }
    platform::DestroyWindow(old);
  }
  const platform::HWND bar = MakeMenuBar(window, ChooseMenuBarId(softKeys, false), 0);
  if (bar == nullptr) return;
  if (app.backKeyState == kBackKeyPending) {
    platform::SendMessageW(bar, platform::SHCMBM_OVERRIDEKEY, platform::VK_TBACK, kOverrideKey);
    app.backKeyState = kBackKeyInstalled;
  }
  menuBarHeight_ = BarHeight(bar);
  app.menuBarHeight = menuBarHeight_;
  if (softKeys != nullptr) UpdateSoftKeys(bar, softKeys, active);
  if (replacedFullScreenBar) {
    HostWindow* fullScreen = HostWindow::FromHandle(app.fullScreenWindow);
    if (fullScreen != nullptr) fullScreen->SetFullScreenMenuBar(bar);
  }
}

runtime::HostWindow* HostServices::CreateButton(runtime::HostWindow* parent) {
  return HostWindow::CreateButton(OwnWindow(parent));
}

void HostServices::DestroyButtonWindow(runtime::HostWindow* window) { delete window; }

runtime::HostEdit* HostServices::CreateEdit(runtime::HostWindow* parent) { return HostEdit::Create(OwnWindow(parent)); }

void HostServices::DestroyEdit(runtime::HostEdit* edit) { delete edit; }

runtime::HostBitmap* HostServices::CreateBitmap(int32_t width, int32_t height) {
  return OffscreenBitmap::Create(width, height);
}

void HostServices::DestroyBitmap(runtime::HostBitmap* bitmap) {
  // Every bitmap handed out here is an off-screen bitmap.
  delete static_cast<OffscreenBitmap*>(bitmap);
}

runtime::HostTimer* HostServices::CreateTimer(uint32_t milliseconds, void* context,
                                              runtime::HostTimerCallback callback) {
  return Timer::Create(milliseconds, context, callback);
}

void HostServices::DestroyTimer(runtime::HostTimer* timer) { delete timer; }

int32_t HostServices::GetWorkArea(runtime::HostRect* area) {
  platform::RECT work{};
  platform::SystemParametersInfoW(platform::SPI_GETWORKAREA, 0, &work, 0);
  platform::InputPanelInfo panel{};
  panel.cbSize = platform::kDeviceInputPanelInfoSize;
  if (platform::InputPanelInfoRequest(platform::SPI_GETSIPINFO, 0, &panel, 0) &&
      (panel.fdwFlags & platform::SIPF_ON) != 0) {
    work.bottom -= panel.rcSipRect.bottom - panel.rcSipRect.top;
  }
  if (GetPlatformType() == kPlatformPocketPc) work.bottom -= menuBarHeight_;
  if (area != nullptr) *area = runtime::HostRect{work.left, work.top, work.right, work.bottom};
  return work.bottom;
}

uint32_t HostServices::GetLanguageIndex() { return shell::GetLanguageIndex(); }

bool HostServices::IsInputPending() {
  return platform::HIWORD(platform::GetQueueStatus(kInputKinds)) != 0;
}

void HostServices::SetOemIgnoreApp(uint32_t oldPenTool, uint32_t newPenTool) {
  shell::SetOemIgnoreApp(oldPenTool, newPenTool);
}

void HostServices::AddRecentFile(const char16_t* path) {
  WString text;
  if (path == nullptr || !text.AssignCString(path)) return;
  shell::AddRecentFile(text);
}

const char16_t* HostServices::GetRecentFile(uint32_t index) {
  recentFile_.Clear();
  if (index < kRecentFileCount) ReadWriteRecentFile(index, recentFile_, false);
  return recentFile_.Chars();
}

void HostServices::SetBusyCursor(bool on) { platform::SetCursor(on ? waitCursor_ : arrowCursor_); }

void HostServices::BeginBusy(uint8_t reason) {
  if (reason != kModalReason) return;
  ++App().modalCount;
  HostWindow* active = ActiveViewWindow();
  if (active != nullptr) active->SuspendFullScreen();
}

void HostServices::EndBusy(uint8_t reason) {
  if (reason != kModalReason) return;
  // An unpaired end would keep full screen away for good.
  if (App().modalCount > 0) --App().modalCount;
  HostWindow* active = ActiveViewWindow();
  if (active != nullptr) active->ResumeFullScreen();
}

const char16_t* HostServices::GetVersionText(uint32_t) { return versionText_.Chars(); }

uint32_t HostServices::GetMemoryBudget() { return runtime::kHostMemoryBudget; }

int32_t HostServices::GetScreenDpi() {
  const platform::HDC screen = platform::GetDC(nullptr);
  const int dpi = platform::GetDeviceCaps(screen, platform::LOGPIXELSX);
  platform::ReleaseDC(nullptr, screen);
  return dpi;
}

bool HostServices::GetInitialZoom(uint32_t* zoomMode, float* zoomFactor) {
  return zoomMode != nullptr && zoomFactor != nullptr && ReadInitialZoom(zoomMode, zoomFactor);
}

bool HostServices::GetKeepToolbarInFullScreen() { return ReadKeepToolbarInFullScreen(); }

}  // namespace shell
