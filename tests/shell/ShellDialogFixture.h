#pragma once
// A fixture for the shell's dialogs: the window-system fixture plus the
// settings the dialogs read (the UI language, the browser's first folder)
// and the soft-key pairs the viewer gives them.
#include <string>

#include "ShellWindowFixture.h"
#include "platform/Dialog.h"
#include "platform/Registry.h"
#include "runtime/MenuItemDesc.h"
#include "shell/HostServices.h"
#include "shell/Settings.h"

namespace shell::testing {

class ShellDialogTest : public ShellWindowTest {
 protected:
  static void SetSettingValue(const char16_t* name, platform::DWORD type, const void* data, platform::DWORD bytes) {
    platform::HKEY key = nullptr;
    platform::DWORD disposition = 0;
    ASSERT_EQ(platform::RegCreateKeyExW(platform::HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0,
                                        platform::KEY_ALL_ACCESS, nullptr, &key, &disposition),
              0);
    ASSERT_EQ(platform::RegSetValueExW(key, name, 0, type, static_cast<const platform::BYTE*>(data), bytes), 0);
    platform::RegCloseKey(key);
  }
  static void SetUiLanguage(platform::LANGID language) {
    const platform::DWORD value = language;
    SetSettingValue(kLanguageOverrideValue, platform::REG_DWORD, &value, 4);
  }
  static void SetInitialFolder(const std::u16string& path) {
    SetSettingValue(kInitialFileBrowserPathValue, platform::REG_SZ, path.c_str(),
                    static_cast<platform::DWORD>((path.size() + 1) * sizeof(char16_t)));
  }
  // The text of a dialog's control.
  static std::u16string ControlText(platform::HWND dialog, int id) {
    char16_t text[512] = {};
    platform::GetDlgItemTextW(dialog, id, text, 512);
    return text;
  }

  HostServices host_;
  runtime::MenuItemDesc cancel_{136, u"Cancel"};
  runtime::MenuItemDesc ok_{135, u"OK", nullptr, &cancel_};
};

}  // namespace shell::testing
