#pragma once
// The shell's HostServices: the one object through which the viewer and
// the library's bitmap code reach the platform (windows and controls, menu
// bars, timers, bitmaps, cursors, settings, recent files, measurements).
// Every Create operation returns a complete object or null; nothing is
// thrown across it. The application owns it for the whole run.
#include <cstdint>

#include "platform/Types.h"
#include "runtime/HostServices.h"
#include "shell/WString.h"

namespace shell {

class SplashPopup;

class HostServices final : public runtime::HostServices {
 public:
  HostServices();
  ~HostServices() override;
  HostServices(const HostServices&) = delete;
  HostServices& operator=(const HostServices&) = delete;

  void ShowSplash(uint32_t milliseconds, const char16_t* caption) override;
  void Quit() override;
  runtime::TextBoxDialog* CreateTextBox() override;
  void DestroyTextBox(runtime::TextBoxDialog* dialog) override;
  runtime::ListDialog* CreateListDialog(bool showBrowse) override;
  void DestroyListDialog(runtime::ListDialog* dialog) override;
  runtime::FileBrowserDialog* CreateFileBrowser() override;
  void DestroyFileBrowser(runtime::FileBrowserDialog* dialog) override;
  runtime::FindDialog* CreateFindDialog() override;
  void DestroyFindDialog(runtime::FindDialog* dialog) override;
  runtime::GoToPageDialog* CreateGoToPageDialog() override;
  void DestroyGoToPageDialog(runtime::GoToPageDialog* dialog) override;
  runtime::ZoomDialog* CreateZoomDialog() override;
  void DestroyZoomDialog(runtime::ZoomDialog* dialog) override;
  runtime::TextEntryDialog* CreatePasswordDialog() override;
  void DestroyPasswordDialog(runtime::TextEntryDialog* dialog) override;
  runtime::PropertiesDialog* CreatePropertiesDialog() override;
  void DestroyPropertiesDialog(runtime::PropertiesDialog* dialog) override;
  runtime::MessageBoxDialog* CreateMessageBox() override;
  void DestroyMessageBox(runtime::MessageBoxDialog* box) override;
  runtime::HostWindow* CreateViewWindow(runtime::HostWindow* parent, bool scrollBars) override;
  void DestroyWindow(runtime::HostWindow* window) override;
  runtime::HostTreeView* CreateTreeView(runtime::HostWindow* parent) override;
  void DestroyTreeView(runtime::HostTreeView* tree) override;
  void SetActiveViewText() override;
  void SetPendingText(const char16_t* text) override;
  void CreateMenuBar(const runtime::MenuItemDesc* softKeys) override;
  runtime::HostWindow* CreateButton(runtime::HostWindow* parent) override;
  void DestroyButtonWindow(runtime::HostWindow* window) override;
  runtime::HostEdit* CreateEdit(runtime::HostWindow* parent) override;
  void DestroyEdit(runtime::HostEdit* edit) override;
  runtime::HostBitmap* CreateBitmap(int32_t width, int32_t height) override;
  void DestroyBitmap(runtime::HostBitmap* bitmap) override;
  runtime::HostTimer* CreateTimer(uint32_t milliseconds, void* context, runtime::HostTimerCallback callback) override;
  void DestroyTimer(runtime::HostTimer* timer) override;
  int32_t GetWorkArea(runtime::HostRect* area) override;
  uint32_t GetLanguageIndex() override;
  bool IsInputPending() override;
  void SetOemIgnoreApp(uint32_t oldPenTool, uint32_t newPenTool) override;
  void AddRecentFile(const char16_t* path) override;
  const char16_t* GetRecentFile(uint32_t index) override;
  void SetBusyCursor(bool on) override;
  void BeginBusy(uint8_t reason) override;
  void EndBusy(uint8_t reason) override;
  const char16_t* GetVersionText(uint32_t unused) override;
  uint32_t GetMemoryBudget() override;
  int32_t GetScreenDpi() override;
  bool GetInitialZoom(uint32_t* zoomMode, float* zoomFactor) override;
  bool GetKeepToolbarInFullScreen() override;

  // Height of the last menu bar CreateMenuBar made; 0 before the first.
  int32_t MenuBarHeight() const { return menuBarHeight_; }
  // What ShowSplash was last asked to show.
  uint32_t SplashMilliseconds() const { return splashMilliseconds_; }
  const char16_t* SplashCaption() const { return splashCaption_.Chars(); }
  // The splash popup last shown, or null.
  SplashPopup* Splash() const { return splash_; }

 private:
  platform::HCURSOR waitCursor_ = nullptr;
  platform::HCURSOR arrowCursor_ = nullptr;
  WString recentFile_;
  WString versionText_;
  WString windowTitle_;
  uint32_t splashMilliseconds_ = 0;
  WString splashCaption_;
  int32_t menuBarHeight_ = 0;
  SplashPopup* splash_ = nullptr;
};

// The product and engine versions in the About text.
inline constexpr char16_t kProductVersion[] = u"2.5.0.1";
inline constexpr char16_t kEngineVersion[] = u"1.0.0";

}  // namespace shell
