#pragma once
// A host for tests: every operation does nothing or returns null, except
// what a test sets. Tests derive from it to record what they need.
#include <string>
#include <vector>

#include "runtime/HostServices.h"

namespace testsupport {

class FakeHostServices : public runtime::HostServices {
 public:
  uint32_t memoryBudget = runtime::kHostMemoryBudget;
  bool inputPending = false;
  uint32_t languageIndex = 0;

  void ShowSplash(uint32_t, const char16_t*) override {}
  void Quit() override {}
  runtime::TextBoxDialog* CreateTextBox() override { return nullptr; }
  void DestroyTextBox(runtime::TextBoxDialog*) override {}
  runtime::ListDialog* CreateListDialog(bool) override { return nullptr; }
  void DestroyListDialog(runtime::ListDialog*) override {}
  runtime::FileBrowserDialog* CreateFileBrowser() override { return nullptr; }
  void DestroyFileBrowser(runtime::FileBrowserDialog*) override {}
  runtime::FindDialog* CreateFindDialog() override { return nullptr; }
  void DestroyFindDialog(runtime::FindDialog*) override {}
  runtime::GoToPageDialog* CreateGoToPageDialog() override { return nullptr; }
  void DestroyGoToPageDialog(runtime::GoToPageDialog*) override {}
  runtime::ZoomDialog* CreateZoomDialog() override { return nullptr; }
  void DestroyZoomDialog(runtime::ZoomDialog*) override {}
  runtime::TextEntryDialog* CreatePasswordDialog() override { return nullptr; }
  void DestroyPasswordDialog(runtime::TextEntryDialog*) override {}
  runtime::PropertiesDialog* CreatePropertiesDialog() override { return nullptr; }
  void DestroyPropertiesDialog(runtime::PropertiesDialog*) override {}
  runtime::MessageBoxDialog* CreateMessageBox() override { return nullptr; }
  void DestroyMessageBox(runtime::MessageBoxDialog*) override {}
  runtime::HostWindow* CreateViewWindow(runtime::HostWindow*, bool) override { return nullptr; }
  void DestroyWindow(runtime::HostWindow*) override {}
  runtime::HostTreeView* CreateTreeView(runtime::HostWindow*) override { return nullptr; }
  void DestroyTreeView(runtime::HostTreeView*) override {}
  void SetActiveViewText() override {}
  void SetPendingText(const char16_t*) override {}
  void CreateMenuBar(const runtime::MenuItemDesc*) override {}
  runtime::HostWindow* CreateButton(runtime::HostWindow*) override { return nullptr; }
  void DestroyButtonWindow(runtime::HostWindow*) override {}
  runtime::HostEdit* CreateEdit(runtime::HostWindow*) override { return nullptr; }
  void DestroyEdit(runtime::HostEdit*) override {}
  runtime::HostBitmap* CreateBitmap(int32_t, int32_t) override { return nullptr; }
  void DestroyBitmap(runtime::HostBitmap*) override {}
  runtime::HostTimer* CreateTimer(uint32_t, void*, runtime::HostTimerCallback) override {
    return nullptr;
  }
  void DestroyTimer(runtime::HostTimer*) override {}
  int32_t GetWorkArea(runtime::HostRect* area) override {
    *area = {0, 0, 240, 320};
    return area->bottom;
  }
  uint32_t GetLanguageIndex() override { return languageIndex; }
  bool IsInputPending() override { return inputPending; }
  void SetOemIgnoreApp(uint32_t, uint32_t) override {}
  void AddRecentFile(const char16_t*) override {}
  const char16_t* GetRecentFile(uint32_t) override { return u""; }
  void SetBusyCursor(bool) override {}
  void BeginBusy(uint8_t) override {}
  void EndBusy(uint8_t) override {}
  const char16_t* GetVersionText(uint32_t) override { return u"Test host"; }
  uint32_t GetMemoryBudget() override { return memoryBudget; }
  int32_t GetScreenDpi() override { return 96; }
  bool GetInitialZoom(uint32_t*, float*) override { return false; }
  bool GetKeepToolbarInFullScreen() override { return false; }
};

}  // namespace testsupport
