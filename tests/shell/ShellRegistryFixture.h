#pragma once
// A test fixture for the shell's settings: an empty in-memory registry, a
// temporary folder for files the settings name, and the device profile put
// back afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Device.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "shell/Localization.h"
#include "shell/Settings.h"

namespace shell::testing {

class ShellRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::UseInMemoryRegistry();
    savedProfile = platform::GetDeviceProfile();
    ForgetPlatformType();
    char pattern[] = "/tmp/folvane-shell-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder = pattern;
  }
  void TearDown() override {
    platform::GetRegistryTestHooks() = platform::RegistryTestHooks{};
    platform::UseInMemoryRegistry();
    platform::SetDeviceProfile(savedProfile);
    ForgetPlatformType();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }

  // Creates a file in the test folder and returns its device path.
  std::u16string MakeFile(const std::string& name) {
    std::ofstream(folder + "/" + name) << "x";
    return DevicePath(name);
  }
  std::u16string DevicePath(const std::string& name) const {
    return platform::DevicePathFromHost(folder + "/" + name);
  }
  void RemoveFile(const std::string& name) { std::filesystem::remove(folder + "/" + name); }

  static void SetValue(platform::HKEY root, const char16_t* key, const char16_t* name,
                       platform::DWORD type, const void* data, platform::DWORD bytes) {
    platform::HKEY handle = nullptr;
    platform::DWORD disposition = 0;
    ASSERT_EQ(platform::RegCreateKeyExW(root, key, 0, nullptr, 0, platform::KEY_ALL_ACCESS, nullptr,
                                        &handle, &disposition),
              0);
    ASSERT_EQ(platform::RegSetValueExW(handle, name, 0, type,
                                       static_cast<const platform::BYTE*>(data), bytes),
              0);
    platform::RegCloseKey(handle);
  }
  static void SetSetting(const char16_t* name, uint32_t value) {
    SetValue(platform::HKEY_CURRENT_USER, kSettingsKey, name, platform::REG_DWORD, &value, 4);
  }
  static void SetString(platform::HKEY root, const char16_t* key, const char16_t* name,
                        const std::u16string& text, platform::DWORD type = platform::REG_SZ) {
    SetValue(root, key, name, type, text.c_str(),
             static_cast<platform::DWORD>((text.size() + 1) * sizeof(char16_t)));
  }

  // A value as stored: found, type and bytes.
  struct Stored {
    bool found = false;
    platform::DWORD type = 0;
    std::vector<platform::BYTE> data;
  };
  static Stored Query(platform::HKEY root, const char16_t* key, const char16_t* name) {
    Stored stored;
    platform::HKEY handle = nullptr;
    if (platform::RegOpenKeyExW(root, key, 0, platform::KEY_READ, &handle) != 0) return stored;
    platform::DWORD size = 0;
    if (platform::RegQueryValueExW(handle, name, nullptr, &stored.type, nullptr, &size) == 0) {
      stored.data.resize(size);
      stored.found = platform::RegQueryValueExW(handle, name, nullptr, &stored.type,
                                                stored.data.data(), &size) == 0;
    }
    platform::RegCloseKey(handle);
    return stored;
  }

  void UseLanguage(platform::LANGID language, platform::PlatformKind kind = platform::PlatformKind::kPocketPc) {
    platform::DeviceProfile profile = platform::GetDeviceProfile();
    profile.uiLanguage = language;
    profile.kind = kind;
    platform::SetDeviceProfile(profile);
  }

  std::string folder;
  platform::DeviceProfile savedProfile;
};

}  // namespace shell::testing
