#include "platform/Resources.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TempFolder.h"
#include "platform/Files.h"
#include "platform/Kernel.h"

namespace platform {
namespace {

constexpr char16_t kTitle[] = u"Vantrel Folvane Zo ";
constexpr uint8_t kMenuBar[] = {102, 0, 0, 0};
constexpr std::array<ResourceEntry, 2> kTable = {{
    {6, 413, kTitle, sizeof kTitle - 2},
    {10, 102, kMenuBar, sizeof kMenuBar},
}};

TEST(ResourcesTest, StringsAndDataByTypeAndId) {
  ClearResources();
  RegisterResources(kTable);
  const HINSTANCE module = GetModuleHandleW(nullptr);
  WCHAR title[31];
  EXPECT_EQ(LoadStringW(module, 413, title, 31), 19);
  EXPECT_EQ(std::u16string(title), kTitle);
  WCHAR shortBuffer[5];
  EXPECT_EQ(LoadStringW(module, 413, shortBuffer, 5), 4);
  EXPECT_EQ(std::u16string(shortBuffer), u"Vant");
  const WCHAR* direct = nullptr;
  EXPECT_EQ(LoadStringW(module, 413, reinterpret_cast<WCHAR*>(&direct), 0), 19);
  EXPECT_EQ(direct, kTitle);
  EXPECT_EQ(LoadStringW(module, 414, title, 31), 0);
  EXPECT_EQ(title[0], 0);

  const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(102), RT_RCDATA);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(SizeofResource(module, found), 4u);
  EXPECT_EQ(LockResource(LoadResource(module, found)), kMenuBar);
  EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(102), RT_MENU), nullptr);
  EXPECT_EQ(FindResourceW(module, u"named", RT_RCDATA), nullptr);

  const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  ASSERT_NE(wait, arrow);
  SetCursor(arrow);
  EXPECT_EQ(SetCursor(wait), arrow);
  EXPECT_TRUE(IsWaitCursor(GetCursor()));
  SetCursor(arrow);
  ClearResources();
}

TEST(ResourcesTest, HelpViewerGetsTheHelpFile) {
  testing::TempFolder folder;
  // The viewer runs detached; it writes the file it was given into a pipe,
  // and reading the pipe waits for it, however long it takes to start.
  const std::string pipe = folder.path() + "/opened";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string viewer = folder.path() + "/viewer";
  std::ofstream(viewer) << "#!/bin/sh\necho \"$1\" > '" << pipe << "'\n";
  std::filesystem::permissions(viewer, std::filesystem::perms::owner_all);
  ::setenv("FOLVANE_HELP_VIEWER", viewer.c_str(), 1);
  std::u16string file = DevicePathFromHost(folder.path()) + u"\\KVTD0409.htm";
  PROCESS_INFORMATION information{};
  ASSERT_TRUE(CreateProcessW(u"peghelp.exe", file.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                             &information));
  EXPECT_TRUE(CloseHandle(information.hProcess));
  EXPECT_TRUE(CloseHandle(information.hThread));
  std::ifstream opened(pipe);
  std::stringstream text;
  text << opened.rdbuf();
  EXPECT_EQ(text.str(), folder.path() + "/KVTD0409.htm\n");

  // Nothing else can be started; failures leave empty handles to close.
  EXPECT_FALSE(CreateProcessW(u"\\Windows\\calc.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                              &information));
  EXPECT_EQ(information.hProcess, nullptr);
  ::unsetenv("FOLVANE_HELP_VIEWER");
}

}  // namespace
}  // namespace platform
