#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "TempFolder.h"

namespace platform {
namespace {

constexpr const char16_t* kSettings = u"Software\\Vantrel\\VantrelFolvaneZo.25";

std::vector<BYTE> Bytes(std::u16string_view text) {
  std::vector<BYTE> data((text.size() + 1) * 2, 0);
  std::memcpy(data.data(), text.data(), text.size() * 2);
  return data;
}

std::vector<BYTE> DwordBytes(DWORD value) {
  std::vector<BYTE> data(4);
  std::memcpy(data.data(), &value, 4);
  return data;
}

struct Stored {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  LONG result = 0;
};

Stored Query(HKEY root, const char16_t* subKey, const char16_t* name) {
  Stored stored;
  HKEY key = nullptr;
  stored.result = RegOpenKeyExW(root, subKey, 0, KEY_READ, &key);
  if (stored.result != static_cast<LONG>(ERROR_SUCCESS)) return stored;
  DWORD size = 0;
  stored.result = RegQueryValueExW(key, name, nullptr, &stored.type, nullptr, &size);
  if (stored.result == static_cast<LONG>(ERROR_SUCCESS)) {
    stored.data.resize(size);
    stored.result = RegQueryValueExW(key, name, nullptr, &stored.type, stored.data.data(), &size);
  }
  EXPECT_EQ(RegCloseKey(key), static_cast<LONG>(ERROR_SUCCESS));
  return stored;
}

LONG Set(HKEY root, const char16_t* subKey, const char16_t* name, DWORD type, const std::vector<BYTE>& data) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (result != static_cast<LONG>(ERROR_SUCCESS)) return result;
  result = RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
  RegCloseKey(key);
  return result;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetRegistryTestHooks() = RegistryTestHooks{};
    UseInMemoryRegistry();
  }
  void TearDown() override {
    GetRegistryTestHooks() = RegistryTestHooks{};
    UseInMemoryRegistry();
  }
};

struct ValueCase {
  const char* label;
  const char16_t* name;
  DWORD type;
  std::vector<BYTE> data;
};

std::vector<ValueCase> ValueCases() {
  return {
      {"dword", u"EnableReflow", REG_DWORD, DwordBytes(0)},
      {"dword high bits", u"LanguageOverride", REG_DWORD, DwordBytes(0xFFFFFFFFu)},
      {"string with escapes", u"InitialFileBrowserPath", REG_SZ, Bytes(u"\\My Documents\\\"quoted\"\tTab")},
      {"expandable string", u"Expand", REG_EXPAND_SZ, Bytes(u"%TEMP%\\x")},
      {"non-ASCII string", u"Caf\u00e9 \u65e5\u672c", REG_SZ, Bytes(u"\u00e9\u65e5\U0001F600")},
      {"empty string", u"Empty", REG_SZ, Bytes(u"")},
      {"string without terminator", u"Unterminated", REG_SZ, {'a', 0, 'b', 0}},
      {"string with inner zero", u"InnerZero", REG_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0}},
      {"odd byte count", u"Odd", REG_SZ, {'a', 0, 0}},
      {"lone surrogate", u"Surrogate", REG_SZ, {0x00, 0xD8, 0, 0}},
      {"short dword", u"ShortDword", REG_DWORD, {1, 2}},
      {"binary", u"Binary", REG_BINARY, {0, 1, 0xFE, 0xFF}},
      {"empty binary", u"NoBytes", REG_BINARY, {}},
      {"default value", u"", REG_SZ, Bytes(u"default")},
  };
}

TEST_F(RegistryTest, ValuesSurviveARestartThroughTheFile) {
  testing::TempFolder folder;
  const std::string path = folder.path() + "/config/folvane/registry.txt";
  UseRegistryFile(path);
  for (const auto& value : ValueCases()) {
    ASSERT_EQ(Set(HKEY_CURRENT_USER, kSettings, value.name, value.type, value.data), 0) << value.label;
  }
  ASSERT_EQ(Set(HKEY_LOCAL_MACHINE, u"Software\\OEM\\TFLOSettings\\TFLOIgnoreAPPs\\", u"IgnoreAppKVTD", REG_SZ,
                Bytes(u"VantrelFolvaneZo.exe")),
            0);

  // A new process starts with nothing in memory and reads the file.
  UseRegistryFile(path);
  for (const auto& value : ValueCases()) {
    const Stored stored = Query(HKEY_CURRENT_USER, kSettings, value.name);
    EXPECT_EQ(stored.result, 0) << value.label;
    EXPECT_EQ(stored.type, value.type) << value.label;
    EXPECT_EQ(stored.data, value.data) << value.label;
  }
  EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, u"SOFTWARE\\oem\\TFLOSettings\\TFLOIgnoreAPPs", u"ignoreappkvtd").data,
            Bytes(u"VantrelFolvaneZo.exe"));

  // The file is meant to be read and edited by a person.
  const std::string text = ReadFile(path);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Vantrel\\VantrelFolvaneZo.25]"), std::string::npos);
  EXPECT_NE(text.find("\"EnableReflow\"=dword:00000000"), std::string::npos);
  EXPECT_NE(text.find("\"Expand\"=expand:\"%TEMP%\\\\x\""), std::string::npos);
  // Written through a temporary file that is renamed away.
  for (const auto& entry : std::filesystem::directory_iterator(folder.path() + "/config/folvane")) {
    EXPECT_EQ(entry.path().filename(), "registry.txt");
  }
}

TEST_F(RegistryTest, TheFileFollowsTheEnvironment) {
  const char* previous = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = previous != nullptr ? previous : "";
  ::setenv("FOLVANE_REGISTRY_FILE", "/tmp/chosen/registry.txt", 1);
  UseRegistryFile("");
  EXPECT_EQ(RegistryFilePath(), "/tmp/chosen/registry.txt");
  ::unsetenv("FOLVANE_REGISTRY_FILE");
  ::setenv("XDG_CONFIG_HOME", "/tmp/config-home", 1);
  EXPECT_EQ(RegistryFilePath(), "/tmp/config-home/folvane/registry.txt");
  if (saved.empty()) {
    ::unsetenv("XDG_CONFIG_HOME");
  } else {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  }
  UseInMemoryRegistry();
}

TEST_F(RegistryTest, QueryReportsMoreDataWithTheSizeNeeded) {
  ASSERT_EQ(Set(HKEY_CURRENT_USER, kSettings, u"InitialFileBrowserPath", REG_SZ, Bytes(u"\\Storage Card")), 0);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &key), 0);
  // Grow the buffer the way a caller does: start with room for the
  // terminator, then take the size the registry reports.
  std::u16string buffer(1, u'\0');
  DWORD type = 0;
  DWORD size = 2;
  LONG result = RegQueryValueExW(key, u"InitialFileBrowserPath", nullptr, &type,
                                 reinterpret_cast<BYTE*>(buffer.data()), &size);
  EXPECT_EQ(result, static_cast<LONG>(ERROR_MORE_DATA));
  EXPECT_EQ(size, 28u);
  buffer.assign(size / 2, u'\0');
  result = RegQueryValueExW(key, u"InitialFileBrowserPath", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                            &size);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(buffer, std::u16string(u"\\Storage Card") + u'\0');

  // A DWORD read into 4 bytes; a missing value is "not found".
  ASSERT_EQ(Set(HKEY_CURRENT_USER, kSettings, u"OpenInFullScreen", REG_DWORD, DwordBytes(7)), 0);
  DWORD number = 0;
  size = 4;
  EXPECT_EQ(RegQueryValueExW(key, u"OpenInFullScreen", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size), 0);
  EXPECT_EQ(number, 7u);
  EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(RegistryTest, KeysOpenCreateAndDeleteAsTheDeviceDoes) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &key), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(key, nullptr);

  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Vantrel\\VantrelFolvaneZo.25\\RecentFiles", 0, nullptr,
                            0, 0, nullptr, &key, &disposition),
            0);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(RegSetValueExW(key, u"0", 0, REG_SZ, Bytes(u"\\a.pdf").data(), 14), 0);
  EXPECT_EQ(RegCloseKey(key), 0);
  // Closing twice is an error, not a crash.
  EXPECT_EQ(RegCloseKey(key), static_cast<LONG>(ERROR_INVALID_HANDLE));

  // Parents were made too; names compare without regard to case.
  HKEY parent = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"software\\VANTREL", 0, KEY_READ, &parent), 0);
  ASSERT_EQ(RegCreateKeyExW(parent, u"VantrelFolvaneZo.25\\RECENTFILES\\", 0, nullptr, 0, 0, nullptr, &key,
                            &disposition),
            0);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(RegDeleteValueW(key, u"0"), 0);
  EXPECT_EQ(RegDeleteValueW(key, u"0"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));

  // A key with subkeys cannot be deleted; a handle to a deleted key fails.
  EXPECT_EQ(RegDeleteKeyW(parent, u"VantrelFolvaneZo.25"), static_cast<LONG>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegDeleteKeyW(parent, u"VantrelFolvaneZo.25\\RecentFiles"), 0);
  DWORD size = 0;
  EXPECT_NE(RegQueryValueExW(key, u"0", nullptr, nullptr, nullptr, &size), 0);
  EXPECT_NE(RegSetValueExW(key, u"0", 0, REG_DWORD, DwordBytes(1).data(), 4), 0);
  EXPECT_EQ(RegCloseKey(key), 0);
  EXPECT_EQ(RegCloseKey(parent), 0);

  // A sibling whose name sorts between a key and its subkeys does not hide them.
  for (const char16_t* path : {u"A\\C", u"A B"}) {
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, 0, nullptr, &key, nullptr), 0);
    RegCloseKey(key);
  }
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"A"), static_cast<LONG>(ERROR_ACCESS_DENIED));
}

TEST_F(RegistryTest, InjectedFailuresLeaveTheSettingsAsTheyWere) {
  testing::TempFolder folder;
  const std::string path = folder.path() + "/registry.txt";
  UseRegistryFile(path);
  ASSERT_EQ(Set(HKEY_CURRENT_USER, kSettings, u"KeepToolbarInFullScreen", REG_DWORD, DwordBytes(1)), 0);
  const std::string before = ReadFile(path);

  GetRegistryTestHooks().failWrite = true;
  EXPECT_EQ(Set(HKEY_CURRENT_USER, kSettings, u"KeepToolbarInFullScreen", REG_DWORD, DwordBytes(0)),
            static_cast<LONG>(ERROR_WRITE_FAULT));
  EXPECT_EQ(Set(HKEY_CURRENT_USER, u"Software\\New", u"x", REG_DWORD, DwordBytes(0)),
            static_cast<LONG>(ERROR_WRITE_FAULT));
  GetRegistryTestHooks().failWrite = false;
  EXPECT_EQ(Query(HKEY_CURRENT_USER, kSettings, u"KeepToolbarInFullScreen").data, DwordBytes(1));
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\New", 0, 0, &key), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ReadFile(path), before);

  GetRegistryTestHooks().failNext = 1;
  EXPECT_EQ(Query(HKEY_CURRENT_USER, kSettings, u"KeepToolbarInFullScreen").result,
            static_cast<LONG>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Query(HKEY_CURRENT_USER, kSettings, u"KeepToolbarInFullScreen").result, 0);
}

// Another program edits the file while we run: its change is seen, and our
// next write keeps it. Writing what is already stored writes nothing.
TEST_F(RegistryTest, EditsByOthersAreReadAndKept) {
  testing::TempFolder folder;
  const std::string path = folder.path() + "/registry.txt";
  UseRegistryFile(path);
  ASSERT_EQ(Set(HKEY_CURRENT_USER, kSettings, u"EnableReflow", REG_DWORD, DwordBytes(1)), 0);
  std::string text = ReadFile(path);
  const size_t at = text.find("\"EnableReflow\"=dword:00000001");
  ASSERT_NE(at, std::string::npos);
  text.insert(at, "\"LanguageOverride\"=dword:0000040c\n");
  {
    // A different size is a different file, whatever the clock says.
    std::ofstream(path + ".edit") << text;
    std::filesystem::rename(path + ".edit", path);
  }
  EXPECT_EQ(Query(HKEY_CURRENT_USER, kSettings, u"LanguageOverride").data, DwordBytes(0x40C));

  ASSERT_EQ(Set(HKEY_CURRENT_USER, kSettings, u"OpenInFullScreen", REG_DWORD, DwordBytes(1)), 0);
  // Edited again, after our last read: the next write still keeps it.
  text = ReadFile(path);
  text += "\"KeepToolbarInFullScreen\"=dword:00000001\n";
  std::ofstream(path + ".edit") << text;
  std::filesystem::rename(path + ".edit", path);
  {
    RegistryBatch batch;
    ASSERT_EQ(Set(HKEY_CURRENT_USER, kSettings, u"DisableSinglePageMode", REG_DWORD, DwordBytes(1)), 0);
  }
  UseRegistryFile(path);
  EXPECT_EQ(Query(HKEY_CURRENT_USER, kSettings, u"LanguageOverride").data, DwordBytes(0x40C));
  EXPECT_EQ(Query(HKEY_CURRENT_USER, kSettings, u"KeepToolbarInFullScreen").data, DwordBytes(1));
  EXPECT_EQ(Query(HKEY_CURRENT_USER, kSettings, u"OpenInFullScreen").data, DwordBytes(1));
  EXPECT_EQ(Query(HKEY_CURRENT_USER, kSettings, u"DisableSinglePageMode").data, DwordBytes(1));

  const uint64_t writes = GetRegistryTestHooks().fileWrites;
  ASSERT_EQ(Set(HKEY_CURRENT_USER, kSettings, u"OpenInFullScreen", REG_DWORD, DwordBytes(1)), 0);
  EXPECT_EQ(GetRegistryTestHooks().fileWrites, writes);
  {
    // Several changes in a batch: one write.
    RegistryBatch batch;
    ASSERT_EQ(Set(HKEY_CURRENT_USER, kSettings, u"A", REG_DWORD, DwordBytes(1)), 0);
    ASSERT_EQ(Set(HKEY_CURRENT_USER, kSettings, u"B", REG_DWORD, DwordBytes(2)), 0);
    EXPECT_EQ(GetRegistryTestHooks().fileWrites, writes);
  }
  EXPECT_EQ(GetRegistryTestHooks().fileWrites, writes + 1);
  EXPECT_NE(ReadFile(path).find("\"B\"=dword:00000002"), std::string::npos);
}

TEST_F(RegistryTest, AHandEditedFileKeepsItsGoodLines) {
  testing::TempFolder folder;
  const std::string path = folder.path() + "/registry.txt";
  std::ofstream(path) << "; edited by hand\n"
                         "[HKEY_CURRENT_USER\\Software\\Vantrel\\VantrelFolvaneZo.25]\r\n"
                         "  \"EnableReflow\"=dword:0\n"
                         "\"Broken\"=dword:xyz\n"
                         "\"Unclosed=\"text\n"
                         "[NOT_A_ROOT\\Key]\n"
                         "\"Lost\"=dword:1\n"
                         "[HKEY_CURRENT_USER\\Software\\Vantrel\\VantrelFolvaneZo.25]\n"
                         "\"LanguageOverride\"=dword:40c\n";
  UseRegistryFile(path);
  EXPECT_EQ(Query(HKEY_CURRENT_USER, kSettings, u"EnableReflow").data, DwordBytes(0));
  EXPECT_EQ(Query(HKEY_CURRENT_USER, kSettings, u"LanguageOverride").data, DwordBytes(0x40C));
  EXPECT_EQ(Query(HKEY_CURRENT_USER, kSettings, u"Broken").result, static_cast<LONG>(ERROR_FILE_NOT_FOUND));

  // A fixture given as text must parse completely.
  EXPECT_FALSE(LoadRegistryText("[HKEY_CURRENT_USER\\A]\n\"x\"=dword:123456789\n"));
  EXPECT_EQ(Query(HKEY_CURRENT_USER, kSettings, u"EnableReflow").data, DwordBytes(0));
  ASSERT_TRUE(LoadRegistryText("[HKEY_CURRENT_USER\\A%5DB]\n\"x\"=hex(3):01,02\n"));
  EXPECT_EQ(Query(HKEY_CURRENT_USER, u"A]B", u"x").data, (std::vector<BYTE>{1, 2}));
  EXPECT_NE(SaveRegistryText().find("[HKEY_CURRENT_USER\\A%5DB]"), std::string::npos);
}

}  // namespace
}  // namespace platform
