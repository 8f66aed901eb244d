#include "platform/Files.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "TempFolder.h"
#include "platform/WideText.h"

namespace platform {
namespace {

std::map<std::u16string, WIN32_FIND_DATAW> List(const std::u16string& pattern) {
  std::map<std::u16string, WIN32_FIND_DATAW> entries;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    entries[data.cFileName] = data;
  } while (FindNextFileW(find, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(find));
  return entries;
}

TEST(FilesTest, FindListsAFolderWithoutDotEntries) {
  testing::TempFolder folder;
  const std::string root = folder.path();
  std::ofstream(root + "/Report.PDF") << "12345";
  std::ofstream(root + "/.hidden") << "";
  std::ofstream(root + "/notes") << "x";
  ::mkdir((root + "/Sub Folder").c_str(), 0700);
  ::symlink("missing-target", (root + "/dangling").c_str());
  const std::u16string device = DevicePathFromHost(root);
  ASSERT_EQ(device.substr(0, 1), u"\\");

  const auto all = List(device + u"\\*.*");
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all.count(u"."), 0u);
  EXPECT_EQ(all.count(u".."), 0u);
  const auto& report = all.at(u"Report.PDF");
  EXPECT_EQ(report.nFileSizeLow, 5u);
  EXPECT_EQ(report.nFileSizeHigh, 0u);
  EXPECT_EQ(report.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN), 0u);
  EXPECT_NE(report.ftLastWriteTime.dwHighDateTime, 0u);
  EXPECT_EQ(all.at(u"Sub Folder").dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(all.at(u".hidden").dwFileAttributes & FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(all.at(u"dangling").dwFileAttributes & FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_SYSTEM);

  // Patterns compare without regard to case.
  EXPECT_EQ(List(device + u"\\*.pdf").size(), 1u);
  EXPECT_EQ(List(device + u"\\report.pdf").size(), 1u);
  EXPECT_EQ(List(device + u"\\n?tes").size(), 1u);

  WIN32_FIND_DATAW data{};
  EXPECT_EQ(FindFirstFileW((device + u"\\*.djvu").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFileW((device + u"\\no such folder\\*.*").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
}

TEST(FilesTest, PatternMatching) {
  struct Case {
    const char16_t* pattern;
    const char16_t* name;
    bool matches;
  };
  const Case cases[] = {
      {u"*.*", u"no-dot", true},  {u"*.pdf", u"a.PDF", true},   {u"*.pdf", u"a.pdf.txt", false},
      {u"a*b*c", u"aXbYbZc", true}, {u"a*b*c", u"aXbYbZ", false}, {u"?", u"", false},
      {u"*", u"", true},          {u"**x", u"yx", true},        {u"file", u"FILE", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchesFindPattern(c.pattern, c.name), c.matches)
        << Utf8FromWide(c.pattern) << " vs " << Utf8FromWide(c.name);
  }
}

TEST(FilesTest, AttributesOfFilesAndFolders) {
  testing::TempFolder folder;
  const std::string file = folder.path() + "/doc.pdf";
  std::ofstream(file) << std::string(70000, 'x');
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(DevicePathFromHost(file).c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 70000u);
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  ASSERT_TRUE(GetFileAttributesExW(DevicePathFromHost(folder.path()).c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);

  EXPECT_FALSE(GetFileAttributesExW(DevicePathFromHost(folder.path() + "/gone.pdf").c_str(), GetFileExInfoStandard,
                                    &data));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(GetFileAttributesExW(u"", GetFileExInfoStandard, &data));
  EXPECT_EQ(GetFileAttributesW(DevicePathFromHost(folder.path() + "/gone.pdf").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(FilesTest, DevicePathsMapOntoTheHost) {
  EXPECT_EQ(HostPathFromDevice(u"\\My Documents\\a\u00e9.pdf"), "/My Documents/a\xc3\xa9.pdf");
  EXPECT_EQ(DevicePathFromHost("/tmp/x"), u"\\tmp\\x");
  EXPECT_EQ(HostPathFromDevice(u"\\"), "/");
}

TEST(FilesTest, FileTimeToSystemTime) {
  struct Case {
    uint64_t ticks;
    SYSTEMTIME expected;
  };
  const Case cases[] = {
      {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
      // 1970-01-01 00:00:00, a Thursday.
      {116444736000000000ull, {1970, 1, 4, 1, 0, 0, 0, 0}},
      // 2000-02-29 23:59:59.999, a Tuesday.
      {125963423999990000ull, {2000, 2, 2, 29, 23, 59, 59, 999}},
      // 2026-12-31 12:34:56.789, a Thursday.
      {134431940967890000ull, {2026, 12, 4, 31, 12, 34, 56, 789}},
  };
  for (const auto& c : cases) {
    const FILETIME time{static_cast<DWORD>(c.ticks), static_cast<DWORD>(c.ticks >> 32)};
    SYSTEMTIME result{};
    ASSERT_TRUE(FileTimeToSystemTime(&time, &result)) << c.ticks;
    EXPECT_EQ(result.wYear, c.expected.wYear) << c.ticks;
    EXPECT_EQ(result.wMonth, c.expected.wMonth) << c.ticks;
    EXPECT_EQ(result.wDayOfWeek, c.expected.wDayOfWeek) << c.ticks;
    EXPECT_EQ(result.wDay, c.expected.wDay) << c.ticks;
    EXPECT_EQ(result.wHour, c.expected.wHour) << c.ticks;
    EXPECT_EQ(result.wMinute, c.expected.wMinute) << c.ticks;
    EXPECT_EQ(result.wSecond, c.expected.wSecond) << c.ticks;
    EXPECT_EQ(result.wMilliseconds, c.expected.wMilliseconds) << c.ticks;
  }
  const FILETIME negative{0, 0x80000000u};
  SYSTEMTIME result{};
  EXPECT_FALSE(FileTimeToSystemTime(&negative, &result));
}

TEST(FilesTest, ModuleFileNameIsTheExecutablesDevicePath) {
  char host[4096];
  const ssize_t length = ::readlink("/proc/self/exe", host, sizeof(host) - 1);
  ASSERT_GT(length, 0);
  const std::u16string expected = DevicePathFromHost(std::string_view(host, static_cast<size_t>(length)));
  WCHAR buffer[4096];
  ASSERT_EQ(GetModuleFileNameW(nullptr, buffer, 4096), expected.size());
  EXPECT_EQ(std::u16string(buffer), expected);
  // Too small: cut, terminated, the size answered.
  WCHAR small[4];
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 4u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(small[3], 0);
  EXPECT_EQ(small[0], expected[0]);
  // No other modules.
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(&small), buffer, 4096), 0u);
}

}  // namespace
}  // namespace platform
